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

// DDR4 pages, on a controller with both page transfers. The page query is
// a read, which no module takes as a command. It gives 0 when the modules
// acknowledge it, 1 when no one does (page 1, or no EE1004 on the bus), and
// kQueryFailed when the transfer failed otherwise (host held or busy,
// collision, time-out): the hardware half then holds why, and nothing more
// may be sent. `answered` is set when the modules acknowledged.
constexpr uint8_t kQueryFailed = 0xFF;
uint8_t QueryPage(SmbusController* c, OpStatus* status, bool* answered);
// Whether the modules of the segment are known to be DDR4, the only ones a
// page command may reach (to the 256-byte EEPROMs of older modules 0x30-0x37
// are write-protect commands, 0x36 and 0x37 the permanent ones of the
// modules in slots 6 and 7). Byte 2 of a slot (`slot` first, then the
// others) on the page `shown` settles it: 0x0C or 0x0E say DDR4; on page 0
// any other type byte says not. When no byte 2 settles it (firmware may
// leave page 1, whose byte 2 is no type byte), the SMBIOS memory devices
// decide. Only reads; the hardware half is left as it was.
bool ModulesAreDdr4(SmbusController* c, OpStatus* status, uint8_t slot, uint8_t shown);
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
