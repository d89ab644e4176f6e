// Every register-driven host on a HostEngine (VIA and the PIIX4-compatible
// ATI/AMD hosts, the ALi M7101, the SiS 5595 and 630/964): each fault with
// each transfer fails that transfer with the host's status, starts the host
// only where the row says, and the next transfer reads the module again.
#include <algorithm>
#include <string>
#include <vector>

#include "sim/models/ali_smbus_host.h"
#include "sim/models/piix4_compat_host.h"
#include "sim/models/sis630_smbus_host.h"
#include "sim/models/sis_smbus_host.h"
#include "sim/models/via_smbus_host.h"
#include "smbus/booted_board.h"
#include "support/smbus_fixture.h"
#include "support/transfer_ops.h"

namespace {

using sim::TraceEntry;
using testsupport::Op;
using Trace = std::vector<TraceEntry>;

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

// A start seen as any byte written to the ports base + First..Last.
template <uint16_t First, uint16_t Last>
bool WritesAt(const Trace& trace, uint16_t base) {
  const uint32_t first = base + First, last = base + Last;
  return std::any_of(trace.begin(), trace.end(), [first, last](const TraceEntry& e) {
    return e.kind == sim::Access::Out8 && e.where >= first && e.where <= last;
  });
}
// The 5595's registers are reached by an index write, then the data access.
bool Wrote5595Start(const Trace& trace, uint16_t index) {
  for (size_t i = 1; i < trace.size(); ++i) {
    if (trace[i].kind == sim::Access::Out8 && trace[i].where == index + 1u &&
        trace[i - 1].value == sim::SisSmbusHost::kControlLow &&
        (trace[i].value & sim::SisSmbusHost::kStart) != 0) {
      return true;
    }
  }
  return false;
}
// A 630 start is a write of host control with bit 4 (a kill writes it too).
bool Wrote630Start(const Trace& trace, uint16_t base) {
  for (const TraceEntry& e : trace) {
    if (e.kind == sim::Access::Out8 && e.where == base + 3u && (e.value & 0x10) != 0) return true;
  }
  return false;
}

struct FamilyFaults {
  const char* board;
  std::vector<HostFaultCase> cases;
  bool (*wroteStart)(const Trace&, uint16_t base);
  uint32_t idleStatus;
  void (*raise)(sim::SmbusHostModel&, uint8_t) = nullptr;
};

template <class Host>
void Raise(sim::SmbusHostModel& host, uint8_t bits) {
  dynamic_cast<Host&>(host).RaiseStatus(bits);
}

const std::vector<HostFaultCase> kPiix4BlockFaults = {
    {"device error", 0x50, 0x04, false, 0x04, true},
    {"collision", 0x50, 0x08, false, 0x08, true},
    {"failed", 0x50, 0x10, false, 0x10, true},
    {"never leaves busy", 0x50, 0, true, 0x01, false},
};

const std::vector<HostFaultCase> kSis630Faults = {
    {"no acknowledge", 0x53, 0, false, 0x02, true},
    {"collision", 0x50, 0x04, false, 0x04, true},
    {"never leaves busy", 0x50, 0, true, 0x0100, false},
    // What another agent left is cleared first: our end alone.
    {"collision after an error left standing", 0x50, 0x04, false, 0x04, true, 0x02},
    {"no acknowledge after a completion left standing", 0x53, 0, false, 0x02, true, 0x08},
};

const FamilyFaults kFamilies[] = {
    // A busy PIIX4-type host is not even programmed: address, command or control.
    {"via686b", kPiix4BlockFaults, WritesAt<2, 4>, 0x00},
    {"sb600", kPiix4BlockFaults, WritesAt<2, 4>, 0x00},
    // Shared with firmware: the semaphore is taken for every start.
    {"sb800", kPiix4BlockFaults, WritesAt<2, 4>, 0x00},
    {"ali1543",
     {
         {"device error", 0x50, 0x20, false, 0x24, true},
         {"no answer or collision", 0x50, 0x40, false, 0x44, true},
         {"aborted", 0x50, 0x80, false, 0x84, true},
         {"never leaves busy", 0x50, 0, true, 0x08, false},
         // What another agent left is cleared before the start: the status
         // record carries our transfer's end alone.
         {"device error after an abort left standing", 0x50, 0x20, false, 0x24, true, 0x80},
         {"no answer after a done left standing", 0x50, 0x40, false, 0x44, true, 0x10},
     },
     WritesAt<2, 2>,
     0x04 /* idle */,
     Raise<sim::AliSmbusHost>},
    {"sis5595",
     {
         {"collision", 0x50, 0x20, false, 0x60, true, 0,
          "SIS_CallSMBus: after transaction, chip model 1 had error bits set in status: 0x60."},
         // An error or an unclaimed transfer standing before it: nothing started.
         {"error standing before the transfer", 0x50, 0, false, 0x20, false, 0x20,
          "SIS_CallSMBus: before transaction, chip model 1 had error bits set in status: 0x20."},
         {"failed transfer nobody claimed", 0x50, 0, false, 0x50, false, 0x50,
          "SIS_CallSMBus: before transaction, chip model 1 had error bits set in status: 0x50."},
         {"done transfer nobody claimed, refused at once", 0x50, 0, false, 0x40, false, 0x40,
          "SIS_CallSMBus: before transaction, chip model 1 held a transfer nobody claimed: 0x40."},
         {"never finishes", 0x50, 0, true, 0x00, true, 0,
          "WaitForBusReady: Bus never became ready."},
     },
     Wrote5595Start,
     0x00,
     Raise<sim::SisSmbusHost>},
    {"sis630", kSis630Faults, Wrote630Start, 0x00, Raise<sim::Sis630SmbusHost>},
    {"sis964", kSis630Faults, Wrote630Start, 0x00, Raise<sim::Sis630SmbusHost>},
};

class HostFaultsTest : public testsupport::SmbusBoardTest,
                       public ::testing::WithParamInterface<FamilyFaults> {};

TEST_P(HostFaultsTest, EveryFaultFailsItsTransferAndTheNextTransferSucceeds) {
  const FamilyFaults& f = GetParam();
  Boot(f.board);
  sim::SmbusHostModel& model = *models_.host;
  sim::HostEngine& engine = dynamic_cast<sim::StickyStatusHost&>(model).Engine();
  const auto* compat = models_.Host<sim::Piix4CompatHost>();
  const uint16_t base = compat != nullptr ? *compat->FirstPort() : DecodedHostBase();
  for (const HostFaultCase& c : f.cases) {
    for (Op op : testsupport::kEveryOp) {
      SCOPED_TRACE(testing::Message() << c.what << ", op " << int(op));
      if (c.raisedBefore != 0) f.raise(model, c.raisedBefore);
      engine.FailNextWith(c.forcedBits);
      engine.SetStuckBusy(c.stuckBusy);
      const uint64_t transactions = engine.Transactions();
      machine_.ClearDebugOutput();
      machine_.ClearTrace();
      machine_.SetTracing(true);
      OpStatus status = Fresh();
      EXPECT_EQ(testsupport::Transfer(controller_, op, &status, c.slave), -1);
      machine_.SetTracing(false);
      EXPECT_EQ(f.wroteStart(machine_.Trace(), base), c.started);
      EXPECT_EQ(status.HwCode, HwCodeOf(op));
      EXPECT_EQ(status.HwDetailCount, 1u);
      EXPECT_EQ(status.HwDetail[0], c.hwStatus);
      EXPECT_EQ(status.Code, 0u) << "a slot never writes the operation half";
      EXPECT_EQ(engine.Transactions() - transactions, c.started && !c.stuckBusy ? 1u : 0u);
      if (c.message != nullptr) {
        const std::vector<std::string> lines = machine_.DebugLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.message), lines.end()) << c.message;
      }
      engine.SetStuckBusy(false);

      EXPECT_EQ(model.Status(), f.idleStatus) << "nothing left set";
      testsupport::ExpectModuleReads(controller_, models_, 0, 0, 16);
    }
  }
  if (compat != nullptr) {
    EXPECT_EQ(compat->StartsWithoutSemaphore(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Families, HostFaultsTest, ::testing::ValuesIn(kFamilies),
                         [](const auto& info) { return std::string(info.param.board); });

}  // namespace
