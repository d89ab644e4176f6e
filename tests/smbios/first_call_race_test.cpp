// The system information report (a caller's thread) and a count (the worker)
// make the first SMBIOS call at the same moment: the table is found and copied
// once, and both see it complete.
#include <array>
#include <atomic>
#include <thread>

#include "smbios/smbios.h"
#include "smbios_fixture.h"

namespace {

using smbiostest::ReportField;
using smbiostest::SmbiosTest;

class FirstCallRaceTest : public SmbiosTest {};

TEST_F(FirstCallRaceTest, ReportAndCountShareOneFill) {
  UseBoard("ich5");
  const sim::SmbiosProfile& p = sim::FindBoard("ich5")->smbios;
  constexpr int kRounds = 200;
  for (int round = 0; round < kRounds; ++round) {
    ResetSmbiosCache();
    std::atomic<int> ready{0};
    std::array<uint8_t, kSystemInfoReportSize> report{};
    OpStatus reportStatus = Fresh(), countStatus = Fresh();
    int32_t reportResult = 1;
    uint8_t slots = 0;
    auto startTogether = [&ready] {
      ready.fetch_add(1);
      while (ready.load() < 2) {
      }
    };
    std::thread caller([&] {
      startTogether();
      reportResult = BuildSystemInfoReport(report.data(), &reportStatus);
    });
    std::thread worker([&] {
      startTogether();
      slots = CountMemorySlots(&countStatus);
    });
    caller.join();
    worker.join();

    ASSERT_EQ(reportResult, 0) << "round " << round;
    ASSERT_EQ(slots, 8) << "round " << round;
    ASSERT_EQ(ReportField(report.data(), 1), p.system.product) << "round " << round;
    ASSERT_EQ(ReportField(report.data(), 7), p.board.serial) << "round " << round;
    ASSERT_EQ(reportStatus.Code, 0u);
    ASSERT_EQ(countStatus.Code, 0u);
  }
  EXPECT_EQ(MapsAt(sim::kBiosAreaBase), static_cast<size_t>(kRounds)) << "one scan per fill";
  EXPECT_EQ(MapsAt(p.tableAddress), static_cast<size_t>(kRounds)) << "one copy per fill";
}

// Whoever comes second must not take the untried cache for an absent one.
TEST_F(FirstCallRaceTest, BothSeeTheFailureOfTheOneFill) {
  machine_.FailMapAt(sim::kBiosAreaBase);
  constexpr int kRounds = 100;
  for (int round = 0; round < kRounds; ++round) {
    ResetSmbiosCache();
    OpStatus a = Fresh(), b = Fresh();
    uint8_t slots = 0xFF, modules = 0xFF;
    std::thread one([&] { slots = CountMemorySlots(&a); });
    std::thread two([&] { modules = CountMemoryModules(&b); });
    one.join();
    two.join();
    ASSERT_EQ(slots, 0);
    ASSERT_EQ(modules, 0);
    // Exactly one of the two calls was the first and carries the reason.
    ASSERT_EQ((a.Code == OpError::SmbiosScanMap) + (b.Code == OpError::SmbiosScanMap), 1);
    ASSERT_EQ(a.Code + b.Code, OpError::SmbiosScanMap);
  }
  EXPECT_EQ(MapsAt(sim::kBiosAreaBase), static_cast<size_t>(kRounds));
}

}  // namespace
