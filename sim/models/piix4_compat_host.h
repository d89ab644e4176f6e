// The PIIX4-compatible SMBus hosts of the ServerWorks and ATI/AMD south
// bridges, and the power-management registers the later ones are found
// through.
//
// The host is the PIIX4 register block, timed by bit times at its bus
// clock, placed either by its function's configuration space (word 0x90,
// host enable 0xD2 bit 0) or by the power-management registers: PM 0x2C bit
// 0 and PM 0x2D:0x2C & 0xFFE0, or PM 0x00 bit 4 and PM 0x01 x 256. It
// answers nowhere while that says disabled. On the chips with a port select
// each port is a bus of its own with its own slaves, and a transfer goes to
// the port the select field names when it starts. On the chips shared with
// firmware, base+0x08 is the ownership semaphore: writing bit 4 takes it
// (reads back 1) unless firmware holds it, writing bit 5 gives it back;
// firmware that lets go leaves the status of its own last transfer (a device
// error). A transfer started while firmware holds the host collides with
// firmware's (bus error); every start without the semaphore is counted. The
// board's IMC (HostFirmware::imc) takes the semaphore on its own period.
// The port-select register's other bits are firmware's: firmware can flip
// one of them on its own period (HostFirmware::flipsPortRegisterBit), and
// a store that undoes firmware's last setting is counted.
#pragma once

#include <stdint.h>

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "sim/machine.h"
#include "sim/models/smbus_segment.h"
#include "sim/models/piix4_block.h"

namespace sim {

struct Board;
struct BoardModels;
class SmbusHostModel;

// The power-management registers behind index port 0xCD6 and data port 0xCD7.
class AmdPmRegisters : public PortDevice {
 public:
  static constexpr uint16_t kIndexPort = 0xCD6;

  explicit AmdPmRegisters(uint8_t index) : index_(index) {}
  uint8_t Read8(uint16_t port) override { return port == kIndexPort ? index_ : regs_[index_]; }
  void Write8(uint16_t port, uint8_t value) override {
    if (port == kIndexPort)
      index_ = value;
    else
      Store(index_, value);
  }
  uint8_t Reg(uint8_t reg) const { return regs_[reg]; }
  void SetReg(uint8_t reg, uint8_t value) { regs_[reg] = value; }
  uint8_t Index() const { return index_; }
  // Software's store to a register (the data port, the PM window): one that
  // changes a bit firmware set last undoes firmware's setting, and is
  // counted.
  void Store(uint8_t reg, uint8_t value) {
    if (firmwareMask_ != 0 && reg == firmwareReg_ && ((regs_[reg] ^ value) & firmwareMask_) != 0) {
      ++firmwareBitsUndone_;
    }
    regs_[reg] = value;
  }
  // Firmware flips its own bit `mask` of `reg`.
  void FirmwareFlips(uint8_t reg, uint8_t mask) {
    firmwareReg_ = reg;
    firmwareMask_ = mask;
    regs_[reg] ^= mask;
    ++firmwareFlips_;
  }
  uint64_t FirmwareFlipCount() const { return firmwareFlips_; }
  uint64_t FirmwareBitsUndone() const { return firmwareBitsUndone_; }

 private:
  uint8_t index_;
  std::array<uint8_t, 256> regs_{};
  uint8_t firmwareReg_ = 0;
  uint8_t firmwareMask_ = 0;
  uint64_t firmwareFlips_ = 0;
  uint64_t firmwareBitsUndone_ = 0;
};

enum class Piix4CompatBase {
  Config,     // configuration word 0x90 & 0xFFF0, enabled by 0xD2 bit 0
  PmBaseLow,  // PM 0x2D:0x2C & 0xFFE0, enabled by PM 0x2C bit 0
  PmDecode,   // PM 0x01 x 256, enabled by PM 0x00 bit 4
};

enum class Piix4CompatPortSelect {
  None,
  Sb800,  // bits 2-1 of PM 0x2E when PM 0x2F bit 0 is set, else of PM 0x2C
  Pm2E,   // bits 2-1 of PM 0x2E
  Pm02,   // bits 4-3 of PM 0x02
};

struct Piix4CompatSpec {
  Piix4CompatBase base = Piix4CompatBase::Config;
  Piix4CompatPortSelect portSelect = Piix4CompatPortSelect::None;
  bool semaphore = false;  // base+0x08 is shared with firmware
  uint32_t busHz = 100000;
  bool pmPorts = true;    // 0xCD6/0xCD7 answer (not on the Zen parts)
  bool pmWindow = false;  // the PM registers also answer in memory (FchPmWindow)
  uint8_t pmIndex = 0;    // what firmware left in the index port
  std::vector<std::pair<uint8_t, uint8_t>> pm{};  // PM registers as firmware left them
  uint64_t firmwareHoldsMs = 0;  // firmware holds the semaphore this long from power-on
  // The ServerWorks CSB5: busy shows only this long after a start; a status
  // read before then finds the bit clear although the transfer runs.
  uint32_t busyShowsAfterMs = 0;
  // A device at 0x50 on port-field value 1 (the board's second port): a
  // board-ID EEPROM with these 256 bytes, or with 512 an EE1004 (which then
  // answers the page commands of that port) on page otherPortPage.
  std::optional<std::vector<uint8_t>> otherPortDevice{};
  uint8_t otherPortPage = 0;
};

// The buses behind the port select, as the field stands now.
class Piix4CompatPorts : public SmbusBus {
 public:
  Piix4CompatPorts(const AmdPmRegisters* pm, Piix4CompatPortSelect select,
                   std::array<SmbusBus*, 4> ports)
      : pm_(pm), select_(select), ports_(ports) {}
  uint8_t Selected() const;
  SmbusSlave* Find(uint8_t address) override;
  // The register holding the port field now, and a bit of it outside the
  // field that is firmware's (none without a port select).
  uint8_t PortRegister() const;
  uint8_t FirmwareBit() const;

 private:
  const AmdPmRegisters* pm_;
  Piix4CompatPortSelect select_;
  std::array<SmbusBus*, 4> ports_;
};

class Piix4CompatHost : public Piix4Block {
 public:
  static constexpr uint16_t kSemaphore = 0x08;
  static constexpr uint8_t kTake = 0x10;
  static constexpr uint8_t kRelease = 0x20;
  static constexpr uint16_t kPorts = 0x20;  // the PM-placed block; 16 from configuration space
  static constexpr uint64_t kForever = UINT64_MAX;

  Piix4CompatHost(Machine& machine, const Piix4CompatSpec& facts, AmdPmRegisters* pm,
                  const PciIoDecode& config, Piix4CompatPorts& ports);

  uint8_t Read8(uint16_t offset) override;
  void Write8(uint16_t offset, uint8_t value) override;

  // Where the block starts now; nothing while disabled or unprogrammed.
  std::optional<uint16_t> FirstPort() const;
  uint8_t SelectedPort() const { return ports_.Selected(); }
  // Firmware takes the semaphore (when free) and keeps it until the virtual
  // time given (kForever: never lets go); a time already past lets go now.
  void FirmwareHoldsUntil(uint64_t ms);
  bool HostOwnsSemaphore() const { return hostOwns_; }
  uint64_t StartsWithoutSemaphore() const { return unownedStarts_; }

 private:
  void BeforeAccess() override { SettleFirmware(); }
  void SettleFirmware();

  Machine& machine_;
  Piix4CompatSpec facts_;
  AmdPmRegisters* pm_;
  PciIoDecode config_;
  Piix4CompatPorts& ports_;
  bool hostOwns_ = false;
  bool firmwareHolds_ = false;
  uint64_t firmwareUntilMs_ = 0;
  uint8_t slaveControl_ = 0;  // the semaphore register's other bits
  uint64_t unownedStarts_ = 0;
  uint64_t startedMs_ = 0;
};

// The host with port 0 on the modules' bus, its other ports, and on the
// PM-placed chips the power-management registers (models.amdPm).
SmbusHostModel* InstallPiix4CompatHost(const Board& board, Machine& machine, BoardModels& models);

}  // namespace sim
