// The steps the SPD operations share: the segment bracket, the run of word
// and byte transfers of a block, keeping the hardware half of a reply as it
// was around a transfer whose failure is not the reply's, and the DDR4 page
// commands.
#pragma once

#include <stdint.h>

#include "smbus/smbus.h"

namespace spd_steps {

void Select(SmbusController* c);
void Deselect(SmbusController* c);

// Word transfers for pairs, a byte transfer for an odd last byte, from
// `offset` on (wrapping past 0xFF); stops at the first failure with code 14.
// Returns the bytes read.
uint32_t ReadBlock(SmbusController* c, OpStatus* status, uint8_t slave, uint8_t* data,
                   uint8_t offset, uint32_t count);

// The hardware half of a reply, to be put back after a transfer whose
// failure is an answer or a side issue, not the reply's cause.
class KeptHardwareHalf {
 public:
  explicit KeptHardwareHalf(const OpStatus* status);
  void PutBack(OpStatus* status) const;

 private:
  uint32_t code_;
  uint32_t count_;
  uint32_t detail_[8];
};

// DDR4 pages, on a controller with both page transfers. The modules' page
// as the query tells it: 0 when they acknowledge it, else 1 (which an empty
// bus answers too). `answered` is set when they acknowledged.
uint8_t QueryPage(SmbusController* c, OpStatus* status, bool* answered);
// Selects `page` on every module of the segment. A select the modules do
// not acknowledge still counts when the query then shows that page by the
// modules' own answer: page 0 by its acknowledge, page 1 by its lack once
// they have answered in this request (`answered`). Otherwise false, with the
// send-byte failure in the hardware half.
bool SwitchPage(SmbusController* c, OpStatus* status, uint8_t page, bool* answered);
// Selects the page the board had again. Its failure is the reply's (code 38)
// only when nothing failed before it; else the reply stays as it was.
void PutPageBack(SmbusController* c, OpStatus* status, uint8_t page, bool* answered);

}  // namespace spd_steps
