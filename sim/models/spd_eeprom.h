// A 256-byte SPD EEPROM (24C02-like) on the SMBus: an internal address
// pointer that the first written byte of a transfer sets and every data byte
// advances (wrapping past 0xFF), byte-data and word-data reads, byte writes
// committed at STOP, an optional write protect, and a write cycle during
// which the chip does not acknowledge its address.
//
// The DDR4 part (EE1004) holds 512 bytes as two 256-byte pages behind the
// same 256-byte window; which page the window shows is the chip's page
// register, set by the page commands every EE1004 on the segment answers
// together (Ee1004PageCommands) and kept across transfers. Its four
// 128-byte blocks (bytes 0-127, 128-255, 256-383, 384-511) can each be
// write-protected: a write into a protected block has its address and
// offset acknowledged and its data byte not, and starts no write cycle.
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
  // EE1004 only: bit n protects block n (bytes 128n to 128n + 127).
  uint8_t protectedBlocks = 0;
  // EE1004 only: whether the chip acknowledges the don't-care byte that may
  // follow a page command (parts differ; the page switches either way).
  bool pageDataAck = true;
};

class SpdEeprom : public SmbusSlave {
 public:
  SpdEeprom(const Machine& machine, const std::array<uint8_t, 256>& image,
            EepromOptions options = {});
  // An EE1004 with the 512 bytes of `image`, showing page `page` (what the
  // firmware left selected).
  SpdEeprom(const Machine& machine, const std::array<uint8_t, 512>& image,
            EepromOptions options = {}, uint8_t page = 0);

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

  // EE1004: a page command (0 or 1) on the segment; false when the chip
  // does not acknowledge it (not an EE1004, or in its write cycle).
  bool SelectPage(uint8_t page);
  // EE1004: whether the chip acknowledges the page query, which it does on
  // page 0 only (and not in its write cycle).
  bool AcknowledgesPageQuery() const;
  bool PageDataAck() const { return options_.pageDataAck; }
  bool Ee1004() const { return ee1004_; }
  uint8_t Page() const { return page_; }

  // What a read at the chip's address shows now: the whole array of a
  // 256-byte part, the selected page of an EE1004; and either page.
  const std::array<uint8_t, 256>& Bytes() const { return pages_[page_]; }
  const std::array<uint8_t, 256>& PageBytes(uint8_t page) const { return pages_[page & 1]; }
  uint8_t& Byte(uint8_t offset) { return pages_[page_][offset]; }
  uint64_t Transfers() const { return transfers_; }
  uint8_t Pointer() const { return pointer_; }
  uint64_t CommittedWrites() const { return committedWrites_; }

 private:
  bool Writable() const;
  bool Busy() const;
  bool BlockProtected() const;

  const Machine& machine_;
  std::array<std::array<uint8_t, 256>, 2> pages_{};
  bool ee1004_ = false;
  uint8_t page_ = 0;
  uint8_t pendingPage_ = 0;
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
