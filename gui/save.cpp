#include "save.h"

#include <cstdio>
#include <sstream>

#include "dimmio/spd.h"
#include "output.h"
#include "report.h"
#include "report_html.h"

namespace dimmio::gui {

namespace {

const struct {
  const char* Name;
  SaveKind Kind;
} kKinds[] = {
    {"text", SaveKind::Text},  {"json", SaveKind::Json},       {"html", SaveKind::Html},
    {"bin", SaveKind::Binary}, {"i2cdump", SaveKind::I2cdump},
};

// A text file as the tool's own output reaches one on Windows: each line
// ends in CR LF.
std::string WindowsText(const std::string& text) {
  std::string lines;
  for (const char c : text) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  return lines;
}

// A module's file: a name derived from the chosen one, which the save
// dialog's prompt did not cover; made new, and an existing one replaced
// only when `replace` says so.
std::string SaveDerived(const std::string& file, const std::string& bytes,
                        const cli::FileWriter& files,
                        const std::function<bool(const std::string&)>& replace) {
  cli::WriteOutcome outcome = files(file, bytes, cli::WriteMode::New);
  if (outcome.Result == cli::WriteOutcome::Exists) {
    if (!replace(file)) return "dimmio: " + PrintableText(file) + ": exists: not replaced";
    outcome = files(file, bytes, cli::WriteMode::Replace);
  }
  return cli::NotWritten(file, outcome);
}

}  // namespace

bool SaveKindNamed(const std::string& name, SaveKind* kind) {
  for (const auto& k : kKinds) {
    if (name == k.Name) {
      *kind = k.Kind;
      return true;
    }
  }
  return false;
}

std::string SlotFile(const std::string& path, uint8_t slot) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("\\/");
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = hasExtension ? path.substr(0, dot) : path;
  return stem + "-slot" + std::to_string(slot) + (hasExtension ? path.substr(dot) : "");
}

std::string I2cdumpText(std::span<const uint8_t> bytes) {
  std::string text = "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n";
  for (size_t line = 0; line < bytes.size(); line += 16) {
    char cell[8];
    std::snprintf(cell, sizeof cell, "%02zx:", line & 0xFF);
    text += cell;
    std::string shown;
    for (size_t at = line; at < line + 16 && at < bytes.size(); ++at) {
      std::snprintf(cell, sizeof cell, " %02x", bytes[at]);
      text += cell;
      shown += bytes[at] >= 0x20 && bytes[at] < 0x7F ? static_cast<char>(bytes[at]) : '.';
    }
    text += "    " + shown + '\n';
  }
  return text;
}

std::string Save(const Report& report, SaveKind kind, const std::string& path,
                 const cli::FileWriter& files,
                 const std::function<bool(const std::string&)>& replace) {
  switch (kind) {
    case SaveKind::Text: {
      std::ostringstream text;
      cli::PrintReport(report, text);
      return cli::NotWritten(path, files(path, WindowsText(text.str()), cli::WriteMode::Replace));
    }
    case SaveKind::Json: {
      std::ostringstream text;
      cli::PrintJson(text, cli::ReportJson(report));
      return cli::NotWritten(path, files(path, WindowsText(text.str()), cli::WriteMode::Replace));
    }
    case SaveKind::Html: return cli::SaveReportHtml(report, path, files);
    case SaveKind::Binary:
    case SaveKind::I2cdump: break;
  }
  for (const SlotReport& slot : report.Slots) {
    const std::vector<uint8_t>& bytes = slot.Bytes;
    if (bytes.empty()) continue;
    const std::string file = SlotFile(path, slot.Slot);
    const std::string error =
        SaveDerived(file,
                    kind == SaveKind::Binary ? std::string(bytes.begin(), bytes.end())
                                             : WindowsText(I2cdumpText(bytes)),
                    files, replace);
    if (!error.empty()) return error;
  }
  return "";
}

}  // namespace dimmio::gui
