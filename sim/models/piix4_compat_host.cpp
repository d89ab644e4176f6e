#include "sim/models/piix4_compat_host.h"

#include <algorithm>

#include "sim/board.h"

#include "sim/models/ee1004_page.h"
#include "sim/models/fch_pm_window.h"
#include "sim/models/spd_eeprom.h"

namespace sim {

namespace {

constexpr uint8_t kPmBaseLow = 0x2C, kPmBaseHigh = 0x2D, kPmPortChoice = 0x2F, kPm2E = 0x2E;
constexpr uint8_t kPmDecode = 0x00, kPmDecodeBase = 0x01, kPm02 = 0x02;

// The second port's device; an EE1004 takes that port's page commands.
SpdEeprom& WireOtherPort(const Piix4CompatSpec& facts, Machine& machine, SmbusBus* port) {
  auto* segment = static_cast<SmbusSegment*>(port);
  const std::vector<uint8_t>& bytes = *facts.otherPortDevice;
  SpdEeprom* device;
  if (bytes.size() == 512) {
    std::array<uint8_t, 512> image{};
    std::copy(bytes.begin(), bytes.end(), image.begin());
    device = &machine.Make<SpdEeprom>(machine, image, EepromOptions{}, facts.otherPortPage);
    for (uint8_t address : {Ee1004PageCommands::kSelectPage0, Ee1004PageCommands::kSelectPage1}) {
      segment->Wire(address, machine.Make<Ee1004PageCommands>(std::vector{device}, address));
    }
  } else {
    std::array<uint8_t, 256> image{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), image.size()), image.begin());
    device = &machine.Make<SpdEeprom>(machine, image);
  }
  segment->Wire(0x50, *device);
  return *device;
}

}  // namespace

uint8_t Piix4CompatPorts::Selected() const {
  switch (select_) {
    case Piix4CompatPortSelect::None: return 0;
    case Piix4CompatPortSelect::Sb800: {
      const uint8_t reg = (pm_->Reg(kPmPortChoice) & 1u) != 0 ? kPm2E : kPmBaseLow;
      return (pm_->Reg(reg) >> 1) & 3u;
    }
    case Piix4CompatPortSelect::Pm2E: return (pm_->Reg(kPm2E) >> 1) & 3u;
    case Piix4CompatPortSelect::Pm02: return (pm_->Reg(kPm02) >> 3) & 3u;
  }
  return 0;
}

uint8_t Piix4CompatPorts::PortRegister() const {
  switch (select_) {
    case Piix4CompatPortSelect::Sb800:
      return (pm_->Reg(kPmPortChoice) & 1u) != 0 ? kPm2E : kPmBaseLow;
    case Piix4CompatPortSelect::Pm2E: return kPm2E;
    case Piix4CompatPortSelect::Pm02: return kPm02;
    case Piix4CompatPortSelect::None: break;
  }
  return 0;
}

// Bit 3 beside a field in bits 2-1 (on PM 0x2C neither the host enable in
// bit 0 nor the base from bit 5), bit 1 beside one in bits 4-3.
uint8_t Piix4CompatPorts::FirmwareBit() const {
  if (select_ == Piix4CompatPortSelect::None) return 0;
  return select_ == Piix4CompatPortSelect::Pm02 ? 0x02 : 0x08;
}

SmbusSlave* Piix4CompatPorts::Find(uint8_t address) {
  SmbusBus* bus = ports_[Selected()];
  return bus == nullptr ? nullptr : bus->Find(address);
}

Piix4CompatHost::Piix4CompatHost(Machine& machine, const Piix4CompatSpec& facts, AmdPmRegisters* pm,
                                 const PciIoDecode& config, Piix4CompatPorts& ports)
    : Piix4Block(machine, ports, facts.busHz),
      machine_(machine),
      facts_(facts),
      pm_(pm),
      config_(config),
      ports_(ports) {
  if (facts.semaphore && facts.firmwareHoldsMs != 0) FirmwareHoldsUntil(facts.firmwareHoldsMs);
}

std::optional<uint16_t> Piix4CompatHost::FirstPort() const {
  uint32_t base = 0;
  switch (facts_.base) {
    case Piix4CompatBase::Config: return machine_.DecodedBase(config_);
    case Piix4CompatBase::PmBaseLow:
      if ((pm_->Reg(kPmBaseLow) & 1u) == 0) return std::nullopt;
      base = ((uint32_t{pm_->Reg(kPmBaseHigh)} << 8) | pm_->Reg(kPmBaseLow)) & 0xFFE0u;
      break;
    case Piix4CompatBase::PmDecode:
      if ((pm_->Reg(kPmDecode) & 0x10u) == 0) return std::nullopt;
      base = uint32_t{pm_->Reg(kPmDecodeBase)} << 8;
      break;
  }
  if (base == 0 || base + kPorts > 0x10000) return std::nullopt;
  return static_cast<uint16_t>(base);
}

void Piix4CompatHost::FirmwareHoldsUntil(uint64_t ms) {
  std::lock_guard<std::recursive_mutex> guard(machine_.Lock());
  SettleFirmware();
  if (hostOwns_) return;  // firmware waits for us
  firmwareHolds_ = true;
  firmwareUntilMs_ = ms;
  SettleFirmware();
}

void Piix4CompatHost::SettleFirmware() {
  const uint64_t now = machine_.NowMs();
  if (firmwareHolds_ && firmwareUntilMs_ != kForever && now >= firmwareUntilMs_) {
    firmwareHolds_ = false;
    status_ |= kDeviceError;  // its last transfer found nobody
  }
  if (pm_ != nullptr && ports_.FirmwareBit() != 0 && Firmware().flipsPortRegisterBit.Due(now)) {
    pm_->FirmwareFlips(ports_.PortRegister(), ports_.FirmwareBit());
  }
  if (facts_.semaphore && Firmware().imc.TakesNow(now, hostOwns_, firmwareHolds_, Transactions())) {
    firmwareHolds_ = true;
    firmwareUntilMs_ = now + SemaphoreImc::kTransferMs;
  }
}

uint8_t Piix4CompatHost::Read8(uint16_t offset) {
  SettleFirmware();
  if (offset == kSemaphore) {
    if (!facts_.semaphore) return 0x00;
    return static_cast<uint8_t>(slaveControl_ | (hostOwns_ ? kTake : 0));
  }
  const uint8_t value = Piix4Block::Read8(offset);
  if (offset == kStatus && machine_.NowMs() < startedMs_ + facts_.busyShowsAfterMs) {
    return static_cast<uint8_t>(value & ~kBusy);
  }
  return value;
}

void Piix4CompatHost::Write8(uint16_t offset, uint8_t value) {
  SettleFirmware();
  if (offset == kSemaphore) {
    if (!facts_.semaphore) return;
    slaveControl_ = static_cast<uint8_t>(value & ~(kTake | kRelease));
    if ((value & kRelease) != 0)
      hostOwns_ = false;
    else if ((value & kTake) != 0 && !firmwareHolds_)
      hostOwns_ = true;
    return;
  }
  if (offset == kControl && (value & kStart) != 0) startedMs_ = machine_.NowMs();
  if (offset == kControl && (value & kStart) != 0 && facts_.semaphore && !hostOwns_) {
    ++unownedStarts_;
    if (firmwareHolds_ && !engine_.Busy()) engine_.FailNextWith(kBusCollision);
  }
  Piix4Block::Write8(offset, value);
}

SmbusHostModel* InstallPiix4CompatHost(const Board& board, Machine& machine, BoardModels& models) {
  const Piix4CompatSpec& facts = board.smbus->piix4Compat;
  const PciIoDecode& config = board.smbus->decode;
  SmbusBus& spdBus = InstallModulesBus(*board.smbus, machine, models);
  AmdPmRegisters* pm = nullptr;
  if (facts.base != Piix4CompatBase::Config || facts.portSelect != Piix4CompatPortSelect::None) {
    pm = &machine.Make<AmdPmRegisters>(facts.pmIndex);
    for (const auto& [reg, value] : facts.pm) pm->SetReg(reg, value);
    if (facts.pmPorts) machine.ClaimPorts(AmdPmRegisters::kIndexPort, 2, *pm);
    if (facts.pmWindow) {
      machine.ClaimMemory(FchPmWindow::kBase, FchPmWindow::kSize, machine.Make<FchPmWindow>(*pm));
    }
  }
  std::array<SmbusBus*, 4> buses{&spdBus, &machine.Make<SmbusSegment>(),
                                 &machine.Make<SmbusSegment>(), &machine.Make<SmbusSegment>()};
  if (facts.otherPortDevice) models.otherPort = &WireOtherPort(facts, machine, buses[1]);
  auto& ports = machine.Make<Piix4CompatPorts>(pm, facts.portSelect, buses);
  auto& host = machine.Make<Piix4CompatHost>(machine, facts, pm, config, ports);
  host.Firmware().Configure(board.smbus->firmware);
  const uint16_t size = facts.base == Piix4CompatBase::Config ? 0x10 : Piix4CompatHost::kPorts;
  machine.ClaimPlaced([&host] { return host.FirstPort(); }, size, host);
  models.amdPm = pm;
  return &host;
}

}  // namespace sim
