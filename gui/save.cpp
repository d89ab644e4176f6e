#include "save.h"

#include <cstdio>
#include <fstream>
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
    {"text", SaveKind::Text}, {"json", SaveKind::Json},       {"html", SaveKind::Html},
    {"bin", SaveKind::Binary}, {"i2cdump", SaveKind::I2cdump},
};

// The tool's words for a file it cannot write.
std::string CannotWrite(const std::string& path) {
  return "dimmio: " + PrintableText(path) + ": cannot be written";
}

// A text file as the tool's own output reaches one on Windows: the stream's
// text mode ends each line in CR LF.
bool WriteText(const std::string& path, const std::string& text, std::ios::openmode mode) {
  std::ofstream file(path, mode);
  file << text;
  return static_cast<bool>(file.flush());
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

std::string Save(const cli::Report& report, const std::vector<std::vector<uint8_t>>& images, SaveKind kind,
                 const std::string& path) {
  switch (kind) {
    case SaveKind::Text: {
      std::ostringstream text;
      cli::PrintReport(report, text);
      return WriteText(path, text.str(), std::ios::out) ? "" : CannotWrite(path);
    }
    case SaveKind::Json: {
      std::ostringstream text;
      cli::PrintJson(text, cli::ReportJson(report));
      return WriteText(path, text.str(), std::ios::out) ? "" : CannotWrite(path);
    }
    case SaveKind::Html:
      return cli::SaveReportHtml(report, path) ? "" : CannotWrite(path);
    case SaveKind::Binary:
    case SaveKind::I2cdump:
      break;
  }
  for (size_t slot = 0; slot < images.size(); ++slot) {
    const std::vector<uint8_t>& bytes = images[slot];
    if (bytes.empty()) continue;
    const std::string file = SlotFile(path, static_cast<uint8_t>(slot));
    const bool saved = kind == SaveKind::Binary
                           ? WriteText(file, std::string(bytes.begin(), bytes.end()), std::ios::binary)
                           : WriteText(file, I2cdumpText(bytes), std::ios::out);
    if (!saved) return CannotWrite(file);
  }
  return "";
}

}  // namespace dimmio::gui
