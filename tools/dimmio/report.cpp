#include "report.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <regex>

#include "side_by_side.h"

namespace dimmio::cli {

namespace {

std::string Text(const std::string& text) {
  return text.empty() ? "(none)" : text;
}

std::string StoppedText(const SlotReport& slot) {
  return "read stopped after " + std::to_string(slot.BytesRead) +
         " bytes: " + DescribeStatus(slot.Status);
}

void PrintSideBySideSlots(const Report& report, std::ostream& out) {
  const std::vector<SideBySideColumn> columns = ModuleColumns(report);
  if (columns.empty()) {
    out << "  no module answered\n";
  } else {
    PrintSideBySide(columns, out);
  }
  for (const SlotReport& slot : report.Slots) {
    if (slot.Answered()) continue;
    out << "  " << SlotName(slot) << ": "
        << (slot.State == SlotState::Empty ? EmptySlotText(report) : StoppedText(slot)) << '\n';
  }
  out << '\n';
}

void PrintSlots(const Report& report, ReportLayout layout, std::ostream& out) {
  out << "Memory modules: the SPD EEPROM of each slot on SMBus segment " << report.Segment
      << " (slot N answers at address 0x50+N)\n";
  if (!report.ControllerAvailable) {
    out << "  not read: " << DescribeStatus(report.ControllerStatus) << "\n\n";
    return;
  }
  if (layout.SideBySide) {
    PrintSideBySideSlots(report, out);
    return;
  }
  // Columns as wide as their widest cell, two blanks apart; a slot without a
  // decoded module has one sentence after its address.
  std::vector<std::vector<std::string>> rows = {
      {"slot", "addr", "type", "size", "speed", "data width", "maker", "part number", "checksum"}};
  int present = 0;
  for (const SlotReport& slot : report.Slots) {
    std::vector<std::string> row = {std::to_string(slot.Slot), SlotAddress(slot.Slot)};
    const SpdFacts& f = slot.Facts;
    if (slot.State == SlotState::Module) {
      row.insert(row.end(), {f.Type, SizeText(f), SpeedText(f), WidthText(f), MakerText(f.Maker),
                             PartText(f), CheckText(slot.TypeCheck())});
    } else {
      row.push_back(SlotSentence(report, slot));
    }
    if (slot.Answered()) ++present;
    rows.push_back(row);
  }
  std::vector<size_t> widths(rows.front().size(), 0);
  for (const auto& row : rows) {
    // A sentence row spans the columns after the address: it sets no width.
    if (row.size() != widths.size()) continue;
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  widths[0] = std::max(widths[0], size_t{1});
  for (const auto& row : rows) {
    std::string line = " ";
    for (size_t i = 0; i < row.size(); ++i) {
      line += ' ' + row[i];
      if (i + 1 < row.size()) line.append(widths[i] - row[i].size() + 1, ' ');
    }
    out << line << '\n';
  }
  out << std::right << "  " << present << " of " << kSlots << " slots answered on segment "
      << report.Segment << ".\n";
  if (!report.SegmentSwitch) {
    out << '\n';
    return;
  }
  out << "  A segment is one branch of the SMBus. Boards with more slots than one branch\n"
      << "  carries put the others on segment 1 behind a switch: `dimmio report --segment 1`\n"
      << "  reads those (switching writes a board register, and the tool switches back).\n\n";
}

void PrintSmbios(const Report& report, std::ostream& out) {
  out << "SMBIOS: memory and system as the BIOS tables describe them\n";
  // Without a table the counts are 0 for want of one, not counted.
  if (!report.System) {
    out << "  no SMBIOS table found: the system information request failed with "
        << report.SystemError << ",\n  and the memory counts with "
        << DescribeStatus(report.SlotCount.Status) << '\n';
    return;
  }
  const auto count = [&](const char* what, const CountResult& c) {
    out << "  " << std::left << std::setw(16) << what << std::right
        << static_cast<unsigned>(c.Count);
    if (c.Status.Code != DIMMIO_ERROR_NONE) out << "   status: " << DescribeStatus(c.Status);
    out << '\n';
  };
  count("memory slots:", report.SlotCount);
  count("memory modules:", report.ModuleCount);
  if (report.ControllerAvailable) {
    const auto answered = std::count_if(report.Slots.begin(), report.Slots.end(),
                                        [](const SlotReport& s) { return s.BytesRead > 0; });
    if (report.ModuleCount.Count > answered) {
      out << "  (the tables count " << static_cast<unsigned>(report.ModuleCount.Count)
          << " modules where " << answered << " answered on segment " << report.Segment
          << ": the others may sit on " << (report.Segment == 0 ? "segment 1" : "segment 0")
          << ")\n";
    }
  }
  const SystemInfo& s = *report.System;
  out << "  system:         " << Text(s.SystemManufacturer) << ", " << Text(s.SystemProduct)
      << ", version " << Text(s.SystemVersion) << ", serial " << Text(s.SystemSerialNumber) << '\n'
      << "  board:          " << Text(s.BoardManufacturer) << ", " << Text(s.BoardProduct)
      << ", version " << Text(s.BoardVersion) << ", serial " << Text(s.BoardSerialNumber) << '\n';
}

nlohmann::json PciJson(const PciDeviceRecord& r, const PciNames& names) {
  nlohmann::json json = {{"bus", r.Bus},
                         {"device", r.Device},
                         {"function", r.Function},
                         {"vendor_id", r.VendorId},
                         {"device_id", r.DeviceId},
                         {"address", PciAddress(r)}};
  if (const std::string name = names.Name(r.VendorId, r.DeviceId); !name.empty()) {
    json["name"] = name;
  }
  return json;
}

nlohmann::json CountJson(const CountResult& c) {
  return {{"count", c.Count}, {"status", StatusJson(c.Status)}};
}

}  // namespace

std::string SlotAddress(uint8_t slot) {
  return "0x" + Hex(0x50u + slot, 2);
}

std::string SlotName(const SlotReport& slot) {
  return !slot.Name.empty()
             ? slot.Name
             : "slot " + std::to_string(slot.Slot) + " (" + SlotAddress(slot.Slot) + ")";
}

std::string SizeText(const SpdFacts& f) {
  return std::to_string(f.CapacityMb) + " MB";
}

std::string SpeedText(const SpdFacts& f) {
  if (f.SpeedGrade.empty()) return f.ChipSpeed;
  return f.SpeedGrade + " (" + f.ChipSpeed + ")";
}

std::string WidthText(const SpdFacts& f) {
  const char* check = f.ErrorCheck == SpdErrorCheck::Ecc      ? " (ECC)"
                      : f.ErrorCheck == SpdErrorCheck::Parity ? " (parity)"
                                                              : "";
  return std::to_string(f.DataWidth) + " bits" + check;
}

std::string MakerText(const JedecMaker& maker) {
  if (!maker.Name.empty()) return maker.Name;
  if (maker.Bank == 0) return "not stated";
  return "JEDEC " + std::to_string(maker.Bank) + "/0x" + Hex(maker.Code, 2) +
         (maker.ParityOk ? "" : " (bad parity)");
}

std::string PartText(const SpdFacts& f) {
  return Text(f.PartNumber);
}

std::string CheckText(const ByteCheck& c) {
  if (c.Verdict == CheckVerdict::Ok) return "ok";
  const int digits = c.Rule == SpdCheckRule::Crc16 ? 4 : 2;
  return "BAD (stored 0x" + Hex(c.Stored, digits) + ", computed 0x" + Hex(c.Computed, digits) + ")";
}

std::string EmptySlotText(const Report& report) {
  if (report.SpdsOnProcessorBus) {
    return "empty here: on this platform the modules' SPDs are on the processor's bus, which "
           "dimmio does not drive";
  }
  return "empty: no module answered";
}

std::string SlotSentence(const Report& report, const SlotReport& slot) {
  const SpdFacts& f = slot.Facts;
  switch (slot.State) {
    case SlotState::Empty: return "-- " + EmptySlotText(report);
    case SlotState::Stopped: return "-- " + StoppedText(slot);
    case SlotState::Unpaged:
      return f.Type +
             ": answers, but no SPD page was selected (neither byte 2 nor the SMBIOS tables "
             "show DDR4 modules), so its bytes are as the module shows them";
    case SlotState::Blank: return f.Type + " (nothing written)";
    case SlotState::Undecoded: return f.Type + " (not decoded: see spd --decode)";
    case SlotState::Module: break;
  }
  return f.Type;
}

std::vector<SideBySideColumn> ModuleColumns(const Report& report) {
  std::vector<SideBySideColumn> columns;
  for (const SlotReport& slot : report.Slots) {
    if (slot.Answered()) columns.push_back({SlotName(slot), slot.Facts});
  }
  return columns;
}

std::string PciAddress(const PciDeviceRecord& r) {
  return Hex(r.Bus, 2) + ':' + Hex(r.Device, 2) + '.' + std::to_string(r.Function);
}

std::optional<PciDeviceRecord> ParsePciAddress(const std::string& text) {
  static const std::regex form("([0-9A-Fa-f]{1,2}):([0-9A-Fa-f]{1,2})\\.([0-7])");
  std::smatch m;
  if (!std::regex_match(text, m, form)) return std::nullopt;
  const bool hex = m[1].length() == 2 || text.find_first_of("ABCDEFabcdef") != std::string::npos;
  const auto number = [&](int i) {
    return static_cast<uint32_t>(std::stoul(m[i].str(), nullptr, hex ? 16 : 10));
  };
  const PciDeviceRecord record{number(1), number(2), number(3), 0, 0, 0};
  if (record.Device > 31) return std::nullopt;
  return record;
}

std::string PciIds(const PciDeviceRecord& r) {
  return Hex(r.VendorId, 4) + ':' + Hex(r.DeviceId, 4);
}

void PrintReport(const Report& report, std::ostream& out, ReportLayout layout) {
  out << "dimmio report on " << report.Target << "\n\n";
  out << "SMBus chipset function: the PCI function whose SMBus host the driver uses\n  ";
  if (report.Chipset.VendorId == 0) {
    out << "none recognised: the driver found no SMBus host it supports\n\n";
  } else {
    const std::string name = report.Names.Name(report.Chipset.VendorId, report.Chipset.DeviceId);
    out << PciAddress(report.Chipset) << "  " << PciIds(report.Chipset) << "  "
        << (name.empty() ? "(bus:device.function  vendor:device)" : name) << "\n\n";
  }
  out << "PCI functions found on buses 0 and 1: " << report.PciCount << '\n'
      << "  bus:dev.fn  vendor:device  "
      << (report.Names.Source().empty() ? "(unnamed: no PCI ID database found)"
                                        : "name (from " + report.Names.Source() + ")")
      << '\n';
  for (const PciDeviceRecord& r : report.Pci) {
    out << "  " << PciAddress(r) << "     " << PciIds(r);
    if (const std::string name = report.Names.Name(r.VendorId, r.DeviceId); !name.empty()) {
      out << "      " << name;
    }
    out << '\n';
  }
  if (report.Pci.size() < report.PciCount) {
    out << "  (the driver's table holds the first " << report.Pci.size() << ")\n";
  }
  out << '\n';
  PrintSlots(report, layout, out);
  PrintSmbios(report, out);
}

nlohmann::json StatusJson(const OpStatus& s) {
  nlohmann::json detail = nlohmann::json::array();
  for (uint32_t i = 0; i < std::min<uint32_t>(s.DetailCount, 6); ++i) detail.push_back(s.Detail[i]);
  nlohmann::json json = {{"code", s.Code},
                         {"meaning", ErrorMeaning(s.Code)},
                         {"detail", detail},
                         {"hw_code", s.HwCode},
                         {"text", DescribeStatus(s)}};
  if (s.HwCode != DIMMIO_ERROR_NONE) {
    json["hw_meaning"] = ErrorMeaning(s.HwCode);
    if (s.HwDetailCount > 0) json["controller_status"] = s.HwDetail[0];
  }
  return json;
}

nlohmann::json ReportJson(const Report& report, ReportLayout layout) {
  nlohmann::json json;
  json["target"] = report.Target;
  if (!report.Board.empty()) json["board"] = report.Board;
  json["chipset"] = report.Chipset.VendorId == 0 ? nlohmann::json(nullptr)
                                                 : PciJson(report.Chipset, report.Names);
  json["pci_device_count"] = report.PciCount;
  json["pci_devices"] = nlohmann::json::array();
  for (const PciDeviceRecord& r : report.Pci) {
    json["pci_devices"].push_back(PciJson(r, report.Names));
  }
  json["pci_ids"] = report.Names.Source().empty() ? nlohmann::json(nullptr)
                                                  : nlohmann::json(report.Names.Source());
  json["segment"] = report.Segment;
  json["controller_available"] = report.ControllerAvailable;
  if (!report.ControllerAvailable) json["controller_status"] = StatusJson(report.ControllerStatus);
  json["slots"] = nlohmann::json::array();
  for (const SlotReport& s : report.Slots) {
    nlohmann::json slot = {
        {"slot", s.Slot},           {"address", 0x50 + s.Slot},  {"present", s.BytesRead > 0},
        {"complete", s.Answered()}, {"bytes_read", s.BytesRead}, {"status", StatusJson(s.Status)}};
    if (s.Answered()) slot["spd"] = SpdJson(s.Facts);
    json["slots"].push_back(slot);
  }
  if (layout.SideBySide) json["side_by_side"] = SideBySideJson(ModuleColumns(report));
  json["smbios"] = {{"memory_slots", CountJson(report.SlotCount)},
                    {"memory_modules", CountJson(report.ModuleCount)}};
  if (report.System) {
    const SystemInfo& s = *report.System;
    json["smbios"]["system"] = {{"manufacturer", s.SystemManufacturer},
                                {"product", s.SystemProduct},
                                {"version", s.SystemVersion},
                                {"serial_number", s.SystemSerialNumber}};
    json["smbios"]["board"] = {{"manufacturer", s.BoardManufacturer},
                               {"product", s.BoardProduct},
                               {"version", s.BoardVersion},
                               {"serial_number", s.BoardSerialNumber}};
  } else {
    json["smbios"]["error"] = "no SMBIOS table found: " + report.SystemError;
  }
  json["smbios"]["table_found"] = report.System.has_value();
  return json;
}

}  // namespace dimmio::cli
