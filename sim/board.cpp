#include "sim/board.h"

#include "sim/boards/boards.h"
#include "sim/models/amd_smbus_host.h"
#include "sim/models/ali_segment_bits.h"
#include "sim/models/ali_smbus_host.h"
#include "sim/models/ali1563_smbus_host.h"
#include "sim/gpio_i2c.h"
#include "sim/models/board_latch.h"
#include "sim/models/gpo_latch.h"
#include "sim/models/intel_smbus_host.h"
#include "sim/models/nvidia_0064_smbus_host.h"
#include "sim/models/smbus_mux.h"
#include "sim/models/smbus_segment.h"
#include "sim/models/sis_smbus_host.h"
#include "sim/models/super_io.h"
#include "sim/models/via_smbus_host.h"

namespace sim {

const std::vector<Board>& Boards() {
  static const std::vector<Board> boards = [] {
    std::vector<Board> all;
    all.push_back(boards::Ich5());  // the default
    all.push_back(boards::Piix4());
    all.push_back(boards::NoSmbus());
    all.push_back(boards::Ich4Mixed());
    all.push_back(boards::Sis5595());
    all.push_back(boards::Sis96x());
    all.push_back(boards::Ali1535());
    all.push_back(boards::Amd756());
    all.push_back(boards::Nforce());
    all.push_back(boards::Nforce2());
    all.push_back(boards::Sis96xNoAcpi());
    all.push_back(boards::Via586bRevE());
    all.push_back(boards::Via586bRevF());
    all.push_back(boards::Via586bProdA());
    all.push_back(boards::Via586bRev20());
    all.push_back(boards::Ali1533Rev0());
    all.push_back(boards::Ali1543());
    for (Board& b : boards::Via()) all.push_back(std::move(b));
    for (Board& b : boards::NvidiaMcp()) all.push_back(std::move(b));
    all.push_back(boards::Ali1563());
    for (Board& b : boards::LaterIntel()) all.push_back(std::move(b));
    for (Board& b : boards::Piix4Compat()) all.push_back(std::move(b));
    return all;
  }();
  return boards;
}

const Board* FindBoard(std::string_view name) {
  for (const Board& board : Boards()) {
    if (board.name == name) return &board;
  }
  return nullptr;
}

const Board& DefaultBoard() { return Boards().front(); }

namespace {

// Where an Intel SMBus host decodes its register block: PIIX4's power-
// management function from the base in dword 0x90 while its host enable
// (0xD2 bit 0) is set, ICH's SMBus function from BAR4 (dword 0x20) while its
// host enable (0x40 bit 0) is set; both only with I/O space enabled in the
// command register.
constexpr uint8_t kPciCommand = 0x04;
constexpr uint8_t kIoSpaceEnable = 0x01;
constexpr uint8_t kHostEnable = 0x01;
constexpr uint16_t kPiix4PowerManagement = 0x7113;
constexpr uint32_t kSmbusClass = 0x0C0500;

struct IntelHostFound {
  IntelHostFamily family;
  PciIoDecode decode;
  IchGeneration generation;
};

std::optional<IntelHostFound> IntelHostDecode(const Board& board, uint16_t ports) {
  for (const PciFunctionSpec& f : board.pci) {
    if (f.vendorId != 0x8086) continue;
    PciIoDecode decode{.bus = f.bus, .device = f.device, .function = f.function,
                       .baseMask = static_cast<uint32_t>(~(ports - 1u) & 0xFFFFu),
                       .size = ports};
    if (f.deviceId == kPiix4PowerManagement) {
      decode.baseRegister = 0x90;
      decode.enables = {{kPciCommand, kIoSpaceEnable}, {0xD2, kHostEnable}};
      return IntelHostFound{IntelHostFamily::Piix4, decode, {}};
    }
    if ((f.classCode & 0xFFFF00u) == kSmbusClass) {
      decode.baseRegister = 0x20;
      decode.enables = {{kPciCommand, kIoSpaceEnable}, {0x40, kHostEnable}};
      return IntelHostFound{IntelHostFamily::Ich, decode, IchGenerationOf(f.deviceId)};
    }
  }
  return std::nullopt;
}

void InstallSmbus(const Board& board, const SmbusHostSpec& smbusSpec, Machine& machine,
                  BoardModels& models) {
  SmbusSegment* segments[2] = {&machine.Make<SmbusSegment>(), &machine.Make<SmbusSegment>()};
  const std::vector<SpdSlotSpec>* slots[2] = {&smbusSpec.segment0, &smbusSpec.segment1};
  for (int s = 0; s < 2; ++s) {
    for (const SpdSlotSpec& slot : *slots[s]) {
      auto& eeprom = machine.Make<SpdEeprom>(machine, BuildSpdImage(slot.dimm), slot.eeprom);
      segments[s]->Wire(static_cast<uint8_t>(0x50 + slot.slot), eeprom);
      models.eeproms[s][slot.slot & 7] = &eeprom;
    }
  }

  SmbusBus* bus = segments[0];
  SegmentLines* lines = nullptr;
  uint8_t selectsSecond = 0;
  switch (smbusSpec.segmentSwitch) {
    case SegmentSwitch::None: break;
    case SegmentSwitch::BoardLatch: {
      auto& latch = machine.Make<BoardLatch>(smbusSpec.switchInitial);
      machine.ClaimPorts(BoardLatch::kPort, 1, latch);
      models.latch = &latch;
      lines = &latch;
      selectsSecond = 1;
      break;
    }
    case SegmentSwitch::SuperIo: {
      auto& superIo = machine.Make<SuperIo>(smbusSpec.switchInitial);
      machine.ClaimPorts(SuperIo::kIndexPort, 2, superIo);
      models.superIo = &superIo;
      lines = &superIo;
      selectsSecond = 2;
      break;
    }
    case SegmentSwitch::ViaGpo596:
    case SegmentSwitch::ViaGpo686: {
      const bool is596 = smbusSpec.segmentSwitch == SegmentSwitch::ViaGpo596;
      auto& gpo = is596 ? machine.Make<GpoLatch>(smbusSpec.switchInitial, 0x08)
                        : machine.Make<GpoLatch>(smbusSpec.switchInitial, 0x01, 0x08);
      machine.ClaimPorts(is596 ? 0xE44F : 0xE44D, 1, gpo);
      models.gpoLatch = &gpo;
      lines = &gpo;
      selectsSecond = 1;
      break;
    }
    case SegmentSwitch::AliConfigBits: {
      const PciIoDecode& at = smbusSpec.decode;
      lines = &machine.Make<AliSegmentBits>(*machine.FindPciFunction(at.bus, at.device, at.function));
      selectsSecond = AliSegmentBits::kSecondBank;
      break;
    }
  }
  if (lines != nullptr) {
    bus = &machine.Make<SmbusMux>(*segments[0], *segments[1], *lines, selectsSecond);
  }

  switch (smbusSpec.kind) {
    case SmbusHostKind::Sis96xGpioPins:
    case SmbusHostKind::Via586bGpioPins: break;  // InstallGpioI2c
    case SmbusHostKind::Intel: {
      const auto found = IntelHostDecode(board, smbusSpec.ports);
      if (!found) break;  // no function to decode the block: the host answers nowhere
      auto& host = machine.Make<IntelSmbusHost>(machine, found->family, *bus);
      host.SetDecode(found->decode, found->generation);
      machine.ClaimDecoded(found->decode, host);
      if (smbusSpec.firmwareHoldsInUseMs != 0) host.HoldInUseUntil(smbusSpec.firmwareHoldsInUseMs);
      models.intelHost = &host;
      break;
    }
    case SmbusHostKind::Amd: {
      auto& host = machine.Make<AmdSmbusHost>(machine, *bus, smbusSpec.transactionMs);
      machine.ClaimDecoded(
          AmdSmbusHost::AmdDecode(smbusSpec.pciBus, smbusSpec.pciDevice, smbusSpec.pciFunction),
          host);
      models.amdHost = &host;
      break;
    }
    case SmbusHostKind::Nforce: {
      // The modules sit behind the range at 0x10; the one at 0x14 has an
      // empty bus of its own.
      auto& host = machine.Make<AmdSmbusHost>(machine, *bus, smbusSpec.transactionMs);
      machine.ClaimDecoded(AmdSmbusHost::NforceDecode(smbusSpec.pciBus, smbusSpec.pciDevice,
                                                      smbusSpec.pciFunction, 0x10),
                           host);
      auto& other = machine.Make<AmdSmbusHost>(machine, machine.Make<SmbusSegment>(),
                                               smbusSpec.transactionMs);
      machine.ClaimDecoded(AmdSmbusHost::NforceDecode(smbusSpec.pciBus, smbusSpec.pciDevice,
                                                      smbusSpec.pciFunction, 0x14),
                           other);
      models.amdHost = &host;
      models.nforceOtherHost = &other;
      break;
    }
    case SmbusHostKind::Nvidia0064: {
      auto& host = machine.Make<Nvidia0064SmbusHost>(machine, *bus, smbusSpec.transactionMs);
      machine.ClaimDecoded(Nvidia0064SmbusHost::Decode(smbusSpec.pciBus, smbusSpec.pciDevice,
                                                       smbusSpec.pciFunction),
                           host);
      models.nvidia0064Host = &host;
      break;
    }
    case SmbusHostKind::NvidiaMcp: {
      for (uint8_t channel = 0; channel < 2; ++channel) {
        const bool spd = channel + 1 == smbusSpec.spdChannel;
        SmbusBus& wires = spd ? *bus : machine.Make<SmbusSegment>();
        auto& host = machine.Make<Nvidia0064SmbusHost>(machine, wires, smbusSpec.transactionMs);
        machine.ClaimDecoded(
            Nvidia0064SmbusHost::Decode(smbusSpec.pciBus, smbusSpec.pciDevice,
                                        smbusSpec.pciFunction,
                                        smbusSpec.channelBaseRegisters[channel]),
            host);
        models.mcpChannels[channel] = &host;
        if (spd) models.nvidia0064Host = &host;
      }
      break;
    }
    case SmbusHostKind::Ali1563: {
      auto& host = machine.Make<Ali1563SmbusHost>(machine, *bus, smbusSpec.transactionMs);
      machine.ClaimDecoded(Ali1563SmbusHost::Decode(smbusSpec.pciBus, smbusSpec.pciDevice,
                                                    smbusSpec.pciFunction),
                           host);
      models.ali1563Host = &host;
      break;
    }
    case SmbusHostKind::Via: {
      auto& host = machine.Make<ViaSmbusHost>(machine, *bus);
      machine.ClaimDecoded(smbusSpec.decode, host);
      models.viaHost = &host;
      break;
    }
    case SmbusHostKind::Ali: {
      auto& host = machine.Make<AliSmbusHost>(machine, *bus);
      machine.ClaimDecoded(smbusSpec.decode, host);
      models.aliHost = &host;
      break;
    }
    case SmbusHostKind::Sis: {
      auto& host = machine.Make<SisSmbusHost>(machine, *bus);
      machine.ClaimDecoded(smbusSpec.decode, host);
      models.sisHost = &host;
      break;
    }
    case SmbusHostKind::Piix4Compat: {
      const Piix4CompatModels installed =
          InstallPiix4Compat(machine, smbusSpec.piix4Compat, smbusSpec.decode, *bus);
      models.piix4CompatHost = installed.host;
      models.amdPm = installed.pm;
      break;
    }
  }
}

}  // namespace

BoardModels Build(const Board& board, Machine& machine) {
  BoardModels models;
  for (const PciFunctionSpec& fnSpec : board.pci) {
    PciFunction& f = machine.AddPciFunction(fnSpec.bus, fnSpec.device, fnSpec.function, fnSpec.vendorId,
                                            fnSpec.deviceId, fnSpec.revision, fnSpec.classCode,
                                            fnSpec.multiFunction);
    for (const auto& [offset, value] : fnSpec.dwords) f.SetDword(offset, value);
  }
  if (board.smbus && IsGpioI2c(board.smbus->kind)) {
    InstallGpioI2c(*board.smbus, machine, models);
  } else if (board.smbus) {
    InstallSmbus(board, *board.smbus, machine, models);
  }
  InstallSmbios(machine, board.smbios);
  return models;
}

}  // namespace sim
