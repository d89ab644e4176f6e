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
h1{font-size:1.5em}h2{font-size:1.25em;margin-top:1.5em;border-bottom:1px solid #999})"
                               R"(h3{font-size:1.05em}
.wide{overflow-x:auto}table{border-collapse:collapse;margin:.5em 0}
th,td{border:1px solid #bbb;padding:.2em .5em;text-align:left;vertical-align:top}
th{background:#eee}tr.differ td,tr.differ th{background:#ffe9a8}
table.hex td{font-family:monospace;padding:.1em .3em;text-align:center}
td.sum1{background:#dcecff}td.sum2{background:#dff5df}td.stored{background:#bcd6ff;font-weight:bold}
td.bad,span.bad{background:#f7b0b0;color:#700;font-weight:bold}.mark{color:#700;font-weight:bold}
@media print{.wide{overflow:visible}body{margin:0}h2{page-break-after:avoid})"
                               R"(table{page-break-inside:auto}}
)";

void Row(std::ostream& out, const std::vector<std::string>& cells, const char* tag = "td",
         const char* rowClass = nullptr) {
  out << "<tr" << (rowClass != nullptr ? std::string(" class=\"") + rowClass + "\"" : "") << '>';
  for (const std::string& cell : cells) out << '<' << tag << '>' << Esc(cell) << "</" << tag << '>';
  out << "</tr>\n";
}

std::string Anchor(const SlotReport& slot) {
  return "module-" + std::to_string(slot.Slot);
}

void Summary(const Report& r, std::ostream& out) {
  out << "<h2 id=\"summary\">Summary</h2>\n<div class=\"wide\"><table>\n";
  int answered = 0;
  for (const SlotReport& slot : r.Slots) answered += slot.Answered() ? 1 : 0;
  if (r.SavedDumps) {
    Row(out, {"saved SPD dumps", std::to_string(r.Slots.size()) + " decoded"});
  } else {
    const std::string name = r.Names.Name(r.Chipset.VendorId, r.Chipset.DeviceId);
    Row(out, {"SMBus chipset function", r.Chipset.VendorId == 0
                                            ? "none recognised"
                                            : PciAddress(r.Chipset) + "  " + PciIds(r.Chipset) +
                                                  (name.empty() ? "" : "  " + name)});
    Row(out, {"memory modules", r.ControllerAvailable
                                    ? std::to_string(answered) + " of " + std::to_string(kSlots) +
                                          " slots answered on segment " + std::to_string(r.Segment)
                                    : "not read: " + DescribeStatus(r.ControllerStatus)});
    if (r.System) {
      const SystemInfo& s = *r.System;
      Row(out, {"system",
                s.SystemManufacturer + ", " + s.SystemProduct + ", version " + s.SystemVersion});
      Row(out,
          {"board", s.BoardManufacturer + ", " + s.BoardProduct + ", version " + s.BoardVersion});
    }
  }
  out << "</table></div>\n";
}

void SlotTable(const Report& r, std::ostream& out) {
  out << "<h2 id=\"slots\">Slots</h2>\n<div class=\"wide\"><table>\n";
  Row(out,
      {"slot", "addr", "type", "size", "speed", "data width", "maker", "part number", "checksum"},
      "th");
  for (const SlotReport& slot : r.Slots) {
    out << "<tr><td>"
        << (slot.Answered() ? "<a href=\"#" + Anchor(slot) + "\">" + Esc(SlotName(slot)) + "</a>"
                            : Esc(SlotName(slot)))
        << "</td><td>" << Esc(r.SavedDumps ? "-" : SlotAddress(slot.Slot)) << "</td>";
    if (slot.State != SlotState::Module) {
      out << "<td colspan=\"7\">" << Esc(SlotSentence(r, slot)) << "</td></tr>\n";
      continue;
    }
    const SpdFacts& f = slot.Facts;
    for (const std::string& cell :
         {f.Type, SizeText(f), SpeedText(f), WidthText(f), MakerText(f.Maker), PartText(f)}) {
      out << "<td>" << Esc(cell) << "</td>";
    }
    const ByteCheck check = slot.TypeCheck();
    out << "<td" << (check.Verdict == CheckVerdict::Bad ? " class=\"bad\"" : "") << '>'
        << Esc(CheckText(check)) << "</td></tr>\n";
  }
  out << "</table></div>\n";
}

void SideBySideSection(const Report& r, std::ostream& out) {
  const std::vector<SideBySideColumn> columns = ModuleColumns(r);
  if (columns.size() < 2) return;
  out << "<h2 id=\"side-by-side\">Side by side</h2>\n<p>Rows whose values differ are marked "
         "<span class=\"mark\">*</span>.</p>\n<div "
         "class=\"wide\"><table>\n<tr><th></th><th>field</th>";
  for (const SideBySideColumn& c : columns) out << "<th>" << Esc(c.Name) << "</th>";
  out << "</tr>\n";
  for (const SideBySideRow& row : SideBySideRows(columns)) {
    out << "<tr" << (row.Differ ? " class=\"differ\"" : "") << "><td class=\"mark\">"
        << (row.Differ ? "*" : "") << "</td><th>" << Esc(row.Continues ? "" : row.Field) << "</th>";
    for (const std::string& v : row.Values) out << "<td>" << Esc(v) << "</td>";
    out << "</tr>\n";
  }
  out << "</table></div>\n";
}

std::string Clocks(const SpdCasTiming& t) {
  return CasText(t.CasTenths).substr(2) + "-" + std::to_string(t.Trcd) + "-" +
         std::to_string(t.Trp) + "-" + std::to_string(t.Tras);
}

void Timings(const SpdFacts& f, std::ostream& out) {
  const std::vector<SpdCasTiming>& speeds =
      f.Ddr2.StandardSpeeds.empty() ? f.Timings : f.Ddr2.StandardSpeeds;
  if (speeds.empty() && f.Xmp.empty()) return;
  out << "<h3>Timings</h3>\n<div class=\"wide\"><table>\n";
  Row(out, {"at", "grade", "tCK (ps)", "CL-tRCD-tRP-tRAS", "voltage"}, "th");
  for (const SpdCasTiming& t : speeds) {
    Row(out, {t.ChipSpeed, t.Grade, std::to_string(t.CycleTimePs), Clocks(t), f.Voltage});
  }
  for (const SpdXmpProfile& p : f.Xmp) {
    Row(out, {"XMP profile " + std::to_string(p.Number) + ": " + p.At.ChipSpeed, p.At.Grade,
              std::to_string(p.At.CycleTimePs),
              p.At.CasTenths != 0 ? Clocks(p.At) : "no latency covers tAA",
              std::to_string(p.VoltageMv) + " mV"});
  }
  out << "</table></div>\n";
}

std::string CheckRangeText(const ByteCheck& c) {
  const std::string stored = c.StoredFirst == c.StoredLast ? "byte " + std::to_string(c.StoredFirst)
                                                           : std::to_string(c.StoredFirst) + "-" +
                                                                 std::to_string(c.StoredLast);
  if (c.Rule == SpdCheckRule::Sum) return "sum of bytes 0-62, stored in " + stored;
  return "CRC-16 of bytes " + std::to_string(c.First) + "-" + std::to_string(c.Last) +
         ", stored in " + (c.First == 0 ? "bytes " : "") + stored;
}

void HexView(const SlotReport& slot, std::ostream& out) {
  const std::vector<ByteCheck>& ranges = slot.Checks;
  out << "<h3>Bytes</h3>\n<ul>\n";
  for (const ByteCheck& c : ranges) {
    const bool ok = c.Verdict == CheckVerdict::Ok;
    out << "<li><span class=\"" << (ok ? "" : "bad") << "\">" << Esc(CheckRangeText(c)) << ": "
        << (ok ? "ok" : "WRONG, the stored bytes marked") << "</span></li>\n";
  }
  out << "</ul>\n<div class=\"wide\"><table class=\"hex\">\n<tr><th></th>";
  for (int c = 0; c < 16; ++c) out << "<th>" << Hex(static_cast<uint32_t>(c), 1) << "</th>";
  out << "</tr>\n";
  for (size_t at = 0; at < slot.Bytes.size(); ++at) {
    if (at % 16 == 0) out << "<tr><th>" << Hex(static_cast<uint32_t>(at), 3) << "</th>";
    std::string cls;
    for (size_t i = 0; i < ranges.size(); ++i) {
      const ByteCheck& c = ranges[i];
      if (at >= c.First && at <= c.Last) cls = i == 0 ? "sum1" : "sum2";
      if (at >= c.StoredFirst && at <= c.StoredLast)
        cls = c.Verdict == CheckVerdict::Ok ? "stored" : "bad";
    }
    out << "<td" << (cls.empty() ? "" : " class=\"" + cls + "\"") << '>' << Hex(slot.Bytes[at], 2)
        << "</td>";
    if (at % 16 == 15 || at + 1 == slot.Bytes.size()) out << "</tr>\n";
  }
  out << "</table></div>\n";
}

void Module(const SlotReport& slot, std::ostream& out) {
  out << "<h2 id=\"" << Anchor(slot) << "\">" << Esc(SlotName(slot))
      << "</h2>\n<div class=\"wide\"><table>\n";
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
  Row(out,
      {"system", s.SystemManufacturer, s.SystemProduct, s.SystemVersion, s.SystemSerialNumber});
  Row(out, {"board", s.BoardManufacturer, s.BoardProduct, s.BoardVersion, s.BoardSerialNumber});
  Row(out, {"memory slots", std::to_string(r.SlotCount.Count), "", "", ""});
  Row(out, {"memory modules", std::to_string(r.ModuleCount.Count), "", "", ""});
  out << "</table></div>\n";
}

void Pci(const Report& r, std::ostream& out) {
  out << "<h2 id=\"pci\">PCI functions on buses 0 and 1: " << r.PciCount
      << "</h2>\n<div class=\"wide\"><table>\n";
  Row(out, {"bus:dev.fn", "vendor:device", "name"}, "th");
  for (const PciDeviceRecord& f : r.Pci)
    Row(out, {PciAddress(f), PciIds(f), r.Names.Name(f.VendorId, f.DeviceId)});
  out << "</table></div>\n";
}

}  // namespace

void WriteReportHtml(const Report& r, std::ostream& out) {
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>"
      << Esc(r.SavedDumps ? "dimmio: saved SPD dumps" : "dimmio report on " + r.Target)
      << "</title>\n<style>\n"
      << kStyle << "</style>\n</head>\n<body>\n<h1>"
      << Esc(r.SavedDumps ? "Saved SPD dumps" : "dimmio report") << "</h1>\n<p>" << Esc(r.Target)
      << "</p>\n";
  Summary(r, out);
  SlotTable(r, out);
  SideBySideSection(r, out);
  for (const SlotReport& slot : r.Slots) {
    if (slot.Answered()) Module(slot, out);
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
