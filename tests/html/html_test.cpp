// The HTML page of the report and of saved dumps, through the host build's
// tool: what the JSON says is on the page, each module's facts on its row,
// the page parses without an error, text from the modules is escaped, and a
// failing CRC shows its range.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "host_target.h"
#include "sim/board.h"
#include "sim/boards/modules.h"

namespace {

using nlohmann::json;

std::string Tool(std::vector<std::string> args) {
  std::ostringstream out, err;
  EXPECT_EQ(dimmio::cli::Run(args, dimmio::cli::SimulatedBoards(), out, err), 0) << err.str();
  return out.str();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// What a command prints on standard output and error together.
std::string Shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return "cannot run " + command;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  pclose(pipe);
  return output;
}

std::string Escaped(const std::string& text) {
  std::string html;
  for (char c : text)
    html += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
  return html;
}

std::string Page(const std::string& name) {
  return std::string(DIMMIO_HTML_OUT) + "/" + name + ".html";
}

// Every board: the JSON report's facts of each slot, the chipset and the
// system are on its page, and libxml2's HTML parser finds nothing wrong.
TEST(HtmlReport, EveryBoardsPageHoldsTheJsonsFactsAndParses) {
  std::string pages;
  for (const sim::Board& board : sim::Boards()) {
    SCOPED_TRACE(board.name);
    const json r = json::parse(Tool({"report", "--json", "--board", board.name}));
    Tool({"report", "--board", board.name, "--html", Page(board.name)});
    const std::string html = ReadAll(Page(board.name));
    pages += " '" + Page(board.name) + "'";
    std::vector<std::string> facts;
    if (!r["chipset"].is_null()) facts.push_back(r["chipset"]["address"]);
    if (r["smbios"]["table_found"]) facts.push_back(r["smbios"]["system"]["product"]);
    for (const std::string& fact : facts)
      EXPECT_NE(html.find(Escaped(fact)), std::string::npos) << fact;
    // Each decoded module's facts on its row of the slot table, which links
    // to its section.
    for (const json& slot : r["slots"]) {
      if (!slot.contains("spd") || !slot["spd"]["decoded"]) continue;
      const json& spd = slot["spd"];
      const std::string anchor = "module-" + std::to_string(slot["slot"].get<int>());
      const size_t at = html.find("<a href=\"#" + anchor + "\">");
      ASSERT_NE(at, std::string::npos) << anchor;
      EXPECT_NE(html.find("id=\"" + anchor + "\""), std::string::npos) << anchor;
      const std::string row = html.substr(at, html.find("</tr>", at) - at);
      for (const std::string& fact :
           {spd["part_number"].get<std::string>(), spd["manufacturer"].get<std::string>(),
            spd["speed_grade"].get<std::string>(),
            std::to_string(spd["capacity_mb"].get<int>()) + " MB"}) {
        EXPECT_NE(row.find(Escaped(fact)), std::string::npos) << fact << " in " << row;
      }
    }
    EXPECT_EQ(html.find("<script"), std::string::npos);
  }
  EXPECT_EQ(Shell("xmllint --html --noout" + pages), "");
}

// Saved dumps: a part number that is markup shows as text; a DDR3 module
// with a byte changed shows its CRC range failing, the stored bytes marked.
TEST(HtmlReport, SavedDumpsEscapeTheirTextAndMarkAFailingCrc) {
  sim::DimmSpec d = sim::boards::Ddr3(2048, 2, "PC3-10600", "Kingston", sim::boards::kKingston,
                                      "<script>x</script>", 7);
  auto image = sim::BuildSpdImage(d);
  const std::string good = Page("script-part-number.bin");
  std::ofstream(good, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), image.size());
  image[20] ^= 0x01;
  const std::string bad = Page("wrong-crc.bin");
  std::ofstream(bad, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), image.size());
  Tool({"decode", good, bad, "--html", Page("dumps")});
  const std::string html = ReadAll(Page("dumps"));
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;x&lt;/script&gt;"), std::string::npos);
  const size_t second = html.find("wrong-crc.bin.html</h2>");
  ASSERT_NE(second, std::string::npos);
  EXPECT_NE(html.find("CRC-16 of bytes 0-116, stored in bytes 126-127: WRONG", second),
            std::string::npos);
  EXPECT_EQ(html.find(": WRONG"), html.find(": WRONG", second)) << "only the changed module fails";
  char stored[64];
  std::snprintf(stored, sizeof stored, "<td class=\"bad\">%02X</td><td class=\"bad\">%02X</td>",
                image[126], image[127]);
  EXPECT_NE(html.find(stored, second), std::string::npos) << stored;
  EXPECT_EQ(Shell("xmllint --html --noout '" + Page("dumps") + "'"), "");
}

}  // namespace
