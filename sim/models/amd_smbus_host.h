// The SMBus host of the AMD-756/766/768 power-management function, of the
// AMD-8111 ACPI function and of the nForce 10DE:01B4 function, seen from its ports: a 16-byte block
// of 16-bit registers (global status, global control, host address, host data) and an 8-bit command
// register. Setting the start bit in global control runs the protocol on the bus; host busy (bit 3)
// and bus busy (bit 11) then stay set for the protocol's bit times at kSlowestSmbusHz (or a fixed
// virtual time a test sets) before the cycle ends with cycle done (bit 4) or an error bit. Done and
// error bits stay until written with 1. Abort (control bit 5) acts on the write that carries it: a
// cycle under way ends at once with abort done; a start in the same write begins the next cycle, so
// the bit left standing in control does no harm to later starts. Firmware sharing the host can
// leave its error, take a completion or hang a cycle (HostFirmware).
//
// The AMD parts decode the block at configuration word 0x58 (bits 15-8)
// plus 0xE0 while bit 7 of configuration byte 0x41 is set; the nForce part at
// one of its I/O base registers while the command register's I/O space bit
// is set. The device sees offsets within the block.
#pragma once

#include <stdint.h>

#include "sim/machine.h"
#include "sim/models/host_engine.h"
#include "sim/models/host_firmware.h"
#include "sim/models/smbus_bus.h"
#include "sim/models/smbus_host_model.h"

namespace sim {

struct Board;
struct BoardModels;

class AmdSmbusHost : public PortDevice, public SmbusHostModel {
 public:
  // Registers, offsets within the block.
  static constexpr uint16_t kStatus = 0x0;
  static constexpr uint16_t kControl = 0x2;
  static constexpr uint16_t kAddress = 0x4;
  static constexpr uint16_t kData = 0x6;
  static constexpr uint16_t kCommand = 0x8;  // 8 bits; +9..+F (block FIFO, snoop) read 0
  static constexpr uint16_t kBlockSize = 0x10;

  // Global status.
  static constexpr uint16_t kAbortDone = 0x0001;
  static constexpr uint16_t kCollision = 0x0002;
  static constexpr uint16_t kProtocolError = 0x0004;  // no acknowledge, or an unknown protocol
  static constexpr uint16_t kHostBusy = 0x0008;
  static constexpr uint16_t kCycleDone = 0x0010;
  static constexpr uint16_t kTimeout = 0x0020;
  static constexpr uint16_t kBusBusy = 0x0800;
  static constexpr uint16_t kWriteOneToClear = 0x0037;

  // Global control.
  static constexpr uint16_t kProtocolMask = 0x0007;
  static constexpr uint16_t kStart = 0x0008;  // reads back 0
  static constexpr uint16_t kAbort = 0x0020;
  static constexpr uint16_t kProtocolByteData = 2;
  static constexpr uint16_t kProtocolWordData = 3;

  // Where the AMD parts decode the block (the power-management function).
  static PciIoDecode AmdDecode(uint8_t bus, uint8_t device, uint8_t function);
  // Where the nForce part decodes it: the I/O base register at `bar`.
  static PciIoDecode NforceDecode(uint8_t bus, uint8_t device, uint8_t function, uint8_t bar);

  // `transactionMs` 0: a cycle lasts its bit times.
  AmdSmbusHost(Machine& machine, SmbusBus& bus, uint32_t transactionMs = 0);

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;
  uint16_t Read16(uint16_t offset) override;
  void Write16(uint16_t offset, uint16_t value) override;

  void SetTransactionMs(uint32_t ms) { transactionMs_ = ms; }  // 0: bit times
  // The next started cycle leaves the bus alone and ends with these error
  // bits (a collision, a timeout, an abort).
  void FailNextWith(uint16_t errorBits) { failNext_ = errorBits; }
  // Busy bits that stay set (another master holding the bus, a hung host);
  // a start meanwhile is lost. 0 ends the fault.
  void SetStuckBusy(uint16_t busyBits) { stuckBusy_ = busyBits & (kHostBusy | kBusBusy); }

  uint64_t Transactions() const { return transactions_; }
  // The firmware sharing the host (its busy lag aside); call with the
  // machine's lock held.
  HostFirmware& Firmware() { return firmware_; }
  uint16_t StatusRegister();
  uint16_t ControlRegister() const { return control_; }

  // Stuck: host busy and bus busy stand, and the host is not started.
  void StickBusy(bool on) override { SetStuckBusy(on ? kHostBusy | kBusBusy : 0); }
  uint32_t StuckStatus() const override { return kHostBusy | kBusBusy; }
  uint32_t NoAnswerStatus() const override { return kProtocolError; }
  uint32_t Status() override { return StatusRegister(); }

 private:
  uint16_t ReadRegister(uint16_t reg);
  // A write of the bytes in `lanes` (0x00FF low, 0xFF00 high) of a register.
  void WriteRegister(uint16_t reg, uint16_t value, uint16_t lanes);
  void Start();
  void Settle();  // ends a running cycle whose time is up

  Machine& machine_;
  SmbusBus& bus_;
  uint32_t transactionMs_;
  uint16_t failNext_ = 0;
  uint16_t stuckBusy_ = 0;

  uint16_t status_ = 0;  // done and error bits; the busy bits are live
  uint16_t control_ = 0;
  uint16_t address_ = 0;
  uint16_t data_ = 0;
  uint8_t command_ = 0;

  HostFirmware firmware_{};
  bool running_ = false;
  bool hung_ = false;      // the cycle holds the bus until aborted
  uint64_t doneAtUs_ = 0;  // on the machine's clock
  uint16_t resultStatus_ = 0;
  bool resultHasData_ = false;
  uint16_t resultData_ = 0;
  uint64_t transactions_ = 0;
};

// The AMD power-management function's host, the modules' bus behind it.
SmbusHostModel* InstallAmdSmbusHost(const Board& board, Machine& machine, BoardModels& models);
// The nForce 01B4's two hosts: the modules sit behind the range the board
// names (0x10 or 0x14); the other has an empty bus of its own (the idle
// host).
SmbusHostModel* InstallNforceSmbusHost(const Board& board, Machine& machine, BoardModels& models);

}  // namespace sim
