// The SPD write probe on EEPROM models that accept writes, refuse them in
// either way a protected part does, or stop answering at each step.
#include <functional>
#include <utility>

#include "sim/models/spd_eeprom.h"
#include "smbus/booted_board.h"
#include "support/smbus_fixture.h"

namespace {

using testsupport::SmbusBoardTest;

class ProbeTest : public SmbusBoardTest {};

struct ProbeCase {
  const char* what;
  std::function<void(sim::SpdEeprom&)> arrange;
  uint32_t writeCycleMs;
  int32_t result;
  uint32_t code;
  uint32_t hwCode;
  int byteDelta;        // what byte 74 holds afterwards, relative to before
  uint64_t transfers;   // transfers the EEPROM acknowledged
  uint32_t detail = 0;  // the operation half's one detail word, if any
};

TEST_F(ProbeTest, ResultsOnWritableProtectedAndFailingEeproms) {
  const ProbeCase cases[] = {
      {"writable", [](sim::SpdEeprom&) {}, 5, 1, 0, 0, 0, 6},
      // The type byte first: nothing is written to an SPD it does not name
      // a plain EEPROM (one whose type cannot be read: the contract's empty
      // slot).
      {"a DDR5 hub", [](sim::SpdEeprom& e) { e.Byte(2) = 0x12; }, 5, -1,
       OpError::ProbeNotPlainEeprom, 0, 0, 1, 0x12},
      {"silent after the first read", [](sim::SpdEeprom& e) { e.StopAnsweringAfter(2); }, 5, -2,
       OpError::ProbeReadBack, OpError::ReadByteFailed, 0, 2},
      {"silent after the changing write", [](sim::SpdEeprom& e) { e.StopAnsweringAfter(3); }, 5, -2,
       OpError::ProbeReadBack, OpError::ReadByteFailed, 1, 3},
      // The read-back fails but the write landed: the value goes back anyway.
      {"read-back refused once", [](sim::SpdEeprom& e) { e.FailTransfersAfter(3, 1); }, 5, -2,
       OpError::ProbeReadBack, OpError::ReadByteFailed, 0, 4},
      {"still in its write cycle at the read-back and the write back", [](sim::SpdEeprom&) {}, 150,
       -2, OpError::ProbeReadBack, OpError::ReadByteFailed, 1, 3},
      {"silent from the restoring write", [](sim::SpdEeprom& e) { e.StopAnsweringAfter(4); }, 5, -3,
       OpError::ProbeRestore, OpError::WriteByteFailed, 1, 4},
      // The restore is tried once more; the reply still tells the first failure.
      {"restoring write refused once", [](sim::SpdEeprom& e) { e.FailTransfersAfter(4, 1); }, 5, -3,
       OpError::ProbeRestore, OpError::WriteByteFailed, 0, 5},
      {"read after restoring refused", [](sim::SpdEeprom& e) { e.StopAnsweringAfter(5); }, 5, -4,
       OpError::ProbeReadAfterRestore, OpError::ReadByteFailed, 0, 5},
      {"locks after the first write", [](sim::SpdEeprom& e) { e.LockAfterWrites(1); }, 5, -5,
       OpError::ProbeMismatch, 0, 1, 7},
  };
  for (const ProbeCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Board board = *sim::FindBoard("ich5");
    board.smbus->segment0[0].eeprom.writeCycleMs = c.writeCycleMs;
    testsupport::BootedBoard b(board);
    ASSERT_NE(b.controller, nullptr);
    sim::SpdEeprom& eeprom = *b.models.eeproms[0][0];
    const uint8_t before = eeprom.Bytes()[74];
    c.arrange(eeprom);

    OpStatus status = Fresh();
    EXPECT_EQ(ProbeSpdWrite(b.controller, &status, 0), c.result);
    EXPECT_EQ(status.Code, c.code);
    EXPECT_EQ(status.DetailCount, c.detail != 0 ? 1u : 0u);
    if (c.detail != 0) {
      EXPECT_EQ(status.Detail[0], c.detail);
    }
    EXPECT_EQ(status.HwCode, c.hwCode);
    EXPECT_EQ(eeprom.Bytes()[74], static_cast<uint8_t>(before + c.byteDelta));
    EXPECT_EQ(eeprom.Transfers(), c.transfers);
    ReleaseController(std::exchange(b.controller, nullptr));
    EXPECT_EQ(b.machine.LeakReport(), "");
  }
}

}  // namespace
