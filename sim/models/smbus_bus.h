// The SMBus as the device models see it: slaves that acknowledge byte by
// byte, buses that find the slave answering an address, and the SMBus
// protocols a host controller runs over them.
#pragma once

#include <stdint.h>

namespace sim {

// A slave seen from the wire: START (or repeated START) with its address,
// bytes written by the master, bytes read by the master, STOP.
class SmbusSlave {
 public:
  virtual ~SmbusSlave() = default;
  // Returns whether the slave acknowledges its address.
  virtual bool Address(bool read) = 0;
  // A byte from the master; returns whether the slave acknowledges it.
  virtual bool Write(uint8_t value) = 0;
  virtual uint8_t Read() = 0;
  virtual void Stop() = 0;
};

class SmbusBus {
 public:
  virtual ~SmbusBus() = default;
  // The slave at a 7-bit address, or null when nothing answers there.
  virtual SmbusSlave* Find(uint8_t address) = 0;
};

// The SMBus protocols: each returns false when the slave did not acknowledge
// some byte; the transfer is then ended with STOP.
bool SmbusReadByteData(SmbusBus& bus, uint8_t address, uint8_t command, uint8_t& value);
bool SmbusReadWordData(SmbusBus& bus, uint8_t address, uint8_t command, uint16_t& value);
bool SmbusWriteByteData(SmbusBus& bus, uint8_t address, uint8_t command, uint8_t value);
bool SmbusWriteWordData(SmbusBus& bus, uint8_t address, uint8_t command, uint16_t value);
// Send byte: the address for writing and one byte. Receive byte: the address
// for reading and one byte from the slave.
bool SmbusSendByte(SmbusBus& bus, uint8_t address, uint8_t value);
bool SmbusReceiveByte(SmbusBus& bus, uint8_t address, uint8_t& value);

}  // namespace sim
