// The system information report: eight 128-byte text fields from the type-1
// and type-2 structures.
#include <array>
#include <string>

#include "smbios/smbios.h"
#include "smbios/table_queries.h"
#include "smbios_fixture.h"

namespace {

using smbiostest::ExactTable;
using smbiostest::ReportField;
using smbiostest::SmbiosTest;

enum Field { SysMaker, SysProduct, SysVersion, SysSerial, BoardMaker, BoardProduct, BoardVersion,
             BoardSerial };

using Report = std::array<uint8_t, 1024>;

Report Fill(const sim::SmbiosImage& image) {
  Report report{};
  const ExactTable table(image);
  FillSystemInfoReport(report.data(), table.Ref());
  return report;
}

// A type-1 or type-2 structure with explicit string numbers.
std::vector<uint8_t> Indexes(uint8_t maker, uint8_t product, uint8_t version, uint8_t serial) {
  return {maker, product, version, serial};
}

TEST(SystemInfoReport, FieldsComeFromTheirStringNumbers) {
  const auto image = sim::SmbiosBuilder()
                         .Add(1, Indexes(2, 1, 0, 5), {"product", "maker", "three"})
                         .Add(2, Indexes(1, 1, 3, 2), {"board", "serial", "rev"})
                         .EndOfTable()
                         .Build();
  const Report r = Fill(image);
  EXPECT_EQ(ReportField(r.data(), SysMaker), "maker");
  EXPECT_EQ(ReportField(r.data(), SysProduct), "product");
  EXPECT_EQ(ReportField(r.data(), SysVersion), "") << "string number 0";
  EXPECT_EQ(ReportField(r.data(), SysSerial), "") << "string number past the three strings";
  EXPECT_EQ(ReportField(r.data(), BoardMaker), "board");
  EXPECT_EQ(ReportField(r.data(), BoardProduct), "board");
  EXPECT_EQ(ReportField(r.data(), BoardVersion), "rev");
  EXPECT_EQ(ReportField(r.data(), BoardSerial), "serial");
}

TEST(SystemInfoReport, LongStringsAreCutTo127Characters) {
  const std::string text(200, 'x');
  const auto image = sim::SmbiosBuilder().SystemInformation(text, "", "", "").Build();
  const Report r = Fill(image);
  EXPECT_EQ(ReportField(r.data(), SysMaker), text.substr(0, 127));
  EXPECT_EQ(r[127], 0);
  EXPECT_EQ(r[128], 0) << "the next field is untouched";
}

TEST(SystemInfoReport, ALaterStructureOverwritesOnlyTheFieldsItHasStringsFor) {
  const auto image = sim::SmbiosBuilder()
                         .SystemInformation("First Maker", "A Long Product Name", "1", "")
                         .SystemInformation("", "Short", "", "Serial")
                         .Build();
  const Report r = Fill(image);
  EXPECT_EQ(ReportField(r.data(), SysMaker), "First Maker");
  EXPECT_EQ(ReportField(r.data(), SysProduct), "Short");
  EXPECT_EQ(ReportField(r.data(), SysVersion), "1");
  EXPECT_EQ(ReportField(r.data(), SysSerial), "Serial");
  // Behind the shorter text's terminator the longer text's bytes remain.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[128 + 6])), " Product Name");
}

TEST(SystemInfoReport, AnEmptyStringSetGivesOneEmptyString) {
  const auto image = sim::SmbiosBuilder()
                         .BaseboardInformation("X", "Board", "", "")
                         .Add(2, Indexes(1, 2, 0, 0), {})
                         .Build();
  const Report r = Fill(image);
  EXPECT_EQ(ReportField(r.data(), BoardMaker), "") << "string 1 is the empty string";
  EXPECT_EQ(ReportField(r.data(), BoardProduct), "Board") << "string 2 does not exist";
}

TEST(SystemInfoReport, OnlyTheFirst64StringsOfAStructureAreKnown) {
  std::vector<std::string> strings;
  for (int i = 1; i <= 70; ++i) strings.push_back("s" + std::to_string(i));
  const auto image = sim::SmbiosBuilder().Add(1, Indexes(64, 65, 1, 70), strings).Build();
  const Report r = Fill(image);
  EXPECT_EQ(ReportField(r.data(), SysMaker), "s64");
  EXPECT_EQ(ReportField(r.data(), SysProduct), "");
  EXPECT_EQ(ReportField(r.data(), SysVersion), "s1");
  EXPECT_EQ(ReportField(r.data(), SysSerial), "");
}

TEST(SystemInfoReport, BytesAreCopiedAsStored) {
  const std::string raw = "\xC4rger \x01\x7F\xFF";
  const auto image = sim::SmbiosBuilder().SystemInformation(raw, "", "", "").Build();
  EXPECT_EQ(ReportField(Fill(image).data(), SysMaker), raw);
}

class SystemInfoRequestTest : public SmbiosTest {};

TEST_F(SystemInfoRequestTest, BoardProfileWithoutSystemStructureLeavesTheSystemHalfZero) {
  const auto image = sim::SmbiosBuilder()
                         .BiosInformation("v", "1", "d")
                         .BaseboardInformation("Maker", "Product", "Version", "Serial")
                         .EndOfTable()
                         .Build();
  sim::InstallSmbios(machine_, image, 0xF5550, 0xF0400);
  Report r;
  r.fill(0xEE);
  OpStatus status = FreshStatus();
  ASSERT_EQ(BuildSystemInfoReport(r.data(), &status), 0);
  for (int i = 0; i < 512; ++i) ASSERT_EQ(r[i], 0) << i;
  EXPECT_EQ(ReportField(r.data(), BoardMaker), "Maker");
  EXPECT_EQ(ReportField(r.data(), BoardSerial), "Serial");
}

TEST_F(SystemInfoRequestTest, NoTableGivesMinusOneAndAnAllZeroReport) {
  sim::AddBiosArea(machine_);
  Report r;
  r.fill(0xEE);
  OpStatus status = FreshStatus();
  EXPECT_EQ(BuildSystemInfoReport(r.data(), &status), -1);
  EXPECT_EQ(r, Report{});
  EXPECT_EQ(status.Code, OpError::SmbiosNoEntryPoint);
}

}  // namespace
