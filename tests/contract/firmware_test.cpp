// Firmware sharing the SMBus host, one board option at a time on each host
// family: SMM leaving its own device error between our transfers, SMM
// taking a completion before the driver polls, a transfer that hangs until
// it is killed, a busy bit that shows late, an IMC that wants the host's
// semaphore every few milliseconds, the ICH's host and auxiliary control
// left set (put back at unload), an SMBALERT# latched for its owner (left
// standing), firmware's own bit of the FCH's port-select register changed
// meanwhile (kept). Every module still reads byte for byte,
// or the request fails with its status and the next one reads it whole:
// firmware's bytes are never passed off as the module's. The driver keeps
// the semaphore for one transfer at a time, never past its bounded waits.
#include <algorithm>

#include "contract_test.h"
#include "sim/models/intel_smbus_host.h"

namespace contract {
namespace {

struct FirmwareCase {
  const char* board;
  const char* what;
  sim::HostFirmwareSpec firmware;
};

void PrintTo(const FirmwareCase& c, std::ostream* os) {
  *os << c.board << " " << c.what;
}

std::string CaseName(const ::testing::TestParamInfo<FirmwareCase>& info) {
  return TestName(std::string(info.param.board) + "_" + info.param.what);
}

// One transfer's bounded waits: the idle wait and the wait after the start
// (3000 polls each), the write settle time and the wait after a kill; under
// Windows' clock a 1 ms wait can take two.
constexpr uint64_t kOneTransferMs = 2 * (3000 + 100 + 3000 + 100);

// Each firmware habit on the boards of the host families that model it.
struct FirmwareHabit {
  const char* what;
  sim::HostFirmwareSpec firmware;
  std::vector<const char*> boards;
};

std::vector<FirmwareCase> FirmwareCases() {
  // clang-format off
  const FirmwareHabit habits[] = {
      {"leaves error", {.leavesErrorEveryMs = 50},
       {"ich5", "piix4", "via686b", "amd756", "ali1543", "sis630"}},
      {"takes completion", {.takesCompletionEveryMs = 2000},
       {"ich5", "amd756", "ali1543", "sis630"}},
      {"hangs", {.hangsEveryMs = 100000},
       {"ich5", "piix4", "via686b", "sb800", "amd756", "nforce2", "mcp55", "ali1543", "ali1533-r0",
        "sis630", "sis964"}},
      {"busy lags", {.busyLagMs = 2}, {"ich5"}},
      {"left controls", {.leftHostControl = 0x01, .leftAuxControl = 0x03},
       {"ich5", "ich9", "ich4-mixed"}},
      {"alert for its owner", {.alertForItsOwner = true}, {"ich5", "ich9"}},
      {"IMC", {.imcWantsSemaphoreEveryMs = 4}, {"sb800", "hudson2", "fch790b-zen2"}},
      {"IMC hangs", {.hangsEveryMs = 100000, .imcWantsSemaphoreEveryMs = 4},
       {"sb800", "fch790b-zen2"}},
      {"port bit", {.flipsPortRegisterBitEveryMs = 3}, {"sb800", "hudson2", "fch790b-zen2"}},
      // ACPI code keeps the ICH's semaphore past the driver's 200-poll bound
      // under any clock, when the test arms it.
      {"holds the host", {.holdsInUseForMs = 60000}, {"pch100"}},
  };
  // clang-format on
  std::vector<FirmwareCase> cases;
  for (const FirmwareHabit& habit : habits) {
    for (const char* board : habit.boards) cases.push_back({board, habit.what, habit.firmware});
  }
  return cases;
}

class FirmwareTest : public ContractTest, public ::testing::WithParamInterface<FirmwareCase> {
 protected:
  void SetUp() override {
    sim::Board board = *sim::FindBoard(GetParam().board);
    board.smbus->firmware = GetParam().firmware;
    LoadOn(board);
  }
};

TEST_P(FirmwareTest, EveryModuleReadsOrFailsWithItsStatusAndTheNextReadIsWhole) {
  size_t failures = 0;
  for (const sim::SpdSlotSpec& slot : board_->smbus->segment0) {
    SCOPED_TRACE(testing::Message() << "slot " << int(slot.slot));
    const auto& bytes = models_.eeproms[0][slot.slot]->Bytes();
    Reply reply = Send(IOCTL_READ_SPD, {slot.slot, 0}, 76 + 256);
    ASSERT_GE(reply.information, 76u);
    const uint32_t got = reply.information - 76;
    EXPECT_TRUE(std::equal(reply.output.begin() + 76, reply.output.begin() + reply.information,
                           bytes.begin()))
        << "every byte counted is the module's";
    if (got != 256) {
      ++failures;
      EXPECT_EQ(WordAt(reply.output, kOpCode), kSpdBlockRead);
      EXPECT_EQ(WordAt(reply.output, kOpHwDetailCount), 1u);
      reply = Send(IOCTL_READ_SPD, {slot.slot, 0}, 76 + 256);
    }
    EXPECT_TRUE(ReadsWhole(reply, bytes)) << "the next request reads the module";
  }
  EXPECT_LE(failures, 1u) << "at most the one request firmware's act fell into";
  const sim::HostFirmwareSpec& left = GetParam().firmware;
  if (left.alertForItsOwner) {
    EXPECT_NE(
        models_.Host<sim::IntelSmbusHost>()->StatusRegister() & sim::IntelSmbusHost::kSmbAlert, 0)
        << "the alert stays for its owner";
  }
  if (left.leftHostControl != 0) {  // put back at unload
    ASSERT_TRUE(driver_->Unload());
    started_ = false;
    auto& host = *models_.Host<sim::IntelSmbusHost>();
    EXPECT_EQ(host.Read8(sim::IntelSmbusHost::kControl), left.leftHostControl);
    EXPECT_EQ(host.Read8(sim::IntelSmbusHost::kAuxControl), left.leftAuxControl);
  }
  if (left.flipsPortRegisterBitEveryMs != 0) {
    EXPECT_GT(models_.amdPm->FirmwareFlipCount(), 0u);
    EXPECT_EQ(models_.amdPm->FirmwareBitsUndone(), 0u) << "firmware's bits of the port register";
  }
  if (GetParam().firmware.imcWantsSemaphoreEveryMs != 0) {
    const sim::SemaphoreImc& imc = models_.Host<sim::Piix4CompatHost>()->Firmware().imc;
    EXPECT_GT(imc.Takes(), 0u) << "the IMC had the host between our transfers";
    EXPECT_EQ(imc.MostTransfersInOneHold(), 1u) << "the semaphore is ours for one transfer";
    EXPECT_LE(imc.LongestDriverHoldMs(), kOneTransferMs);
  }
}

// Firmware holding the host while the page query runs: only a query that
// goes unacknowledged means page 1, so the page request and the probe fail
// with the query's status, nothing goes on the bus after it and the board's
// page stays; the next request reads the page asked for.
TEST_P(FirmwareTest, APageQueryOnAHeldHostEndsTheRequestWithNothingSentAfterIt) {
  if (GetParam().firmware.holdsInUseForMs == 0) GTEST_SKIP() << "firmware does not hold the host";
  auto& host = *models_.Host<sim::IntelSmbusHost>();
  const sim::SpdSlotSpec& slot = board_->smbus->segment0.front();
  sim::SpdEeprom& eeprom = *models_.eeproms[0][slot.slot];
  const uint8_t left = eeprom.Page();
  const uint8_t other = static_cast<uint8_t>(!left);
  Locked([&] { host.Firmware().holdsInUse.ArmNext(); });
  for (const uint32_t code : {IOCTL_READ_SPD_PAGE, IOCTL_PROBE_SPD_WRITE}) {
    SCOPED_TRACE(code);
    const uint64_t transactions = host.Transactions();
    const bool page = code == IOCTL_READ_SPD_PAGE;
    const Reply held =
        page ? Send(code, {slot.slot, other, 0}, 76 + 256) : Send(code, {slot.slot}, 80);
    const uint32_t at = page ? 0 : 4;
    ASSERT_EQ(held.information, page ? 76u : 80u);
    if (!page) {
      EXPECT_EQ(static_cast<int32_t>(WordAt(held.output, 0)), -1);
    }
    EXPECT_EQ(WordAt(held.output, at + kOpCode), DIMMIO_ERROR_PAGE_QUERY_FAILED);
    EXPECT_EQ(WordAt(held.output, at + kOpHwCode), DIMMIO_ERROR_HW_HOST_HELD);
    EXPECT_EQ(host.Transactions(), transactions) << "nothing started after the query";
    EXPECT_EQ(eeprom.Page(), left);
    EXPECT_EQ(eeprom.CommittedWrites(), 0u);
  }
  Locked([&] { host.HoldInUseUntil(machine_.NowMs()); });  // firmware lets go
  EXPECT_TRUE(ReadsWhole(Send(IOCTL_READ_SPD_PAGE, {slot.slot, other, 0}, 76 + 256),
                         eeprom.PageBytes(other)));
  EXPECT_EQ(eeprom.Page(), left);
}

INSTANTIATE_TEST_SUITE_P(Hosts, FirmwareTest, ::testing::ValuesIn(FirmwareCases()), CaseName);

}  // namespace
}  // namespace contract
