// The system information report: eight 128-byte text fields from the type-1
// and type-2 structures.
#include <array>
#include <string>

#include "smbios/table_queries.h"
#include "smbios_fixture.h"

namespace {

using smbiostest::ExactTable;
using smbiostest::ReportField;

using Report = std::array<uint8_t, 1024>;

Report ReportOf(const sim::SmbiosImage& image) {
  Report report{};
  const ExactTable table(image);
  FillSystemInfoReport(report.data(), table.Ref());
  return report;
}

// Each table and the eight fields it gives: the system's maker, product,
// version and serial, then the board's.
TEST(SystemInfoReport, FieldsComeFromTheirStringNumbers) {
  const std::string longText(200, 'x'), raw = "\xC4rger \x01\x7F\xFF";
  std::vector<std::string> seventy;
  for (int i = 1; i <= 70; ++i) seventy.push_back("s" + std::to_string(i));
  using B = sim::SmbiosBuilder;
  const struct {
    const char* name;
    sim::SmbiosImage image;
    std::array<std::string, 8> fields;
  } cases[] = {
      // Type-1 and type-2 structures with explicit string numbers (maker,
      // product, version, serial): 0, and one past the three strings, give
      // the empty string.
      {"string numbers",
       B().Add(1, {2, 1, 0, 5}, {"product", "maker", "three"})
           .Add(2, {1, 1, 3, 2}, {"board", "serial", "rev"})
           .EndOfTable()
           .Build(),
       {"maker", "product", "", "", "board", "board", "rev", "serial"}},
      {"cut to 127 characters",
       B().SystemInformation(longText, "", "", "").Build(),
       {longText.substr(0, 127)}},
      {"a later structure writes only the fields it has strings for",
       B().SystemInformation("First Maker", "A Long Product Name", "1", "")
           .SystemInformation("", "Short", "", "Serial")
           .Build(),
       {"First Maker", "Short", "1", "Serial"}},
      // String 1 of an empty set is the empty string; string 2 does not exist.
      {"empty string set",
       B().BaseboardInformation("X", "Board", "", "").Add(2, {1, 2, 0, 0}, {}).Build(),
       {"", "", "", "", "", "Board"}},
      {"only the first 64 strings",
       B().Add(1, {64, 65, 1, 70}, seventy).Build(),
       {"s64", "", "s1", ""}},
      {"bytes as stored", B().SystemInformation(raw, "", "", "").Build(), {raw}},
  };
  for (const auto& c : cases) {
    const Report r = ReportOf(c.image);
    for (int f = 0; f < 8; ++f) {
      EXPECT_EQ(ReportField(r.data(), f), c.fields[f]) << c.name << ", field " << f;
    }
    if (c.fields[1] ==
        "Short") {  // behind the shorter text's terminator the longer text's bytes remain
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[128 + 6])), " Product Name");
    }
  }
}

}  // namespace
