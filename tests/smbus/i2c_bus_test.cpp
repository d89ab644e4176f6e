// The bit-banged I2C back-end on both pin drivers, against the GPIO register
// models, the open-drain lines and a bit-level slave in front of each SPD
// EEPROM (the blocks of every module the contract reads on both boards):
// the status record of each failure, the lines the engine leaves behind,
// clock stretching, the write's completion poll and a bus left stuck by an
// interrupted read.
#include <string>
#include <utility>
#include <vector>

#include "sim/models/i2c_slave.h"
#include "sim/models/sis96x_gpio.h"
#include "sim/models/spd_eeprom.h"
#include "sim/models/two_wire_bus.h"
#include "sim/models/via586b_gpio.h"
#include "sim/hand_master.h"
#include "smbus/i2c_bus.h"
#include "smbus/i2c_pins.h"
#include "smbus/booted_board.h"
#include "support/smbus_fixture.h"

namespace {

using sim::Line;
using testsupport::SmbusBoardTest;

// The two pin drivers, each on a board that has it.
struct PinBoard {
  const char* board;
  int32_t variant;
  uint8_t present;  // a populated slot
  uint8_t empty;    // an empty slot
  // The reads of the line states in an acknowledge clock: the clock checked
  // once as it rises, SDA up to ten times; SiS reads the pins word in the
  // read-modify-write of each pin change too.
  uint32_t ackReadings;
  // Reads of the line states with SCL low in the slave's bits, per byte read:
  // none that samples SDA; on SiS those read-modify-writes.
  uint64_t lowClockReadings;
};

const PinBoard kPinBoards[] = {{"sis96x", 0, 0, 1, 12, 30}, {"via586b", 1, 1, 5, 11, 0}};

void PrintTo(const PinBoard& b, std::ostream* os) {
  *os << b.board;
}

// A clock edge that follows a change of SDA with no delay between.
struct Pacing : sim::LineListener {
  explicit Pacing(const sim::Machine& m) : machine(m) {}
  void LineChanged(Line line, bool, bool, bool) override {
    if (line == Line::Sda)
      sdaAt = machine.DelayCalls();
    else if (sdaAt == machine.DelayCalls())
      ++unpaced;
  }
  const sim::Machine& machine;
  uint64_t sdaAt = ~0ull, unpaced = 0;
};

class I2cBusTest : public SmbusBoardTest, public ::testing::WithParamInterface<PinBoard> {
 protected:
  void SetUp() override { Boot(GetParam().board); }
  // A pin never drives a line high while a module pulls it low.
  void TearDown() override {
    EXPECT_EQ(models_.wires->Contentions(), 0u) << "outputs fought";
    SmbusBoardTest::TearDown();
  }

  I2cBus* Bus() { return static_cast<I2cBus*>(controller_->Context); }
  sim::I2cSlave& Slave(uint8_t slot) { return *models_.i2cSlaves[slot]; }
  sim::SpdEeprom& Eeprom(uint8_t slot) { return *models_.eeproms[0][slot]; }
  bool Idle() { return models_.wires->Idle(); }
  Pacing pacing_{machine_};

  uint8_t ReadByte(uint8_t slot, uint8_t offset, OpStatus& status, int32_t* result = nullptr) {
    uint16_t value = 0x5A;
    const auto slave = static_cast<uint8_t>(0x50 + slot);
    const int32_t r = I2C_Transfer(Bus(), &status, SmbusOp::ReadByte, slave, offset, &value);
    if (result != nullptr) *result = r;
    return static_cast<uint8_t>(value);
  }

  static void ExpectHw(const OpStatus& status, uint32_t code, uint32_t detail) {
    EXPECT_EQ(status.Code, 0u) << "a transfer never writes the operation half";
    EXPECT_EQ(status.HwCode, code);
    EXPECT_EQ(status.HwDetailCount, code == 0 ? 0u : 1u);
    if (code != 0) {
      EXPECT_EQ(status.HwDetail[0], detail);
    }
  }

  // A plain read after whatever went before: the bus is usable again.
  void ExpectBusWorks(uint8_t slot) {
    OpStatus status = Fresh();
    int32_t result = -2;
    EXPECT_EQ(ReadByte(slot, 0x41, status, &result), Image(0, slot)[0x41]);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Idle());
  }
};

enum class PinTransfer { ReadByte, ReadWord, WriteByte };

struct FailureCase {
  const char* what;
  bool emptySlot;
  uint32_t acks;  // bytes the slave still acknowledges (kAll: no limit)
  PinTransfer transfer;
  int32_t hwCode;
  uint32_t detail;
  bool endsWithStop;  // both lines high afterwards
  bool lowByteKept;   // a word whose high byte failed keeps its low byte
};

constexpr uint32_t kAll = 0xFFFFFFFFu;

// Every step on the pins ends with a zero-length delay, the only pacing
// there is; no time passes, and no reading samples SDA with SCL low.
TEST_P(I2cBusTest, AByteReadPacesEveryStepInNoTime) {
  models_.wires->Listen(pacing_);
  for (const bool emptySlot : {false, true}) {
    const uint64_t ms = machine_.NowMs(), clocks = models_.wires->Changes(Line::Scl);
    const uint64_t early = Slave(GetParam().present).ReadingsWithClockLow();
    OpStatus status = Fresh();
    ReadByte(emptySlot ? GetParam().empty : GetParam().present, 0, status);
    EXPECT_EQ(pacing_.unpaced, 0u) << emptySlot;
    EXPECT_GT(models_.wires->Changes(Line::Scl) - clocks, 18u) << emptySlot;
    EXPECT_EQ(machine_.NowMs(), ms);
    EXPECT_EQ(Slave(GetParam().present).ReadingsWithClockLow() - early,
              emptySlot ? 0 : GetParam().lowClockReadings);
  }
}

TEST_P(I2cBusTest, FailuresReportTheirDetailAndTheNextTransferRecovers) {
  const FailureCase cases[] = {
      {"missing module, write", true, kAll, PinTransfer::WriteByte, 19, 3, true, false},
      {"command refused, byte", false, 1, PinTransfer::ReadByte, 17, 4, false, false},
      // A word reports the address detail whatever its byte read found.
      {"command refused, word", false, 1, PinTransfer::ReadWord, 18, 3, false, false},
      {"command refused, write", false, 1, PinTransfer::WriteByte, 19, 4, false, false},
      {"read address refused", false, 2, PinTransfer::ReadByte, 17, 3, true, false},
      {"high byte's address refused", false, 3, PinTransfer::ReadWord, 18, 3, true, true},
      {"data byte refused", false, 2, PinTransfer::WriteByte, 19, 4, false, false},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    const uint8_t slot = c.emptySlot ? GetParam().empty : GetParam().present;
    if (!c.emptySlot && c.acks != kAll) Slave(slot).StopAcknowledgingAfter(c.acks);
    const uint8_t before = c.emptySlot ? 0 : Eeprom(slot).Bytes()[0x30];
    OpStatus status = Fresh();
    const auto slave = static_cast<uint8_t>(0x50 + slot);
    uint16_t word = 0x5A5A;
    uint16_t byte = static_cast<uint8_t>(before + 1);
    const auto op = c.transfer == PinTransfer::ReadByte   ? SmbusOp::ReadByte
                    : c.transfer == PinTransfer::ReadWord ? SmbusOp::ReadWord
                                                          : SmbusOp::WriteByte;
    const int32_t result =
        I2C_Transfer(Bus(), &status, op, slave, 0x30, op == SmbusOp::ReadWord ? &word : &byte);
    EXPECT_EQ(result, -1);
    ExpectHw(status, c.hwCode, c.detail);
    EXPECT_EQ(Idle(), c.endsWithStop);
    if (!c.endsWithStop) {
      EXPECT_FALSE(models_.wires->Level(Line::Scl)) << "SCL left low";
      EXPECT_TRUE(models_.wires->Level(Line::Sda)) << "SDA released";
    }
    if (c.lowByteKept) {
      EXPECT_EQ(word, Image(0, slot)[0x30]);
    }
    if (!c.emptySlot) {
      EXPECT_EQ(Eeprom(slot).Bytes()[0x30], before) << "nothing written";
      Slave(slot).AcknowledgeAgain();
    }
    ExpectBusWorks(GetParam().present);
  }
}

TEST_P(I2cBusTest, WriteSucceedsOnThePollAttemptTheDeviceFirstAcknowledges) {
  struct Case {
    uint32_t writeCycleMs;
    int32_t result;
    uint64_t waitedMs;
  };
  // The poll makes one attempt and up to 100 more, 1 ms apart.
  for (const Case c : {Case{0, 0, 0}, Case{1, 0, 1}, Case{2, 0, 2}, Case{5, 0, 5},
                       Case{100, 0, 100}, Case{101, -1, 100}, Case{100000, -1, 100}}) {
    SCOPED_TRACE(c.writeCycleMs);
    sim::Board board = *sim::FindBoard(GetParam().board);
    for (sim::SpdSlotSpec& s : board.smbus->segment0) s.eeprom.writeCycleMs = c.writeCycleMs;
    testsupport::BootedBoard b(board);
    ASSERT_NE(b.controller, nullptr);
    const sim::Machine& machine = b.machine;
    const sim::BoardModels& models = b.models;

    const uint8_t slot = GetParam().present;
    sim::I2cSlave& slave = *models.i2cSlaves[slot];
    sim::SpdEeprom& eeprom = *models.eeproms[0][slot];
    const uint64_t starts = slave.Starts();
    const uint64_t acks = slave.Acknowledged();
    const auto value = static_cast<uint8_t>(eeprom.Bytes()[0x50] ^ 0xFF);
    OpStatus status = Fresh();
    const uint64_t t0 = machine.NowMs();
    uint16_t data = value;
    EXPECT_EQ(SmbusTransfer(b.controller, &status, SmbusOp::WriteByte,
                            static_cast<uint8_t>(0x50 + slot), 0x50, &data),
              c.result);
    EXPECT_EQ(machine.NowMs() - t0, c.waitedMs);
    EXPECT_EQ(eeprom.Bytes()[0x50], value) << "the write itself went through";
    EXPECT_TRUE(models.wires->Idle());
    const uint64_t attempts = slave.Starts() - starts - 1;
    if (c.result == 0) {
      ExpectHw(status, 0, 0);
      EXPECT_EQ(attempts, c.waitedMs + 1);
      // Address, command, data; then the acknowledged poll and its byte 0x00,
      // which points the device at its first byte.
      EXPECT_EQ(slave.Acknowledged() - acks, 5u);
      EXPECT_EQ(eeprom.Pointer(), 0x00);
    } else {
      ExpectHw(status, 19, 4);
      EXPECT_EQ(attempts, 101u);
      EXPECT_EQ(slave.Acknowledged() - acks, 3u);
    }
    ReleaseController(std::exchange(b.controller, nullptr));
    EXPECT_EQ(machine.LeakReport(), "");
  }
}

// A slave that acknowledges late pulls SDA low only at the k-th reading of
// the acknowledge clock: the engine looks at SDA up to 10 times.
TEST_P(I2cBusTest, AnAcknowledgeIsLookedForOverTenReadings) {
  const uint8_t slot = GetParam().present;
  const uint32_t last = GetParam().ackReadings;
  for (const uint32_t reading : {2u, last, last + 1}) {
    SCOPED_TRACE(reading);
    Slave(slot).AcknowledgeOnReading(reading);
    OpStatus status = Fresh();
    int32_t result = -2;
    const uint8_t value = ReadByte(slot, 0, status, &result);
    EXPECT_EQ(result, reading <= last ? 0 : -1);
    ExpectHw(status, reading <= last ? 0 : 17, 3);
    if (result == 0) {
      EXPECT_EQ(value, Image(0, slot)[0]);
    }
    Slave(slot).AcknowledgeOnReading(0);
    ExpectBusWorks(slot);
  }
}

TEST_P(I2cBusTest, StretchedClockIsWaitedForUpToItsLimit) {
  const uint8_t slot = GetParam().present;
  // What a transfer that fails at its address costs on a quiet bus.
  OpStatus quiet = Fresh();
  uint64_t calls = machine_.DelayCalls();
  ReadByte(GetParam().empty, 0x10, quiet);
  const uint64_t failedAddress = machine_.DelayCalls() - calls;

  for (uint32_t readings : {1u, 7u, 40u}) {
    SCOPED_TRACE(readings);
    Slave(slot).StretchClock(readings);
    OpStatus status = Fresh();
    int32_t result = -2;
    EXPECT_EQ(ReadByte(slot, 0x10, status, &result), Image(0, slot)[0x10]);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Idle());
  }

  // Held for ever from the first clock pulse on: each of the 11 later rises
  // of SCL in the transfer (8 address bits, the acknowledge, the STOP's two
  // steps) costs the 100 re-assertions, each with its zero-length delay. The
  // engine goes on as if the clock were high: SDA reads 1, no acknowledge.
  Slave(slot).StretchClock(sim::I2cSlave::kForever);
  OpStatus status = Fresh();
  const uint64_t t0 = machine_.NowMs();
  calls = machine_.DelayCalls();
  int32_t result = 0;
  ReadByte(slot, 0x10, status, &result);
  EXPECT_EQ(result, -1);
  ExpectHw(status, 17, 3);
  EXPECT_EQ(machine_.DelayCalls() - calls, failedAddress + 11 * 100);
  EXPECT_EQ(machine_.NowMs(), t0) << "the wait costs no milliseconds";

  Slave(slot).StretchClock(0);
  ExpectBusWorks(slot);
}

TEST_P(I2cBusTest, BusLeftInTheMiddleOfAReadIsClockedFreeBeforeTheNextStart) {
  const uint8_t slot = GetParam().present;
  sim::TwoWireBus& wires = *models_.wires;
  // Another master (the firmware, before a reset) starts a read and vanishes
  // while the slave sends a 0 bit: SCL high, SDA held low by the slave.
  testsupport::HandMaster firmware(wires);
  const auto slave = static_cast<uint8_t>((0x50 + slot) << 1);
  firmware.Start();
  firmware.Send(slave);
  firmware.Send(0x00);  // pointer to byte 0, then a current-address read
  firmware.Start();     // repeated START
  firmware.Send(slave | 1);
  firmware.Scl(true);
  for (int clocks = 0; wires.Level(Line::Sda) && clocks < 64; ++clocks) {
    firmware.Scl(false);
    firmware.Scl(true);
  }
  ASSERT_FALSE(wires.Level(Line::Sda)) << "the slave holds a 0 bit";
  ASSERT_TRUE(wires.Level(Line::Scl));

  const uint64_t stops = Slave(slot).Stops();
  OpStatus status = Fresh();
  int32_t result = -2;
  EXPECT_EQ(ReadByte(slot, 0x23, status, &result), Image(0, slot)[0x23]);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Slave(slot).Stops() - stops, 2u) << "the recovery's STOP and the transfer's";
  EXPECT_TRUE(Idle());

  // A line no clocking frees: the transfer is refused, not read as zeros.
  Slave(slot).HoldSda(true);
  status = Fresh();
  ReadByte(slot, 0x23, status, &result);
  EXPECT_EQ(result, -1);
  ExpectHw(status, 17, 3);
  Slave(slot).HoldSda(false);
  ExpectBusWorks(slot);
}

// ---------------------------------------------------------------- pin drivers

// A register of the pin block as software would read it, without it counting
// as one of the master's readings.
uint16_t RegisterNow(const sim::BoardModels& models, int32_t variant, uint16_t offset) {
  if (variant == 0) return static_cast<sim::Sis96xGpio*>(models.gpioPins)->Word(offset);
  return static_cast<sim::Via586bGpio*>(models.gpioPins)->Register(offset);
}

struct PinRegister {
  uint16_t offset;
  uint16_t ownBits;  // what the pin driver may change (or the lines change)
};

struct PinOp {
  const char* what;
  void (*run)(I2cBus*);
  bool scl, sda;  // the lines afterwards
};

const PinOp kPinOps[] = {
    {"SetSda(0)", [](I2cBus* b) { b->SetSda(b, 0); }, true, false},
    {"SetScl(0)", [](I2cBus* b) { b->SetScl(b, 0); }, false, false},
    {"GetSda", [](I2cBus* b) { EXPECT_EQ(b->GetSda(b), 0); }, false, false},
    {"GetScl", [](I2cBus* b) { EXPECT_EQ(b->GetScl(b), 0); }, false, false},
    {"SetScl(1)", [](I2cBus* b) { b->SetScl(b, 1); }, true, false},
    {"SetSda(1)", [](I2cBus* b) { b->SetSda(b, 1); }, true, true},
    {"Close", [](I2cBus* b) { b->Close(b); }, true, true},
    {"Open", [](I2cBus* b) { b->Open(b); }, true, true},
};

TEST_P(I2cBusTest, EveryPinOperationChangesOnlyItsOwnBits) {
  const std::vector<PinRegister> registers =
      GetParam().variant == 0 ? std::vector<PinRegister>{{0x2A, 0x0020}, {0x5E, 0x0F00}}
                              : std::vector<PinRegister>{{0x40, 0x06}, {0x42, 0x06}, {0x44, 0x06}};
  for (const PinOp& op : kPinOps) {
    SCOPED_TRACE(op.what);
    std::vector<uint16_t> before;
    for (const PinRegister& r : registers)
      before.push_back(RegisterNow(models_, GetParam().variant, r.offset));
    op.run(Bus());
    for (size_t i = 0; i < registers.size(); ++i) {
      EXPECT_EQ(
          RegisterNow(models_, GetParam().variant, registers[i].offset) & ~registers[i].ownBits,
          before[i] & ~registers[i].ownBits)
          << std::hex << registers[i].offset;
    }
    EXPECT_EQ(models_.wires->Level(Line::Scl), op.scl);
    EXPECT_EQ(models_.wires->Level(Line::Sda), op.sda);
  }
  // Close takes the pins back where the chip has an enable (variant 0) and
  // leaves them inputs, both latches 0, where it has a direction (variant 1).
  Bus()->Close(Bus());
  if (GetParam().variant == 0) {
    EXPECT_EQ(RegisterNow(models_, GetParam().variant, 0x2A), 0x0C41 & ~0x0020)
        << "as the firmware left it";
  } else {
    EXPECT_EQ(RegisterNow(models_, GetParam().variant, 0x40), 0x81 & ~0x06);
    EXPECT_EQ(RegisterNow(models_, GetParam().variant, 0x42) & 0x06, 0);
  }
  Bus()->Open(Bus());
}

// The SiS 96x pin words answer word accesses at their own offset only: a
// byte access, or a word across one, neither reads them nor moves a pin.
TEST(Sis96xPinWidths, OnlyAWordAtItsOffsetReachesThePins) {
  struct Case {
    const char* what;
    bool word;
    uint16_t offset;
    uint16_t read;  // what a read there returns
    bool released;  // both lines still high after writing 0 there
  };
  const Case cases[] = {
      {"byte, pins high", false, 0x5F, 0xFF, true},
      {"byte, pins low", false, 0x5E, 0xFF, true},
      {"byte, enable", false, 0x2A, 0xFF, true},
      {"word across", true, 0x5D, 0xFFFF, true},
      {"word across the top", true, 0x5F, 0xFFFF, true},
      {"the word", true, 0x5E, 0x0F00, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::TwoWireBus wires;
    sim::Sis96xGpio gpio(wires, 0x0020, 0x0300);  // pins enabled, both released
    EXPECT_EQ(c.word ? gpio.Read16(c.offset) : gpio.Read8(c.offset), c.read);
    if (c.word)
      gpio.Write16(c.offset, 0);
    else
      gpio.Write8(c.offset, 0);
    EXPECT_EQ(wires.Level(Line::Scl) && wires.Level(Line::Sda), c.released);
  }
}

INSTANTIATE_TEST_SUITE_P(PinDrivers, I2cBusTest, ::testing::ValuesIn(kPinBoards),
                         [](const auto& info) { return std::string(info.param.board); });

}  // namespace
