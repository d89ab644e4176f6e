// The nVidia 0x0064 back-end against its host model: the result codes that
// fail a transfer, a transaction that has not finished when the status is
// read, and the channel the later MCPs set up.
#include <functional>
#include <vector>

#include "sim/models/nvidia_0064_smbus_host.h"
#include "smbus/nvidia_0064.h"
#include "smbus/nvidia_mcp.h"
#include "support/smbus_fixture.h"

namespace {

using sim::Access;
using sim::Nvidia0064SmbusHost;
using sim::TraceEntry;
using testsupport::SmbusBoardTest;

class Nvidia0064HostTest : public SmbusBoardTest {
 protected:
  static constexpr uint16_t kBlock = 0x5000;  // configuration dword 0x50 on the nforce2 board

  Nvidia0064SmbusHost& Host() { return *models_.Host<sim::Nvidia0064SmbusHost>(); }

  // 255 bytes from offset 1 (words and a last byte) match the module.
  void ExpectSlotReads(uint8_t slot) {
    uint8_t data[255];
    OpStatus status = Fresh();
    ASSERT_EQ(ReadSpdBlock(controller_, &status, slot, data, 1, 255), 255u);
    EXPECT_TRUE(std::equal(data, data + 255, Image(0, slot).begin() + 1));
  }
};

struct Nforce2FaultCase {
  const char* what;
  uint8_t slot;
  std::function<void(Nvidia0064SmbusHost&)> arrange;
  uint32_t hwDetail;
};

TEST_F(Nvidia0064HostTest, ResultCodesFailTheTransferAndTheNextOneReadsTheModule) {
  Boot("nforce2");
  const Nforce2FaultCase cases[] = {
      {"timeout", 0, [](Nvidia0064SmbusHost& h) { h.FailNextWith(0x18); }, 0x98},
      {"unsupported protocol", 0, [](Nvidia0064SmbusHost& h) { h.FailNextWith(0x19); }, 0x99},
      {"a code without bit 4", 0, [](Nvidia0064SmbusHost& h) { h.FailNextWith(0x01); }, 0x81},
  };
  for (const Nforce2FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    for (uint32_t count : {2u, 1u}) {  // a word read, then a byte read
      c.arrange(Host());
      OpStatus status = Fresh();
      uint8_t data[2];
      const uint64_t start = machine_.NowMs();
      EXPECT_EQ(ReadSpdBlock(controller_, &status, c.slot, data, 0, count), 0u);
      EXPECT_EQ(machine_.NowMs() - start, 1u);
      EXPECT_EQ(status.Code, OpError::SpdBlockRead);
      EXPECT_EQ(status.HwCode, count == 2 ? OpError::ReadWordFailed : OpError::ReadByteFailed);
      EXPECT_EQ(status.HwDetailCount, 1u);
      EXPECT_EQ(status.HwDetail[0], c.hwDetail);
    }
    ExpectSlotReads(0);
  }
  EXPECT_EQ(machine_.In8(kBlock + 2), 0xA0) << "the address alone: the protocol has the direction";
}

// Status 0 one millisecond after the start: the transfer fails, and while the
// host is still at it nothing new is started, so its late result is never
// taken for the next transfer's.
TEST_F(Nvidia0064HostTest, TransactionSlowerThanOneMillisecondFailsAndIsNotOverrun) {
  Boot("nforce2");
  Host().SetTransactionMs(4);
  OpStatus status = Fresh();
  uint8_t data[2];
  EXPECT_EQ(ReadSpdBlock(controller_, &status, 1, data, 0x20, 2), 0u);
  EXPECT_EQ(status.HwCode, OpError::ReadWordFailed);
  EXPECT_EQ(status.HwDetail[0], 0u);
  Host().SetTransactionMs(1);

  // Word reads of slot 0 from offset 0, a millisecond apart, until one
  // succeeds: those made while the host is busy fail having read only its
  // status, and the one that succeeds carries slot 0's bytes, not the slow
  // transaction's.
  int refusals = 0;
  for (;; machine_.Delay(1)) {
    ASSERT_LT(refusals, 8);
    const uint64_t ports = machine_.PortAccesses();
    OpStatus s = Fresh();
    if (ReadSpdBlock(controller_, &s, 0, data, 0, 2) == 2) break;
    ++refusals;
    EXPECT_EQ(s.HwDetail[0], 0u);
    EXPECT_EQ(machine_.PortAccesses() - ports, 1u) << "touched more than the status";
  }
  EXPECT_EQ(refusals, 3);
  EXPECT_EQ(data[0], Image(0, 0)[0]);
  EXPECT_EQ(data[1], Image(0, 0)[1]);
  ExpectSlotReads(0);
}

// The later MCPs' two channels (mcp55: channel 1 at BAR4 0x1C00 with an
// empty bus, channel 2 at BAR5 0x1C40 with the modules): the channel a
// module answers on is used; with none answering (no modules fitted), the
// first channel with a base; with no base at all, nothing, and not a port
// touched.
TEST_F(Nvidia0064HostTest, LaterMcpUsesTheChannelAModuleAnswersOn) {
  struct Case {
    const char* what;
    std::vector<std::pair<uint8_t, uint32_t>> dwords;  // changed before the acquire
    int32_t result;
    uint32_t base;
    bool modules = true;
  };
  const Case cases[] = {
      {"modules on channel 2", {}, 0, 0x1C40},
      {"channel 2 without a base", {{0x24, 0}, {0x54, 0}}, 0, 0x1C00},
      {"no module on either channel", {}, 0, 0x1C00, false},
      {"channel 1 programmed in its word only", {{0x20, 0}, {0x24, 0}, {0x54, 0}}, 0, 0x0600},
      {"no base at all", {{0x20, 0}, {0x24, 0}, {0x50, 0}, {0x54, 0}}, -1, 0},
  };
  SetDebugPrintHook();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Machine machine;
    sim::AttachScope attach(machine);
    sim::Board board = *sim::FindBoard("mcp55");
    if (!c.modules) board.smbus->segment0.clear();
    sim::Build(board, machine);
    for (const auto& [offset, value] : c.dwords) machine.FindPciFunction(0, 1, 1)->SetDword(offset, value);
    SmbusController controller{};
    EXPECT_EQ(nvidia_mcp::AcquireDevice(&controller, {0, 1, 1}), c.result);
    if (c.result != 0) {
      EXPECT_EQ(machine.PortAccesses(), 0u);
      EXPECT_EQ(controller.ReadWord, nullptr);
      continue;
    }
    EXPECT_EQ(static_cast<NvContext*>(controller.Context)->IoBase, c.base);
    controller.ReleaseDevice(controller.Context);
    EXPECT_EQ(machine.LeakReport(), "");
  }
}

}  // namespace
