#include "sim/gpio_i2c.h"

#include "sim/models/i2c_slave.h"
#include "sim/models/sis96x_gpio.h"
#include "sim/models/two_wire_bus.h"
#include "sim/models/via586b_gpio.h"

namespace sim {

namespace {

// The lines and the modules behind their slaves; the pins' block is the
// caller's.
TwoWireBus& InstallWires(const SmbusHostSpec& host, Machine& machine, BoardModels& models) {
  auto& wires = machine.Make<TwoWireBus>();
  models.wires = &wires;
  for (const SpdSlotSpec& slot : host.segment0) {
    auto& eeprom = machine.Make<SpdEeprom>(machine, BuildSpdImage(slot.dimm), slot.eeprom);
    const uint8_t index = slot.slot & 7;
    models.eeproms[0][index] = &eeprom;
    models.i2cSlaves[index] =
        &machine.Make<I2cSlave>(wires, static_cast<uint8_t>(0x50 + index), eeprom);
  }
  return wires;
}

void ClaimPins(const SmbusHostSpec& host, Machine& machine, BoardModels& models, PortDevice& pins) {
  machine.ClaimDecoded(host.gpio.decode, pins);
  models.gpioPins = &pins;
}

}  // namespace

SmbusHostModel* InstallSis96xGpioPins(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& host = *board.smbus;
  const auto& r = host.gpio.registers;
  ClaimPins(host, machine, models,
            machine.Make<Sis96xGpio>(InstallWires(host, machine, models), r[0], r[1]));
  return nullptr;
}

SmbusHostModel* InstallVia586bGpioPins(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& host = *board.smbus;
  const auto& r = host.gpio.registers;
  ClaimPins(
      host, machine, models,
      machine.Make<Via586bGpio>(InstallWires(host, machine, models), static_cast<uint8_t>(r[0]),
                                static_cast<uint8_t>(r[1]), static_cast<uint8_t>(r[2])));
  return nullptr;
}

}  // namespace sim
