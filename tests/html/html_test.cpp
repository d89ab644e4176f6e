// The HTML page of the report and of saved dumps, through the host build's
// tool: what the JSON says is on the page, the page parses without an error,
// text from the modules is escaped, a failing CRC shows its range, and a real
// browser's DOM holds each slot's facts.
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
    for (const json& slot : r["slots"]) {
      if (!slot.contains("spd") || !slot["spd"]["decoded"]) continue;
      const json& spd = slot["spd"];
      facts.insert(facts.end(), {spd["part_number"], spd["manufacturer"], spd["speed_grade"],
                                 std::to_string(spd["capacity_mb"].get<int>()) + " MB",
                                 "module-" + std::to_string(slot["slot"].get<int>())});
    }
    for (const std::string& fact : facts)
      EXPECT_NE(html.find(Escaped(fact)), std::string::npos) << fact;
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

// Debian's chromium, headless, on a fresh profile: the DOM it builds from the
// page holds each slot's facts; the screenshot is left for people to look at.
TEST(HtmlReport, ABrowsersDomHoldsEachSlotsFacts) {
  const std::string board = "pch100";
  Tool({"report", "--board", board, "--html", Page("browser")});
  const json r = json::parse(Tool({"report", "--json", "--board", board}));
  const std::string chromium =
      "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
      "--disable-background-networking --disable-component-update --disable-sync "
      "--user-data-dir='" +
      std::string(DIMMIO_HTML_OUT) + "/profile-" + std::to_string(getpid()) + "' ";
  const std::string dom = Shell(chromium + "--dump-dom 'file://" + Page("browser") + "'");
  ASSERT_NE(dom.find("</html>"), std::string::npos)
      << "chromium (scripts/setup.sh installs it) gave: " << dom;
  int slots = 0;
  for (const json& slot : r["slots"]) {
    if (!slot.contains("spd")) continue;
    ++slots;
    const std::string row = "<a href=\"#module-" + std::to_string(slot["slot"].get<int>()) + "\">";
    const size_t at = dom.find(row);
    ASSERT_NE(at, std::string::npos) << row;
    const std::string line = dom.substr(at, dom.find("</tr>", at) - at);
    for (const std::string& fact :
         {slot["spd"]["part_number"].get<std::string>(),
          slot["spd"]["manufacturer"].get<std::string>(),
          std::to_string(slot["spd"]["capacity_mb"].get<int>()) + " MB"}) {
      EXPECT_NE(line.find(fact), std::string::npos) << fact << " in " << line;
    }
  }
  EXPECT_EQ(slots, 4);
  Shell(chromium + "--window-size=1000,2000 --screenshot='" + std::string(DIMMIO_HTML_OUT) +
        "/report.png' 'file://" + Page("browser") + "'");
  EXPECT_GT(ReadAll(std::string(DIMMIO_HTML_OUT) + "/report.png").size(), 1000u);
  Shell("rm -rf '" + std::string(DIMMIO_HTML_OUT) + "/profile-" + std::to_string(getpid()) + "'");
}

}  // namespace
