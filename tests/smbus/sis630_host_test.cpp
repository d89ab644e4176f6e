// The SiS 630/730 and 760/964 back-end against its host model (its faults:
// host_faults_test; the host bridges it needs: chipset_test): a host left
// busy by another agent (killed, or refused when the kill does not free
// it); a status that will not clear; firmware's control bits; the byte
// protocols.
#include "discovery/chipset.h"
#include "sim/models/sis630_smbus_host.h"
#include "smbus/sis630.h"
#include "smbus/booted_board.h"
#include "support/host_fault_table.h"

namespace {

using sim::Sis630SmbusHost;
using testsupport::Op;
using testsupport::Transfer;

class Sis630HostTest : public testsupport::HostFaultTest {
 protected:
  Sis630SmbusHost& Host() { return *models_.Host<Sis630SmbusHost>(); }
  // A start is a write of host control with bit 4 (a kill writes it too).
  std::function<bool(const std::vector<sim::TraceEntry>&)> WroteStart() {
    const uint32_t port = DecodedHostBase() + 3u;
    return [port](const std::vector<sim::TraceEntry>& trace) {
      for (const sim::TraceEntry& e : trace) {
        if (e.kind == sim::Access::Out8 && e.where == port && (e.value & 0x10) != 0) return true;
      }
      return false;
    };
  }
  void ExpectNoHarm() {
    EXPECT_EQ(Host().StartsWhileBusy(), 0u) << "a start fell on a busy host";
    EXPECT_EQ(Host().StartsWithTimeoutEnabled(), 0u) << "firmware's time-out interrupt was on";
  }
  void ExpectModuleReads() { testsupport::ExpectModuleReads(controller_, models_, 0, 0, 8); }
};

// Another agent's transfer that never ends holds the host: after the idle
// wait it is killed and ours runs. A slave transfer the kill cannot end,
// and end bits that a write of 1 does not clear, leave the host unstarted.
TEST_F(Sis630HostTest, AHostLeftBusyIsKilledOrRefused) {
  Boot("sis630");
  const uint16_t base = DecodedHostBase();
  {
    std::lock_guard<std::recursive_mutex> guard(machine_.Lock());
    Host().Engine().HangNext();
    machine_.Out8(base + 4, 0xA1);  // firmware reads a sensor at 0x50
    machine_.Out8(base + 3, 0x12);
  }
  ASSERT_TRUE(Host().Engine().Busy());
  ExpectModuleReads();
  EXPECT_FALSE(Host().Engine().Busy()) << "killed";

  auto refused = [this](Op op, uint32_t shown) {
    machine_.ClearTrace();
    machine_.SetTracing(true);
    OpStatus s = Fresh();
    EXPECT_EQ(Transfer(controller_, op, &s, 0x50), -1);
    machine_.SetTracing(false);
    EXPECT_FALSE(WroteStart()(machine_.Trace()));
    EXPECT_EQ(s.HwCode, HwCodeOf(op));
    EXPECT_EQ(s.HwDetail[0], shown);
  };
  Host().HoldSlaveBusy(true);
  refused(Op::ReadWord, 0x0200);
  Host().HoldSlaveBusy(false);
  ExpectModuleReads();
  Host().LatchStatus(0x02);
  refused(Op::ReadByte, 0x02);
  Host().LatchStatus(0);
  ExpectModuleReads();
  ExpectNoHarm();
}

// Firmware's clock select and master time-out enable: the time-out is off
// while our transfers run, and both read as firmware left them after.
TEST_F(Sis630HostTest, FirmwaresControlBitsAreOffForOurTransferAndPutBack) {
  sim::Board board = *sim::FindBoard("sis964");
  board.smbus->firmware.leftHostControl =
      Sis630SmbusHost::kClockSelect | Sis630SmbusHost::kTimeoutEnable | 0x04;
  board_ = &board;
  models_ = sim::Build(board, machine_);
  OpStatus status = Fresh();
  controller_ = DiscoverChipset(&status, &info_, table_, &count_);
  ASSERT_NE(controller_, nullptr);
  for (Op op : testsupport::kEveryOp) {
    OpStatus s = Fresh();
    EXPECT_EQ(Transfer(controller_, op, &s, 0x50), 0);
    EXPECT_EQ(Host().ControlRegister(), 0x64);
  }
  EXPECT_EQ(Host().Engine().Transactions(), 3u);
  ExpectNoHarm();
}

// Send and receive byte through the one transfer entry: the byte sent sets
// the EEPROM's pointer, the byte received is the one there; nobody at the
// address is a no-acknowledge, a collision a failure with its status.
TEST_F(Sis630HostTest, ByteProtocolsAnswerOrSayNotAcknowledged) {
  Boot("sis630");
  void* ctx = controller_->Context;
  uint16_t byte = 0x21;
  OpStatus s = Fresh();
  EXPECT_EQ(sis630::Transfer(ctx, &s, SmbusOp::SendByte, 0x50, 0, &byte), 0);
  byte = 0;
  EXPECT_EQ(sis630::Transfer(ctx, &s, SmbusOp::ReceiveByte, 0x50, 0, &byte), 0);
  EXPECT_EQ(byte, Image(0, 0)[0x21]);
  EXPECT_EQ(sis630::Transfer(ctx, &s, SmbusOp::SendByte, 0x36, 0, &byte), kNotAcknowledged);
  EXPECT_EQ(sis630::Transfer(ctx, &s, SmbusOp::ReceiveByte, 0x36, 0, &byte), kNotAcknowledged);
  Host().Engine().FailNextWith(Sis630SmbusHost::kCollision);
  EXPECT_EQ(sis630::Transfer(ctx, &s, SmbusOp::ReceiveByte, 0x50, 0, &byte), -1);
  EXPECT_EQ(s.HwCode, OpError::ReceiveByteFailed);
  EXPECT_EQ(s.HwDetail[0], 0x04u);
  ExpectNoHarm();
}

}  // namespace
