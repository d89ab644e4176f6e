#include "sim/models/intel_smbus_host.h"

#include <optional>

#include "sim/board.h"
#include "smbus/intel_rows.h"

namespace sim {

namespace {

constexpr uint8_t kSpdFirst = 0x50, kSpdLast = 0x57;
constexpr uint8_t kIchClearable = 0xFE;  // and INUSE_STS, released by a 1

}  // namespace

IchGeneration IchGenerationOf(uint16_t deviceId) {
  // The ICH, ICH0, ICH2, C-ICH and ICH3: no auxiliary control yet.
  switch (deviceId) {
    case 0x2413:
    case 0x2423:
    case 0x2443:
    case 0x2453:
    case 0x2483: return {.auxControl = false};
    default: break;
  }
  // The chip's row says whether SPD_WD holds once set (the 8-series on).
  const ChipDescriptor* chip = intel::ChipOf(deviceId);
  return {.spdWriteLock = chip != nullptr && (chip->Traits & kChipSpdWriteDisable) != 0};
}

IntelSmbusHost::IntelSmbusHost(Machine& machine, IntelHostFamily family, SmbusBus& bus)
    : Piix4Block(machine, bus, family == IntelHostFamily::Ich ? kIchBusHz : kPiix4BusHz,
                 family == IntelHostFamily::Ich ? kIchClearable : kClearable),
      machine_(machine),
      family_(family) {}

void IntelSmbusHost::SetDecode(const PciIoDecode& decode, IchGeneration generation) {
  decode_ = decode;
  generation_ = generation;
  if (family_ != IntelHostFamily::Ich || !generation.spdWriteLock) return;
  PciFunction* f = machine_.FindPciFunction(decode.bus, decode.device, decode.function);
  if (f == nullptr) return;
  // Once set, the write-disable bit no longer takes writes.
  auto lock = [](PciFunction& fn) {
    if ((fn.Dword(kHostConfig) & kSpdWriteDisable) != 0) {
      fn.writeMask[kHostConfig / 4] &= ~uint32_t{kSpdWriteDisable};
    }
  };
  lock(*f);
  f->onWrite = [lock](PciFunction& fn, uint8_t, uint32_t) { lock(fn); };
}

void IntelSmbusHost::HoldInUseUntil(uint64_t untilMs) {
  std::lock_guard<std::recursive_mutex> guard(machine_.Lock());
  status_ |= kInUse;
  firmwareHoldsInUse_ = true;
  firmwareReleaseMs_ = untilMs;
}

uint8_t IntelSmbusHost::HostConfig() {
  const PciFunction* f = machine_.FindPciFunction(decode_.bus, decode_.device, decode_.function);
  return f == nullptr ? 0 : static_cast<uint8_t>(f->Dword(kHostConfig) & 0xFF);
}

uint16_t IntelSmbusHost::IoBase() const {
  return machine_.DecodedBase(decode_).value_or(0);
}

void IntelSmbusHost::RaiseAlert() {
  std::lock_guard<std::recursive_mutex> guard(machine_.Lock());
  if (family_ == IntelHostFamily::Ich) status_ |= kSmbAlert;
}

void IntelSmbusHost::BeforeAccess() {
  if (firmwareHoldsInUse_ && machine_.NowMs() >= firmwareReleaseMs_) {
    firmwareHoldsInUse_ = false;
    status_ &= static_cast<uint8_t>(~kInUse);
  }
  // Firmware gets the semaphore only while no one has it.
  if (family_ == IntelHostFamily::Ich && (status_ & kInUse) == 0 &&
      Firmware().holdsInUse.Due(machine_.NowMs())) {
    HoldInUseUntil(machine_.NowMs() + Firmware().holdsInUseForMs);
  }
}

bool IntelSmbusHost::Refuses(uint8_t addressByte) {
  if (family_ != IntelHostFamily::Ich) return false;
  if ((auxControl_ & kAuxPec) != 0) return true;  // no packet error code will come
  const uint8_t hostConfig = HostConfig();
  const uint8_t slave = static_cast<uint8_t>(addressByte >> 1);
  if ((hostConfig & kI2cMode) != 0) {
    ++refusedI2c_;
    return true;
  }
  const bool spdWrite = (addressByte & 1u) == 0 && slave >= kSpdFirst && slave <= kSpdLast;
  if ((hostConfig & kSpdWriteDisable) != 0 && spdWrite) {
    ++refusedSpdWrites_;
    return true;
  }
  return false;
}

uint8_t IntelSmbusHost::Read8(uint16_t offset) {
  if (offset == kAuxControl && family_ == IntelHostFamily::Ich) {
    return HasAuxControl() ? auxControl_ : 0;
  }
  const uint8_t value = Piix4Block::Read8(offset);
  // ICH: the read that finds the semaphore free takes it.
  if (offset == kStatus) status_ |= Semaphore();
  return value;
}

void IntelSmbusHost::Write8(uint16_t offset, uint8_t value) {
  // Whoever writes the 1, the firmware's hold is over.
  if (offset == kStatus && (value & Semaphore()) != 0) firmwareHoldsInUse_ = false;
  if (offset == kAuxControl && family_ == IntelHostFamily::Ich) {
    if (!HasAuxControl()) {
      ++auxWritesWithout_;
      return;
    }
    auxControl_ = static_cast<uint8_t>(value & (kAuxPec | kAuxBuffer32));
    return;
  }
  Piix4Block::Write8(offset, value);
}

namespace {

// Where an Intel SMBus host decodes its register block: PIIX4's power-
// management function from the base in dword 0x90 while its host enable
// (0xD2 bit 0) is set, ICH's SMBus function from BAR4 (dword 0x20) while its
// host enable (0x40 bit 0) is set; both only with I/O space enabled in the
// command register.
// The 440MX's power-management function carries the same host.
constexpr uint16_t kPiix4PowerManagement = 0x7113;
constexpr uint16_t k440MxPowerManagement = 0x719B;
constexpr uint32_t kSmbusClass = 0x0C0500;

struct IntelHostFound {
  IntelHostFamily family;
  PciIoDecode decode;
  IchGeneration generation;
};

std::optional<IntelHostFound> IntelHostDecode(const Board& board, uint16_t ports) {
  for (const PciFunctionSpec& f : board.pci) {
    if (f.vendorId != 0x8086) continue;
    PciIoDecode decode{.bus = f.bus,
                       .device = f.device,
                       .function = f.function,
                       .baseMask = static_cast<uint32_t>(~(ports - 1u) & 0xFFFFu),
                       .size = ports};
    if (f.deviceId == kPiix4PowerManagement || f.deviceId == k440MxPowerManagement) {
      decode.baseRegister = 0x90;
      decode.enables = {{kPciCommandRegister, kPciCommandIoSpace},
                        {0xD2, IntelSmbusHost::kHostEnable}};
      return IntelHostFound{IntelHostFamily::Piix4, decode, {}};
    }
    if ((f.classCode & 0xFFFF00u) == kSmbusClass) {
      decode.baseRegister = 0x20;
      decode.enables = {{kPciCommandRegister, kPciCommandIoSpace},
                        {IntelSmbusHost::kHostConfig, IntelSmbusHost::kHostEnable}};
      return IntelHostFound{IntelHostFamily::Ich, decode, IchGenerationOf(f.deviceId)};
    }
  }
  return std::nullopt;
}

}  // namespace

SmbusHostModel* InstallIntelSmbusHost(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  SmbusBus& bus = InstallModulesBus(hostSpec, machine, models);
  const auto found = IntelHostDecode(board, hostSpec.ports);
  if (!found) return nullptr;  // no function to decode the block: the host answers nowhere
  auto& host = machine.Make<IntelSmbusHost>(machine, found->family, bus);
  host.SetDecode(found->decode, found->generation);
  machine.ClaimDecoded(found->decode, host);
  if (hostSpec.firmwareHoldsInUseMs != 0) host.HoldInUseUntil(hostSpec.firmwareHoldsInUseMs);
  host.Firmware().Configure(hostSpec.firmware);
  host.Write8(IntelSmbusHost::kControl, hostSpec.firmware.leftHostControl &
                                            ~(IntelSmbusHost::kStart | IntelSmbusHost::kKill));
  if (hostSpec.firmware.leftAuxControl != 0) {
    host.Write8(IntelSmbusHost::kAuxControl, hostSpec.firmware.leftAuxControl);
  }
  if (hostSpec.firmware.alertForItsOwner) host.RaiseAlert();
  return &host;
}

}  // namespace sim
