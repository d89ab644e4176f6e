#include "report_model.h"

#include <algorithm>

#include "output.h"

namespace dimmio::cli {

namespace {

// Keeps a request's value; false, with the reason, when the request failed.
template <typename T, typename U>
bool Take(const Result<T>& result, U& into, RequestError& error) {
  if (!result) {
    error = result.error();
    return false;
  }
  into = *result;
  return true;
}

std::string OrNone(const std::string& text) { return text.empty() ? "(none)" : text; }

std::string Speed(const SpdFacts& facts) {
  if (facts.SpeedGrade.empty()) return facts.ChipSpeed;
  return facts.SpeedGrade + " (" + facts.ChipSpeed + ")";
}

std::string Width(const SpdFacts& facts) {
  const char* check = facts.ErrorCheck == SpdErrorCheck::Ecc      ? " (ECC)"
                      : facts.ErrorCheck == SpdErrorCheck::Parity ? " (parity)"
                                                                  : "";
  return std::to_string(facts.DataWidth) + " bits" + check;
}

std::string Maker(const JedecMaker& maker) {
  if (!maker.Name.empty()) return maker.Name;
  if (maker.Bank == 0) return "not stated";
  return "JEDEC " + std::to_string(maker.Bank) + "/0x" + Hex(maker.Code, 2) +
         (maker.ParityOk ? "" : " (bad parity)");
}

// The type's own check: the byte-63 sum or DDR3's CRC-16.
std::string CheckCell(const SpdFacts& f) {
  if (f.ChecksumOk()) return "ok";
  const bool crc = f.CheckRule == SpdCheckRule::Crc16;
  return "BAD (stored 0x" + Hex(crc ? f.StoredCrc : f.StoredChecksum, crc ? 4 : 2) +
         ", computed 0x" + Hex(crc ? f.ComputedCrc : f.ComputedChecksum, crc ? 4 : 2) + ")";
}

}  // namespace

std::string SlotAddress(uint8_t slot) { return "0x" + Hex(0x50u + slot, 2); }

bool IsEmptySlot(const SlotReport& slot) {
  return slot.BytesRead == 0 && slot.Status.Code == DIMMIO_ERROR_SPD_BLOCK_READ;
}

// What an empty slot says. The C600/X79 and C610/X99 boards wire the
// modules' SPDs to the processor's memory-controller SMBus, not the PCH's.
std::string EmptySlotText(const Report& report) {
  // The chipset record's last word holds the chip's traits.
  if ((report.Chipset.Reserved & DIMMIO_CHIP_SPDS_ON_CPU_BUS) != 0) {
    return "empty here: on this platform the modules' SPDs are on the processor's bus, which "
           "dimmio does not drive";
  }
  return "empty: no module answered";
}

std::vector<SideBySideColumn> ModuleColumns(const Report& report) {
  std::vector<SideBySideColumn> columns;
  for (const SlotReport& slot : report.Slots) {
    if (slot.Answered) columns.push_back({!slot.Name.empty() ? slot.Name : "slot " + std::to_string(slot.Slot) + " (" + SlotAddress(slot.Slot) + ")", slot.Facts});
  }
  return columns;
}

std::vector<std::string> SlotCells(const Report& report, const SlotReport& slot) {
  const SpdFacts& f = slot.Facts;
  if (IsEmptySlot(slot)) return {"-- " + EmptySlotText(report)};
  if (!slot.Answered) {
    return {"-- read stopped after " + std::to_string(slot.BytesRead) + " bytes: " + DescribeStatus(slot.Status)};
  }
  if (!f.Decoded && !f.Blank && report.NoPageSelected) {
    return {f.Type + ": answers, but no SPD page was selected (neither byte 2 nor the SMBIOS tables "
                     "show DDR4 modules), so its bytes are as the module shows them"};
  }
  if (!f.Decoded) return {f.Type + (f.Blank ? " (nothing written)" : " (not decoded: see spd --decode)")};
  return {f.Type, std::to_string(f.CapacityMb) + " MB", Speed(f), Width(f), Maker(f.Maker), OrNone(f.PartNumber),
          CheckCell(f)};
}

bool HasSegmentSwitch(const PciDeviceRecord& c) {
  return (c.Reserved & DIMMIO_CHIP_SEGMENT_SWITCH) != 0;  // the chipset record's traits
}

SystemInfo PrintableSystemInfo(const SystemInfo& info) {
  SystemInfo printable = info;
  for (std::string* text :
       {&printable.SystemManufacturer, &printable.SystemProduct, &printable.SystemVersion,
        &printable.SystemSerialNumber, &printable.BoardManufacturer, &printable.BoardProduct,
        &printable.BoardVersion, &printable.BoardSerialNumber}) {
    *text = PrintableText(*text);
  }
  return printable;
}

Result<Report> GatherReport(Client& client, uint32_t segment, BusLocks* locks) {
  Report report;
  report.Segment = segment;
  RequestError error;
  const auto table = WithBuses(locks, {Bus::Pci}, [&]() -> Result<bool> {
    return Take(client.ChipsetInfo(), report.Chipset, error) &&
           Take(client.PciDeviceCount(), report.PciCount, error) &&
           Take(client.PciDeviceTable(static_cast<int32_t>(
                    std::min<uint32_t>(report.PciCount, DIMMIO_PCI_DEVICE_TABLE_CAPACITY))),
                report.Pci, error);
  });
  if (!table) return table.error();
  if (!*table) return error;

  const auto slots = OnSmbus(locks, segment, [&] {
    return OnSegment(client, segment, [&]() -> Result<std::vector<SlotReport>> {
      std::vector<SlotReport> slots;
      bool paged = true;
      for (uint8_t slot = 0; slot < kSlots; ++slot) {
        // Through the page request while the host and the bus have EE1004
        // pages: a DDR4 module's page 0 whatever page the board left.
        auto read = paged ? client.ReadSpdPage(slot, 0, 0, kSpdDecodedBytes)
                          : client.ReadSpd(slot, 0, kSpdDecodedBytes);
        if (!read) return read.error();
        if (paged && read->Status.Code == DIMMIO_ERROR_NOT_KNOWN_DDR4) {
          // The slot as it shows, no page selected; the other slots alike.
          paged = false;
          report.NoPageSelected = true;
        }
        if (paged && (read->Status.Code == DIMMIO_ERROR_NO_PAGE_TRANSFERS ||
                      read->Status.Code == DIMMIO_ERROR_PAGE_NOT_ACKNOWLEDGED)) {
          paged = false;
          read = client.ReadSpd(slot, 0, kSpdDecodedBytes);
          if (!read) return read.error();
        }
        if (read->Status.Code == DIMMIO_ERROR_CONTROLLER_UNAVAILABLE) {
          // Nothing went on the bus, and nothing will for the other slots.
          report.ControllerAvailable = false;
          report.ControllerStatus = read->Status;
          return std::vector<SlotReport>{};
        }
        SlotReport s;
        s.Slot = slot;
        s.BytesRead = static_cast<uint32_t>(read->Bytes.size());
        s.Status = read->Status;
        if (s.Status.Code == DIMMIO_ERROR_NOT_KNOWN_DDR4) s.Status.Code = DIMMIO_ERROR_NONE;
        s.Answered = read->Bytes.size() == kSpdDecodedBytes;
        std::vector<uint8_t> bytes = read->Bytes;
        // DDR3 keeps its part number and DRAM maker beyond byte 127.
        if (s.Answered && bytes[2] == static_cast<uint8_t>(SpdMemoryType::Ddr3Sdram)) {
          const auto rest = client.ReadSpd(slot, static_cast<uint8_t>(kSpdDecodedBytes),
                                           static_cast<uint32_t>(DIMMIO_SPD_SIZE - kSpdDecodedBytes));
          if (!rest) return rest.error();
          bytes.insert(bytes.end(), rest->Bytes.begin(), rest->Bytes.end());
          s.BytesRead = static_cast<uint32_t>(bytes.size());
          if (rest->Status.Code != DIMMIO_ERROR_NONE) s.Status = rest->Status;
        }
        if (s.Answered && bytes[2] == static_cast<uint8_t>(SpdMemoryType::Ddr4Sdram)) {
          const auto all = ReadDdr4Pages(client, slot, *read);
          if (!all) return all.error();
          bytes = all->Bytes;
          s.BytesRead = static_cast<uint32_t>(bytes.size());
          s.Status = all->Status;
        }
        s.Bytes = bytes;
        if (s.Answered) s.Facts = DecodeSpd(bytes);
        slots.push_back(s);
      }
      return slots;
    });
  });
  if (!Take(slots, report.Slots, error) ||
      !Take(client.MemorySlotCount(), report.SlotCount, error) ||
      !Take(client.MemoryModuleCount(), report.ModuleCount, error)) {
    return error;
  }
  // The driver refuses the report when the machine has no SMBIOS table.
  const auto system = client.SystemInformation();
  if (system) {
    report.System = PrintableSystemInfo(*system);
  } else {
    report.SystemError = PrintableText(system.error().Text);
  }
  return report;
}

Result<SpdRead> ReadDdr4Pages(Client& client, uint8_t slot, SpdRead low) {
  const auto add = [&](uint8_t page, size_t from) -> std::optional<RequestError> {
    const auto more = client.ReadSpdPage(slot, page, static_cast<uint8_t>(from),
                                         static_cast<uint32_t>(DIMMIO_SPD_SIZE - from));
    if (!more) return more.error();
    low.Bytes.insert(low.Bytes.end(), more->Bytes.begin(), more->Bytes.end());
    low.Status = more->Status;
    return std::nullopt;
  };
  if (low.Bytes.size() < DIMMIO_SPD_SIZE) {
    if (const auto error = add(0, low.Bytes.size())) return *error;
  }
  if (low.Bytes.size() == DIMMIO_SPD_SIZE) {
    if (const auto error = add(1, 0)) return *error;
  }
  return low;
}

}  // namespace dimmio::cli
