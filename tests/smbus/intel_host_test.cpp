// The Intel back-end against its host controller model: a controller that
// never leaves busy, what the status register holds after each step
// (including ICH's INUSE_STS semaphore and firmware holding it), setting up,
// the host configuration byte of the ICH6 and later: what the host refuses
// under it, and the firmware's value back at release; which segment touches
// the switch.
#include <array>
#include <utility>
#include <vector>

#include "sim/models/super_io.h"
#include "smbus/intel.h"
#include "smbus/intel_rows.h"
#include "smbus/booted_board.h"
#include "support/smbus_fixture.h"

namespace {

using sim::IntelSmbusHost;
using testsupport::BootedBoard;
using testsupport::SmbusBoardTest;

class IntelHostTest : public SmbusBoardTest {};

// What the status reads as from the back-end's side: ICH shows the semaphore
// its own polls took.
uint8_t AsRead(const sim::BoardModels& models, uint8_t bits) {
  return models.Host<sim::IntelSmbusHost>()->Family() == sim::IntelHostFamily::Ich
             ? static_cast<uint8_t>(bits | IntelSmbusHost::kInUse)
             : bits;
}

struct StuckCase {
  const char* board;
  uint8_t errorBits;
};

TEST_F(IntelHostTest, AHostThatStaysBusyStartsNothingAndFailsTheTransfer) {
  for (const StuckCase c :
       {StuckCase{"ich5", 0x00}, StuckCase{"ich5", 0x04}, StuckCase{"piix4", 0x00},
        StuckCase{"piix4", 0x10}, StuckCase{"pch6", 0x00}}) {
    SCOPED_TRACE(testing::Message() << c.board << " error bits " << int(c.errorBits));
    BootedBoard b(c.board);
    ASSERT_NE(b.controller, nullptr);
    const sim::BoardModels& models = b.models;
    models.Host<sim::IntelSmbusHost>()->SetStuckBusy(true, c.errorBits);
    const uint8_t stuck = AsRead(models, static_cast<uint8_t>(0x01 | c.errorBits));
    const uint64_t transactions = models.Host<sim::IntelSmbusHost>()->Transactions();

    OpStatus status = Fresh();
    uint16_t word = 0x1234;
    uint64_t start = b.machine.NowMs();
    EXPECT_EQ(SmbusTransfer(b.controller, &status, SmbusOp::ReadWord, 0x50, 0, &word), -1);
    EXPECT_EQ(b.machine.NowMs() - start, 3000u) << "one idle wait of 3000 polls, then nothing";
    EXPECT_EQ(word, 0x1234) << "no data from a transfer that never ran";
    EXPECT_EQ(status.HwCode, OpError::ReadWordFailed);
    EXPECT_EQ(status.HwDetail[0], stuck);
    EXPECT_EQ(models.Host<sim::IntelSmbusHost>()->StatusRegister() & IntelSmbusHost::kInUse, 0)
        << "the semaphore the polls took goes back to the firmware";

    OpStatus write = Fresh();
    uint16_t byte = 0x11;
    EXPECT_EQ(SmbusTransfer(b.controller, &write, SmbusOp::WriteByte, 0x50, 74, &byte), -1);
    EXPECT_EQ(write.HwCode, OpError::WriteByteFailed);
    EXPECT_EQ(models.Host<sim::IntelSmbusHost>()->Transactions(), transactions)
        << "a busy host starts nothing";
    EXPECT_EQ(models.eeproms[0][0]->CommittedWrites(), 0u);

    // Once the host recovers, so does the bus.
    models.Host<sim::IntelSmbusHost>()->SetStuckBusy(false);
    b.ExpectReads(0, 0, 32);
  }
}

TEST_F(IntelHostTest, AcquireClearsWhatTheFirmwareLeftInTheStatus) {
  const sim::BoardModels models = sim::Build(*sim::FindBoard("ich5"), machine_);
  // A transfer the firmware left behind with its device-error bit, and an
  // alert a device raised.
  machine_.Out8(0x404, 0xAF);  // slot 7 is empty
  machine_.Out8(0x402, 0x48);
  machine_.Delay(5);
  models.Host<sim::IntelSmbusHost>()->RaiseAlert();
  ASSERT_EQ(machine_.In8(0x400), 0x24);  // this read takes the semaphore
  ASSERT_EQ(machine_.In8(0x400), 0x64);
  machine_.Out8(0x400, 0x40);  // the firmware hands the semaphore back, its bits left
  SmbusController controller{};
  const ChipFound ich5 = {.Chip = &intel::kIch4, .Function = {0, 31, 3}, .IoBase = 0x400};
  ASSERT_EQ(intel::kIntelBackend.Acquire(&controller, ich5), 0);
  EXPECT_EQ(models.Host<sim::IntelSmbusHost>()->StatusRegister(), 0x20)
      << "bits cleared, semaphore released, the alert left to its owner";
  controller.ReleaseDevice(controller.Context);
}

// What the later hosts refuse under their host configuration byte, driven
// at the ports: a write to an SPD address with SPD writes disabled, and
// anything in I2C mode, end in a device error with nothing on the bus; reads
// under SPD write-disable are untouched. From the 8-series on the firmware's
// write-disable stays set.
TEST_F(IntelHostTest, TheHostRefusesWhatItsConfigurationForbids) {
  const struct {
    const char* board;
    uint8_t hostConfig;  // written before the transfer; 0: as the board has it
    uint8_t address, protocol;
    uint8_t status;       // after the transfer, the semaphore aside
    uint8_t readsBackAs;  // byte 0x40 after the write
  } cases[] = {
      {"pch8-spdwd", 0x01, 0x50 << 1, 0x08, 0x04, 0x11},     // write: refused, bit kept
      {"pch8-spdwd", 0, (0x50 << 1) | 1, 0x0C, 0x02, 0x11},  // read word: done
      {"ich9", 0x11, 0x50 << 1, 0x08, 0x04, 0x11},           // write: refused
      {"ich9", 0x01, 0x50 << 1, 0x08, 0x02, 0x01},           // bit cleared again: written
      {"ich10", 0, (0x50 << 1) | 1, 0x0C, 0x04, 0x05},       // I2C mode: refused
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.board << " address " << std::hex << int(c.address));
    sim::Machine machine;
    const sim::BoardModels models = sim::Build(*sim::FindBoard(c.board), machine);
    sim::PciFunction& f = *machine.FindPciFunction(0, 31, 3);
    if (c.hostConfig != 0) {
      const uint32_t dword = c.hostConfig;
      ASSERT_EQ(machine.SetPciData(0, (3u << 5) | 31u, &dword, 0x40, 4), 4u);
    }
    EXPECT_EQ(f.Dword(0x40) & 0xFF, c.readsBackAs);
    const uint16_t base = models.Host<sim::IntelSmbusHost>()->IoBase();
    const sim::SpdEeprom& eeprom = *models.eeproms[0][0];
    const std::array<uint8_t, 256> before = eeprom.Bytes();
    const uint64_t transfers = eeprom.Transfers();
    machine.Out8(base + 3, 74);
    machine.Out8(base + 4, c.address);
    machine.Out8(base + 5, static_cast<uint8_t>(before[74] + 1));
    machine.Out8(base + 2, static_cast<uint8_t>(c.protocol | 0x40));
    machine.Delay(2);
    EXPECT_EQ(machine.In8(base) & ~IntelSmbusHost::kInUse, c.status);
    const bool refused = c.status == IntelSmbusHost::kDeviceError;
    EXPECT_EQ(eeprom.Transfers() - transfers, refused ? 0u : 1u) << "what reached the bus";
    EXPECT_EQ(eeprom.Bytes()[74] != before[74], !refused && c.protocol == 0x08);
    EXPECT_EQ(models.Host<sim::IntelSmbusHost>()->RefusedSpdWrites() +
                  models.Host<sim::IntelSmbusHost>()->RefusedInI2cMode(),
              refused ? 1u : 0u);
  }
}

// The driver takes I2C mode off for its transfers; at release the byte is
// the firmware's again, and a byte that needed no change is not written.
TEST_F(IntelHostTest, ReleaseLeavesTheHostConfigurationAsTheFirmwareHadIt) {
  const struct {
    const char* board;
    uint8_t whileLoaded, firmware;
  } cases[] = {{"ich10", 0x01, 0x05}, {"pch8-spdwd", 0x11, 0x11}, {"ich6", 0x01, 0x01}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.board);
    BootedBoard b(c.board);
    ASSERT_NE(b.controller, nullptr);
    ASSERT_EQ(b.controller->Unavailable, 0u);
    EXPECT_EQ(b.machine.FindPciFunction(0, 31, 3)->Dword(0x40), c.whileLoaded);
    const uint64_t writes = b.machine.ConfigWrites();
    ReleaseController(std::exchange(b.controller, nullptr));
    EXPECT_EQ(b.machine.FindPciFunction(0, 31, 3)->Dword(0x40), c.firmware);
    EXPECT_EQ(b.machine.ConfigWrites() - writes, c.whileLoaded == c.firmware ? 0u : 1u);
  }
}

// From the ICH4 on, the packet error checking and 32-byte buffer firmware
// left in the auxiliary control are off for the driver's transfers (with
// PEC on, the host waits for a code the SPD never sends) and back at
// release; the ICH0 to ICH3 have no such register, and it is never written.
TEST_F(IntelHostTest, TheAuxiliaryControlIsClearedOnlyWhereTheChipHasIt) {
  const struct {
    uint16_t deviceId;
    bool aux;
  } cases[] = {{0x24D3, true}, {0x24C3, true}, {0x2483, false}, {0x2443, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.deviceId);
    sim::Board board = *sim::FindBoard("ich5");
    for (sim::PciFunctionSpec& f : board.pci) {
      if (f.device == 31 && f.function == 3) f.deviceId = c.deviceId;
    }
    board.smbus->firmware.leftAuxControl = c.aux ? 0x03 : 0x00;
    BootedBoard b(board);
    ASSERT_NE(b.controller, nullptr);
    IntelSmbusHost& host = *b.models.Host<IntelSmbusHost>();
    EXPECT_EQ(host.Read8(IntelSmbusHost::kAuxControl), 0x00) << "while loaded";
    b.ExpectReads(0, 0, 32);
    ReleaseController(std::exchange(b.controller, nullptr));
    EXPECT_EQ(host.Read8(IntelSmbusHost::kAuxControl), c.aux ? 0x03 : 0x00) << "at release";
    EXPECT_EQ(host.AuxWritesWithout(), 0u) << "a register the chip does not have";
  }
}

// Firmware holding INUSE_STS when a transfer begins: a holder that lets go
// within the bound is waited for, the read is the module's and the host is
// free afterwards; one that never does costs the bound once and fails the
// transfer with the host-held code, nothing started and its claim kept.
TEST_F(IntelHostTest, ATransferWaitsABoundedTimeForTheFirmwaresSemaphore) {
  const struct {
    uint64_t holdMs;
    uint64_t waitedMs;  // the wait, then the 1 ms settle of a transfer started
    uint32_t read;
    uint8_t statusAfter;
  } cases[] = {{25, 26, 2, 0x00}, {1000000, intel::kInUseWaitLimit, 0, 0x40}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.holdMs);
    BootedBoard b("pch6");
    ASSERT_NE(b.controller, nullptr);
    sim::Machine& machine = b.machine;
    const sim::BoardModels& models = b.models;
    models.Host<sim::IntelSmbusHost>()->HoldInUseUntil(machine.NowMs() + c.holdMs);
    const uint64_t start = machine.NowMs();
    uint8_t data[2] = {};
    OpStatus status = Fresh();
    const uint64_t transfers = models.eeproms[0][0]->Transfers();
    EXPECT_EQ(ReadSpdBlock(b.controller, &status, 0, data, 0, 2), c.read);
    EXPECT_EQ(machine.NowMs() - start, c.waitedMs);
    EXPECT_EQ(models.eeproms[0][0]->Transfers() - transfers, c.read / 2);
    if (c.read != 0) {
      EXPECT_EQ(data[1], models.eeproms[0][0]->Bytes()[1]);
    }
    EXPECT_EQ(status.HwCode, c.read != 0 ? 0u : OpError::HostHeldByFirmware);
    EXPECT_EQ(models.Host<sim::IntelSmbusHost>()->StatusRegister(), c.statusAfter);
  }
}

// Only segment 1 is switched: a read on segment 0, 2, 3 or ~0 touches
// neither the Super I/O's ports nor the board latch and reads the first
// bank. The Super I/O hears its key only when written twice in a row.
TEST_F(IntelHostTest, OnlySegmentOneTouchesTheSwitch) {
  Boot("ich5");
  machine_.SetTracing(true);
  for (uint32_t segment : {0u, 2u, 3u, 0xFFFFFFFFu}) {
    OpStatus status = Fresh();
    SetSegment(controller_, &status, segment);
    std::vector<uint8_t> data(8);
    EXPECT_EQ(ReadSpdBlock(controller_, &status, 0, data.data(), 0, 8), 8u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), Image(0, 0).begin()));
  }
  for (const sim::TraceEntry& e : machine_.Trace()) {
    EXPECT_TRUE(e.where != 0x2E && e.where != 0x2F && e.where != 0xE437) << std::hex << e.where;
  }
  for (const auto& [port, value] : {std::pair<uint16_t, uint8_t>{0x2E, 0x87},
                                    {0x2E, 0x07},
                                    {0x2F, 0x08},
                                    {0x2E, 0xF1},
                                    {0x2F, 0x18}}) {
    machine_.Out8(port, value);
  }
  EXPECT_FALSE(models_.superIo->InConfigMode());
  EXPECT_EQ(models_.superIo->Register(8, 0xF1), 0xC5);
  // Segment 1: the chip's ID is read in its configuration mode, register
  // 0xF1 gets selector 2 for the read and its bits back after it, and the
  // exit key ends the configuration mode each time. A chip of another kind
  // never hears the key: its ID reads all ones and nothing else is written.
  for (const bool otherKind : {false, true}) {
    SCOPED_TRACE(otherKind ? "a chip of another kind" : "the switch's chip");
    if (otherKind) models_.superIo->ListenFor(0x55);
    machine_.ClearTrace();
    OpStatus status = Fresh();
    SetSegment(controller_, &status, 1);
    std::vector<uint8_t> data(8);
    EXPECT_EQ(ReadSpdBlock(controller_, &status, 0, data.data(), 0, 8), 8u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), Image(otherKind ? 0 : 1, 0).begin()));
    EXPECT_FALSE(models_.superIo->InConfigMode());
    EXPECT_EQ(models_.superIo->Register(8, 0xF1), 0xC5);
    std::vector<uint32_t> written;
    for (const sim::TraceEntry& e : machine_.Trace()) {
      if (e.kind == sim::Access::Out8 && (e.where == 0x2E || e.where == 0x2F)) {
        written.push_back(e.where << 8 | e.value);
      }
    }
    const std::vector<uint32_t> session = {0x2E87, 0x2E87, 0x2E20, 0x2E07, 0x2F08, 0x2EF1, 0x2EF1};
    std::vector<uint32_t> expected;
    for (const uint8_t selector : {0xD5, 0xC5}) {
      expected.insert(expected.end(), session.begin(),
                      otherKind ? session.begin() + 3 : session.end());
      if (!otherKind) expected.push_back(0x2F00u | selector);
      expected.push_back(0x2EAA);
    }
    EXPECT_EQ(written, expected);
  }
}

}  // namespace
