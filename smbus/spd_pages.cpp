// DDR4 SPD pages: an EE1004 shows one of its two 256-byte pages at its
// address; the page is chosen for every module of the segment at once by a
// send byte to 0x36 (page 0) or 0x37 (page 1), and told by a receive byte at
// 0x36, which the modules acknowledge on page 0 only. An address byte 0x36
// with the write bit is itself the page-0 command, so the page is asked with
// the receive byte, never with a write-then-read.
#include "hw/hw.h"
#include "smbus/smbus.h"
#include "smbus/spd_steps.h"
#include "smbios/memory_type.h"

namespace spd_steps {

namespace {

constexpr uint8_t kPageCommand = 0x36;  // + page: select; read: the page query
constexpr uint8_t kDontCare = 0x00;     // the byte a send byte carries
constexpr uint8_t kTypeDdr4 = 0x0C, kTypeDdr4E = 0x0E;

}  // namespace

uint8_t QueryPage(SmbusController* c, OpStatus* status, bool* answered) {
  const KeptHardwareHalf kept(status);
  uint16_t ignored = 0;
  const int32_t result = SmbusTransfer(c, status, SmbusOp::ReceiveByte, kPageCommand, 0, &ignored);
  if (result == 0) {
    *answered = true;
    return 0;
  }
  if (result != kNotAcknowledged) return kQueryFailed;
  kept.PutBack(status);  // a page query that is not acknowledged is an answer
  return 1;
}

bool ModulesAreDdr4(SmbusController* c, OpStatus* status, uint8_t slot, uint8_t shown) {
  // On page 1 only a DDR4 type byte can settle it, so the table (no bus
  // traffic) is asked first.
  if (shown != 0 && SmbiosMemoryIsDdr4()) return true;
  const KeptHardwareHalf kept(status);
  bool settled = false, ddr4 = false;
  for (uint8_t i = 0; i < kSpdSlots && !settled; ++i) {
    const uint8_t s = i == 0 ? slot : static_cast<uint8_t>(i <= slot ? i - 1 : i);
    uint16_t type = 0;
    if (SmbusTransfer(c, status, SmbusOp::ReadByte, static_cast<uint8_t>(kSpdFirstSlave + s),
                      kSpdTypeOffset, &type) != 0) {
      continue;
    }
    ddr4 = type == kTypeDdr4 || type == kTypeDdr4E;
    settled = ddr4 || shown == 0;
  }
  kept.PutBack(status);
  if (settled) return ddr4;
  return shown == 0 && SmbiosMemoryIsDdr4();
}

bool SwitchPage(SmbusController* c, OpStatus* status, uint8_t page, bool* answered) {
  const KeptHardwareHalf before(status);
  uint16_t unused = 0;
  if (SmbusTransfer(c, status, SmbusOp::SendByte, static_cast<uint8_t>(kPageCommand + page),
                    kDontCare, &unused) == 0) {
    *answered = true;
    return true;
  }
  // Some modules take the page and refuse the don't-care byte after it.
  const KeptHardwareHalf failed(status);
  const uint8_t now = QueryPage(c, status, answered);
  if (now == page && (page == 0 || *answered)) {
    before.PutBack(status);
    return true;
  }
  failed.PutBack(status);
  return false;
}

void PutPageBack(SmbusController* c, OpStatus* status, uint8_t page, bool* answered) {
  const KeptHardwareHalf kept(status);
  if (SwitchPage(c, status, page, answered)) return;
  if (status->Code == OpError::None) {
    SetOpFailure(status, OpError::PageNotAcknowledged);
  } else {
    kept.PutBack(status);
  }
}

}  // namespace spd_steps

using namespace spd_steps;

uint32_t ReadSpdPage(SmbusController* controller, OpStatus* status, uint8_t slot, uint8_t page,
                     uint8_t* data, uint8_t offset, uint32_t count) {
  if (controller->Unavailable != 0) {
    SetOpFailure(status, OpError::ControllerUnavailable);
    return 0;
  }
  if (page > 1) {
    SetOpFailure(status, OpError::PageOutOfRange);
    return 0;
  }
  if ((controller->Traits & kChipPageTransfers) == 0) {
    SetOpFailure(status, OpError::NoPageTransfers);
    return 0;
  }
  Select(controller);
  bool answered = false;
  uint32_t done = 0;
  const uint8_t slave = static_cast<uint8_t>(kSpdFirstSlave + slot);
  const uint8_t found = QueryPage(controller, status, &answered);
  if (found == kQueryFailed) {
    SetOpFailure(status, OpError::PageQueryFailed);
  } else if (found == 0 && page == 0) {
    done = ReadBlock(controller, status, slave, data, offset, count);
  } else if (!ModulesAreDdr4(controller, status, slot, found)) {
    // No page command to modules that may take it for a write protect.
    done = ReadBlock(controller, status, slave, data, offset, count);
    if (status->Code == OpError::None) SetOpFailure(status, OpError::NotKnownDdr4);
  } else {
    // Only the query's acknowledge proves a page; a lack of it is page 1
    // or an empty bus, so page 1 is selected even when the query says it
    // is on.
    if (SwitchPage(controller, status, page, &answered)) {
      done = ReadBlock(controller, status, slave, data, offset, count);
    } else {
      SetOpFailure(status, OpError::PageNotAcknowledged);
    }
    // The board's page back, in every outcome.
    if (found != page) PutPageBack(controller, status, found, &answered);
  }
  Deselect(controller);
  return done;
}
