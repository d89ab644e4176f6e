#include "sim/models/spd_eeprom.h"

#include "sim/machine.h"

#include <string>

namespace sim {

SpdEeprom::SpdEeprom(Machine& machine, const std::array<uint8_t, 256>& image, EepromOptions options)
    : machine_(machine), options_(options) {
  pages_[0] = image;
}

SpdEeprom::SpdEeprom(Machine& machine, const std::array<uint8_t, 512>& image, EepromOptions options,
                     uint8_t page)
    : machine_(machine), ee1004_(true), page_(page & 1), options_(options) {
  for (size_t i = 0; i < 256; ++i) {
    pages_[0][i] = image[i];
    pages_[1][i] = image[256 + i];
  }
}

bool SpdEeprom::Busy() const {
  return machine_.NowMs() < busyUntilMs_;
}

bool SpdEeprom::SelectPage(uint8_t page) {
  if (!ee1004_ || Busy()) return false;
  ++pageSelects_;
  page_ = page & 1;
  return true;
}

bool SpdEeprom::AcknowledgesPageQuery() const {
  return ee1004_ && !Busy() && page_ == 0;
}

bool SpdEeprom::BlockProtected() const {
  if (!ee1004_) return (permanent_ || reversible_) && pointer_ < 0x80;
  const unsigned block = page_ * 2u + (pointer_ >> 7);
  return (options_.protectedBlocks & (1u << block)) != 0;
}

namespace {
constexpr uint8_t kProtectBase = 0x30;    // + the strap: permanent protection
constexpr uint8_t kSetReversible = 0x31;  // with SA0 at the high voltage
constexpr uint8_t kClearReversible = 0x33;
}  // namespace

bool SpdEeprom::CommandAddress(uint8_t address, bool read) {
  command_ = Command::None;
  if (ee1004_ || read || Busy()) return false;
  if (options_.sa0HighVoltage) {
    if (address == kSetReversible) command_ = Command::SetReversible;
    if (address == kClearReversible) command_ = Command::ClearReversible;
  } else if (address == kProtectBase + strap_ && !permanent_) {
    command_ = Command::Permanent;
  }
  if (command_ != Command::None) ++protectCommands_;
  return command_ != Command::None;
}

void SpdEeprom::CommandStop() {
  const char* what = nullptr;
  switch (command_) {
    case Command::None: break;
    case Command::Permanent:
      permanent_ = true;
      what = "permanently write-protected";
      break;
    case Command::SetReversible:
      reversible_ = true;
      what = "write-protected (reversible)";
      break;
    case Command::ClearReversible: reversible_ = false; break;
  }
  command_ = Command::None;
  if (what != nullptr) {
    machine_.RecordHarm("the SPD EEPROM strapped as slot " + std::to_string(strap_) + " was " +
                        what);
  }
}

bool WriteProtectCommands::Address(bool read) {
  taken_.clear();
  for (SpdEeprom* chip : chips_) {
    if (chip->CommandAddress(address_, read)) taken_.push_back(chip);
  }
  return !taken_.empty();
}

void WriteProtectCommands::Stop() {
  for (SpdEeprom* chip : taken_) chip->CommandStop();
  taken_.clear();
}

bool SpdEeprom::Address(bool read) {
  if (!inTransfer_) {
    // A new transfer. While the write cycle runs the chip ignores its address.
    if (Busy()) return false;
    if (failLaterArmed_ && failLaterAfter_ == 0) {
      failLaterArmed_ = false;
      failNext_ = failLaterCount_;
    }
    if (failNext_ > 0) {
      --failNext_;
      return false;
    }
    if (silenceArmed_) {
      if (answersLeft_ == 0) return false;
      --answersLeft_;
    }
    inTransfer_ = true;
    ++transfers_;
    if (failLaterArmed_) --failLaterAfter_;
  }
  expectPointer_ = !read;
  return true;
}

bool SpdEeprom::Writable() const {
  if (lockArmed_ && writesLeft_ == 0) return false;
  return options_.writeProtect == WriteProtect::Off;
}

bool SpdEeprom::Write(uint8_t value) {
  if (expectPointer_) {
    pointer_ = value;
    expectPointer_ = false;
    return true;
  }
  if (BlockProtected()) {
    // Offset acknowledged, data not; nothing is written and no cycle runs.
    ++pointer_;
    return false;
  }
  if (!Writable()) {
    // A locked part behaves like one with its protect pin tied.
    const bool nack = options_.writeProtect == WriteProtect::Nack;
    ++pointer_;
    return !nack;
  }
  // Byte write: one data byte per transfer is kept; a later byte replaces it.
  pendingWrite_ = true;
  pendingPage_ = page_;
  pendingOffset_ = pointer_++;
  pendingValue_ = value;
  return true;
}

uint8_t SpdEeprom::Read() {
  return pages_[page_][pointer_++];
}

void SpdEeprom::Stop() {
  if (pendingWrite_) {
    pages_[pendingPage_][pendingOffset_] = pendingValue_;
    pendingWrite_ = false;
    ++committedWrites_;
    if (lockArmed_ && writesLeft_ > 0) --writesLeft_;
    busyUntilMs_ = machine_.NowMs() + options_.writeCycleMs;
  }
  inTransfer_ = false;
  expectPointer_ = false;
}

void SpdEeprom::FailNextTransfers(uint32_t n) {
  failNext_ = n;
}

void SpdEeprom::StopAnsweringAfter(uint32_t k) {
  silenceArmed_ = true;
  answersLeft_ = k;
}

void SpdEeprom::FailTransfersAfter(uint32_t k, uint32_t n) {
  failLaterArmed_ = true;
  failLaterAfter_ = k;
  failLaterCount_ = n;
}

void SpdEeprom::LockAfterWrites(uint32_t n) {
  lockArmed_ = true;
  writesLeft_ = n;
}

}  // namespace sim
