#include "views.h"

#include <sstream>

#include "decode.h"
#include "report.h"

namespace dimmio::gui {

namespace {

bool Listed(const SlotReport& slot) {
  return slot.State != SlotState::Empty;
}

std::string Count(const CountResult& count) {
  std::string text = std::to_string(count.Count);
  if (count.Status.Code != DIMMIO_ERROR_NONE) text += " (" + DescribeStatus(count.Status) + ")";
  return text;
}

std::string Joined(std::initializer_list<std::string> parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += ", ";
    text += part.empty() ? "(none)" : part;
  }
  return text;
}

}  // namespace

const std::vector<std::string>& SlotColumns() {
  static const std::vector<std::string> columns = {"slot",  "type", "size",    "speed",
                                                   "maker", "part", "checksum"};
  return columns;
}

std::vector<Row> SlotRows(const Report& report) {
  std::vector<Row> rows;
  for (const SlotReport& slot : report.Slots) {
    if (!Listed(slot)) continue;
    Row row = {std::to_string(slot.Slot) + " (" + cli::SlotAddress(slot.Slot) + ")"};
    const SpdFacts& f = slot.Facts;
    if (slot.State == SlotState::Module) {
      row.insert(row.end(), {f.Type, cli::SizeText(f), cli::SpeedText(f), cli::MakerText(f.Maker),
                             cli::PartText(f), cli::CheckText(slot.TypeCheck())});
    } else {
      row.push_back(cli::SlotSentence(report, slot));
    }
    rows.push_back(row);
  }
  return rows;
}

const SlotReport* SlotOfRow(const Report& report, size_t row) {
  for (const SlotReport& slot : report.Slots) {
    if (!Listed(slot)) continue;
    if (row-- == 0) return &slot;
  }
  return nullptr;
}

std::string ModuleFacts(const SlotReport& slot) {
  std::ostringstream text;
  text << "slot " << static_cast<unsigned>(slot.Slot) << " (SMBus address "
       << cli::SlotAddress(slot.Slot) << "): " << slot.BytesRead
       << " bytes read; status: " << DescribeStatus(slot.Status) << "\n\n";
  if (slot.Answered()) cli::PrintSpdDecode(slot.Facts, slot.Bytes, text);
  return text.str();
}

std::string ModuleBytes(const SlotReport& slot) {
  return HexDump(slot.Bytes, 0,
                 slot.Bytes.size() > DIMMIO_SPD_SIZE ? 2 * DIMMIO_SPD_SIZE : DIMMIO_SPD_SIZE);
}

std::vector<Row> SmbiosRows(const Report& report) {
  if (!report.System) {
    return {{"SMBIOS table", "not found: " + report.SystemError},
            {"memory counts", DescribeStatus(report.SlotCount.Status)}};
  }
  const SystemInfo& s = *report.System;
  return {
      {"memory slots", Count(report.SlotCount)},
      {"memory modules", Count(report.ModuleCount)},
      {"system", Joined({s.SystemManufacturer, s.SystemProduct})},
      {"system version", Joined({s.SystemVersion})},
      {"system serial", Joined({s.SystemSerialNumber})},
      {"board", Joined({s.BoardManufacturer, s.BoardProduct})},
      {"board version", Joined({s.BoardVersion})},
      {"board serial", Joined({s.BoardSerialNumber})},
  };
}

const std::vector<std::string>& PciColumns() {
  static const std::vector<std::string> columns = {"bus:dev.fn", "vendor:device", "name"};
  return columns;
}

std::vector<Row> PciRows(const Report& report) {
  std::vector<Row> rows;
  for (const PciDeviceRecord& r : report.Pci) {
    rows.push_back({cli::PciAddress(r), cli::PciIds(r), report.Names.Name(r.VendorId, r.DeviceId)});
  }
  return rows;
}

std::string Summary(const Report& report) {
  if (!report.ControllerAvailable) {
    return "The slots were not read: " + DescribeStatus(report.ControllerStatus);
  }
  size_t modules = 0;
  for (const SlotReport& slot : report.Slots) modules += slot.Answered() ? 1 : 0;
  std::string text = std::to_string(modules) + " of " + std::to_string(kSlots) +
                     " slots answered on SMBus segment " + std::to_string(report.Segment);
  if (report.Chipset.VendorId != 0) {
    const std::string name = report.Names.Name(report.Chipset.VendorId, report.Chipset.DeviceId);
    text += "; SMBus host " + cli::PciAddress(report.Chipset) + " " + cli::PciIds(report.Chipset) +
            (name.empty() ? "" : " " + name);
  }
  return modules == 0 ? text + ": " + cli::EmptySlotText(report) : text;
}

}  // namespace dimmio::gui
