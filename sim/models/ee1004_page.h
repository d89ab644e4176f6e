// The page commands of the DDR4 SPD EEPROMs (EE1004) on one SMBus segment.
// They carry no chip address bits, so every EE1004 on the segment answers
// them at once: a write addressed to 0x36 selects page 0 and one to 0x37
// page 1 on every chip (a chip in its write cycle ignores it); a read
// addressed to 0x36 asks which page is selected, and is acknowledged on
// page 0 and not on page 1, its data byte meaning nothing. The lines are
// wired-AND: the bus sees an acknowledge when any chip gives one.
#pragma once

#include <stdint.h>

#include <utility>
#include <vector>

#include "sim/models/smbus_bus.h"
#include "sim/models/spd_eeprom.h"

namespace sim {

class Ee1004PageCommands : public SmbusSlave {
 public:
  static constexpr uint8_t kSelectPage0 = 0x36;  // also the page query, read
  static constexpr uint8_t kSelectPage1 = 0x37;

  Ee1004PageCommands(std::vector<SpdEeprom*> chips, uint8_t address)
      : chips_(std::move(chips)), address_(address) {}

  bool Address(bool read) override;
  bool Write(uint8_t value) override;
  uint8_t Read() override { return 0xFF; }  // nobody drives the data byte
  void Stop() override {}

  uint64_t Commands() const { return commands_; }

 private:
  std::vector<SpdEeprom*> chips_;
  uint8_t address_;
  bool answered_ = false;      // some chip acknowledged this command's address
  bool dataAnswered_ = false;  // ... and acknowledges the byte after it
  uint64_t commands_ = 0;
};

}  // namespace sim
