// Arbitrary bytes through the SPD decoder (SDR, DDR, DDR2, DDR3 and the
// types only named) and both output formats: the first 256 bytes (or fewer)
// are a module's SPD image, the rest eight SMBIOS strings separated by zero
// bytes. The whole input is also read as a saved dump. The report is printed
// as its table and side by side, the image beside its first 128 bytes. Every
// JSON output must parse, and no text output may hold a control character
// other than its line ends.
#include <stddef.h>
#include <stdint.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "decode.h"
#include "dimmio/spd.h"
#include "dimmio/spd_dump.h"
#include "output.h"
#include "report.h"
#include "report_html.h"
#include "side_by_side.h"

namespace {

void CheckText(const std::string& text) {
  for (char c : text) {
    if ((static_cast<uint8_t>(c) < 0x20 && c != '\n') || c == 0x7F) __builtin_trap();
  }
}

void CheckJson(const nlohmann::json& value) {
  std::ostringstream out;
  dimmio::cli::PrintJson(out, value);
  if (!nlohmann::json::accept(out.str())) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dimmio;
  const std::span<const uint8_t> input(data, size);
  const std::span<const uint8_t> image = input.first(std::min<size_t>(size, 256));

  const SpdFacts facts = DecodeSpd(image);
  CheckText(SpdDecodeText(facts));
  std::ostringstream decoded;
  cli::PrintSpdDecode(facts, image, decoded);
  CheckText(decoded.str());

  const SpdDump dump = ParseSpdDump(input);
  if (dump.Error.empty() == dump.Bytes.empty()) __builtin_trap();
  if (!dump.Bytes.empty() && dump.Bytes.size() != 128 && dump.Bytes.size() != 256) __builtin_trap();

  // The strings after the image, as the BIOS would hand them over.
  std::istringstream rest(std::string(data + image.size(), data + size));
  std::vector<std::string> strings(8);
  for (std::string& text : strings) std::getline(rest, text, '\0');
  Report report;
  report.Target = "the fuzzer";
  report.System = PrintableSystemInfo({strings[0], strings[1], strings[2], strings[3], strings[4],
                                       strings[5], strings[6], strings[7]});
  SlotReport slot;
  slot.BytesRead = static_cast<uint32_t>(image.size());
  slot.Bytes.assign(image.begin(), image.end());
  DecodeSlot(slot, false);
  report.Slots.push_back(slot);
  slot.Slot = 1;
  slot.Bytes.resize(std::min<size_t>(image.size(), kSpdDecodedBytes));
  DecodeSlot(slot, true);
  report.Slots.push_back(slot);
  for (bool sideBySide : {false, true}) {
    std::ostringstream text;
    cli::PrintReport(report, text, {sideBySide});
    CheckText(text.str());
  }
  // The HTML page: whatever the bytes, no markup of theirs and the page whole.
  std::ostringstream html;
  cli::WriteReportHtml(report, html);
  const std::string page = html.str();
  if (page.find("<script") != std::string::npos || page.rfind("</html>\n") != page.size() - 8)
    __builtin_trap();
  // Both slots' SPD and the side-by-side rows: the JSON of the image itself too.
  CheckJson(cli::ReportJson(report));
  // Every row has a value for each column.
  for (const cli::SideBySideRow& row :
       cli::SideBySideRows({{"a", facts}, {"b", report.Slots[1].Facts}})) {
    if (row.Values.size() != 2) __builtin_trap();
  }
  return 0;
}
