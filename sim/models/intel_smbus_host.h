// The Intel SMBus host controller, PIIX4 and ICH: the PIIX4 register block
// in the I/O range its function's configuration space places.
//
// The two families differ in the status register: on ICH bit 5 latches
// SMBALERT#, bit 6 is the INUSE_STS semaphore (a read that finds it clear
// sets it, writing 1 releases it) and bit 7 is BYTE_DONE, all cleared by a
// write of 1; on PIIX4 bits 5-7 are reserved and read 0. ICH runs the bus
// near 100 kHz; PIIX4's is slower, and the model takes 16 kHz, at which a
// word read (48 bit times) lasts 3 ms.
//
// ICH also reads its host configuration byte (0x40) at every start: in I2C
// mode (bit 2) the host does not frame byte- and word-data transfers as
// SMBus, and the model ends each with a device error before anything reaches
// the bus; with SPD write-disable (bit 4) a transfer whose address byte says
// write to 0x50-0x57 fails the same way. From the 8-series on the firmware
// sets bit 4 and it stays set until reset. Firmware that shares the host can
// hold INUSE_STS for a while. The auxiliary control (base+0x0D) of the ICH4
// and later holds packet error checking (bit 0) and the 32-byte buffer (bit
// 1); with the first set, a byte or word transfer expects a packet error
// code the SPD never sends, and the model ends it with a device error at
// once. The ICH0 to ICH3 have no such register: the port reads 0 and a
// write to it is counted (AuxWritesWithout).
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/piix4_block.h"

namespace sim {

struct Board;
struct BoardModels;
class SmbusHostModel;

enum class IntelHostFamily { Piix4, Ich };

// What an ICH generation, named by its SMBus function's device ID, does with
// its host configuration byte.
struct IchGeneration {
  bool spdWriteLock = false;  // SPD write-disable holds once set (8-series on)
  bool auxControl = true;     // the auxiliary control at +0x0D (ICH4 on)
};
IchGeneration IchGenerationOf(uint16_t deviceId);

class IntelSmbusHost : public Piix4Block {
 public:
  // Host status, ICH only.
  static constexpr uint8_t kSmbAlert = 0x20;  // SMBALERT# latched
  static constexpr uint8_t kInUse = 0x40;     // the software semaphore
  static constexpr uint8_t kByteDone = 0x80;  // a block byte moved

  // Auxiliary control (ICH).
  static constexpr uint16_t kAuxControl = 0x0D;
  static constexpr uint8_t kAuxPec = 0x01;
  static constexpr uint8_t kAuxBuffer32 = 0x02;

  // Host configuration (ICH, configuration byte 0x40).
  static constexpr uint8_t kHostConfig = 0x40;
  static constexpr uint8_t kHostEnable = 0x01;
  static constexpr uint8_t kI2cMode = 0x04;
  static constexpr uint8_t kSpdWriteDisable = 0x10;

  static constexpr uint32_t kIchBusHz = 100000;
  static constexpr uint32_t kPiix4BusHz = 16000;

  IntelSmbusHost(Machine& machine, IntelHostFamily family, SmbusBus& bus);

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  // A device pulls SMBALERT#: latched on ICH, not seen on PIIX4.
  void RaiseAlert();
  // What the board's configuration space makes of the block; on ICH also
  // where the host configuration byte is, and how the generation keeps it.
  void SetDecode(const PciIoDecode& decode, IchGeneration generation = {});
  // Firmware took INUSE_STS and writes 1 to it at `untilMs` on the
  // machine's clock, unless software released it before.
  void HoldInUseUntil(uint64_t untilMs);
  // Transfers the host refused because of its host configuration byte:
  // writes to the SPD addresses, and anything in I2C mode.
  uint64_t RefusedSpdWrites() const { return refusedSpdWrites_; }
  uint64_t RefusedInI2cMode() const { return refusedI2c_; }
  // Writes to +0x0D of an ICH without the auxiliary control (ICH0-ICH3).
  uint64_t AuxWritesWithout() const { return auxWritesWithout_; }
  // The I/O base the host answers at now; 0 when it answers nowhere.
  uint16_t IoBase() const;
  IntelHostFamily Family() const { return family_; }

  // On ICH the access that polls the status holds the semaphore its first
  // read took, until it writes the status back.
  uint32_t StuckStatus() const override { return kBusy | Semaphore(); }
  uint32_t NoAnswerStatus() const override { return kDeviceError | Semaphore(); }

 private:
  void BeforeAccess() override;
  bool Refuses(uint8_t addressByte) override;
  uint8_t Semaphore() const { return family_ == IntelHostFamily::Ich ? kInUse : 0; }
  uint8_t HostConfig();
  bool HasAuxControl() const { return family_ == IntelHostFamily::Ich && generation_.auxControl; }

  Machine& machine_;
  IntelHostFamily family_;
  PciIoDecode decode_{};
  IchGeneration generation_{};
  uint64_t auxWritesWithout_ = 0;
  bool firmwareHoldsInUse_ = false;
  uint64_t firmwareReleaseMs_ = 0;
  uint64_t refusedSpdWrites_ = 0;
  uint64_t refusedI2c_ = 0;
  uint8_t auxControl_ = 0;
};

// The Intel host of the board's PIIX4 power-management function or ICH
// SMBus function, with the modules' bus behind it; none when the board has
// neither.
SmbusHostModel* InstallIntelSmbusHost(const Board& board, Machine& machine, BoardModels& models);

}  // namespace sim
