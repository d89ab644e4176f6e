// The client against a scripted transport: how each reply layout is decoded,
// and how failures, malformed replies and requests the driver would refuse
// surface (what each call sends is held by the tool's tests against the driver).
#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "check/layout.h"
#include "dimmio/client.h"
#include "discovery/pci_walk.h"
#include "driver/op_status.h"

namespace {

using dimmio::Client;
using dimmio::ControlReply;

class ScriptedTransport : public dimmio::Transport {
 public:
  ControlReply Control(uint32_t, std::span<const uint8_t>, uint32_t) override {
    ++sent;
    if (replies.empty()) return {.Error = 0xDEAD, .ErrorText = "no reply scripted", .Output = {}};
    ControlReply reply = replies.front();
    replies.pop_front();
    return reply;
  }

  void Reply(std::vector<uint8_t> output) {
    replies.push_back(
        {.Completed = true, .Error = 0, .ErrorText = {}, .Output = std::move(output)});
  }

  int sent = 0;  // requests that reached the transport
  std::deque<ControlReply> replies;
};

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A status record in its byte layout: operation code with two details,
// hardware code with the controller's status value.
std::vector<uint8_t> StatusBytes(uint32_t code, uint32_t detailCount, uint32_t hwCode,
                                 uint32_t hwStatus) {
  std::vector<uint8_t> bytes(76, 0xCC);  // detail words hold what the buffer held
  Put32(bytes, 0, 1);
  Put32(bytes, 4, code);
  Put32(bytes, 8, detailCount);
  Put32(bytes, 12, 0xF0000);
  Put32(bytes, 16, 0x10000);
  Put32(bytes, 36, hwCode);
  Put32(bytes, 40, hwCode ? 1 : 0);
  Put32(bytes, 44, hwStatus);
  return bytes;
}

TEST(ClientRequests, RefusesWhatTheDriverWouldRefuseWithoutSending) {
  ScriptedTransport t;
  Client client(t);
  EXPECT_FALSE(client.ReadSpd(0, 0, 0));
  EXPECT_FALSE(client.PciDeviceTable(-1));
  EXPECT_EQ(t.sent, 0);
}

TEST(ClientDecoding, ShortSpdReadKeepsTheBytesAndBothHalvesOfTheStatus) {
  ScriptedTransport t;
  std::vector<uint8_t> reply = StatusBytes(14, 0, 18, 0x44);
  reply.insert(reply.end(), {0x80, 0x08});  // two of four bytes arrived
  t.Reply(reply);
  const auto read = Client(t).ReadSpd(0, 0, 4);
  ASSERT_TRUE(read) << read.error().Text;
  EXPECT_EQ(read->Bytes, (std::vector<uint8_t>{0x80, 0x08}));
  EXPECT_EQ(read->Status.Header, 1u);
  EXPECT_EQ(read->Status.Code, 14u);
  EXPECT_EQ(read->Status.HwCode, 18u);
  EXPECT_EQ(read->Status.HwDetailCount, 1u);
  EXPECT_EQ(read->Status.HwDetail[0], 0x44u);
}

// What a driver's reply may hold beyond what it writes (the tool's tests
// read every other field through the driver): count bytes 1-3 that are not
// zero, a report field without a terminator.
TEST(ClientDecoding, CountByteAndUnterminatedReportField) {
  ScriptedTransport t;
  Client client(t);
  std::vector<uint8_t> count = {5, 0xAA, 0xBB, 0xCC};
  const auto countStatus = StatusBytes(33, 2, 0, 0);
  count.insert(count.end(), countStatus.begin(), countStatus.end());
  t.Reply(count);
  const auto slots = client.MemorySlotCount();
  ASSERT_TRUE(slots);
  EXPECT_EQ(slots->Count, 5);
  EXPECT_EQ(slots->Status.Detail[1], 0x10000u);

  std::vector<uint8_t> report(1024, 0);
  std::memset(&report[0x380], 'S', 128);
  t.Reply(report);
  const auto info = client.SystemInformation();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->BoardVersion, "");
  EXPECT_EQ(info->BoardSerialNumber, std::string(128, 'S'));
}

TEST(ClientDecoding, ReplyLengthsThatDoNotFitAreErrors) {
  struct Case {
    const char* what;
    size_t replyLength;
    bool (*call)(Client&);
  };
  const Case cases[] = {
      {"SPD reply shorter than the status record", 75,
       [](Client& c) { return c.ReadSpd(0, 0, 8).ok(); }},
      {"SPD reply longer than asked", 76 + 9, [](Client& c) { return c.ReadSpd(0, 0, 8).ok(); }},
      {"probe reply of 76 bytes", 76, [](Client& c) { return c.ProbeSpdWrite(0).ok(); }},
      {"count reply of 4 bytes", 4, [](Client& c) { return c.MemoryModuleCount().ok(); }},
      {"chipset of 20 bytes", 20, [](Client& c) { return c.ChipsetInfo().ok(); }},
      {"table of 1 record for 2", 24, [](Client& c) { return c.PciDeviceTable(2).ok(); }},
      {"config of 252 bytes", 252, [](Client& c) { return c.ReadPciConfig(0, 0, 0).ok(); }},
      {"report of 0 bytes", 0, [](Client& c) { return c.SystemInformation().ok(); }},
  };
  for (const Case& c : cases) {
    ScriptedTransport t;
    t.Reply(std::vector<uint8_t>(c.replyLength, 0));
    Client client(t);
    EXPECT_FALSE(c.call(client)) << c.what;
  }
}

TEST(StatusText, NamesCodeMeaningDetailsAndHardwareStatus) {
  struct Case {
    std::vector<uint8_t> record;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {StatusBytes(0, 0, 0, 0), {"no error"}},
      {StatusBytes(14, 0, 18, 0x44),
       {"code 14", "SPD read stopped", "hardware code 18", "read-word", "status 0x44"}},
      {StatusBytes(33, 2, 0, 0), {"code 33", "0xF0000 0x10000"}},
      {StatusBytes(21, 0, 0, 0), {"code 21", "no usable SMBus controller"}},
      {StatusBytes(99, 0, 0, 0), {"code 99", "unknown error code"}},
  };
  for (const Case& c : cases) {
    const std::string text = dimmio::DescribeStatus(dimmio::DecodeOpStatus(c.record.data()));
    for (const std::string& part : c.expected) {
      EXPECT_NE(text.find(part), std::string::npos) << text << " lacks " << part;
    }
  }
  // Detail words beyond the count are whatever the buffer held: not shown.
  const std::string noDetails =
      dimmio::DescribeStatus(dimmio::DecodeOpStatus(StatusBytes(14, 0, 0, 0).data()));
  EXPECT_EQ(noDetails.find("detail"), std::string::npos) << noDetails;
}

// The C compiler lays out the public records as C++ does, and as the driver
// lays out the records it writes.
TEST(PublicHeader, CAndCppAgreeOnEveryLayout) {
  const uint32_t cpp[] = {DIMMIO_LAYOUT_VALUES};
  ASSERT_EQ(kDimmioLayoutCCount, std::size(cpp));
  for (size_t i = 0; i < std::size(cpp); ++i) EXPECT_EQ(kDimmioLayoutC[i], cpp[i]) << i;
}

static_assert(sizeof(::OpStatus) == sizeof(DimmioOpStatus));
static_assert(offsetof(::OpStatus, HwCode) == offsetof(DimmioOpStatus, HwCode));
static_assert(offsetof(::OpStatus, HwDetail) == offsetof(DimmioOpStatus, HwDetail));
static_assert(sizeof(::PciDeviceRecord) == sizeof(DimmioPciDeviceRecord));
static_assert(offsetof(::PciDeviceRecord, DeviceId) == offsetof(DimmioPciDeviceRecord, DeviceId));
static_assert(kPciDeviceTableCapacity == DIMMIO_PCI_DEVICE_TABLE_CAPACITY);

}  // namespace
