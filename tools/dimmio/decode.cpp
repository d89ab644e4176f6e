#include "decode.h"

#include <fstream>

#include "cli.h"
#include "dimmio/client.h"
#include "dimmio/spd.h"
#include "dimmio/spd_dump.h"
#include "output.h"
#include "report_html.h"
#include "side_by_side.h"

namespace dimmio::cli {

namespace {

// No SPD dump comes near this; a larger file is something else.
constexpr size_t kLargestFile = 64 * 1024;

// The file's bytes; false with the reason when it cannot be read whole.
bool ReadFile(const std::string& name, std::vector<uint8_t>& bytes, std::string& error) {
  std::ifstream file(name, std::ios::binary);
  if (!file) {
    error = "cannot be opened";
    return false;
  }
  char chunk[4096];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + file.gcount());
    if (bytes.size() > kLargestFile) {
      error = "is too large to be an SPD dump (more than 64 KB)";
      return false;
    }
  }
  if (file.bad()) {
    error = "cannot be read";
    return false;
  }
  return true;
}

}  // namespace

void PrintSpdDecode(const SpdFacts& facts, std::span<const uint8_t> bytes, std::ostream& out) {
  out << SpdDecodeText(facts);
  if (!facts.Decoded) out << "bytes:\n" << HexDump(bytes, 0, DIMMIO_SPD_SIZE);
}

int DecodeFiles(const std::vector<std::string>& files, bool json, bool sideBySide,
                const std::string& html, const FileWriter& writer, std::ostream& out,
                std::ostream& err) {
  int exit = kExitDone;
  Report page;
  page.SavedDumps = true;
  page.Target = "decoded by dimmio from saved SPD dumps";
  nlohmann::json decoded = nlohmann::json::array();
  std::vector<SideBySideColumn> columns;
  bool first = true;
  for (const std::string& name : files) {
    const std::string shown = PrintableText(name);
    std::vector<uint8_t> contents;
    std::string error;
    SpdDump dump;
    if (ReadFile(name, contents, error)) {
      dump = ParseSpdDump(contents);
      error = dump.Error;
    }
    if (!error.empty()) {
      err << "dimmio: " << shown << ": " << error << '\n';
      exit = kExitUsage;
      continue;
    }
    SlotReport slot;
    slot.Name = shown;
    slot.Slot = static_cast<uint8_t>(page.Slots.size());
    slot.BytesRead = static_cast<uint32_t>(dump.Bytes.size());
    slot.Bytes = dump.Bytes;
    DecodeSlot(slot, false);
    // A dump is a module's, whatever its length: the HTML page lists it.
    if (!slot.Answered()) slot.State = SlotState::Undecoded;
    page.Slots.push_back(slot);
    if (sideBySide) columns.push_back({shown, slot.Facts});
    if (json) {
      decoded.push_back({{"file", shown},
                         {"format", dump.Format},
                         {"bytes", dump.Bytes.size()},
                         {"data", dump.Bytes},
                         {"spd", SpdJson(slot.Facts)}});
      continue;
    }
    if (sideBySide) continue;
    out << (first ? "" : "\n") << shown << ": " << dump.Format << ", " << dump.Bytes.size()
        << " bytes\n";
    PrintSpdDecode(slot.Facts, dump.Bytes, out);
    first = false;
  }
  if (json && sideBySide) {
    PrintJson(out, {{"files", decoded}, {"side_by_side", SideBySideJson(columns)}});
  } else if (json) {
    PrintJson(out, decoded);
  } else if (sideBySide && !columns.empty()) {
    PrintSideBySide(columns, out);
  }
  if (!html.empty()) {
    if (const std::string error = SaveReportHtml(page, html, writer); !error.empty()) {
      err << error << '\n';
      return kExitFailed;
    }
  }
  return exit;
}

}  // namespace dimmio::cli
