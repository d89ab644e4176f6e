// SPD data read through the driver is what the board's modules hold, on
// every board with an SMBus and on both segments; an empty slot ends the read
// with the block-read failure in the status record and the host's own status
// for a slave that does not answer, and the bus serves the next read; the write probe tells the
// writable modules from the protected ones and leaves each as it was.
#include <algorithm>
#include <array>
#include <functional>
#include <set>

#include "contract_test.h"
#include "sim/models/ali1563_smbus_host.h"
#include "sim/models/intel_smbus_host.h"
#include "sim/models/piix4_compat_host.h"
#include "sim/models/sis630_smbus_host.h"
#include "smbus/intel_rows.h"

namespace contract {
namespace {

// The status record of a bit-banged bus whose address went unacknowledged.
constexpr uint32_t kAddressNotAcknowledged = 3;

constexpr uint32_t kWriteByteFailed = 19;
constexpr uint32_t kProbeWrite = 23;
constexpr uint32_t kReadByteFailed = 17;

constexpr uint32_t kSpdWritesBlocked = 37;
constexpr uint32_t kHostHeldByFirmware = 32;

// The host configuration byte of a board's Intel SMBus function (0x40 on
// ICH), or 0x01 (host on, nothing more) where there is none.
uint8_t IntelHostConfig(const sim::Board& board) {
  for (const sim::PciFunctionSpec& f : board.pci) {
    if (f.vendorId != 0x8086 || (f.classCode >> 8) != 0x0C05) continue;
    for (const auto& [offset, value] : f.dwords) {
      if (offset == sim::IntelSmbusHost::kHostConfig) return static_cast<uint8_t>(value);
    }
  }
  return sim::IntelSmbusHost::kHostEnable;
}

// The hosts that run send and receive byte, and so select DDR4 pages: those
// whose chip carries the trait (the Intel SMBus functions after the ICH5),
// the PIIX4-compatible hosts and the SiS 630/730 and 760/964 host.
bool HasPageTransfers(const sim::Board& board) {
  if (board.smbus->install == sim::InstallPiix4CompatHost) return true;
  if (board.smbus->install == sim::InstallSis630SmbusHost) return true;
  for (const sim::PciFunctionSpec& f : board.pci) {
    const ChipDescriptor* chip = f.vendorId == 0x8086 ? intel::ChipOf(f.deviceId) : nullptr;
    if (chip != nullptr) return (chip->Traits & kChipPageTransfers) != 0;
  }
  return false;
}

// The boards whose modules the driver can reach: not those whose BIOS left
// the host disabled, nor the machines whose SMBus is unsafe to use.
std::vector<std::string> BoardsWithSmbus() {
  const std::set<std::string> unsafe = {"sb600-sapphire", "sb600-dfi", "piix4-ibm"};
  std::vector<std::string> names;
  for (const sim::Board& board : sim::Boards()) {
    if (board.smbus.has_value() && !board.smbus->segment0.empty() && !unsafe.count(board.name) &&
        (IntelHostConfig(board) & sim::IntelSmbusHost::kHostEnable) != 0) {
      names.push_back(board.name);
    }
  }
  return names;
}

class SpdTest : public ContractTest, public ::testing::WithParamInterface<std::string> {
 protected:
  void SetUp() override {
    // The Zen FCH's PM registers answer in memory alone: the index pair's
    // accesses are watched from the load on.
    machine_.SetTracing(!sim::FindBoard(GetParam())->smbus->piix4Compat.pmPorts);
    LoadOn(GetParam());
  }
};

// Where firmware shares the host (the ServerWorks and ATI/AMD hosts), the
// reads leave the port select, the power-management index and registers and
// the semaphore as firmware left them, and start nothing without the
// semaphore; on the Zen FCH the index pair is never touched.
TEST_P(SpdTest, EveryModuleReadsAsTheBoardHoldsIt) {
  // Firmware that holds the host's semaphore is waited for, not overrun.
  EXPECT_GE(machine_.NowMs(), board_->smbus->firmwareHoldsInUseMs);
  for (const std::string& line : machine_.DebugLines()) {
    EXPECT_EQ(line.find("going on without it"), std::string::npos) << line;
  }
  const sim::Piix4CompatHost* shared = models_.Host<sim::Piix4CompatHost>();
  const std::vector<uint8_t> pmLeft = PmState(models_.amdPm);
  const uint8_t portLeft = shared != nullptr ? shared->SelectedPort() : 0;
  // Any offset and length: a word at the last offset takes its high byte
  // from offset 0, an odd length ends with a single byte, and a read longer
  // than the SPD stops after its last byte, one word read per two bytes (on
  // the bit-banged bus a word is two byte transfers).
  const uint64_t perWord = models_.wires != nullptr ? 2 : 1;
  for (const sim::SpdSlotSpec& slot : board_->smbus->segment0) {
    const sim::SpdEeprom* eeprom = models_.eeproms[0][slot.slot];
    ASSERT_NE(eeprom, nullptr);
    for (const auto& [offset, count] : {std::pair<uint8_t, uint32_t>{0, 256},
                                        {0xFF, 2},
                                        {0x40, 1},
                                        {0xFD, 5},
                                        {7, 63},
                                        {73, 18},
                                        {0, 3},
                                        {0x80, 4096}}) {
      SCOPED_TRACE(testing::Message() << "slot " << int(slot.slot) << " offset " << int(offset));
      const uint64_t transfers = eeprom->Transfers();
      const Reply block = Send(IOCTL_READ_SPD, {slot.slot, offset}, 76 + count);
      const uint32_t read = std::min(count, 256u);
      EXPECT_EQ(block.status, STATUS_SUCCESS);
      EXPECT_EQ(WordAt(block.output, kOpCode), 0u);
      ASSERT_EQ(block.information, 76u + read);
      for (uint32_t i = 0; i < read; ++i) {
        EXPECT_EQ(block.output[76 + i], eeprom->Bytes()[(offset + i) & 0xFF]) << i;
      }
      if (count > 256) {
        EXPECT_EQ(eeprom->Transfers() - transfers, 128u * perWord) << "no more than the SPD";
      }
    }
  }
  EXPECT_EQ(PmState(models_.amdPm), pmLeft) << "the PM registers and index as firmware left them";
  EXPECT_GE(machine_.NowMs(), board_->smbus->piix4Compat.firmwareHoldsMs) << "waited for firmware";
  if (shared != nullptr) {
    EXPECT_EQ(shared->SelectedPort(), portLeft);
    EXPECT_FALSE(shared->HostOwnsSemaphore()) << "released after the transfers";
    EXPECT_EQ(shared->StartsWithoutSemaphore(), 0u);
  }
  for (const sim::TraceEntry& e : machine_.Trace()) {
    if (e.kind == sim::Access::ConfigRead || e.kind == sim::Access::ConfigWrite) continue;
    EXPECT_TRUE(e.where != 0xCD6 && e.where != 0xCD7) << std::hex << e.where;
  }
}

TEST_P(SpdTest, AnEmptySlotEndsTheReadWithTheBlockReadFailure) {
  uint8_t empty = 0;
  while (empty < 8 && models_.eeproms[0][empty] != nullptr) ++empty;
  if (empty == 8) GTEST_SKIP() << "every slot is populated";
  // The host's status for a slave that does not answer, as the back-end
  // read it.
  const uint32_t noAnswer =
      models_.host != nullptr ? models_.host->NoAnswerStatus() : kAddressNotAcknowledged;
  const Reply reply = Send(IOCTL_READ_SPD, {empty, 0}, 76 + 16);
  EXPECT_EQ(reply.status, STATUS_SUCCESS);
  EXPECT_TRUE(FailsRead(reply, kReadWordFailed, noAnswer));
  EXPECT_EQ(WordAt(reply.output, kOpHwDetailCount), 1u);
  // A single byte is a byte read, and fails as one.
  EXPECT_TRUE(FailsRead(Send(IOCTL_READ_SPD, {empty, 5}, 76 + 1), kReadByteFailed, noAnswer));

  // The bus recovers: the next read gets the first module.
  const sim::SpdSlotSpec& slot = board_->smbus->segment0.front();
  EXPECT_TRUE(ReadsWhole(Send(IOCTL_READ_SPD, {slot.slot, 0}, 76 + 4),
                         models_.eeproms[0][slot.slot]->Bytes(), 4));
}

// A host that never finishes: one with a busy bit keeps it and nothing is
// started on it; one without is started and never shows its end. The read
// fails with the block-read code over the word-read failure and the status
// the host showed, never with the filler as data, and the bus recovers with
// the host.
TEST_P(SpdTest, AHostThatNeverFinishesFailsTheReadAndTheNextOneReadsAgain) {
  sim::SmbusHostModel* host = models_.host;
  if (host == nullptr) GTEST_SKIP() << "a bit-banged bus: no host to hang";
  auto stick = [this, host](bool on) { Locked([&] { host->StickBusy(on); }); };
  const uint32_t shown = host->StuckStatus();
  const sim::SpdSlotSpec& slot = board_->smbus->segment0.front();
  stick(true);
  const Reply stuck = Send(IOCTL_READ_SPD, {slot.slot, 0}, 76 + 8);
  EXPECT_EQ(stuck.status, STATUS_SUCCESS);
  EXPECT_TRUE(FailsRead(stuck, kReadWordFailed, shown));

  stick(false);
  EXPECT_TRUE(ReadsWhole(Send(IOCTL_READ_SPD, {slot.slot, 0}, 76 + 8),
                         models_.eeproms[0][slot.slot]->Bytes(), 8));

  // Firmware that holds the shared host's semaphore for ever: after the
  // bounded tries (1 ms apart; under Windows' clock a 1 ms wait ends on the
  // second tick of the finest resolution, 0.977 ms) the read fails with the
  // firmware's hold and nothing started; once firmware lets go it reads.
  sim::Piix4CompatHost* shared = models_.Host<sim::Piix4CompatHost>();
  if (shared == nullptr || !board_->smbus->piix4Compat.semaphore) return;
  constexpr uint64_t kSemaphoreTries = 500;
  shared->FirmwareHoldsUntil(sim::Piix4CompatHost::kForever);
  const uint64_t transfers = models_.eeproms[0][slot.slot]->Transfers();
  const uint8_t port = shared->SelectedPort();
  const uint64_t start = machine_.NowMs();
  const Reply held = Send(IOCTL_READ_SPD, {slot.slot, 0}, 76 + 256);
  ASSERT_EQ(held.information, 76u);
  EXPECT_EQ(WordAt(held.output, kOpCode), kSpdBlockRead);
  EXPECT_EQ(WordAt(held.output, kOpHwCode), kHostHeldByFirmware);
  EXPECT_EQ(WordAt(held.output, kOpHwDetailCount), 1u);
  EXPECT_EQ(WordAt(held.output, kOpHwDetail) & sim::Piix4CompatHost::kTake, 0u);
  EXPECT_GE(machine_.NowMs() - start, kSemaphoreTries - 1);
  EXPECT_LE(machine_.NowMs() - start, 2 * kSemaphoreTries + 10);
  EXPECT_EQ(models_.eeproms[0][slot.slot]->Transfers(), transfers) << "nothing started";
  EXPECT_EQ(shared->SelectedPort(), port);
  EXPECT_EQ(shared->StartsWithoutSemaphore(), 0u);
  shared->FirmwareHoldsUntil(0);
  EXPECT_TRUE(ReadsWhole(Send(IOCTL_READ_SPD, {slot.slot, 0}, 76 + 256),
                         models_.eeproms[0][slot.slot]->Bytes()));
}

// Segment 1 reads the second bank and segment 0 the first again. The
// segment is the handle's own: another handle reads the first bank while it
// is set, and after the process that set it ended without setting it back;
// a handle opened later starts on the first bank too.
TEST_P(SpdTest, ASegmentSetThroughOneHandleReadsItsBankThroughThatHandleAlone) {
  if (board_->smbus->segment1.empty()) GTEST_SKIP() << "no second bank";
  auto read = [&](const DriverUnderTest::Handle* h, uint8_t slot) {
    const std::vector<uint8_t> input{slot, 0};
    return driver_->Wait(h ? driver_->SubmitOn(*h, IOCTL_READ_SPD, input, 76 + 256)
                           : driver_->Submit(IOCTL_READ_SPD, input, 76 + 256));
  };
  const uint8_t watched = board_->smbus->segment1.front().slot;
  const std::vector<uint8_t> firstBank = read(nullptr, watched).output;
  const DriverUnderTest::Handle setter = OpenHandle();
  for (uint32_t segment : {1u, 0u, 1u}) {
    ASSERT_EQ(
        driver_->Wait(driver_->SubmitOn(setter, IOCTL_SET_SEGMENT, Words({segment}), 76)).status,
        STATUS_SUCCESS);
    for (const sim::SpdSlotSpec& slot :
         segment == 0 ? board_->smbus->segment0 : board_->smbus->segment1) {
      const sim::SpdEeprom* eeprom = models_.eeproms[segment][slot.slot];
      EXPECT_TRUE(ReadsWhole(read(&setter, slot.slot), eeprom->Bytes()))
          << "segment " << segment << " slot " << int(slot.slot);
    }
    EXPECT_EQ(read(nullptr, watched).output, firstBank) << "while another handle has " << segment;
  }
  ASSERT_NE(read(&setter, watched).output, firstBank);
  driver_->EndProcess({setter});
  EXPECT_EQ(read(nullptr, watched).output, firstBank) << "after the setter's process ended";
  const DriverUnderTest::Handle later = OpenHandle();
  EXPECT_EQ(read(&later, watched).output, firstBank) << "through a handle opened later";
}

// Whether the driver may know the board's modules for DDR4: by a type byte
// on the page shown (page 0), or by the SMBIOS memory devices.
bool KnownDdr4(const sim::Board& board, const sim::BoardModels& models) {
  const sim::SpdEeprom* first = models.eeproms[0][board.smbus->segment0.front().slot];
  if (!first->Ee1004()) return false;
  return first->Page() == 0 || board.smbios.present;
}

TEST_P(SpdTest, PageReadsGiveEachDdr4PageAndPutTheBoardsPageBack) {
  struct Case {
    uint8_t page, offset;
    uint32_t count;
    bool failMidway;  // the module stops answering after the page is selected
  };
  const bool pages = HasPageTransfers(*board_);
  const bool ddr4 = KnownDdr4(*board_, models_);
  for (const sim::SpdSlotSpec& slot : board_->smbus->segment0) {
    sim::SpdEeprom* eeprom = models_.eeproms[0][slot.slot];
    const uint8_t left = eeprom->Page();
    for (const Case c : {Case{0, 0, 256, false},
                         {1, 0, 256, false},
                         {1, 0xFF, 2, false},
                         {0, 0x7F, 3, false},
                         {2, 0, 1, false},
                         {!left, 0, 64, true}}) {
      SCOPED_TRACE(testing::Message() << "slot " << int(slot.slot) << " page " << int(c.page)
                                      << " from " << int(c.offset));
      if (c.failMidway) Locked([&] { eeprom->FailTransfersAfter(2, 1); });
      // Modules not known for DDR4 are read as they show, no page selected
      // (a command there could write-protect a DDR2 or DDR3 EEPROM).
      const uint32_t want = c.page > 1     ? DIMMIO_ERROR_PAGE_OUT_OF_RANGE
                            : !pages       ? DIMMIO_ERROR_NO_PAGE_TRANSFERS
                            : c.failMidway ? kSpdBlockRead
                            : ddr4         ? 0
                            : c.page == 0 && left == 0 && eeprom->Ee1004()
                                ? 0
                                : DIMMIO_ERROR_NOT_KNOWN_DDR4;
      const uint8_t shown = ddr4 ? c.page : left;
      const Reply reply = Send(IOCTL_READ_SPD_PAGE, {slot.slot, c.page, c.offset}, 76 + c.count);
      EXPECT_EQ(reply.status, STATUS_SUCCESS);
      EXPECT_EQ(WordAt(reply.output, kOpCode), want);
      const uint32_t read = want == 0 || want == DIMMIO_ERROR_NOT_KNOWN_DDR4 ? c.count
                            : want == kSpdBlockRead ? reply.information - 76
                                                    : 0;
      ASSERT_EQ(reply.information, 76 + read);
      if (want == kSpdBlockRead) {
        EXPECT_LT(read, c.count);
      }
      for (uint32_t i = 0; i < read; ++i) {
        EXPECT_EQ(reply.output[76 + i], eeprom->PageBytes(shown)[(c.offset + i) & 0xFF]) << i;
      }
      EXPECT_EQ(eeprom->Page(), left) << "the board's page is on again";
      EXPECT_EQ(eeprom->ProtectCommands(), 0u) << "no write-protect command reached the module";
      if (!ddr4) {
        EXPECT_EQ(eeprom->PageSelects(), 0u) << "no page command to modules not known for DDR4";
      }
    }
  }
}

TEST_P(SpdTest, ProbeTellsWritableFromProtectedModulesAndRestoresTheByte) {
  struct Expected {
    int32_t result;
    uint32_t code;
    uint32_t hwCode;
  };
  for (const sim::SpdSlotSpec& slot : board_->smbus->segment0) {
    SCOPED_TRACE(testing::Message() << "slot " << int(slot.slot));
    const sim::SpdEeprom* eeprom = models_.eeproms[0][slot.slot];
    const std::array<uint8_t, 256> before = eeprom->Bytes();
    // DDR4: the probe's byte is that of page 0, whatever page the board left
    // on; that page is on again afterwards and page 1 is never written.
    const uint8_t pageLeft = eeprom->Page();
    const std::array<uint8_t, 256> upperBefore = eeprom->PageBytes(1);
    Expected want{1, 0, 0};
    // A DDR4 module left on page 1 that nothing says is DDR4 shows no type
    // byte there: refused, nothing written.
    const bool pageUnknown = eeprom->Ee1004() && !KnownDdr4(*board_, models_);
    const uint8_t typeShown = eeprom->Bytes()[2];
    if (slot.eeprom.writeProtect == sim::WriteProtect::AckAndKeep) want = {0, 0, 0};
    if (slot.eeprom.writeProtect == sim::WriteProtect::Nack ||
        (slot.eeprom.protectedBlocks & 1) != 0) {
      want = {0, kProbeWrite, kWriteByteFailed};
    }
    // A chipset that forbids SPD writes: the probe reads byte 74 and sends
    // no write at all.
    const bool blocked = (IntelHostConfig(*board_) & sim::IntelSmbusHost::kSpdWriteDisable) != 0;
    if (blocked) want = {0, kSpdWritesBlocked, kSpdWritesBlocked};
    if (pageUnknown) {
      ASSERT_TRUE(typeShown < 0x04 || (typeShown > 0x0C && typeShown != 0x0E)) << int(typeShown);
      want = {-1, DIMMIO_ERROR_PROBE_NOT_PLAIN_EEPROM, 0};
    }
    // Then with the slowest write cycle an SPD EEPROM may have: the read-back
    // and the restoring write wait it out, and byte 74 is back.
    for (const uint32_t cycleMs : {5u, 10u}) {
      SCOPED_TRACE(testing::Message() << "write cycle " << cycleMs << " ms");
      Locked([&] { models_.eeproms[0][slot.slot]->SlowWrites(cycleMs); });
      const uint64_t transfers = eeprom->Transfers();
      const Reply reply = Send(IOCTL_PROBE_SPD_WRITE, {slot.slot}, 80);
      ASSERT_EQ(reply.information, 80u);
      EXPECT_EQ(static_cast<int32_t>(WordAt(reply.output, 0)), want.result);
      EXPECT_EQ(WordAt(reply.output, 4 + kOpCode), want.code);
      EXPECT_EQ(WordAt(reply.output, 4 + kOpHwCode), want.hwCode);
      EXPECT_EQ(eeprom->Bytes(), before);
      EXPECT_EQ(eeprom->Page(), pageLeft);
      EXPECT_EQ(eeprom->PageBytes(1), upperBefore);
      if (pageUnknown) {
        EXPECT_EQ(WordAt(reply.output, 4 + kOpDetailCount), 1u);
        EXPECT_EQ(WordAt(reply.output, 4 + 12), typeShown) << "the type byte in the detail";
        EXPECT_EQ(eeprom->CommittedWrites(), 0u);
      }
      if (blocked) {
        EXPECT_EQ(WordAt(reply.output, 4 + kOpHwDetail), IntelHostConfig(*board_));
        // Reads alone: the type byte (once more where a host with page
        // transfers asks whether the modules are DDR4) and byte 74.
        const bool asked = HasPageTransfers(*board_) && !eeprom->Ee1004();
        EXPECT_EQ(eeprom->Transfers() - transfers, asked ? 3u : 2u);
        EXPECT_EQ(models_.Host<sim::IntelSmbusHost>()->RefusedSpdWrites(), 0u)
            << "no write was started";
      }
    }
  }
}

// The M1563's own failures: a slave that does not answer, a collision (after
// which the bus stays held until the driver resets it) and a transfer that
// never ends (which the driver kills). Each fails the word read with the
// status the host showed, and the next read gets the module whole. Control
// 2's other bits stay as firmware left them (0 after a kill), and a part
// whose done bit never latches reads.
TEST_F(ContractTest, Ali1563FailuresCarryTheHostStatusAndTheNextReadSucceeds) {
  LoadOn("ali1563");
  using Host = sim::Ali1563SmbusHost;
  struct Case {
    const char* what;
    uint8_t slot;
    std::function<void(Host&)> arrange;
    uint32_t detail;        // 0: the read succeeds
    uint8_t otherBits = 0;  // control 2 besides size, start and kill, after the read
  };
  // clang-format off
  const Case cases[] = {
      {"no acknowledge", 3, [](Host&) {}, Host::kDeviceError},
      {"collision", 0, [](Host& host) { host.Engine().FailNextWith(Host::kBusError); },
       Host::kBusError},
      {"firmware's control 2 bits", 0, [](Host& host) { host.Write8(Host::kControl2, 0x81); }, 0,
       0x81},
      {"never ends", 0, [](Host& host) { host.HangNext(); }, Host::kFailed},
      {"done never latches", 0, [](Host& host) { host.SetDoneLatches(false); }, 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Host& host = *models_.Host<Host>();
    Locked([&] { c.arrange(host); });
    const Reply failed = Send(IOCTL_READ_SPD, {c.slot, 0}, 76 + 2);
    EXPECT_EQ(host.Read8(Host::kControl2) & 0x83, c.otherBits);
    if (c.detail == 0) {
      EXPECT_TRUE(ReadsWhole(failed, models_.eeproms[0][0]->Bytes(), 2));
      continue;
    }
    EXPECT_TRUE(FailsRead(failed, kReadWordFailed, c.detail));
    EXPECT_TRUE(ReadsWhole(Send(IOCTL_READ_SPD, {0, 0}, 76 + 256), models_.eeproms[0][0]->Bytes()));
  }
}

INSTANTIATE_TEST_SUITE_P(Boards, SpdTest, ::testing::ValuesIn(BoardsWithSmbus()), BoardTestName);

}  // namespace
}  // namespace contract
