// The VIA back-end against its host model: the faults a transfer can meet,
// each followed by a good one; the order of a transfer where the order is
// the behaviour; the segment outputs; setting up on a usable base only.
#include <vector>

#include "sim/models/gpo_latch.h"
#include "sim/models/via_smbus_host.h"
#include "smbus/via.h"
#include "support/host_fault_table.h"

namespace {

using testsupport::Op;
using testsupport::Transfer;

class ViaHostTest : public testsupport::HostFaultTest {
 protected:
  uint16_t Base() { return *machine_.DecodedBase(board_->smbus->decode); }
  sim::HostEngine& Engine() { return models_.Host<sim::ViaSmbusHost>()->Engine(); }
};

TEST_F(ViaHostTest, EveryFaultFailsItsTransferAndTheNextTransferSucceeds) {
  Boot("via686b");
  const uint16_t base = Base();
  RunFaultTable(
      {
          {"absent slave", 0x57, 0, false, 0x04, true},
          {"device error", 0x50, 0x04, false, 0x04, true},
          {"collision", 0x50, 0x08, false, 0x08, true},
          {"failed", 0x50, 0x10, false, 0x10, true},
          {"never leaves busy", 0x50, 0, true, 0x01, false},
      },
      {.engine = Engine(),
       // A busy host is not even programmed: address, command or control.
       .wroteStart = testsupport::WritesTo(base + 2u, base + 4u),
       .status = [this] { return models_.Host<sim::ViaSmbusHost>()->StatusRegister(); },
       .idleStatus = 0x00});
}

// The order is the behaviour here: an idle wait before the host is
// addressed, the slave address before the command, no filler in the data
// registers, a word as two byte reads, and an idle wait after a write. A
// byte read lasts 3.9 ms on the bus and a word read 4.8 ms, so the 1 ms
// settle is followed by three or four polls that see busy.
TEST_F(ViaHostTest, TransferOrder) {
  Boot("via596a");
  using sim::Access;
  struct Step {
    Access kind;
    uint16_t offset;
  };
  struct OrderCase {
    Op op;
    std::vector<Step> steps;
    uint64_t ms;  // the 1 ms read or 100 ms write settle, and the polls after it
  };
  const Step idle{Access::In8, 0};
  const Step reset[] = {{Access::In8, 0}, {Access::Out8, 0}};
  const std::vector<Step> start = {idle, idle, {Access::Out8, 4}, {Access::Out8, 3},
                                   {Access::Out8, 2}, idle};
  auto join = [](std::initializer_list<std::vector<Step>> parts) {
    std::vector<Step> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const std::vector<Step> resetSteps(std::begin(reset), std::end(reset));
  const OrderCase cases[] = {
      {Op::ReadByte, join({start, {idle, idle, idle, {Access::In8, 5}}, resetSteps}), 4},
      {Op::ReadWord,
       join({start, {idle, idle, idle, idle, {Access::In8, 5}, {Access::In8, 6}}, resetSteps}),
       5},
      {Op::WriteByte,
       join({{idle, {Access::Out8, 5}}, std::vector<Step>(start.begin() + 1, start.end()),
             resetSteps, {idle}}),
       100},
  };
  const uint16_t base = Base();
  for (const OrderCase& c : cases) {
    SCOPED_TRACE(int(c.op));
    machine_.SetTracing(true);
    machine_.ClearTrace();
    OpStatus status = Fresh();
    const uint64_t began = machine_.NowMs();
    EXPECT_EQ(Transfer(controller_, c.op, &status, 0x50), 0);
    EXPECT_EQ(machine_.NowMs() - began, c.ms);
    machine_.SetTracing(false);
    const auto trace = machine_.Trace();
    ASSERT_EQ(trace.size(), c.steps.size());
    for (size_t i = 0; i < trace.size(); ++i) {
      EXPECT_EQ(trace[i].kind, c.steps[i].kind) << i;
      EXPECT_EQ(trace[i].where, base + c.steps[i].offset) << i;
      // The status is cleared by writing back the done bit it read.
      if (trace[i].kind == Access::Out8 && c.steps[i].offset == 0) {
        EXPECT_EQ(trace[i].value, 0x02u);
      }
    }
  }
}

struct SwitchCase {
  const char* board;
  uint16_t port;
  uint8_t initial, selected, deselected;
};

TEST_F(ViaHostTest, SegmentOutputsOnSelectAndDeselect) {
  const SwitchCase cases[] = {
      {"via596a", 0xE44F, 0x00, 0x08, 0x00}, {"via596a", 0xE44F, 0xFF, 0xFF, 0xF7},
      {"via596b", 0xE44F, 0xA0, 0xA8, 0xA0}, {"via686a", 0xE44D, 0x08, 0x01, 0x00},
      {"via686", 0xE44D, 0xFF, 0xF7, 0xF6},  {"via686b-40", 0xE44D, 0x48, 0x41, 0x40},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.board << " " << std::hex << int(c.initial));
    sim::Machine machine;
    sim::AttachScope attach(machine);
    sim::BoardModels models;
    SmbusController* ctl = BootOn(machine, *sim::FindBoard(c.board), &models);
    ASSERT_NE(ctl, nullptr);
    machine.Out8(c.port, c.initial);
    machine.SetTracing(true);
    for (uint32_t segment : {0u, 2u}) {
      ctl->SelectSegment(ctl->Context, segment);
      ctl->DeselectSegment(ctl->Context, segment);
    }
    machine.SetTracing(false);
    EXPECT_TRUE(machine.Trace().empty()) << "segments 0 and 2 touch no port";
    ctl->SelectSegment(ctl->Context, 1);
    EXPECT_EQ(models.gpoLatch->Value(), c.selected);
    ctl->DeselectSegment(ctl->Context, 1);
    EXPECT_EQ(models.gpoLatch->Value(), c.deselected);
    ReleaseController(ctl);
  }
}

TEST_F(ViaHostTest, NoSwitchTouchedWithoutOneFitted) {
  Boot("vt8231");
  machine_.SetTracing(true);
  for (uint32_t segment : {0u, 1u, 2u}) {
    controller_->SelectSegment(controller_->Context, segment);
    controller_->DeselectSegment(controller_->Context, segment);
  }
  EXPECT_TRUE(machine_.Trace().empty());
}

}  // namespace
