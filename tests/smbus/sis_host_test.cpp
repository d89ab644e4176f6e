// The SiS back-end against its 5595 host model (its faults:
// host_faults_test): a transfer's register writes through the index port,
// and the pair found from the ACPI base.
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

}  // namespace
