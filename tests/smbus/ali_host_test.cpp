// The ALi back-end against its M7101 host model (its faults:
// host_faults_test; its base: chipset_test): the segment bits of
// configuration dword 0xB8 and nothing else of it.
#include "sim/models/ali_smbus_host.h"
#include "smbus/ali.h"
#include "support/host_fault_table.h"

namespace {

class AliHostTest : public testsupport::HostFaultTest {
 protected:
  uint32_t SegmentDword() { return machine_.FindPciFunction(0, 17, 0)->Dword(0xB8); }
};

struct SegmentCase {
  uint32_t segment;
  uint32_t initial;
  uint32_t selected;
  uint32_t deselected;
};

TEST_F(AliHostTest, SegmentBitsOfDwordB8AndNothingElse) {
  Boot("ali1535");
  const SegmentCase cases[] = {
      {1, 0x000000A5, 0x000000C5, 0x00000085}, {1, 0xFFFFFFFF, 0xFFFFFFDF, 0xFFFFFF9F},
      {1, 0x00000000, 0x00000040, 0x00000000}, {0, 0x000000A5, 0x000000A5, 0x000000A5},
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

}  // namespace
