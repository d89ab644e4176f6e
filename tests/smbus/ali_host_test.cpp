// The ALi back-end against its M7101 host model: the faults a transfer can
// meet, each followed by a good one; the segment bits of configuration dword
// 0xB8 and nothing else of it; the host following the base discovery
// programs.
#include <vector>

#include "sim/models/ali_smbus_host.h"
#include "smbus/ali.h"
#include "support/host_fault_table.h"

namespace {

using testsupport::Transfer;

class AliHostTest : public testsupport::HostFaultTest {
 protected:
  uint16_t Base() { return *machine_.DecodedBase(board_->smbus->decode); }
  sim::HostEngine& Engine() { return models_.Host<sim::AliSmbusHost>()->Engine(); }
  uint32_t SegmentDword() { return machine_.FindPciFunction(0, 17, 0)->Dword(0xB8); }
};

TEST_F(AliHostTest, EveryFaultFailsItsTransferAndTheNextTransferSucceeds) {
  Boot("ali1543");
  const uint16_t base = Base();
  RunFaultTable(
      {
          {"device error", 0x50, 0x20, false, 0x24, true},
          {"no answer or collision", 0x50, 0x40, false, 0x44, true},
          {"aborted", 0x50, 0x80, false, 0x84, true},
          {"never leaves busy", 0x50, 0, true, 0x08, false},
      },
      {.engine = Engine(),
       .wroteStart = testsupport::WritesTo(base + 2u, base + 2u),  // the start register
       .status = [this] { return models_.Host<sim::AliSmbusHost>()->StatusRegister(); },
       .idleStatus = 0x04});  // idle
}

struct SegmentCase {
  uint32_t segment;
  uint32_t initial;
  uint32_t selected;
  uint32_t deselected;
};

TEST_F(AliHostTest, SegmentBitsOfDwordB8AndNothingElse) {
  Boot("ali1535");
  const SegmentCase cases[] = {
      {1, 0x000000A5, 0x000000C5, 0x00000085},
      {1, 0xFFFFFFFF, 0xFFFFFFDF, 0xFFFFFF9F},
      {1, 0x00000000, 0x00000040, 0x00000000},
      {0, 0x000000A5, 0x000000A5, 0x000000A5},
      {2, 0x000000A5, 0x000000A5, 0x000000A5},
  };
  for (const SegmentCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "segment " << c.segment << std::hex << " " << c.initial);
    machine_.FindPciFunction(0, 17, 0)->SetDword(0xB8, c.initial);
    const uint64_t writes = machine_.ConfigWrites();
    controller_->SelectSegment(controller_->Context, c.segment);
    EXPECT_EQ(SegmentDword(), c.selected);
    controller_->DeselectSegment(controller_->Context, c.segment);
    EXPECT_EQ(SegmentDword(), c.deselected);
    EXPECT_EQ(machine_.ConfigWrites() - writes, c.segment == 1 ? 2u : 0u);
  }
}

TEST_F(AliHostTest, HostAnswersAtTheBaseDiscoveryProgrammed) {
  board_ = sim::FindBoard("ali1535");
  models_ = sim::Build(*board_, machine_);
  EXPECT_FALSE(machine_.DecodedBase(board_->smbus->decode).has_value()) << "no base before";
  OpStatus status = Fresh();
  controller_ = DiscoverChipset(&status, &info_, table_, &count_);
  ASSERT_NE(controller_, nullptr);
  EXPECT_EQ(controller_->Unavailable, 0u);
  EXPECT_EQ(Base(), 0xE800);
  std::vector<uint8_t> data(256);
  EXPECT_EQ(ReadSpdBlock(controller_, &status, 0, data.data(), 0, 256), 256u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), Image(0, 0).begin()));
}

}  // namespace
