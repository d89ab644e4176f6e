// The bit-level I2C slave on its own: line sequences written out by hand (no
// driver code), what the device behind it is told, and what the lines show
// at the acknowledge and data bits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/models/i2c_slave.h"
#include "sim/models/two_wire_bus.h"
#include "sim/hand_master.h"

namespace {

using sim::Line;
using testsupport::HandMaster;

// A device that writes down what it is told and answers from a script.
class RecordingDevice : public sim::SmbusSlave {
 public:
  bool Address(bool read) override {
    log += read ? "R " : "W ";
    return true;
  }
  bool Write(uint8_t value) override {
    log += "w" + std::to_string(value) + " ";
    return true;
  }
  uint8_t Read() override {
    const uint8_t value = next++;
    log += "r" + std::to_string(value) + " ";
    return value;
  }
  void Stop() override { log += "P "; }

  std::string log;
  uint8_t next = 0xA5;
};

// One step of a hand-written sequence.
struct Op {
  enum Kind { Start, Stop, Send, Receive, Glitch } kind;
  uint8_t value = 0;  // Send: the byte; Receive: the byte expected
  bool ack = true;    // Send: acknowledged; Receive: the master acknowledges
};

struct SequenceCase {
  const char* name;
  std::vector<Op> ops;
  std::string deviceLog;  // what the device behind the slave was told
};

void PrintTo(const SequenceCase& c, std::ostream* os) {
  *os << c.name;
}

class I2cSlaveSequenceTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(I2cSlaveSequenceTest, DecodesTheLines) {
  const SequenceCase& c = GetParam();
  sim::TwoWireBus bus;
  RecordingDevice device;
  sim::I2cSlave slave(bus, 0x52, device);
  HandMaster master(bus);
  for (size_t i = 0; i < c.ops.size(); ++i) {
    const Op& op = c.ops[i];
    SCOPED_TRACE(testing::Message() << "step " << i);
    switch (op.kind) {
      case Op::Start: master.Start(); break;
      case Op::Stop: master.Stop(); break;
      case Op::Send: EXPECT_EQ(master.Send(op.value), op.ack); break;
      case Op::Receive: EXPECT_EQ(master.Receive(op.ack), op.value); break;
      case Op::Glitch:
        // SCL high, SDA falls and rises again: a START and a STOP.
        master.Sda(true);
        master.Scl(true);
        master.Sda(false);
        master.Sda(true);
        master.Scl(false);
        break;
    }
  }
  EXPECT_EQ(device.log, c.deviceLog);
  EXPECT_TRUE(bus.Idle()) << "the slave let both lines go";
}

// clang-format off
const SequenceCase kSequences[] = {
    {"MasterAcknowledgeAsksForTheNextByte",
     {{Op::Start}, {Op::Send, 0xA5}, {Op::Receive, 0xA5, true}, {Op::Receive, 0xA6, false},
      {Op::Stop}},
     "R r165 r166 P "},
    {"GeneralCallAddressIsNotOurs", {{Op::Start}, {Op::Send, 0x00, false}, {Op::Stop}}, ""},
    {"GlitchInADataByteEndsTheTransfer",
     {{Op::Start}, {Op::Send, 0xA4}, {Op::Glitch}, {Op::Send, 0x55, false}, {Op::Start},
      {Op::Send, 0xA5}, {Op::Receive, 0xA5, false}, {Op::Stop}},
     "W P R r165 P "},
    {"GlitchWhileIdleAddressesNoOne", {{Op::Glitch}, {Op::Send, 0xA4, false}, {Op::Stop}}, ""},
    {"RepeatedStartWithoutStopKeepsTheTransfer",
     {{Op::Start}, {Op::Send, 0xA4}, {Op::Send, 0x01}, {Op::Start}, {Op::Send, 0xA4},
      {Op::Send, 0x02}, {Op::Stop}},
     "W w1 W w2 P "},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Sequences, I2cSlaveSequenceTest, ::testing::ValuesIn(kSequences),
                         [](const auto& info) { return std::string(info.param.name); });

// Readings while the master itself still pulls SCL low do not count.
TEST(I2cSlave, AStretchedClockReadsLowForTheGivenReadingsOnly) {
  for (uint32_t readings : {1u, 3u}) {
    sim::TwoWireBus bus;
    RecordingDevice device;
    sim::I2cSlave slave(bus, 0x50, device);
    HandMaster master(bus);
    slave.StretchClock(readings);
    master.Start();  // SCL falls: the slave holds it from here
    EXPECT_FALSE(master.ReadScl());
    master.Scl(true);
    for (uint32_t i = 0; i < readings; ++i) EXPECT_FALSE(master.ReadScl()) << readings << ": " << i;
    EXPECT_TRUE(master.ReadScl()) << readings;
  }
}

}  // namespace
