// The SMBus host of the nForce2 MCP function 10DE:0064, seen from its
// ports: a 64-byte block of byte registers (protocol, status, address,
// command, 32 data bytes, byte count). Writing the protocol register starts
// the cycle; the status then reads 0 until the cycle ends, a configurable
// virtual time later, with the done bit and a result code (0 = success).
// The direction is bit 0 of the protocol code; the address register holds
// the 7-bit address in bits 7-1. Control bit 5 aborts a cycle under way: the
// status is left as it stands and the abort status (0x3C) shows bit 0 until
// it is written as 1. Only the nForce2 (0x0064), the MCP51 (0x0264) and
// the MCP55 (0x0368) have that abort; on the other MCPs 0x3C and 0x3E are
// no abort registers, a write there is recorded (AbortWritesWithout) and
// a cycle under way runs on. Firmware's transfer that hangs until it is aborted is
// a board option (HostFirmware::hangs). The block answers at configuration dword
// 0x50 (a later MCP's channel at its BAR or word, `baseRegister`) while the
// command register's I/O space bit and the base's I/O bit (bit 0) are set.
#pragma once

#include <stdint.h>

#include <array>

#include "sim/machine.h"
#include "sim/models/host_firmware.h"
#include "sim/models/smbus_bus.h"
#include "sim/models/smbus_host_model.h"

namespace sim {

struct Board;
struct BoardModels;

class Nvidia0064SmbusHost : public PortDevice, public SmbusHostModel {
 public:
  // Registers, offsets within the block.
  static constexpr uint16_t kProtocol = 0x00;
  static constexpr uint16_t kStatus = 0x01;
  static constexpr uint16_t kAddress = 0x02;
  static constexpr uint16_t kCommand = 0x03;
  static constexpr uint16_t kData = 0x04;  // 32 bytes
  static constexpr uint16_t kDataBytes = 32;
  static constexpr uint16_t kCount = 0x24;
  static constexpr uint16_t kAbortStatus = 0x3C;  // bit 0: aborted, write 1 to clear
  static constexpr uint16_t kControl = 0x3E;      // bit 5: abort
  static constexpr uint8_t kAbort = 0x20;
  static constexpr uint8_t kAborted = 0x01;
  static constexpr uint8_t kPciIoBar = 0x01;  // bit 0 of an I/O base
  static constexpr uint16_t kBlockSize = 0x40;

  // Protocol codes: bit 0 read; bit 7 asks for a packet error code.
  static constexpr uint8_t kRead = 0x01;
  static constexpr uint8_t kProtocolByteData = 0x06;
  static constexpr uint8_t kProtocolWordData = 0x08;
  static constexpr uint8_t kPec = 0x80;

  // Status: done in bit 7, the result code in bits 0-4.
  static constexpr uint8_t kDone = 0x80;
  static constexpr uint8_t kResultOk = 0x00;
  static constexpr uint8_t kResultNoAcknowledge = 0x10;  // the slave did not acknowledge
  static constexpr uint8_t kResultTimeout = 0x18;
  static constexpr uint8_t kResultUnsupported = 0x19;  // a protocol the model does not run

  static PciIoDecode Decode(uint8_t bus, uint8_t device, uint8_t function,
                            uint8_t baseRegister = 0x50);
  // Whether the part with this SMBus function device ID has the abort.
  static bool HasAbort(uint16_t deviceId);

  Nvidia0064SmbusHost(Machine& machine, SmbusBus& bus, uint32_t transactionMs = 1);

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  // How long a cycle runs; one still running 1 ms after its start reads 0.
  void SetTransactionMs(uint32_t ms) { transactionMs_ = ms; }
  // The next cycle leaves the bus alone and ends with this result code.
  void FailNextWith(uint8_t resultCode) { failNext_ = resultCode; }
  // A part without the abort register (the later MCPs but the MCP51/55).
  void RemoveAbort() { hasAbort_ = false; }
  // Writes to 0x3C or 0x3E of a part that has no abort register there.
  uint64_t AbortWritesWithout() const { return abortWritesWithout_; }

  // The firmware sharing the host (host_firmware.h); its hang is the one habit
  // this host has.
  HostFirmware& Firmware() { return firmware_; }
  uint64_t Transactions() const { return transactions_; }
  uint64_t Aborts() const { return aborts_; }
  uint64_t StatusReads() const { return statusReads_; }
  uint8_t StatusRegister();

  // Stuck: a cycle under way does not end, nor is it aborted (there is no
  // busy bit: the status reads 0); let go, it ends when its time is up.
  void StickBusy(bool on) override { stuck_ = on; }
  uint32_t StuckStatus() const override { return 0; }
  uint32_t NoAnswerStatus() const override { return kDone | kResultNoAcknowledge; }
  uint32_t Status() override { return StatusRegister(); }

 private:
  void Start(uint8_t protocol);
  void Settle();

  Machine& machine_;
  SmbusBus& bus_;
  uint32_t transactionMs_;
  uint8_t failNext_ = 0;
  bool stuck_ = false;
  HostFirmware firmware_{};
  bool hung_ = false;  // the cycle under way ends only when aborted
  uint8_t control_ = 0;
  uint8_t abortStatus_ = 0;
  uint64_t aborts_ = 0;
  bool hasAbort_ = true;
  uint64_t abortWritesWithout_ = 0;

  uint8_t protocol_ = 0;
  uint8_t status_ = 0;
  uint8_t address_ = 0;
  uint8_t command_ = 0;
  std::array<uint8_t, kDataBytes> data_{};
  uint8_t count_ = 0;

  bool running_ = false;
  uint64_t doneAtMs_ = 0;
  uint8_t resultStatus_ = 0;
  uint8_t resultBytes_ = 0;  // data bytes the cycle delivers
  std::array<uint8_t, 2> result_{};
  uint64_t transactions_ = 0;
  uint64_t statusReads_ = 0;
};

// The nForce2 0064's host at configuration dword 0x50, the modules' bus
// behind it.
SmbusHostModel* InstallNvidia0064SmbusHost(const Board& board, Machine& machine,
                                           BoardModels& models);
// The later MCPs' two channels at the hostSpec's base registers: the modules on
// the hostSpec's channel, an empty bus on the other (the idle host).
SmbusHostModel* InstallNvidiaMcpSmbusHost(const Board& board, Machine& machine,
                                          BoardModels& models);

}  // namespace sim
