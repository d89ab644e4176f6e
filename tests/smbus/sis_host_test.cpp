// The SiS back-end against its 5595 host model: the trace a read leaves on
// the debug output, the register order of a read through the index port,
// the faults a transfer can meet (an error or an unclaimed transfer standing
// before it: nothing started), each followed by a good transfer, and the
// pair found from the ACPI base.
#include <vector>

#include "sim/models/sis_smbus_host.h"
#include "smbus/sis.h"
#include "support/host_fault_table.h"

namespace {

using sim::Access;
using sim::SisSmbusHost;
using testsupport::Op;

class SisHostTest : public testsupport::HostFaultTest {
 protected:
  sim::HostEngine& Engine() { return models_.Host<sim::SisSmbusHost>()->Engine(); }
  uint16_t IndexPort() { return *machine_.DecodedBase(board_->smbus->decode); }
};

// Each operation's debug lines in order; a write leaves the filler 0xCA in
// data 0.
TEST_F(SisHostTest, EachOperationLeavesItsDebugLinesInOrder) {
  Boot("sis5595");
  const char* const names[] = {"SIS_ReadByte", "SIS_ReadWord", "SIS_WriteByte"};
  for (Op op : testsupport::kEveryOp) {
    machine_.ClearDebugOutput();
    OpStatus status = Fresh();
    ASSERT_EQ(testsupport::Transfer(controller_, op, &status, 0x50), 0);
    EXPECT_EQ(machine_.DebugLines(),
              (std::vector<std::string>{names[int(op)], "SIS_CallSMBus", "SIS_WaitForBusReady",
                                        "SIS_ResetStatus", "SIS_WaitForBusReady",
                                        "SIS_ResetStatus"}));
  }
  EXPECT_EQ(models_.Host<sim::SisSmbusHost>()->Register(SisSmbusHost::kData0), 0xCA);
}

// Every register is reached by an index write, then the data access. A byte
// read: the status is looked at, the slave and command programmed, the
// protocol set keeping the other control bits (0xE1 stands in control low),
// the status cleared, the start set, and 5 ms later the done status read, the
// data byte taken and the done bit written back.
TEST_F(SisHostTest, ByteReadReachesEachRegisterThroughTheIndexInOrder) {
  Boot("sis5595");
  const uint16_t index = IndexPort();
  ASSERT_EQ(index, 0x0838);
  const uint8_t byte = Image(0, 0)[2];
  struct Step {
    uint8_t reg;
    Access kind;  // on the data port
    uint8_t value;
  };
  const std::vector<Step> expected = {
      {SisSmbusHost::kStatusLow, Access::In8, 0x00},
      {SisSmbusHost::kAddress, Access::Out8, 0xA1},
      {SisSmbusHost::kCommand, Access::Out8, 0x02},
      {SisSmbusHost::kControlLow, Access::In8, 0xE1},
      {SisSmbusHost::kControlLow, Access::Out8, 0xE5},  // byte data
      {SisSmbusHost::kStatusLow, Access::In8, 0x00},
      {SisSmbusHost::kStatusLow, Access::Out8, 0x00},
      {SisSmbusHost::kStatusHigh, Access::In8, 0x00},
      {SisSmbusHost::kStatusHigh, Access::Out8, 0x00},
      {SisSmbusHost::kControlLow, Access::In8, 0xE5},
      {SisSmbusHost::kControlLow, Access::Out8, 0xF5},  // start
      {SisSmbusHost::kStatusLow, Access::In8, 0x40},    // done
      {SisSmbusHost::kData0, Access::In8, byte},
      {SisSmbusHost::kStatusLow, Access::In8, 0x40},
      {SisSmbusHost::kStatusLow, Access::Out8, 0x40},
      {SisSmbusHost::kStatusHigh, Access::In8, 0x00},
      {SisSmbusHost::kStatusHigh, Access::Out8, 0x00},
  };
  machine_.Out8(index, SisSmbusHost::kControlLow);
  machine_.Out8(index + 1, 0xE1);
  machine_.SetTracing(true);
  const uint64_t t0 = machine_.NowMs();
  OpStatus status = Fresh();
  uint8_t value = 0;
  ASSERT_EQ(controller_->ReadByte(controller_->Context, &status, 0x50, 2, &value), 0);
  machine_.SetTracing(false);
  EXPECT_EQ(value, byte);
  const std::vector<sim::TraceEntry> trace = machine_.Trace();
  ASSERT_EQ(trace.size(), 2 * expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "register access " << i);
    const sim::TraceEntry& select = trace[2 * i];
    const sim::TraceEntry& data = trace[2 * i + 1];
    EXPECT_EQ(select, (sim::TraceEntry{Access::Out8, index, expected[i].reg, select.timeMs}));
    EXPECT_EQ(data, (sim::TraceEntry{expected[i].kind, index + 1u, expected[i].value, data.timeMs}));
  }
  EXPECT_EQ(trace[2 * 11 + 1].timeMs - t0, 5u) << "the done status is read after the settle";
  EXPECT_EQ(machine_.NowMs() - t0, 5u) << "a read costs its settle";
}

TEST_F(SisHostTest, EveryFaultFailsItsTransferAndTheNextTransferSucceeds) {
  Boot("sis5595");
  const uint16_t index = IndexPort();
  const char kNeverReady[] = "WaitForBusReady: Bus never became ready.";
  RunFaultTable(
      {
          {"absent slave", 0x57, 0, false, 0x50, true, 0,
           "SIS_CallSMBus: after transaction, chip model 1 had error bits set in status: 0x50."},
          {"collision", 0x50, 0x20, false, 0x60, true, 0,
           "SIS_CallSMBus: after transaction, chip model 1 had error bits set in status: 0x60."},
          {"error standing before the transfer", 0x50, 0, false, 0x20, false, 0x20,
           "SIS_CallSMBus: before transaction, chip model 1 had error bits set in status: 0x20."},
          {"failed transfer nobody claimed", 0x50, 0, false, 0x50, false, 0x50,
           "SIS_CallSMBus: before transaction, chip model 1 had error bits set in status: 0x50."},
          {"done transfer nobody claimed, refused at once", 0x50, 0, false, 0x40, false, 0x40,
           "SIS_CallSMBus: before transaction, chip model 1 held a transfer nobody claimed: 0x40."},
          {"never finishes", 0x50, 0, true, 0x00, true, 0, kNeverReady},
      },
      {.engine = Engine(),
       .wroteStart =
           [index](const std::vector<sim::TraceEntry>& trace) {
             for (size_t i = 1; i < trace.size(); ++i) {
               if (trace[i].kind == Access::Out8 && trace[i].where == index + 1u &&
                   trace[i - 1].value == SisSmbusHost::kControlLow &&
                   (trace[i].value & SisSmbusHost::kStart) != 0) {
                 return true;
               }
             }
             return false;
           },
       .status = [this] { return models_.Host<sim::SisSmbusHost>()->Register(SisSmbusHost::kStatusLow); },
       .idleStatus = 0x00,
       .raiseStatus = [this](uint8_t bits) { models_.Host<sim::SisSmbusHost>()->RaiseStatus(bits); }});
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
    uint8_t value = 0;
    EXPECT_EQ(controller_->ReadByte(controller_->Context, &status, 0x50, 0, &value), -1);
    EXPECT_EQ(Engine().Transactions(), transactions);
    acpi.SetByte(c.offset, kept);
    status = Fresh();
    EXPECT_EQ(controller_->ReadByte(controller_->Context, &status, 0x50, 0, &value), 0);
    EXPECT_EQ(value, Image(0, 0)[0]);
  }
}

}  // namespace
