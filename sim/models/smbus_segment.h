// One SMBus segment: slaves wired by their 7-bit address. An address with
// nothing wired (an empty memory slot) never acknowledges.
#pragma once

#include <stdint.h>

#include <map>

#include "sim/models/smbus_bus.h"

namespace sim {

class SmbusSegment : public SmbusBus {
 public:
  void Wire(uint8_t address, SmbusSlave& slave) { slaves_[address] = &slave; }
  SmbusSlave* Find(uint8_t address) override {
    auto it = slaves_.find(address);
    return it == slaves_.end() ? nullptr : it->second;
  }

 private:
  std::map<uint8_t, SmbusSlave*> slaves_;
};

}  // namespace sim
