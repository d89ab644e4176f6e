// The VIA back-end against its host model (its faults: host_faults_test):
// what a transfer does to the status register (and the M7101's, which
// follows the same steps); the segment outputs, and the ALi's in
// configuration dword 0xB8.
#include <algorithm>
#include <vector>

#include "sim/models/gpo_latch.h"
#include "sim/models/intel_smbus_host.h"
#include "smbus/via.h"
#include "smbus/booted_board.h"
#include "support/smbus_fixture.h"
#include "support/transfer_ops.h"

namespace {

using testsupport::Op;
using testsupport::Transfer;

using ViaHostTest = testsupport::SmbusBoardTest;

// What a transfer does to the status register of the VIA and M7101 hosts:
// the polls that still see busy after the settle (a byte read lasts 3.9 ms
// on the bus, a word read 4.8 ms; a write is over within its 100 ms
// settle), an idle wait after a write, the M7101's look before its start,
// and the one write-back that clears what the transfer left.
TEST_F(ViaHostTest, EachTransferPollsTheStatusAndWritesItBackOnce) {
  const struct {
    const char* board;
    Op op;
    uint64_t ms;
    size_t statusReads;
    uint32_t writtenBack;
  } cases[] = {
      {"via596a", Op::ReadByte, 4, 7, 0x02},
      {"via596a", Op::ReadWord, 5, 8, 0x02},
      {"via596a", Op::WriteByte, 100, 5, 0x02},
      {"ali1533-r0", Op::ReadWord, 5, 9, 0x14},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.board << " op " << int(c.op));
    const sim::Board& board = *sim::FindBoard(c.board);
    testsupport::BootedBoard b(board);
    ASSERT_NE(b.controller, nullptr);
    sim::Machine& machine = b.machine;
    const uint16_t status = *machine.DecodedBase(board.smbus->decode);
    machine.SetTracing(true);
    const uint64_t began = machine.NowMs();
    OpStatus result = Fresh();
    EXPECT_EQ(Transfer(b.controller, c.op, &result, 0x50), 0);
    EXPECT_EQ(machine.NowMs() - began, c.ms);
    size_t reads = 0;
    std::vector<uint32_t> written;
    for (const sim::TraceEntry& e : machine.Trace()) {
      if (e.where != status) continue;
      if (e.kind == sim::Access::In8)
        ++reads;
      else
        written.push_back(e.value);
    }
    EXPECT_EQ(reads, c.statusReads);
    EXPECT_EQ(written, std::vector<uint32_t>{c.writtenBack});
  }
}

// A switch row: the board, where its outputs are (a port of the board
// latch, or 0: the ALi's configuration dword 0xB8, whose other bits are
// kept), what they hold before, with segment 1 selected, and after.
struct SwitchCase {
  const char* board;
  uint16_t port;
  uint32_t initial, selected, deselected;
};

TEST_F(ViaHostTest, SegmentOutputsOnSelectAndDeselect) {
  const SwitchCase cases[] = {
      {"via596a", 0xE44F, 0x00, 0x08, 0x00},
      {"via596a", 0xE44F, 0xFF, 0xFF, 0xF7},
      {"via596b", 0xE44F, 0xA0, 0xA8, 0xA0},
      {"via686a", 0xE44D, 0x08, 0x01, 0x00},
      {"via686", 0xE44D, 0xFF, 0xF7, 0xF6},
      {"via686b-40", 0xE44D, 0x48, 0x41, 0x40},
      {"ali1535", 0, 0x000000A5, 0x000000C5, 0x00000085},
      {"ali1535", 0, 0xFFFFFFFF, 0xFFFFFFDF, 0xFFFFFF9F},
      {"ali1535", 0, 0x00000000, 0x00000040, 0x00000000},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.board << " " << std::hex << c.initial);
    testsupport::BootedBoard b(c.board);
    SmbusController* ctl = b.controller;
    ASSERT_NE(ctl, nullptr);
    sim::Machine& machine = b.machine;
    sim::PciFunction* ali = machine.FindPciFunction(0, 17, 0);
    if (c.port != 0) {
      machine.Out8(c.port, static_cast<uint8_t>(c.initial));
    } else {
      ali->SetDword(0xB8, c.initial);
    }
    auto outputs = [&] { return c.port != 0 ? b.models.gpoLatch->Value() : ali->Dword(0xB8); };
    machine.SetTracing(true);
    for (uint32_t segment : {0u, 2u}) {
      ctl->SelectSegment(ctl->Context, segment);
      ctl->DeselectSegment(ctl->Context, segment);
    }
    EXPECT_TRUE(machine.Trace().empty()) << "segments 0 and 2 touch nothing";
    EXPECT_EQ(outputs(), c.initial);
    ctl->SelectSegment(ctl->Context, 1);
    EXPECT_EQ(outputs(), c.selected);
    ctl->DeselectSegment(ctl->Context, 1);
    EXPECT_EQ(outputs(), c.deselected);
    machine.SetTracing(false);
    const auto trace = machine.Trace();
    EXPECT_EQ(std::count_if(trace.begin(), trace.end(),
                            [](const sim::TraceEntry& e) {
                              return e.kind == sim::Access::Out8 ||
                                     e.kind == sim::Access::ConfigWrite;
                            }),
              2)
        << "one write to select, one to deselect";
  }
}

// A board with no known switch (a VT8231's, the 440MX notebook's with its
// PIIX4 host): segment 1 touches no port outside the host block and reads
// the one bank.
TEST_F(ViaHostTest, NoSwitchTouchedWithoutOneFitted) {
  for (const char* name : {"vt8231", "mx440"}) {
    SCOPED_TRACE(name);
    const sim::Board& board = *sim::FindBoard(name);
    testsupport::BootedBoard b(board);
    ASSERT_NE(b.controller, nullptr);
    ASSERT_EQ(b.controller->Unavailable, 0u);
    const auto* intel = b.models.Host<sim::IntelSmbusHost>();  // its block inside the PM block
    const uint16_t base = intel ? intel->IoBase() : *b.machine.DecodedBase(board.smbus->decode);
    OpStatus status = Fresh();
    SetSegment(b.controller, &status, 1);
    b.machine.SetTracing(true);
    b.ExpectReads(0, 0, 8);
    for (const sim::TraceEntry& e : b.machine.Trace()) {
      if (e.kind == sim::Access::ConfigRead || e.kind == sim::Access::ConfigWrite) continue;
      EXPECT_TRUE(e.where >= base && e.where < base + 0x10u)
          << "outside the host block: " << std::hex << e.where;
    }
  }
}

}  // namespace
