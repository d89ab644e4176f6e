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
//
// The 256-byte parts of DDR2 and DDR3 modules take write-protect commands at
// 0x30-0x37 (WriteProtectCommands answers there for every chip of the
// segment): a write addressed to 0x30 + the chip's A2-A1-A0 strap sets its
// permanent write protection, which nothing clears; with SA0 at the high
// voltage (which no board in a PC supplies) a write to 0x31 sets the
// reversible protection and one to 0x33 clears it. Either protects bytes
// 0-127 as a protected EE1004 block is. The chip acts at the STOP of a
// transfer whose address it acknowledged, whatever followed (a quick write
// is enough); it leaves a command it cannot take unacknowledged (protected
// for good already, in its write cycle). A read there sets nothing and is
// not acknowledged. Each protection set is recorded as harm on the machine.
#pragma once

#include <stdint.h>

#include <array>
#include <utility>
#include <vector>

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
  // 256-byte parts: SA0 held at the high voltage the reversible
  // write-protect commands need.
  bool sa0HighVoltage = false;
};

class SpdEeprom : public SmbusSlave {
 public:
  SpdEeprom(Machine& machine, const std::array<uint8_t, 256>& image, EepromOptions options = {});
  // An EE1004 with the 512 bytes of `image`, showing page `page` (what the
  // firmware left selected).
  SpdEeprom(Machine& machine, const std::array<uint8_t, 512>& image, EepromOptions options = {},
            uint8_t page = 0);

  bool Address(bool read) override;
  bool Write(uint8_t value) override;
  uint8_t Read() override;
  void Stop() override;

  // Fault injection, counted in transfers (a START after a STOP):
  void FailNextTransfers(uint32_t n);   // the next n transfers are not acknowledged
  void StopAnsweringAfter(uint32_t k);  // after k more acknowledged transfers, silence
  // After k more acknowledged transfers the next n are not acknowledged;
  // then the chip answers again.
  void FailTransfersAfter(uint32_t k, uint32_t n);
  void LockAfterWrites(uint32_t n);  // after n more committed writes, writes are kept out
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
  uint64_t PageSelects() const { return pageSelects_; }  // page commands the chip took

  // 256-byte parts: the strap pins A2-A1-A0 (the slot), and the
  // write-protect commands. CommandAddress is the START of a transfer
  // addressed to 0x30-0x37: whether the chip acknowledges it (takes the
  // command); CommandStop its STOP, where the command acts.
  void SetStrap(uint8_t pins) { strap_ = pins & 7; }
  bool CommandAddress(uint8_t address, bool read);
  void CommandStop();
  uint64_t ProtectCommands() const { return protectCommands_; }  // commands taken

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

  Machine& machine_;
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
  enum class Command : uint8_t { None, Permanent, SetReversible, ClearReversible };
  uint8_t strap_ = 0;
  Command command_ = Command::None;  // taken at the START, acts at the STOP
  bool permanent_ = false;
  bool reversible_ = false;
  uint64_t protectCommands_ = 0;
  uint64_t pageSelects_ = 0;
};

// The write-protect command address `address` (0x30-0x37) of one segment:
// every 256-byte chip there sees a transfer to it, and the lines are
// wired-AND, so it is acknowledged when any chip takes it.
class WriteProtectCommands : public SmbusSlave {
 public:
  WriteProtectCommands(std::vector<SpdEeprom*> chips, uint8_t address)
      : chips_(std::move(chips)), address_(address) {}

  bool Address(bool read) override;
  bool Write(uint8_t) override { return !taken_.empty(); }  // the don't-care bytes
  uint8_t Read() override { return 0xFF; }
  void Stop() override;

 private:
  std::vector<SpdEeprom*> chips_;
  uint8_t address_;
  std::vector<SpdEeprom*> taken_;
};

}  // namespace sim
