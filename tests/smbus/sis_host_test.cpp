// The SiS back-end against its 5595 host model: the trace a read leaves on
// the debug output, an error standing before the transfer (nothing started),
// and the faults a transfer can meet, each followed by a good transfer.
#include <vector>

#include "sim/models/sis_smbus_host.h"
#include "smbus/sis.h"
#include "support/smbus_fixture.h"
#include "support/transfer_ops.h"

namespace {

using testsupport::Op;
using testsupport::SmbusBoardTest;
using testsupport::Transfer;

class SisHostTest : public SmbusBoardTest {
 protected:
  sim::HostEngine& Engine() { return models_.sisHost->Engine(); }
};

TEST_F(SisHostTest, SuccessfulReadLeavesItsTraceInOrder) {
  Boot("sis5595");
  machine_.ClearDebugOutput();
  OpStatus status = Fresh();
  uint8_t value = 0;
  ASSERT_EQ(controller_->ReadByte(controller_->Context, &status, 0x50, 2, &value), 0);
  EXPECT_EQ(value, Image(0, 0)[2]);
  EXPECT_EQ(machine_.DebugLines(),
            (std::vector<std::string>{"SIS_ReadByte", "SIS_CallSMBus", "SIS_WaitForBusReady",
                                      "SIS_ResetStatus", "SIS_WaitForBusReady",
                                      "SIS_ResetStatus"}));
}

struct FaultCase {
  const char* what;
  uint8_t slave;
  uint8_t raisedBefore;  // error bits standing before the transfer
  uint8_t forcedBits;
  bool stuckBusy;
  uint32_t hwStatus;
  bool started;
  const char* message;  // "" = none
};

TEST_F(SisHostTest, EveryFaultFailsItsTransferAndTheNextTransferSucceeds) {
  Boot("sis5595");
  const FaultCase cases[] = {
      {"absent slave", 0x57, 0, 0, false, 0x10, true,
       "SIS_CallSMBus: after transaction, chip model 1 had error bits set in status: 0x10."},
      {"collision", 0x50, 0, 0x20, false, 0x20, true,
       "SIS_CallSMBus: after transaction, chip model 1 had error bits set in status: 0x20."},
      {"error standing before the transfer", 0x50, 0x20, 0, false, 0x20, false,
       "SIS_CallSMBus: before transaction, chip model 1 had error bits set in status: 0x20."},
      {"never leaves busy", 0x50, 0, 0, true, 0x40, false,
       "WaitForBusReady: Bus never became ready."},
  };
  for (const FaultCase& c : cases) {
    for (Op op : testsupport::kEveryOp) {
      SCOPED_TRACE(testing::Message() << c.what << ", op " << int(op));
      models_.sisHost->RaiseStatus(c.raisedBefore);
      Engine().FailNextWith(c.forcedBits);
      Engine().SetStuckBusy(c.stuckBusy);
      const uint64_t transactions = Engine().Transactions();
      machine_.ClearDebugOutput();
      OpStatus status = Fresh();
      EXPECT_EQ(Transfer(controller_, op, &status, c.slave), -1);
      EXPECT_EQ(status.HwCode, testsupport::HwCodeOf(op));
      EXPECT_EQ(status.HwDetail[0], c.hwStatus);
      EXPECT_EQ(Engine().Transactions() - transactions, c.started ? 1u : 0u);
      const std::vector<std::string> lines = machine_.DebugLines();
      EXPECT_NE(std::find(lines.begin(), lines.end(), c.message), lines.end());
      Engine().SetStuckBusy(false);

      std::vector<uint8_t> data(16);
      OpStatus ok = Fresh();
      EXPECT_EQ(ReadSpdBlock(controller_, &ok, 0, data.data(), 0, 16), 16u);
      EXPECT_TRUE(std::equal(data.begin(), data.end(), Image(0, 0).begin()));
    }
  }
}

}  // namespace
