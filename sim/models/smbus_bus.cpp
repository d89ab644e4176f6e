#include "sim/models/smbus_bus.h"

namespace sim {

namespace {

// START, address for writing, command byte; null when anything is not acknowledged.
SmbusSlave* SendCommand(SmbusBus& bus, uint8_t address, uint8_t command) {
  SmbusSlave* slave = bus.Find(address);
  if (slave == nullptr) return nullptr;
  if (!slave->Address(false) || !slave->Write(command)) {
    slave->Stop();
    return nullptr;
  }
  return slave;
}

}  // namespace

bool SmbusReadByteData(SmbusBus& bus, uint8_t address, uint8_t command, uint8_t& value) {
  SmbusSlave* slave = SendCommand(bus, address, command);
  if (slave == nullptr) return false;
  const bool acked = slave->Address(true);
  if (acked) value = slave->Read();
  slave->Stop();
  return acked;
}

bool SmbusReadWordData(SmbusBus& bus, uint8_t address, uint8_t command, uint16_t& value) {
  SmbusSlave* slave = SendCommand(bus, address, command);
  if (slave == nullptr) return false;
  const bool acked = slave->Address(true);
  if (acked) {
    const uint8_t low = slave->Read();
    const uint8_t high = slave->Read();
    value = static_cast<uint16_t>(low | (high << 8));
  }
  slave->Stop();
  return acked;
}

bool SmbusWriteByteData(SmbusBus& bus, uint8_t address, uint8_t command, uint8_t value) {
  SmbusSlave* slave = SendCommand(bus, address, command);
  if (slave == nullptr) return false;
  const bool acked = slave->Write(value);
  slave->Stop();
  return acked;
}

bool SmbusWriteWordData(SmbusBus& bus, uint8_t address, uint8_t command, uint16_t value) {
  SmbusSlave* slave = SendCommand(bus, address, command);
  if (slave == nullptr) return false;
  const bool acked = slave->Write(static_cast<uint8_t>(value & 0xFF)) &&
                     slave->Write(static_cast<uint8_t>(value >> 8));
  slave->Stop();
  return acked;
}

bool SmbusSendByte(SmbusBus& bus, uint8_t address, uint8_t value) {
  SmbusSlave* slave = bus.Find(address);
  if (slave == nullptr) return false;
  const bool acked = slave->Address(false) && slave->Write(value);
  slave->Stop();
  return acked;
}

bool SmbusReceiveByte(SmbusBus& bus, uint8_t address, uint8_t& value) {
  SmbusSlave* slave = bus.Find(address);
  if (slave == nullptr) return false;
  const bool acked = slave->Address(true);
  if (acked) value = slave->Read();
  slave->Stop();
  return acked;
}

}  // namespace sim
