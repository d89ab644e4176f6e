// The tables every register-driven host with a HostEngine underneath runs.
// Faults: each fault with each transfer fails that transfer with its
// hardware code and the host's status, starts the host only where the case
// says, and leaves the host clear for the next transfer, which reads the
// module again.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "sim/models/host_engine.h"
#include "driver/op_status.h"
#include "smbus/smbus.h"
#include "support/smbus_fixture.h"

namespace testsupport {

using Op = SmbusOp;

constexpr Op kEveryOp[] = {Op::ReadByte, Op::ReadWord, Op::WriteByte};

// One transfer through a controller's transfer slot, chosen by a table
// column: reads at offset 0, or writes 0x5A to offset 74; the slot's result.
inline int32_t Transfer(SmbusController* c, Op op, OpStatus* status, uint8_t slave) {
  uint16_t data = 0x5A;
  return SmbusTransfer(c, status, op, slave, op == Op::WriteByte ? 74 : 0, &data);
}

struct HostFaultCase {
  const char* what;
  uint8_t slave;
  uint8_t forcedBits;             // error bits the host ends the transfer with
  bool stuckBusy;                 // the host never finishes a transfer
  uint32_t hwStatus;              // HwDetail word 0
  bool started;                   // the start written (a stuck host then runs nothing)
  uint8_t raisedBefore = 0;       // status bits standing before the transfer
  const char* message = nullptr;  // a debug line the failure prints
};

// What the table needs of one host model.
struct HostUnderTest {
  sim::HostEngine& engine;
  // Whether the port accesses of one transfer wrote the start.
  std::function<bool(const std::vector<sim::TraceEntry>&)> wroteStart;
  std::function<uint32_t()> status;  // the status register, read without side effects
  uint32_t idleStatus;               // what it holds with nothing left set
  std::function<void(uint8_t)> raiseStatus = nullptr;
};

// A start seen as any byte written to the ports first..last.
inline std::function<bool(const std::vector<sim::TraceEntry>&)> WritesTo(uint32_t first,
                                                                         uint32_t last) {
  return [first, last](const std::vector<sim::TraceEntry>& trace) {
    return std::any_of(trace.begin(), trace.end(), [first, last](const sim::TraceEntry& e) {
      return e.kind == sim::Access::Out8 && e.where >= first && e.where <= last;
    });
  };
}

class HostFaultTest : public SmbusBoardTest {
 protected:
  void RunFaultTable(const std::vector<HostFaultCase>& cases, const HostUnderTest& host) {
    for (const HostFaultCase& c : cases) {
      for (Op op : kEveryOp) {
        SCOPED_TRACE(testing::Message() << c.what << ", op " << int(op));
        if (c.raisedBefore != 0) host.raiseStatus(c.raisedBefore);
        host.engine.FailNextWith(c.forcedBits);
        host.engine.SetStuckBusy(c.stuckBusy);
        const uint64_t transactions = host.engine.Transactions();
        machine_.ClearDebugOutput();
        machine_.ClearTrace();
        machine_.SetTracing(true);
        OpStatus status = Fresh();
        EXPECT_EQ(Transfer(controller_, op, &status, c.slave), -1);
        machine_.SetTracing(false);
        EXPECT_EQ(host.wroteStart(machine_.Trace()), c.started);
        EXPECT_EQ(status.HwCode, HwCodeOf(op));
        EXPECT_EQ(status.HwDetailCount, 1u);
        EXPECT_EQ(status.HwDetail[0], c.hwStatus);
        EXPECT_EQ(status.Code, 0u) << "a slot never writes the operation half";
        EXPECT_EQ(host.engine.Transactions() - transactions, c.started && !c.stuckBusy ? 1u : 0u);
        if (c.message != nullptr) {
          const std::vector<std::string> lines = machine_.DebugLines();
          EXPECT_NE(std::find(lines.begin(), lines.end(), c.message), lines.end()) << c.message;
        }
        host.engine.SetStuckBusy(false);

        EXPECT_EQ(host.status(), host.idleStatus) << "nothing left set";
        std::vector<uint8_t> data(16);
        OpStatus ok = Fresh();
        EXPECT_EQ(ReadSpdBlock(controller_, &ok, 0, data.data(), 0, 16), 16u);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), Image(0, 0).begin()));
      }
    }
  }
};

}  // namespace testsupport
