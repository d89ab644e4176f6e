// The AMD and nVidia back-end against the AMD-756-style host model: faults
// the host reports and the transfer after them (and the nVidia 0x0064
// host's result codes and slow cycles), the read-modify-write of
// global control, the filler after every write, the status the firmware
// left, and the host's protocols.
#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "sim/models/amd_smbus_host.h"
#include "sim/models/nvidia_0064_smbus_host.h"
#include "smbus/amd.h"
#include "smbus/booted_board.h"
#include "support/smbus_fixture.h"

namespace {

using sim::AmdSmbusHost;
using sim::Nvidia0064SmbusHost;
using testsupport::SmbusBoardTest;

class AmdHostTest : public SmbusBoardTest {
 protected:
  // The ports of the host block on the amd756 board (base 0x5000 + 0xE0).
  static constexpr uint16_t kBlock = 0x50E0;

  std::vector<sim::TraceEntry> PortWrites(uint16_t port) {
    std::vector<sim::TraceEntry> out;
    for (const sim::TraceEntry& e : machine_.Trace()) {
      if ((e.kind == sim::Access::Out16 || e.kind == sim::Access::Out8) && e.where == port) {
        out.push_back(e);
      }
    }
    return out;
  }
};

// A fault on the board's host: the read of `count` bytes (2: a word, 1: a
// byte) fails with the host's status, or only takes longer; then the status
// is left clear and the next read gets the module. A 0x0064 cycle still
// running at the first status read is polled for, 1 ms apart, up to the poll
// limit; one not ended by then is aborted where the part has the abort
// register (nForce2, MCP55), fails with the status it showed, and the host
// serves the next transfer. A later MCP without that register gets no write
// to 0x3C/0x3E: the transfer fails and the next one reads once the host has
// finished on its own.
struct ReadFaultCase {
  const char* what;
  const char* board;
  uint8_t slot;
  uint32_t count;
  std::function<void(sim::BoardModels&)> arrange;
  std::optional<uint32_t> hwDetail;  // the status the failed read reports; none: it succeeds
  bool started;                      // whether the host ran a cycle for it
  uint64_t ms;                       // virtual time the read takes (an AMD word read's bit
                                     // times, 4.8 ms, are polled out to 5 ms)
  uint64_t aborts = 0;               // the 0x0064 host's aborts
};

std::function<void(sim::BoardModels&)> Amd(void (*arrange)(AmdSmbusHost&)) {
  return [arrange](sim::BoardModels& m) { arrange(*m.Host<AmdSmbusHost>()); };
}

std::function<void(sim::BoardModels&)> NvResult(uint8_t code) {
  return [code](sim::BoardModels& m) { m.Host<Nvidia0064SmbusHost>()->FailNextWith(code); };
}

std::function<void(sim::BoardModels&)> NvCycleMs(uint32_t ms) {
  return [ms](sim::BoardModels& m) { m.Host<Nvidia0064SmbusHost>()->SetTransactionMs(ms); };
}

TEST_F(AmdHostTest, FaultsFailTheTransferAndTheNextOneReadsTheModule) {
  const ReadFaultCase cases[] = {
      {"abort", "amd756", 0, 2, Amd([](AmdSmbusHost& h) { h.FailNextWith(0x0001); }), 0x0001, true,
       5},
      {"collision", "amd756", 0, 2, Amd([](AmdSmbusHost& h) { h.FailNextWith(0x0002); }), 0x0002,
       true, 5},
      {"timeout", "nforce", 0, 2, Amd([](AmdSmbusHost& h) { h.FailNextWith(0x0020); }), 0x0020,
       true, 5},
      {"slave slower than the settle time", "amd756", 0, 2,
       Amd([](AmdSmbusHost& h) { h.SetTransactionMs(40); }), std::nullopt, true, 40},
      {"bus held by another master", "amd756", 0, 2,
       Amd([](AmdSmbusHost& h) { h.SetStuckBusy(0x0800); }), 0x0800, false, 3000},
      {"host hung busy", "nforce", 2, 2, Amd([](AmdSmbusHost& h) { h.SetStuckBusy(0x0808); }),
       0x0808, false, 3000},
      {"host busy alone", "amd756", 0, 2, Amd([](AmdSmbusHost& h) { h.SetStuckBusy(0x0008); }),
       0x0008, false, 3000},
      // The 0x0064 host's result codes, bit 7 added to what it reports.
      {"timeout", "nforce2", 0, 2, NvResult(0x18), 0x98, true, 1},
      {"timeout", "nforce2", 0, 1, NvResult(0x18), 0x98, true, 1},
      {"unsupported protocol", "nforce2", 0, 2, NvResult(0x19), 0x99, true, 1},
      {"unsupported protocol", "nforce2", 0, 1, NvResult(0x19), 0x99, true, 1},
      {"a code without bit 4", "nforce2", 0, 2, NvResult(0x01), 0x81, true, 1},
      {"a code without bit 4", "nforce2", 0, 1, NvResult(0x01), 0x81, true, 1},
      {"four milliseconds", "nforce2", 0, 2, NvCycleMs(4), {}, true, 4},
      {"done at the last poll", "nforce2", 0, 2, NvCycleMs(100), {}, true, 100},
      {"ending after the last poll", "nforce2", 0, 2, NvCycleMs(102), 0, true, 101, 1},
      {"ending after the last poll, no abort register", "mcp79", 0, 2, NvCycleMs(102), 0, true,
       101},
      {"ending after the last poll, no abort register", "ck804", 0, 2, NvCycleMs(102), 0, true,
       101},
  };
  for (const ReadFaultCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.board << " " << c.what << ", " << c.count << " bytes");
    testsupport::BootedBoard b(c.board);
    ASSERT_NE(b.controller, nullptr);
    ASSERT_EQ(b.controller->Unavailable, 0u);
    AmdSmbusHost* amd = b.models.Host<AmdSmbusHost>();
    Nvidia0064SmbusHost* nv = b.models.Host<Nvidia0064SmbusHost>();
    auto cycles = [&] { return amd != nullptr ? amd->Transactions() : nv->Transactions(); };
    c.arrange(b.models);

    const uint64_t before = cycles();
    const uint64_t start = b.machine.NowMs();
    OpStatus status = Fresh();
    uint8_t data[2];
    const uint32_t done = ReadSpdBlock(b.controller, &status, c.slot, data, 0, c.count);
    const bool expectFailure = c.hwDetail.has_value();
    const uint32_t failed = c.count == 2 ? OpError::ReadWordFailed : OpError::ReadByteFailed;
    EXPECT_EQ(done, expectFailure ? 0u : c.count);
    EXPECT_EQ(status.HwCode, expectFailure ? failed : 0u);
    if (expectFailure) {
      EXPECT_EQ(status.Code, OpError::SpdBlockRead);
      EXPECT_EQ(status.HwDetailCount, 1u);
      EXPECT_EQ(status.HwDetail[0], *c.hwDetail);
    } else {
      EXPECT_TRUE(std::equal(data, data + c.count, b.models.eeproms[0][c.slot]->Bytes().begin()));
    }
    EXPECT_EQ(cycles() - before, c.started ? 1u : 0u);
    EXPECT_EQ(b.machine.NowMs() - start, c.ms);
    if (nv != nullptr) {
      EXPECT_EQ(nv->Aborts(), c.aborts);
      EXPECT_EQ(nv->AbortWritesWithout(), 0u) << "0x3C/0x3E are no abort registers here";
      nv->SetTransactionMs(1);
      b.machine.Delay(200);  // a host that was not aborted finishes on its own
    }

    if (amd != nullptr) {  // the 0x0064 host's result stays until the next start
      amd->SetStuckBusy(0);
      amd->SetTransactionMs(0);
      EXPECT_EQ(amd->StatusRegister(), 0) << "the status is left clear";
    }
    b.ExpectReads(0, 1, 255);  // words and a last byte: the bus is usable again
  }
}

struct ControlCase {
  uint16_t before;   // global control as the firmware left it
  bool word;         // a word read, else a byte read
  uint16_t written;  // what the start writes
};

TEST_F(AmdHostTest, StartRewritesOnlyTheProtocolFieldOfGlobalControl) {
  Boot("amd756");
  const ControlCase cases[] = {
      {0x00F5, false, 0x00FA},
      {0x00F5, true, 0x00FB},
      {0x1230, true, 0x123B},
      {0x0000, false, 0x000A},
  };
  for (const ControlCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.before << (c.word ? " word" : " byte"));
    machine_.Out16(kBlock + 2, c.before);
    machine_.ClearTrace();
    machine_.SetTracing(true);
    OpStatus status = Fresh();
    uint16_t data = 0;
    const int32_t result = SmbusTransfer(
        controller_, &status, c.word ? SmbusOp::ReadWord : SmbusOp::ReadByte, 0x50, 10, &data);
    machine_.SetTracing(false);
    EXPECT_EQ(result, 0);
    const auto& image = Image(0, 0);
    EXPECT_EQ(data, c.word ? image[10] | image[11] << 8 : image[10]);
    const std::vector<sim::TraceEntry> writes = PortWrites(kBlock + 2);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].value, c.written);
  }
}

struct WriteCase {
  uint8_t slot;
  int32_t result;
  bool stored;  // the module keeps the value
};

TEST_F(AmdHostTest, EveryWriteLeavesTheFillerInHostData) {
  Boot("amd756");
  // Slot 0 accepts writes, slot 2 is protected (acknowledges and keeps its
  // byte), slot 1 is empty.
  for (const WriteCase c :
       {WriteCase{0, 0, true}, WriteCase{2, 0, false}, WriteCase{1, -1, false}}) {
    SCOPED_TRACE(int(c.slot));
    const uint8_t before = c.slot == 1 ? 0 : Image(0, c.slot)[74];
    const uint8_t value = static_cast<uint8_t>(before ^ 0x5A);
    machine_.ClearTrace();
    machine_.SetTracing(true);
    const uint64_t start = machine_.NowMs();
    OpStatus status = Fresh();
    uint16_t sent = value;
    EXPECT_EQ(SmbusTransfer(controller_, &status, SmbusOp::WriteByte,
                            static_cast<uint8_t>(0x50 + c.slot), 74, &sent),
              c.result);
    machine_.SetTracing(false);
    EXPECT_GE(machine_.NowMs() - start, 100u) << "a write settles 100 ms";
    EXPECT_EQ(status.HwCode, c.result == 0 ? 0u : OpError::WriteByteFailed);
    // The value goes in before the start, the filler after it.
    const std::vector<sim::TraceEntry> data = PortWrites(kBlock + 6);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].value, value);
    EXPECT_EQ(data[1].value, amd::kDataFiller);
    EXPECT_LT(data[0].timeMs, data[1].timeMs);
    EXPECT_EQ(machine_.In16(kBlock + 6), amd::kDataFiller);
    if (c.slot != 1) {
      EXPECT_EQ(Image(0, c.slot)[74], c.stored ? value : before);
      models_.eeproms[0][c.slot]->Byte(74) = before;
    }
  }
}

// The host on its own: the protocol field decides what runs on the bus (a
// cycle that ends done: byte and word data); a code the chip has no cycle
// for ends with the protocol error bit.
TEST_F(AmdHostTest, HostRunsByteAndWordCyclesAndFailsUnknownProtocols) {
  UseBoard("amd756");
  for (const auto& [control, status] : {std::pair<uint16_t, uint16_t>{0x000A, 0x0010},
                                        {0x000B, 0x0010},
                                        {0x000E, 0x0004},
                                        {0x000F, 0x0004}}) {
    SCOPED_TRACE(control);
    machine_.Out16(kBlock + 4, 0xA1);  // slot 0, read
    machine_.Out16(kBlock + 2, control);
    machine_.Delay(5);
    EXPECT_EQ(machine_.In16(kBlock), status);
    machine_.Out16(kBlock, 0xFFFF);
  }
}

// Bits of a cycle nobody claimed, standing in the status when the driver
// loads, are written back with the clear bits (0x0F2F), once.
TEST_F(AmdHostTest, AcquireClearsWhatTheFirmwareLeftInTheStatus) {
  models_ = sim::Build(*sim::FindBoard("amd756"), machine_);
  models_.Host<sim::AmdSmbusHost>()->FailNextWith(0x0013);
  models_.Host<sim::AmdSmbusHost>()->Write16(AmdSmbusHost::kControl, 0x000A);
  machine_.Delay(5);
  machine_.SetTracing(true);
  OpStatus status = Fresh();
  controller_ = DiscoverChipset(&status, &info_, table_, &count_);
  ASSERT_NE(controller_, nullptr);
  EXPECT_EQ(PortWrites(kBlock).size(), 1u);
  EXPECT_EQ(PortWrites(kBlock).at(0).value, 0x0F2Fu | 0x0013u);
  EXPECT_EQ(models_.Host<sim::AmdSmbusHost>()->StatusRegister(), 0);
}

}  // namespace
