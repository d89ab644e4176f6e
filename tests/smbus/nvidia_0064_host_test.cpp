// The nVidia 0x0064 back-end against its host model (the result codes that
// fail a transfer and the slow cycles: amd_host_test): a cycle that ignores
// the abort, and the channel the later MCPs set up.
#include <vector>

#include "sim/models/nvidia_0064_smbus_host.h"
#include "smbus/nvidia_0064.h"
#include "smbus/nvidia_mcp.h"
#include "smbus/booted_board.h"
#include "support/smbus_fixture.h"

namespace {

using sim::Access;
using sim::Nvidia0064SmbusHost;
using sim::TraceEntry;
using testsupport::SmbusBoardTest;

using Nvidia0064HostTest = SmbusBoardTest;

// A host whose cycle neither ends nor takes the abort: nothing new is
// started while it is still at it, so its late result is never taken for
// the next transfer's.
TEST_F(Nvidia0064HostTest, CycleThatIgnoresTheAbortIsNotOverrun) {
  Boot("nforce2");
  Nvidia0064SmbusHost& host = *models_.Host<Nvidia0064SmbusHost>();
  host.StickBusy(true);
  OpStatus status = Fresh();
  uint8_t data[2];
  EXPECT_EQ(ReadSpdBlock(controller_, &status, 1, data, 0x20, 2), 0u);
  EXPECT_EQ(status.HwDetail[0], 0u);
  for (int refusal = 0; refusal < 3; ++refusal) {
    const uint64_t ports = machine_.PortAccesses();
    OpStatus s = Fresh();
    EXPECT_EQ(ReadSpdBlock(controller_, &s, 0, data, 0, 2), 0u);
    EXPECT_EQ(s.HwDetail[0], 0u);
    EXPECT_EQ(machine_.PortAccesses() - ports, 1u) << "touched more than the status";
  }
  host.StickBusy(false);
  testsupport::ExpectModuleReads(controller_, models_, 0, 0, 2);    // slot 0's bytes
  testsupport::ExpectModuleReads(controller_, models_, 0, 1, 255);  // words and a last byte
  // The block at configuration dword 0x50 on this board: the address
  // register holds the address alone, the protocol has the direction.
  EXPECT_EQ(machine_.In8(0x5000 + 2), 0xA0);
}

// The later MCPs' two channels (mcp55: channel 1 at BAR4 0x1C00 with an
// empty bus, channel 2 at BAR5 0x1C40 with the modules): the channel a
// module answers on is used; with none answering (no modules fitted), the
// first channel with a base; with no base at all, nothing, and not a port
// touched. A second channel unsafe to touch (the nForce4 board whose
// discovery says so: chipset_test) is not, with or without a debug hook.
TEST_F(Nvidia0064HostTest, LaterMcpUsesTheChannelAModuleAnswersOn) {
  struct Case {
    const char* what;
    std::vector<std::pair<uint8_t, uint32_t>> dwords;  // changed before the acquire
    int32_t result;
    uint32_t base;
    bool modules = true;
    uint32_t untouched = 0;  // a block no access may reach
    bool noHook = false;     // discovery never set the debug hook
    const char* board = "mcp55";
    bool secondUnsafe = false;
  };
  const Case cases[] = {
      {"channel 2 without a base", {{0x24, 0}, {0x54, 0}}, 0, 0x1C00},
      {"no module on either channel", {}, 0, 0x1C00, false},
      {"channel 1 programmed in its word only", {{0x20, 0}, {0x24, 0}, {0x54, 0}}, 0, 0x0600},
      {"channel 2's BAR a memory BAR", {{0x24, 0x00001C40}}, 0, 0x1C00, true, 0x1C40},
      {"no base at all", {{0x20, 0}, {0x24, 0}, {0x50, 0}, {0x54, 0}}, -1, 0},
      {"no I/O decoding, no debug hook", {{0x04, 0}}, -1, 0, true, 0, true},
      {"modules on channel 2, no debug hook", {}, 0, 0x1C40, true, 0, true},
      // ck804-dfi, its modules taken out: channel 2 unsafe.
      {"channel 2 unsafe", {}, 0, 0x4C00, false, 0x4C40, false, "ck804-dfi", true},
      {"channel 2 unsafe, no hook", {}, 0, 0x4C00, false, 0x4C40, true, "ck804-dfi", true},
  };
  const DebugPrintFn hook = DebugPrintHook;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.noHook) {
      DebugPrintHook = nullptr;
    } else {
      SetDebugPrintHook();
    }
    sim::Machine machine;
    sim::AttachScope attach(machine);
    sim::Board board = *sim::FindBoard(c.board);
    if (!c.modules) board.smbus->segment0.clear();
    sim::Build(board, machine);
    for (const auto& [offset, value] : c.dwords)
      machine.FindPciFunction(0, 1, 1)->SetDword(offset, value);
    machine.SetTracing(true);
    SmbusController controller{};
    const bool set = testsupport::Acquires(machine, nvidia_mcp::kNvidiaMcpBackend, controller,
                                           {.Chip = &nvidia_mcp::kMcpChip,
                                            .Function = {0, 1, 1},
                                            .IoBase = 0,
                                            .SecondHostUnsafe = c.secondUnsafe},
                                           c.result);
    for (const TraceEntry& e : machine.Trace()) {
      const bool port = e.kind != Access::ConfigRead && e.kind != Access::ConfigWrite;
      EXPECT_FALSE(port && c.untouched != 0 && e.where >= c.untouched &&
                   e.where < c.untouched + 0x40)
          << "a channel without an I/O base, or unsafe, is not touched";
    }
    if (!set) continue;
    EXPECT_EQ(static_cast<NvContext*>(controller.Context)->IoBase, c.base);
    EXPECT_LT(machine.NowMs(), kNvPollLimit) << "an absent module's read is no time-out";
    controller.ReleaseDevice(controller.Context);
    EXPECT_EQ(machine.LeakReport(), "");
  }
  DebugPrintHook = hook;
}

}  // namespace
