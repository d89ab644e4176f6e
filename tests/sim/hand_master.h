// A master made of two open-drain pins on a two-wire bus, moved by hand:
// line sequences written out step by step, with no driver code.
#pragma once

#include <stdint.h>

#include "sim/models/two_wire_bus.h"

namespace testsupport {

class HandMaster {
 public:
  explicit HandMaster(sim::TwoWireBus& bus) : bus_(bus), me_(bus.Join()) {}

  void Scl(bool high) { bus_.Pull(me_, sim::Line::Scl, !high); }
  void Sda(bool high) { bus_.Pull(me_, sim::Line::Sda, !high); }
  bool ReadSda() {
    bus_.Sample();
    return bus_.Level(sim::Line::Sda);
  }
  bool ReadScl() {
    bus_.Sample();
    return bus_.Level(sim::Line::Scl);
  }

  // From SCL low or idle: SDA high, SCL high, SDA falls, SCL falls.
  void Start() {
    Sda(true);
    Scl(true);
    Sda(false);
    Scl(false);
  }
  void Stop() {
    Sda(false);
    Scl(true);
    Sda(true);
  }
  // A bit out; the line level read while SCL is high comes back.
  bool Clock(bool bit) {
    Sda(bit);
    Scl(true);
    const bool seen = ReadSda();
    Scl(false);
    return seen;
  }
  // Eight bits out, then the acknowledge clock with SDA let go: true = acknowledged.
  bool Send(uint8_t value) {
    for (int bit = 7; bit >= 0; --bit) Clock(((value >> bit) & 1) != 0);
    return !Clock(true);
  }
  uint8_t Receive(bool ack) {
    uint8_t value = 0;
    for (int bit = 7; bit >= 0; --bit) value = static_cast<uint8_t>(value << 1 | Clock(true));
    Clock(!ack);
    return value;
  }

 private:
  sim::TwoWireBus& bus_;
  sim::TwoWireBus::Participant me_;
};

}  // namespace testsupport
