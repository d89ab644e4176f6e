// The SiS 5595 SMBus host controller. Its registers sit behind an index port
// and a data port at 0x38 and 0x39 of the ACPI block, which the 0x0008
// function decodes at its configuration word 0x90 while bit 7 of
// configuration byte 0x40 enables ACPI (the board claims the pair through
// Machine::ClaimDecoded, so the model sees offsets 0 and 1).
//
// Control low takes the protocol in bits 1-3; writing bit 4 on an idle host
// starts the transfer, and bit 4 reads set until it ends. There is no busy
// bit: status low reads 0 while a transfer runs. When it ends, bit 6 (done)
// is set, with bit 4 (the slave did not acknowledge) or bit 5 (collision) when
// it failed; a failed transfer is done too. The bits stay until written as 1
// (status high likewise).
#pragma once

#include <stdint.h>

#include <array>

#include "sim/machine.h"
#include "sim/models/sticky_status_host.h"

namespace sim {

struct Board;
struct BoardModels;
class SmbusHostModel;

class SisSmbusHost : public StickyStatusHost {
 public:
  // The port pair, from the ACPI base.
  static constexpr uint16_t kPairOffset = 0x38;
  static constexpr uint16_t kIndexPort = 0;  // in the pair
  static constexpr uint16_t kDataPort = 1;
  static constexpr uint16_t kPairSize = 2;
  static constexpr uint32_t kAcpiBaseMask = 0xFFF8;  // configuration word 0x90, 8-aligned

  // Registers behind the pair.
  static constexpr uint8_t kStatusLow = 0x00;
  static constexpr uint8_t kStatusHigh = 0x01;
  static constexpr uint8_t kControlLow = 0x02;
  static constexpr uint8_t kControlHigh = 0x03;
  static constexpr uint8_t kAddress = 0x04;
  static constexpr uint8_t kCommand = 0x05;
  static constexpr uint8_t kData0 = 0x08;
  static constexpr uint8_t kData1 = 0x09;

  // Status low.
  static constexpr uint8_t kNoAnswer = 0x10;
  static constexpr uint8_t kCollision = 0x20;
  static constexpr uint8_t kDone = 0x40;
  static constexpr uint8_t kStickyLow = 0x70;  // written as 1 to clear

  static constexpr uint8_t kProtocolMask = 0x0E;
  static constexpr uint8_t kProtocolByteData = 0x04;
  static constexpr uint8_t kProtocolWordData = 0x06;
  static constexpr uint8_t kStart = 0x10;

  // The bus clock: SMBus's slowest, 10 kHz, at which a word read (48 bit
  // times) lasts 4.8 ms, a byte read 3.9 ms and a byte write 2.9 ms.
  static constexpr uint32_t kBusHz = 10000;

  // Where the pair answers on the 0x0008 function at bus/device/function.
  static PciIoDecode Decode(uint8_t bus, uint8_t device, uint8_t function);

  SisSmbusHost(const Machine& machine, SmbusBus& bus)
      : StickyStatusHost(
            machine, bus, 0,
            {.done = 0, .noAnswer = kNoAnswer, .always = kDone, .sticky = kStickyLow}) {
    engine_.SetBusClockHz(kBusHz);
  }

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  // Status bits that stand now, as when another master collided on the bus
  // while the host was idle, or a transfer ended that nobody claimed.
  void RaiseStatus(uint8_t bits) { status_ |= static_cast<uint8_t>(bits & kStickyLow); }
  // A register as the data port would show it, without touching the index.
  uint8_t Register(uint8_t reg);

  // No busy bit: a stuck transfer shows neither done nor an error.
  uint32_t StuckStatus() const override { return 0; }
  uint32_t NoAnswerStatus() const override { return kDone | kNoAnswer; }
  uint32_t Status() override { return Register(kStatusLow); }

 private:
  void Settle();
  uint8_t* Plain(uint8_t reg);  // a register kept as written; null for none

  uint8_t index_ = 0;
  uint8_t statusHigh_ = 0;
  std::array<uint8_t, 0x20> regs_{};  // the others, as written
};

// The host where the board's `decode` places the pair, the modules' bus
// behind it.
SmbusHostModel* InstallSisSmbusHost(const Board& board, Machine& machine, BoardModels& models);

}  // namespace sim
