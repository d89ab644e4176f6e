#include "sim/board.h"
#include "sim/models/ali_segment_bits.h"
#include "sim/models/board_latch.h"
#include "sim/models/ee1004_page.h"
#include "sim/models/gpo_latch.h"
#include "sim/models/smbus_mux.h"
#include "sim/models/smbus_segment.h"
#include "sim/models/super_io.h"

namespace sim {

namespace {

// The EEPROM of one slot: an EE1004 with both pages for a DDR4 module, on
// the page the firmware left selected.
SpdEeprom& MakeEeprom(const SmbusHostSpec& host, const SpdSlotSpec& slot, Machine& machine) {
  if (slot.dimm.type == MemoryType::Ddr4) {
    const std::vector<uint8_t> contents = BuildSpdContents(slot.dimm);
    std::array<uint8_t, 512> image{};
    for (size_t i = 0; i < image.size() && i < contents.size(); ++i) image[i] = contents[i];
    return machine.Make<SpdEeprom>(machine, image, slot.eeprom, host.firmwareSpdPage);
  }
  return machine.Make<SpdEeprom>(machine, BuildSpdImage(slot.dimm), slot.eeprom);
}

}  // namespace

SmbusBus& InstallModulesBus(const SmbusHostSpec& smbusSpec, Machine& machine, BoardModels& models) {
  SmbusSegment* segments[2] = {&machine.Make<SmbusSegment>(), &machine.Make<SmbusSegment>()};
  const std::vector<SpdSlotSpec>* slots[2] = {&smbusSpec.segment0, &smbusSpec.segment1};
  for (int s = 0; s < 2; ++s) {
    std::vector<SpdEeprom*> ee1004s, older;
    for (const SpdSlotSpec& slot : *slots[s]) {
      auto& eeprom = MakeEeprom(smbusSpec, slot, machine);
      eeprom.SetStrap(slot.slot);
      segments[s]->Wire(static_cast<uint8_t>(0x50 + slot.slot), eeprom);
      models.eeproms[s][slot.slot & 7] = &eeprom;
      (eeprom.Ee1004() ? ee1004s : older).push_back(&eeprom);
    }
    // The page commands reach every EE1004 of the segment, the
    // write-protect commands every older part.
    if (!ee1004s.empty()) {
      for (uint8_t address : {Ee1004PageCommands::kSelectPage0, Ee1004PageCommands::kSelectPage1}) {
        segments[s]->Wire(address, machine.Make<Ee1004PageCommands>(ee1004s, address));
      }
    }
    if (!older.empty()) {
      for (uint8_t address = 0x30; address <= 0x37; ++address) {
        if (segments[s]->Find(address) == nullptr) {
          segments[s]->Wire(address, machine.Make<WriteProtectCommands>(older, address));
        }
      }
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
      lines =
          &machine.Make<AliSegmentBits>(*machine.FindPciFunction(at.bus, at.device, at.function));
      selectsSecond = AliSegmentBits::kSecondBank;
      break;
    }
  }
  if (lines != nullptr) {
    bus = &machine.Make<SmbusMux>(*segments[0], *segments[1], *lines, selectsSecond);
  }
  return *bus;
}

}  // namespace sim
