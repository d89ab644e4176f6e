// The SiS back-ends against their host models (their faults:
// host_faults_test; the host bridges they need: chipset_test). The 5595: a
// transfer's register writes through the index port, and the pair found
// from the ACPI base. The 630/730 and 760/964: a host left busy by another
// agent (killed, or refused when the kill does not free it); a status that
// will not clear; firmware's control bits; the byte protocols.
#include <vector>

#include "discovery/chipset.h"
#include "sim/models/sis630_smbus_host.h"
#include "sim/models/sis_smbus_host.h"
#include "smbus/sis.h"
#include "smbus/sis630.h"
#include "smbus/booted_board.h"
#include "support/smbus_fixture.h"
#include "support/transfer_ops.h"

namespace {

using sim::Access;
using sim::Sis630SmbusHost;
using sim::SisSmbusHost;
using testsupport::Op;
using testsupport::Transfer;

class SisHostTest : public testsupport::SmbusBoardTest {
 protected:
  sim::HostEngine& Engine() { return models_.Host<sim::SisSmbusHost>()->Engine(); }
};

class Sis630HostTest : public testsupport::SmbusBoardTest {
 protected:
  Sis630SmbusHost& Host() { return *models_.Host<Sis630SmbusHost>(); }
  void ExpectNoHarm() {
    EXPECT_EQ(Host().StartsWhileBusy(), 0u) << "a start fell on a busy host";
    EXPECT_EQ(Host().StartsWithTimeoutEnabled(), 0u) << "firmware's time-out interrupt was on";
  }
  void ExpectModuleReads() { testsupport::ExpectModuleReads(controller_, models_, 0, 0, 8); }
};

// Every register is reached by an index write, then the data access. A byte
// read programs the slave, command and protocol (the other control bits
// kept: 0xE1 stands in control low), clears the status before the start and
// takes the done status after the 5 ms settle; a write leaves the filler 0xCA
// in data 0.
TEST_F(SisHostTest, ATransferClearsTheStatusBeforeItsStartAndSettles) {
  Boot("sis5595");
  const uint16_t index = DecodedHostBase();
  machine_.Out8(index, SisSmbusHost::kControlLow);
  machine_.Out8(index + 1, 0xE1);
  machine_.SetTracing(true);
  const uint64_t t0 = machine_.NowMs();
  OpStatus status = Fresh();
  uint16_t value = 0;
  ASSERT_EQ(SmbusTransfer(controller_, &status, SmbusOp::ReadByte, 0x50, 2, &value), 0);
  EXPECT_EQ(value, Image(0, 0)[2]);
  EXPECT_EQ(machine_.NowMs() - t0, 5u);
  std::vector<std::pair<uint32_t, uint32_t>> writes;  // register, value
  const std::vector<sim::TraceEntry> trace = machine_.Trace();
  for (size_t i = 1; i < trace.size(); ++i) {
    if (trace[i].kind == Access::Out8 && trace[i].where == index + 1u) {
      writes.push_back({trace[i - 1].value, trace[i].value});
    }
  }
  using S = SisSmbusHost;
  EXPECT_EQ(writes, (std::vector<std::pair<uint32_t, uint32_t>>{{S::kAddress, 0xA1},
                                                                {S::kCommand, 0x02},
                                                                {S::kControlLow, 0xE5},
                                                                {S::kStatusLow, 0x00},
                                                                {S::kStatusHigh, 0x00},
                                                                {S::kControlLow, 0xF5},
                                                                {S::kStatusLow, 0x40},
                                                                {S::kStatusHigh, 0x00}}));
  ASSERT_EQ(testsupport::Transfer(controller_, Op::WriteByte, &status, 0x50), 0);
  EXPECT_EQ(models_.Host<sim::SisSmbusHost>()->Register(SisSmbusHost::kData0), 0xCA);
}

// The pair answers only while I/O space and ACPI are enabled: without them
// the driver finds nothing at the pair and its transfer fails.
TEST_F(SisHostTest, PairAnswersOnlyWhileTheAcpiBlockIsEnabled) {
  struct EnableCase {
    const char* what;
    uint8_t offset, value;
  };
  const EnableCase cases[] = {
      {"I/O space off", 0x04, 0x06},
      {"ACPI off", 0x40, 0x00},
  };
  Boot("sis5595");
  sim::PciFunction& acpi = *machine_.FindPciFunction(0, 1, 0);
  for (const EnableCase& c : cases) {
    SCOPED_TRACE(c.what);
    const uint8_t kept = static_cast<uint8_t>(acpi.Dword(c.offset & 0xFC) >> (8 * (c.offset & 3)));
    acpi.SetByte(c.offset, c.value);
    const uint64_t transactions = Engine().Transactions();
    OpStatus status = Fresh();
    uint16_t value = 0;
    EXPECT_EQ(SmbusTransfer(controller_, &status, SmbusOp::ReadByte, 0x50, 0, &value), -1);
    EXPECT_EQ(Engine().Transactions(), transactions);
    acpi.SetByte(c.offset, kept);
    status = Fresh();
    EXPECT_EQ(SmbusTransfer(controller_, &status, SmbusOp::ReadByte, 0x50, 0, &value), 0);
    EXPECT_EQ(value, Image(0, 0)[0]);
  }
}

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

  auto refused = [this, base](Op op, uint32_t shown) {
    machine_.ClearTrace();
    machine_.SetTracing(true);
    OpStatus s = Fresh();
    EXPECT_EQ(Transfer(controller_, op, &s, 0x50), -1);
    machine_.SetTracing(false);
    // A start is a write of host control with bit 4 (a kill writes it too).
    for (const sim::TraceEntry& e : machine_.Trace()) {
      EXPECT_FALSE(e.kind == Access::Out8 && e.where == base + 3u && (e.value & 0x10) != 0);
    }
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
