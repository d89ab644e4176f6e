#include "sim/models/ee1004_page.h"

namespace sim {

bool Ee1004PageCommands::Address(bool read) {
  ++commands_;
  answered_ = false;
  dataAnswered_ = false;
  if (read) {
    // Only 0x36 is the page query; nothing answers a read at 0x37.
    if (address_ != kSelectPage0) return false;
    for (const SpdEeprom* chip : chips_) answered_ = answered_ || chip->AcknowledgesPageQuery();
    return answered_;
  }
  const uint8_t page = address_ == kSelectPage0 ? 0 : 1;
  for (SpdEeprom* chip : chips_) {
    if (!chip->SelectPage(page)) continue;
    answered_ = true;
    dataAnswered_ = dataAnswered_ || chip->PageDataAck();
  }
  return answered_;
}

// The don't-care byte: acknowledged when a chip that took the command
// acknowledges it.
bool Ee1004PageCommands::Write(uint8_t) {
  return dataAnswered_;
}

}  // namespace sim
