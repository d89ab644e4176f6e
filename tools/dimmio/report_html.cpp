#include "report_html.h"

#include <sstream>

#include "output.h"
#include "report.h"

namespace dimmio::cli {

namespace {

// Text for the page: printable first (see PrintableText), then the five
// characters HTML gives a meaning escaped.
std::string Esc(const std::string& text) {
  std::string html;
  for (char c : PrintableText(text)) {
    switch (c) {
      case '&': html += "&amp;"; break;
      case '<': html += "&lt;"; break;
      case '>': html += "&gt;"; break;
      case '"': html += "&quot;"; break;
      case '\'': html += "&#39;"; break;
      default: html += c;
    }
  }
  return html;
}

constexpr const char* kStyle = R"(body{font-family:sans-serif;margin:1em;max-width:80em;color:#111}
h1{font-size:1.5em}h2{font-size:1.25em;margin-top:1.5em;border-bottom:1px solid #999}h3{font-size:1.05em}
.wide{overflow-x:auto}table{border-collapse:collapse;margin:.5em 0}
th,td{border:1px solid #bbb;padding:.2em .5em;text-align:left;vertical-align:top}
th{background:#eee}tr.differ td,tr.differ th{background:#ffe9a8}
table.hex td{font-family:monospace;padding:.1em .3em;text-align:center}
td.sum1{background:#dcecff}td.sum2{background:#dff5df}td.stored{background:#bcd6ff;font-weight:bold}
td.bad,span.bad{background:#f7b0b0;color:#700;font-weight:bold}.mark{color:#700;font-weight:bold}
@media print{.wide{overflow:visible}body{margin:0}h2{page-break-after:avoid}table{page-break-inside:auto}}
)";

void Row(std::ostream& out, const std::vector<std::string>& cells, const char* tag = "td",
         const char* rowClass = nullptr) {
  out << "<tr" << (rowClass != nullptr ? std::string(" class=\"") + rowClass + "\"" : "") << '>';
  for (const std::string& cell : cells) out << '<' << tag << '>' << Esc(cell) << "</" << tag << '>';
  out << "</tr>\n";
}

std::string SlotName(const SlotReport& slot) {
  return !slot.Name.empty() ? slot.Name : "slot " + std::to_string(slot.Slot) + " (" + SlotAddress(slot.Slot) + ")";
}

std::string Anchor(const SlotReport& slot) { return "module-" + std::to_string(slot.Slot); }

void Summary(const Report& r, std::ostream& out) {
  out << "<h2 id=\"summary\">Summary</h2>\n<div class=\"wide\"><table>\n";
  int answered = 0;
  for (const SlotReport& slot : r.Slots) answered += slot.Answered ? 1 : 0;
  if (r.SavedDumps) {
    Row(out, {"saved SPD dumps", std::to_string(r.Slots.size()) + " decoded"});
  } else {
    const std::string name = r.Names.Name(r.Chipset.VendorId, r.Chipset.DeviceId);
    Row(out, {"SMBus chipset function", r.Chipset.VendorId == 0 ? "none recognised"
                                                              : PciAddress(r.Chipset) + "  " + PciIds(r.Chipset) +
                                                                    (name.empty() ? "" : "  " + name)});
    Row(out, {"memory modules", r.ControllerAvailable ? std::to_string(answered) + " of " + std::to_string(kSlots) +
                                                            " slots answered on segment " + std::to_string(r.Segment)
                                                      : "not read: " + DescribeStatus(r.ControllerStatus)});
    if (r.System) {
      const SystemInfo& s = *r.System;
      Row(out, {"system", s.SystemManufacturer + ", " + s.SystemProduct + ", version " + s.SystemVersion});
      Row(out, {"board", s.BoardManufacturer + ", " + s.BoardProduct + ", version " + s.BoardVersion});
    }
  }
  out << "</table></div>\n";
}

void SlotTable(const Report& r, std::ostream& out) {
  out << "<h2 id=\"slots\">Slots</h2>\n<div class=\"wide\"><table>\n";
  Row(out, {"slot", "addr", "type", "size", "speed", "data width", "maker", "part number", "checksum"}, "th");
  for (const SlotReport& slot : r.Slots) {
    std::vector<std::string> cells = SlotCells(r, slot);
    out << "<tr><td>" << (slot.Answered ? "<a href=\"#" + Anchor(slot) + "\">" + Esc(SlotName(slot)) + "</a>"
                                        : Esc(SlotName(slot)))
        << "</td><td>" << Esc(r.SavedDumps ? "-" : SlotAddress(slot.Slot)) << "</td>";
    if (cells.size() == 1) {
      out << "<td colspan=\"7\">" << Esc(cells.front()) << "</td></tr>\n";
      continue;
    }
    for (size_t i = 0; i < cells.size(); ++i) {
      const bool bad = i + 1 == cells.size() && cells[i] != "ok";
      out << "<td" << (bad ? " class=\"bad\"" : "") << '>' << Esc(cells[i]) << "</td>";
    }
    out << "</tr>\n";
  }
  out << "</table></div>\n";
}

void SideBySideSection(const Report& r, std::ostream& out) {
  const std::vector<SideBySideColumn> columns = ModuleColumns(r);
  if (columns.size() < 2) return;
  out << "<h2 id=\"side-by-side\">Side by side</h2>\n<p>Rows whose values differ are marked "
         "<span class=\"mark\">*</span>.</p>\n<div class=\"wide\"><table>\n<tr><th></th><th>field</th>";
  for (const SideBySideColumn& c : columns) out << "<th>" << Esc(c.Name) << "</th>";
  out << "</tr>\n";
  for (const SideBySideRow& row : SideBySideRows(columns)) {
    out << "<tr" << (row.Differ ? " class=\"differ\"" : "") << "><td class=\"mark\">" << (row.Differ ? "*" : "")
        << "</td><th>" << Esc(row.Continues ? "" : row.Field) << "</th>";
    for (const std::string& v : row.Values) out << "<td>" << Esc(v) << "</td>";
    out << "</tr>\n";
  }
  out << "</table></div>\n";
}

std::string Clocks(const SpdCasTiming& t) {
  return CasText(t.CasTenths).substr(2) + "-" + std::to_string(t.Trcd) + "-" + std::to_string(t.Trp) + "-" +
         std::to_string(t.Tras);
}

void Timings(const SpdFacts& f, std::ostream& out) {
  const std::vector<SpdCasTiming>& speeds = f.StandardSpeeds.empty() ? f.Timings : f.StandardSpeeds;
  if (speeds.empty() && f.Xmp.empty()) return;
  out << "<h3>Timings</h3>\n<div class=\"wide\"><table>\n";
  Row(out, {"at", "grade", "tCK (ps)", "CL-tRCD-tRP-tRAS", "voltage"}, "th");
  for (const SpdCasTiming& t : speeds) {
    Row(out, {t.ChipSpeed, t.Grade, std::to_string(t.CycleTimePs), Clocks(t), f.Voltage});
  }
  for (const SpdXmpProfile& p : f.Xmp) {
    Row(out, {"XMP profile " + std::to_string(p.Number) + ": " + p.At.ChipSpeed, p.At.Grade,
              std::to_string(p.At.CycleTimePs), p.At.CasTenths != 0 ? Clocks(p.At) : "no latency covers tAA",
              std::to_string(p.VoltageMv) + " mV"});
  }
  out << "</table></div>\n";
}

// A check of the type's and the bytes it covers and stores.
struct CheckRange {
  uint32_t first, last, storedFirst, storedLast;
  bool ok;
  std::string what;
};

std::vector<CheckRange> CheckRanges(const SpdFacts& f) {
  std::vector<CheckRange> ranges;
  if (f.CheckRule == SpdCheckRule::Sum) {
    ranges.push_back({0, 62, 63, 63, f.ChecksumOk(), "sum of bytes 0-62, stored in byte 63"});
  } else if (f.CheckRule == SpdCheckRule::Crc16) {
    ranges.push_back({0, f.CrcLastByte, 126, 127, f.ChecksumOk(),
                      "CRC-16 of bytes 0-" + std::to_string(f.CrcLastByte) + ", stored in bytes 126-127"});
  }
  if (FieldsOf(f.Memory).Ddr4 && f.Crc2Checked) {
    ranges.push_back({128, 253, 254, 255, f.StoredCrc2 == f.ComputedCrc2, "CRC-16 of bytes 128-253, stored in 254-255"});
  }
  return ranges;
}

void HexView(const SlotReport& slot, std::ostream& out) {
  const std::vector<CheckRange> ranges = CheckRanges(slot.Facts);
  out << "<h3>Bytes</h3>\n<ul>\n";
  for (size_t i = 0; i < ranges.size(); ++i) {
    out << "<li><span class=\"" << (ranges[i].ok ? "" : "bad") << "\">" << Esc(ranges[i].what) << ": "
        << (ranges[i].ok ? "ok" : "WRONG, the stored bytes marked") << "</span></li>\n";
  }
  out << "</ul>\n<div class=\"wide\"><table class=\"hex\">\n<tr><th></th>";
  for (int c = 0; c < 16; ++c) out << "<th>" << Hex(static_cast<uint32_t>(c), 1) << "</th>";
  out << "</tr>\n";
  for (size_t at = 0; at < slot.Bytes.size(); ++at) {
    if (at % 16 == 0) out << "<tr><th>" << Hex(static_cast<uint32_t>(at), 3) << "</th>";
    std::string cls;
    for (size_t i = 0; i < ranges.size(); ++i) {
      const CheckRange& c = ranges[i];
      if (at >= c.first && at <= c.last) cls = i == 0 ? "sum1" : "sum2";
      if (at >= c.storedFirst && at <= c.storedLast) cls = c.ok ? "stored" : "bad";
    }
    out << "<td" << (cls.empty() ? "" : " class=\"" + cls + "\"") << '>' << Hex(slot.Bytes[at], 2) << "</td>";
    if (at % 16 == 15 || at + 1 == slot.Bytes.size()) out << "</tr>\n";
  }
  out << "</table></div>\n";
}

void Module(const SlotReport& slot, std::ostream& out) {
  out << "<h2 id=\"" << Anchor(slot) << "\">" << Esc(SlotName(slot)) << "</h2>\n<div class=\"wide\"><table>\n";
  for (const SpdLine& line : SpdDecodeLines(slot.Facts)) Row(out, {line.Name, line.Value});
  out << "</table></div>\n";
  Timings(slot.Facts, out);
  HexView(slot, out);
}

void Smbios(const Report& r, std::ostream& out) {
  out << "<h2 id=\"smbios\">SMBIOS</h2>\n";
  if (!r.System) {
    out << "<p>" << Esc("no SMBIOS table found: " + r.SystemError) << "</p>\n";
    return;
  }
  const SystemInfo& s = *r.System;
  out << "<div class=\"wide\"><table>\n";
  Row(out, {"", "manufacturer", "product", "version", "serial number"}, "th");
  Row(out, {"system", s.SystemManufacturer, s.SystemProduct, s.SystemVersion, s.SystemSerialNumber});
  Row(out, {"board", s.BoardManufacturer, s.BoardProduct, s.BoardVersion, s.BoardSerialNumber});
  Row(out, {"memory slots", std::to_string(r.SlotCount.Count), "", "", ""});
  Row(out, {"memory modules", std::to_string(r.ModuleCount.Count), "", "", ""});
  out << "</table></div>\n";
}

void Pci(const Report& r, std::ostream& out) {
  out << "<h2 id=\"pci\">PCI functions on buses 0 and 1: " << r.PciCount << "</h2>\n<div class=\"wide\"><table>\n";
  Row(out, {"bus:dev.fn", "vendor:device", "name"}, "th");
  for (const PciDeviceRecord& f : r.Pci) Row(out, {PciAddress(f), PciIds(f), r.Names.Name(f.VendorId, f.DeviceId)});
  out << "</table></div>\n";
}

}  // namespace

void WriteReportHtml(const Report& r, std::ostream& out) {
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>"
      << Esc(r.SavedDumps ? "dimmio: saved SPD dumps" : "dimmio report on " + r.Target) << "</title>\n<style>\n"
      << kStyle << "</style>\n</head>\n<body>\n<h1>" << Esc(r.SavedDumps ? "Saved SPD dumps" : "dimmio report")
      << "</h1>\n<p>" << Esc(r.Target) << "</p>\n";
  Summary(r, out);
  SlotTable(r, out);
  SideBySideSection(r, out);
  for (const SlotReport& slot : r.Slots) {
    if (slot.Answered) Module(slot, out);
  }
  if (!r.SavedDumps) {
    Smbios(r, out);
    Pci(r, out);
  }
  out << "</body>\n</html>\n";
}

std::string SaveReportHtml(const Report& report, const std::string& path, const FileWriter& files) {
  std::ostringstream page;
  WriteReportHtml(report, page);
  return NotWritten(path, files(path, page.str(), WriteMode::Replace));
}

}  // namespace dimmio::cli
