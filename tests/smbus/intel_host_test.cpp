// The Intel back-end against its host controller model: what the host
// refuses under the host configuration byte of the ICH6 and later, and the
// firmware's values back at release (the auxiliary control only where the
// chip has it); which segment touches the switch.
#include <array>
#include <utility>
#include <vector>

#include "sim/models/super_io.h"
#include "smbus/booted_board.h"
#include "support/smbus_fixture.h"

namespace {

using sim::IntelSmbusHost;
using testsupport::BootedBoard;
using testsupport::SmbusBoardTest;

class IntelHostTest : public SmbusBoardTest {};

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

// Registers firmware set that the driver changes while it is loaded, the
// firmware's again at release: the host configuration byte (I2C mode off
// for the driver's transfers; a byte that needed no change is not written),
// and from the ICH4 on the auxiliary control's packet error checking and
// 32-byte buffer (with PEC on, the host waits for a code the SPD never
// sends). The ICH0 to ICH3 have no auxiliary control, and it is never
// written.
TEST_F(IntelHostTest, ReleaseLeavesWhatTheFirmwareSetAsItHadIt) {
  const struct {
    const char* board;
    uint16_t deviceId;  // the SMBus function's; 0: the board's own
    bool aux;           // the auxiliary control, else the host configuration byte
    uint8_t whileLoaded, firmware;
  } cases[] = {
      {"ich10", 0, false, 0x01, 0x05},    {"pch8-spdwd", 0, false, 0x11, 0x11},
      {"ich6", 0, false, 0x01, 0x01},     {"ich5", 0x24D3, true, 0x00, 0x03},
      {"ich5", 0x24C3, true, 0x00, 0x03}, {"ich5", 0x2483, true, 0x00, 0x00},
      {"ich5", 0x2443, true, 0x00, 0x00},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.board << " " << std::hex << c.deviceId);
    sim::Board board = *sim::FindBoard(c.board);
    for (sim::PciFunctionSpec& f : board.pci) {
      if (c.deviceId != 0 && f.device == 31 && f.function == 3) f.deviceId = c.deviceId;
    }
    if (c.aux) board.smbus->firmware.leftAuxControl = c.firmware;
    BootedBoard b(board);
    ASSERT_NE(b.controller, nullptr);
    ASSERT_EQ(b.controller->Unavailable, 0u);
    IntelSmbusHost& host = *b.models.Host<IntelSmbusHost>();
    auto reg = [&] {
      return c.aux ? host.Read8(IntelSmbusHost::kAuxControl)
                   : b.machine.FindPciFunction(0, 31, 3)->Dword(0x40);
    };
    EXPECT_EQ(reg(), c.whileLoaded) << "while loaded";
    b.ExpectReads(0, 0, 32);
    const uint64_t writes = b.machine.ConfigWrites();
    ReleaseController(std::exchange(b.controller, nullptr));
    EXPECT_EQ(reg(), c.firmware) << "at release";
    if (!c.aux) {
      EXPECT_EQ(b.machine.ConfigWrites() - writes, c.whileLoaded == c.firmware ? 0u : 1u);
    }
    EXPECT_EQ(host.AuxWritesWithout(), 0u) << "a register the chip does not have";
  }
}

// Only segment 1 is switched, through register 0xF1 of the Super I/O, whose
// other bits are the board's again after the read. A read on segment 0, 2,
// 3 or ~0 writes neither the Super I/O's ports nor the board latch. A chip
// of another kind at those ports never takes the key (its ID reads all
// ones): it hears the keys and the ID read alone, and segment 1 reads the
// first bank. What segment 1 reads through the switch the contract holds.
TEST_F(IntelHostTest, OnlySegmentOneTouchesTheSwitchAndOnlyThroughItsChip) {
  Boot("ich5");
  OpStatus status = Fresh();
  SetSegment(controller_, &status, 1);
  uint8_t data[2];
  EXPECT_EQ(ReadSpdBlock(controller_, &status, 0, data, 0, 2), 2u);
  EXPECT_FALSE(models_.superIo->InConfigMode());
  EXPECT_EQ(models_.superIo->Register(8, 0xF1), 0xC5);
  models_.superIo->ListenFor(0x55);
  machine_.SetTracing(true);
  for (uint32_t segment : {0u, 2u, 3u, 0xFFFFFFFFu, 1u}) {
    SCOPED_TRACE(segment);
    SetSegment(controller_, &status, segment);
    testsupport::ExpectModuleReads(controller_, models_, 0, 0, 8);
  }
  std::vector<uint32_t> written;
  for (const sim::TraceEntry& e : machine_.Trace()) {
    EXPECT_NE(e.where, 0xE437) << "the board latch";
    if (e.kind == sim::Access::Out8 && (e.where == 0x2E || e.where == 0x2F)) {
      written.push_back(e.where << 8 | e.value);
    }
  }
  // The select's session, then the deselect's.
  const std::vector<uint32_t> keys = {0x2E87, 0x2E87, 0x2E20, 0x2EAA};
  std::vector<uint32_t> expected = keys;
  expected.insert(expected.end(), keys.begin(), keys.end());
  EXPECT_EQ(written, expected);
}

}  // namespace
