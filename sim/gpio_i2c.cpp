#include "sim/gpio_i2c.h"

#include "sim/models/i2c_slave.h"
#include "sim/models/sis96x_gpio.h"
#include "sim/models/two_wire_bus.h"
#include "sim/models/via586b_gpio.h"

namespace sim {

void InstallGpioI2c(const SmbusHostSpec& host, Machine& machine, BoardModels& models) {
  auto& wires = machine.Make<TwoWireBus>();
  models.wires = &wires;
  for (const SpdSlotSpec& slot : host.segment0) {
    auto& eeprom = machine.Make<SpdEeprom>(machine, BuildSpdImage(slot.dimm), slot.eeprom);
    const uint8_t index = slot.slot & 7;
    models.eeproms[0][index] = &eeprom;
    models.i2cSlaves[index] =
        &machine.Make<I2cSlave>(wires, static_cast<uint8_t>(0x50 + index), eeprom);
  }
  const auto& r = host.gpio.registers;
  PortDevice* pins = nullptr;
  if (host.kind == SmbusHostKind::Sis96xGpioPins) {
    pins = &machine.Make<Sis96xGpio>(wires, r[0], r[1]);
  } else {
    pins = &machine.Make<Via586bGpio>(wires, static_cast<uint8_t>(r[0]), static_cast<uint8_t>(r[1]),
                                      static_cast<uint8_t>(r[2]));
  }
  machine.ClaimDecoded(host.gpio.decode, *pins);
  models.gpioPins = pins;
}

}  // namespace sim
