// The Intel SMBus host controller register block, PIIX4 and ICH: host
// status, control, command, slave address and two data registers in byte
// ports from the I/O base its function's configuration space holds (the
// board claims the block through Machine::ClaimDecoded, so the model sees
// offsets). Writing the start bit runs the protocol on the bus; the host then
// reports busy for as long as the transaction takes at its bus clock, then
// shows the interrupt bit (done) or the device-error bit (no acknowledge).
//
// The two families differ in the status register: on ICH bit 5 latches
// SMBALERT#, bit 6 is the INUSE_STS semaphore (a read that finds it clear
// sets it, writing 1 releases it) and bit 7 is BYTE_DONE; on PIIX4 bits 5-7
// are reserved and read 0.
//
// ICH also reads its host configuration byte (0x40) at every start: in I2C
// mode (bit 2) the host does not frame byte- and word-data transfers as
// SMBus, and the model ends each with a device error before anything reaches
// the bus; with SPD write-disable (bit 4) a transfer whose address byte says
// write to 0x50-0x57 fails the same way. From the 8-series on the firmware
// sets bit 4 and it stays set until reset. Firmware that shares the host can
// hold INUSE_STS for a while.
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/smbus_bus.h"

namespace sim {

enum class IntelHostFamily { Piix4, Ich };

// What an ICH generation, named by its SMBus function's device ID, does with
// its host configuration byte.
struct IchGeneration {
  bool spdWriteLock = false;  // SPD write-disable holds once set (8-series on)
};
IchGeneration IchGenerationOf(uint16_t deviceId);

class IntelSmbusHost : public PortDevice {
 public:
  // Register block, offsets from the I/O base.
  static constexpr uint16_t kStatus = 0x00;
  static constexpr uint16_t kControl = 0x02;
  static constexpr uint16_t kCommand = 0x03;
  static constexpr uint16_t kAddress = 0x04;
  static constexpr uint16_t kData0 = 0x05;
  static constexpr uint16_t kData1 = 0x06;

  // Host status.
  static constexpr uint8_t kBusy = 0x01;         // live, not writable
  static constexpr uint8_t kInterrupt = 0x02;    // transfer done
  static constexpr uint8_t kDeviceError = 0x04;  // no acknowledge, or a bad protocol
  static constexpr uint8_t kBusCollision = 0x08;
  static constexpr uint8_t kFailed = 0x10;       // killed
  static constexpr uint8_t kSmbAlert = 0x20;     // ICH: SMBALERT# latched
  static constexpr uint8_t kInUse = 0x40;        // ICH: the software semaphore
  static constexpr uint8_t kByteDone = 0x80;     // ICH: a block byte moved
  static constexpr uint8_t kPiix4Clearable = 0x1E;  // written as 1 to clear
  static constexpr uint8_t kIchClearable = 0xFE;  // and INUSE_STS, released by a 1

  // Host control.
  static constexpr uint8_t kKill = 0x02;
  static constexpr uint8_t kProtocolMask = 0x1C;
  static constexpr uint8_t kProtocolByteData = 0x08;
  static constexpr uint8_t kProtocolWordData = 0x0C;
  static constexpr uint8_t kStart = 0x40;

  // Host configuration (ICH, configuration byte 0x40).
  static constexpr uint8_t kHostConfig = 0x40;
  static constexpr uint8_t kHostEnable = 0x01;
  static constexpr uint8_t kI2cMode = 0x04;
  static constexpr uint8_t kSpdWriteDisable = 0x10;

  // Bus clocks. ICH runs the bus near 100 kHz. PIIX4's is slower; the model
  // takes 16 kHz, at which a word read (48 bit times) lasts 3 ms.
  static constexpr uint32_t kIchBusHz = 100000;
  static constexpr uint32_t kPiix4BusHz = 16000;

  IntelSmbusHost(Machine& machine, IntelHostFamily family, SmbusBus& bus);

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  void SetBusClockHz(uint32_t hz) { busHz_ = hz; }
  // A controller that never leaves busy and never runs a transfer; the
  // given error bits show alongside busy and cannot be cleared meanwhile.
  void SetStuckBusy(bool stuck, uint8_t errorBits = 0);
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
  // The I/O base the host answers at now; 0 when it answers nowhere.
  uint16_t IoBase() const;
  IntelHostFamily Family() const { return family_; }
  uint64_t Transactions() const { return transactions_; }
  // The status register without the side effect of a read (the semaphore).
  uint8_t StatusRegister();

 private:
  uint8_t Clearable() const;
  uint8_t HostConfig();
  void Start(uint8_t control);
  void Settle();  // ends a running transfer whose time is up
  // The bit times of a protocol on the wire, START to STOP.
  static uint32_t BitTimes(uint8_t protocol, bool read);

  Machine& machine_;
  IntelHostFamily family_;
  SmbusBus& bus_;
  uint32_t busHz_;
  PciIoDecode decode_{};
  bool stuckBusy_ = false;
  uint8_t stuckBits_ = 0;

  uint8_t status_ = 0;
  uint8_t control_ = 0;
  uint8_t command_ = 0;
  uint8_t address_ = 0;
  uint8_t data0_ = 0;
  uint8_t data1_ = 0;

  bool running_ = false;
  uint64_t doneAtUs_ = 0;  // on the machine's clock, in microseconds
  uint8_t resultStatus_ = 0;
  bool resultHasData_ = false;
  uint8_t result0_ = 0;
  uint8_t result1_ = 0;
  uint64_t transactions_ = 0;
  bool firmwareHoldsInUse_ = false;
  uint64_t firmwareReleaseMs_ = 0;
  uint64_t refusedSpdWrites_ = 0;
  uint64_t refusedI2c_ = 0;
};

}  // namespace sim
