// The nVidia 0x0064 back-end against its host model: the register sequence
// of each transfer, the result codes that fail it, a transaction that has not
// finished when the status is read, and setting up.
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

struct SequenceCase {
  const char* what;
  std::function<int32_t(void* ctx, OpStatus*)> transfer;
  std::vector<TraceEntry> expected;  // times relative to the start
  uint64_t ms;
};

// The order is the behaviour here: data before the start, the direction in
// the protocol code, the status read once 1 ms after the start.
TEST_F(Nvidia0064HostTest, EachTransferProgramsOneTransactionAndReadsItsStatusOnce) {
  Boot("nforce2");
  const auto& image = Image(0, 0);
  const SequenceCase cases[] = {
      {"read byte",
       [](void* ctx, OpStatus* s) {
         uint8_t v = 0;
         return NV_ReadByte(ctx, s, 0x50, 10, &v);
       },
       {{Access::Out8, kBlock + 2, 0xA0, 0}, {Access::Out8, kBlock + 3, 10, 0},
        {Access::Out8, kBlock + 0, 7, 0}, {Access::In8, kBlock + 1, 0x80, 1},
        {Access::In8, kBlock + 4, image[10], 1}},
       1},
      {"read word",
       [](void* ctx, OpStatus* s) {
         uint16_t v = 0;
         return NV_ReadWord(ctx, s, 0x50, 10, &v);
       },
       {{Access::Out8, kBlock + 2, 0xA0, 0}, {Access::Out8, kBlock + 3, 10, 0},
        {Access::Out8, kBlock + 0, 9, 0}, {Access::In8, kBlock + 1, 0x80, 1},
        {Access::In8, kBlock + 4, image[10], 1}, {Access::In8, kBlock + 5, image[11], 1}},
       1},
      {"write byte",
       [](void* ctx, OpStatus* s) { return NV_WriteByte(ctx, s, 0x50, 74, 0x3C); },
       {{Access::Out8, kBlock + 4, 0x3C, 0}, {Access::Out8, kBlock + 2, 0xA0, 0},
        {Access::Out8, kBlock + 3, 74, 0}, {Access::Out8, kBlock + 0, 6, 0},
        {Access::In8, kBlock + 1, 0x80, 1}},
       1 + kNvWriteCycleMs},
  };
  for (const SequenceCase& c : cases) {
    SCOPED_TRACE(c.what);
    const uint64_t start = machine_.NowMs();
    machine_.ClearTrace();
    machine_.SetTracing(true);
    OpStatus status = Fresh();
    EXPECT_EQ(c.transfer(controller_->Context, &status), 0);
    machine_.SetTracing(false);
    std::vector<TraceEntry> expected = c.expected;
    for (TraceEntry& e : expected) e.timeMs += start;
    EXPECT_EQ(machine_.Trace(), expected);
    EXPECT_EQ(machine_.NowMs() - start, c.ms);
  }
  EXPECT_EQ(Image(0, 0)[74], 0x3C);
}

struct FaultCase {
  const char* what;
  uint8_t slot;
  std::function<void(Nvidia0064SmbusHost&)> arrange;
  uint32_t hwDetail;
};

TEST_F(Nvidia0064HostTest, ResultCodesFailTheTransferAndTheNextOneReadsTheModule) {
  Boot("nforce2");
  const FaultCase cases[] = {
      {"absent slave", 2, [](Nvidia0064SmbusHost&) {}, 0x90},
      {"timeout", 0, [](Nvidia0064SmbusHost& h) { h.FailNextWith(0x18); }, 0x98},
      {"unsupported protocol", 0, [](Nvidia0064SmbusHost& h) { h.FailNextWith(0x19); }, 0x99},
      {"a code without bit 4", 0, [](Nvidia0064SmbusHost& h) { h.FailNextWith(0x01); }, 0x81},
  };
  for (const FaultCase& c : cases) {
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

struct ProbeCase {
  uint32_t writeCycleMs;
  int32_t result;
  uint32_t code;
};

// A write leaves the EEPROM its write cycle before the read-back reaches it:
// the model's EEPROM starts the cycle as the write transaction starts, and the
// read-back comes 1 + 10 ms later.
TEST_F(Nvidia0064HostTest, WriteProbeWaitsOutTheEepromWriteCycle) {
  for (const ProbeCase c : {ProbeCase{5, 1, 0}, ProbeCase{11, 1, 0},
                            ProbeCase{12, -2, OpError::ProbeReadBack}}) {
    SCOPED_TRACE(c.writeCycleMs);
    sim::Machine machine;
    sim::AttachScope attach(machine);
    sim::Board board = *sim::FindBoard("nforce2");
    board.smbus->segment0[0].eeprom.writeCycleMs = c.writeCycleMs;
    SmbusController* ctl = BootOn(machine, board);
    ASSERT_NE(ctl, nullptr);
    OpStatus status = Fresh();
    EXPECT_EQ(ProbeSpdWrite(ctl, &status, 0), c.result);
    EXPECT_EQ(status.Code, c.code);
    ReleaseController(ctl);
    EXPECT_EQ(machine.LeakReport(), "");
  }
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
