// The ALi back-end against its M7101 host model (its faults:
// host_faults_test): the segment bits of configuration dword 0xB8 and
// nothing else of it; the host following the base discovery programs.
#include <optional>
#include <vector>

#include "sim/models/port_bystander.h"
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

// The base discovery finds, or gives: on ali1535 the BIOS left none and
// 0xE800 is programmed, unless another device answers there (then no
// controller, and that device is never written); on ali1543 with the lock
// set the firmware's base reads 0 until the lock is cleared, and stays
// where the firmware put it (moving it would take the host away from the
// firmware that uses it).
TEST_F(AliHostTest, HostAnswersAtTheBaseDiscoveryProgrammed) {
  struct Case {
    const char* board;
    uint32_t dword58;
    bool e800Taken;
    bool baseBefore;
    std::optional<uint16_t> base;  // none: no controller
    uint32_t dword14After;
  };
  for (const Case& c : {Case{"ali1535", 0, false, false, 0xE800, 0x0000E801},
                        Case{"ali1535", 0, true, false, std::nullopt, 0x00000001},
                        Case{"ali1543", 0x06000000, false, true, 0xD000, 0x0000D001}}) {
    SCOPED_TRACE(testing::Message() << c.board << (c.e800Taken ? ", 0xE800 taken" : ""));
    sim::Machine machine;
    sim::AttachScope attach(machine);
    sim::PortBystander other;
    if (c.e800Taken) machine.ClaimPorts(0xE800, 0x20, other);
    const sim::Board& board = *sim::FindBoard(c.board);
    const sim::BoardModels models = sim::Build(board, machine);
    sim::PciFunction& m7101 = *machine.FindPciFunction(0, 17, 0);
    m7101.SetDword(0x58, c.dword58);
    EXPECT_EQ(machine.DecodedBase(board.smbus->decode).has_value(), c.baseBefore);
    OpStatus status = Fresh();
    SmbusController* ctl = DiscoverChipset(&status, &info_, table_, &count_);
    ASSERT_NE(ctl, nullptr);
    EXPECT_EQ(machine.DecodedBase(board.smbus->decode), c.base);
    EXPECT_EQ(m7101.Dword(0x14), c.dword14After);
    EXPECT_EQ(other.Writes(), 0u) << "the device at 0xE800 is not ours";
    EXPECT_EQ(ctl->Unavailable, c.base ? 0u : 1u);
    if (!c.base) {
      ReleaseController(ctl);
      continue;
    }
    std::vector<uint8_t> data(256);
    EXPECT_EQ(ReadSpdBlock(ctl, &status, 0, data.data(), 0, 256), 256u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), models.eeproms[0][0]->Bytes().begin()));
    ReleaseController(ctl);
  }
}

}  // namespace
