// The nVidia 0x0064 SMBus back-end: the host controller of the nForce2 MCP
// function 10DE:0064 (and of the later MCPs' channels), a block of byte
// registers in which writing the protocol code starts a transaction. A
// transfer programs one transaction, sleeps 1 ms and polls the status until
// the done bit shows, 1 ms apart, at most about 100 ms; one that has not
// ended by then is aborted on the parts that have the abort register (the
// nForce2, MCP51 and MCP55); on the others it fails, and nothing is
// started until the host has finished it. The direction travels in the protocol code, not
// in the address byte. The transfers reach the registers only through the
// two register-access operations kept in the context.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/backend.h"
#include "smbus/smbus.h"

// Register block, offsets from the I/O base.
constexpr uint8_t kNvProtocol = 0x00;  // writing a protocol code starts the transaction
constexpr uint8_t kNvStatus = 0x01;    // bit 7 done, bits 0-4 the result (0 = success)
constexpr uint8_t kNvAddress = 0x02;   // 7-bit address << 1; bit 0 stays 0
constexpr uint8_t kNvCommand = 0x03;   // the command byte (the SPD offset)
constexpr uint8_t kNvData0 = 0x04;     // byte data; low byte of word data
constexpr uint8_t kNvData1 = 0x05;     // high byte of word data
// The nForce2, MCP51 and MCP55 only; on the other MCPs these offsets are
// not the abort registers and are never written.
constexpr uint8_t kNvAbortStatus = 0x3C;  // bit 0: the abort has taken effect (write 1 to clear)
constexpr uint8_t kNvControl = 0x3E;      // bit 5: abort the transaction under way

constexpr uint8_t kNvStatusDone = 0x80;       // the transaction ended
constexpr uint8_t kNvStatusErrorMask = 0x1F;  // bits 4-0: the result code, 0 = success

constexpr uint8_t kNvProtocolWriteByteData = 6;
constexpr uint8_t kNvProtocolReadByteData = 7;
constexpr uint8_t kNvProtocolReadWordData = 9;

constexpr uint8_t kNvAbort = 0x20;
constexpr uint8_t kNvAbortDone = 0x01;

constexpr int32_t kNvTransactionMs = 1;  // between the start and the first status read
// The polls of the status after it, 1 ms apart, and of the abort status
// after an abort.
constexpr uint32_t kNvPollLimit = 100;
// After a write the slave may be busy storing the byte (an EEPROM's write
// cycle, up to 10 ms) and answers nothing meanwhile: a write transfer that
// succeeded leaves it that long before the next transfer can start.
constexpr int32_t kNvWriteCycleMs = 10;
// Whether the host can abort a transaction (control 0x3E bit 5).
enum class NvAbort : uint32_t { None = 0, Register = 1 };

// Quirks (ChipDescriptor::Quirks) of this family and the MCP family.
constexpr uint32_t kQuirkNvAbortRegister = 1u << 0;  // the nForce2, MCP51, MCP55

// (I/O base, register, out value) -> 0 and (I/O base, register, value) -> 0.
using NvReadRegisterFn = int32_t (*)(uint32_t ioBase, uint8_t reg, uint8_t* value);
using NvWriteRegisterFn = int32_t (*)(uint32_t ioBase, uint8_t reg, uint8_t value);

struct NvContext {
  uint32_t IoBase;
  NvReadRegisterFn ReadRegister;
  NvWriteRegisterFn WriteRegister;
  // Nonzero after a transaction was left without its done bit and the abort
  // did not show either: the next transfer looks at the status first and
  // starts nothing while the host is still at it, so that its data
  // registers are never taken for the new transaction's.
  uint32_t Unfinished;
  NvAbort Abort;
};

// Allocates the context and fills the controller's slots as `chip` says;
// -1 when the context cannot be allocated, or the base is 0 or the block up
// to its control register runs past port 0xFFFF. No register is written.
int32_t NV_AcquireDevice(SmbusController* controller, uint32_t ioBase, const ChipDescriptor& chip);

// The family's object: the nForce2 10DE:0064.
extern const SmbusBackend kNvidia0064Backend;

// The one transfer entry, on an NvContext; the MCP family's too.
int32_t NV_Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                    uint16_t* data);
void NV_ReleaseDevice(void* context);

// Address, command, protocol (the start), 1 ms, then the status polled
// until done; a transaction still running then is aborted where the part
// can abort. Returns the last status read.
uint8_t NV_CallSMBus(NvContext* context, uint8_t protocol, uint8_t slave, uint8_t command);
