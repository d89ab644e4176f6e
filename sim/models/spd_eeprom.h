// A 256-byte SPD EEPROM (24C02-like) on the SMBus: an internal address
// pointer that the first written byte of a transfer sets and every data byte
// advances (wrapping past 0xFF), byte-data and word-data reads, byte writes
// committed at STOP, an optional write protect, and a write cycle during
// which the chip does not acknowledge its address.
#pragma once

#include <stdint.h>

#include <array>

#include "sim/models/smbus_bus.h"

namespace sim {

class Machine;

enum class WriteProtect {
  Off,
  AckAndKeep,  // protected: the data byte is acknowledged and discarded
  Nack,        // protected: the data byte is not acknowledged
};

struct EepromOptions {
  WriteProtect writeProtect = WriteProtect::Off;
  uint32_t writeCycleMs = 5;  // virtual ms after a STOP that committed a write
};

class SpdEeprom : public SmbusSlave {
 public:
  SpdEeprom(const Machine& machine, const std::array<uint8_t, 256>& image,
            EepromOptions options = {});

  bool Address(bool read) override;
  bool Write(uint8_t value) override;
  uint8_t Read() override;
  void Stop() override;

  // Fault injection, counted in transfers (a START after a STOP):
  void FailNextTransfers(uint32_t n);       // the next n transfers are not acknowledged
  void StopAnsweringAfter(uint32_t k);      // after k more acknowledged transfers, silence
  // After k more acknowledged transfers the next n are not acknowledged;
  // then the chip answers again.
  void FailTransfersAfter(uint32_t k, uint32_t n);
  void LockAfterWrites(uint32_t n);         // after n more committed writes, writes are kept out
  void SlowWrites(uint32_t cycleMs) { options_.writeCycleMs = cycleMs; }  // from the next write on

  const std::array<uint8_t, 256>& Bytes() const { return bytes_; }
  uint8_t& Byte(uint8_t offset) { return bytes_[offset]; }
  uint64_t Transfers() const { return transfers_; }
  uint8_t Pointer() const { return pointer_; }
  uint64_t CommittedWrites() const { return committedWrites_; }

 private:
  bool Writable() const;

  const Machine& machine_;
  std::array<uint8_t, 256> bytes_;
  EepromOptions options_;
  uint8_t pointer_ = 0;
  bool inTransfer_ = false;
  bool expectPointer_ = false;  // the next written byte sets the address pointer
  bool pendingWrite_ = false;   // a data byte was taken: commit at STOP
  uint8_t pendingOffset_ = 0;
  uint8_t pendingValue_ = 0;
  uint64_t busyUntilMs_ = 0;
  uint64_t transfers_ = 0;
  uint64_t committedWrites_ = 0;
  uint32_t failNext_ = 0;
  bool silenceArmed_ = false;
  bool failLaterArmed_ = false;
  uint32_t failLaterAfter_ = 0;
  uint32_t failLaterCount_ = 0;
  uint32_t answersLeft_ = 0;
  bool lockArmed_ = false;
  uint32_t writesLeft_ = 0;
};

}  // namespace sim
