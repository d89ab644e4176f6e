// Every check of every request at its boundary: refused requests complete at
// once with STATUS_INVALID_PARAMETER and Information 0 (the I/O manager also
// checks that their buffer was not written); accepted ones go their way.
#include <gtest/gtest.h>

#include "support/driver_test.h"

namespace {

using testsupport::DriverTest;
using testsupport::Words;

struct CheckCase {
  const char* name;
  uint32_t code;
  std::vector<uint8_t> input;
  uint32_t outputLength;
  NtStatus returned;     // what the dispatch routine returns
  NtStatus completed;    // the completion status
  uint32_t information;
};

constexpr NtStatus kPending = STATUS_PENDING;
constexpr NtStatus kOk = STATUS_SUCCESS;
constexpr NtStatus kBad = STATUS_INVALID_PARAMETER;

const std::vector<CheckCase>& Cases() {
  static const std::vector<CheckCase> cases = {
      // SPD read: input >= 2, output > 76, slot <= 7.
      {"spd_input_1", IOCTL_READ_SPD, {0}, 77, kBad, kBad, 0},
      {"spd_output_76_refused", IOCTL_READ_SPD, {0, 0}, 76, kBad, kBad, 0},
      {"spd_output_77_accepted", IOCTL_READ_SPD, {0, 0}, 77, kPending, kOk, 76},
      {"spd_slot_7", IOCTL_READ_SPD, {7, 0}, 80, kPending, kOk, 76},
      {"spd_slot_8", IOCTL_READ_SPD, {8, 0}, 80, kBad, kBad, 0},
      {"spd_slot_255", IOCTL_READ_SPD, {0xFF, 0}, 80, kBad, kBad, 0},
      // Write probe: input >= 1, output >= 80, slot <= 7.
      {"probe_no_input", IOCTL_PROBE_SPD_WRITE, {}, 80, kBad, kBad, 0},
      {"probe_output_79", IOCTL_PROBE_SPD_WRITE, {0}, 79, kBad, kBad, 0},
      {"probe_output_80", IOCTL_PROBE_SPD_WRITE, {0}, 80, kPending, kOk, 80},
      {"probe_slot_7", IOCTL_PROBE_SPD_WRITE, {7}, 80, kPending, kOk, 80},
      {"probe_slot_8", IOCTL_PROBE_SPD_WRITE, {8}, 80, kBad, kBad, 0},
      // Counts: output >= 80, no input needed.
      {"slots_output_79", IOCTL_GET_MEMORY_SLOT_COUNT, {}, 79, kBad, kBad, 0},
      {"slots_no_input", IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80, kPending, kOk, 80},
      {"modules_output_79", IOCTL_GET_MEMORY_MODULE_COUNT, {}, 79, kBad, kBad, 0},
      {"modules_no_input", IOCTL_GET_MEMORY_MODULE_COUNT, {}, 80, kPending, kOk, 80},
      // Segment: input >= 4, output >= 76.
      {"segment_input_3", IOCTL_SET_SEGMENT, {1, 0, 0}, 76, kBad, kBad, 0},
      {"segment_output_75", IOCTL_SET_SEGMENT, Words({1}), 75, kBad, kBad, 0},
      {"segment_output_76", IOCTL_SET_SEGMENT, Words({1}), 76, kPending, kOk, 76},
      // Chipset record: output >= 24.
      {"chipset_output_23", IOCTL_GET_CHIPSET_INFO, {}, 23, kBad, kBad, 0},
      {"chipset_output_24", IOCTL_GET_CHIPSET_INFO, {}, 24, kOk, kOk, 24},
      // Device table: input >= 4, output >= 24 * min(count, 217).
      {"table_input_3", IOCTL_GET_PCI_DEVICE_TABLE, {1, 0, 0}, 24, kBad, kBad, 0},
      {"table_count_0", IOCTL_GET_PCI_DEVICE_TABLE, Words({0}), 0, kOk, kOk, 0},
      {"table_count_1_output_23", IOCTL_GET_PCI_DEVICE_TABLE, Words({1}), 23, kBad, kBad, 0},
      {"table_count_1_output_24", IOCTL_GET_PCI_DEVICE_TABLE, Words({1}), 24, kOk, kOk, 24},
      {"table_count_217", IOCTL_GET_PCI_DEVICE_TABLE, Words({217}), 5208, kOk, kOk, 5208},
      {"table_count_217_short", IOCTL_GET_PCI_DEVICE_TABLE, Words({217}), 5207, kBad, kBad, 0},
      {"table_count_1000", IOCTL_GET_PCI_DEVICE_TABLE, Words({1000}), 5208, kOk, kOk, 5208},
      {"table_count_1000_short", IOCTL_GET_PCI_DEVICE_TABLE, Words({1000}), 5207, kBad, kBad,
       0},
      {"table_count_minus_1", IOCTL_GET_PCI_DEVICE_TABLE, Words({0xFFFFFFFFu}), 5208, kBad,
       kBad, 0},
      // A negative count whose length wraps to 8 passes the check but returns
      // nothing: no record was copied, so no byte of the buffer goes back.
      {"table_count_wrapping", IOCTL_GET_PCI_DEVICE_TABLE, Words({0xEAAAAAABu}), 8, kOk, kOk, 0},
      // Device count: output >= 4.
      {"count_output_3", IOCTL_GET_PCI_DEVICE_COUNT, {}, 3, kBad, kBad, 0},
      {"count_output_4", IOCTL_GET_PCI_DEVICE_COUNT, {}, 4, kOk, kOk, 4},
      // Configuration dump: input >= 24, output >= 256, bus < 1, device < 31,
      // function < 7, each a whole dword.
      {"config_input_23", IOCTL_READ_PCI_CONFIG, std::vector<uint8_t>(23, 0), 256, kBad, kBad, 0},
      {"config_output_255", IOCTL_READ_PCI_CONFIG, Words({0, 0, 0, 0, 0, 0}), 255, kBad, kBad,
       0},
      {"config_bus_1", IOCTL_READ_PCI_CONFIG, Words({1, 0, 0, 0, 0, 0}), 256, kBad, kBad, 0},
      {"config_bus_0x100", IOCTL_READ_PCI_CONFIG, Words({0x100, 0, 0, 0, 0, 0}), 256, kBad, kBad,
       0},
      {"config_device_30", IOCTL_READ_PCI_CONFIG, Words({0, 30, 0, 0, 0, 0}), 256, kPending, kOk,
       256},
      {"config_device_31", IOCTL_READ_PCI_CONFIG, Words({0, 31, 0, 0, 0, 0}), 256, kBad, kBad,
       0},
      {"config_function_6", IOCTL_READ_PCI_CONFIG, Words({0, 0, 6, 0, 0, 0}), 256, kPending, kOk,
       256},
      {"config_function_7", IOCTL_READ_PCI_CONFIG, Words({0, 0, 7, 0, 0, 0}), 256, kBad, kBad,
       0},
      // System information: output >= 1024; without an SMBIOS table it fails.
      {"sysinfo_output_1023", IOCTL_GET_SYSTEM_INFO, {}, 1023, kBad, kBad, 0},
      {"sysinfo_no_table", IOCTL_GET_SYSTEM_INFO, {}, 1024, STATUS_UNSUCCESSFUL,
       STATUS_UNSUCCESSFUL, 0},
      // Codes outside the table, even of this device type.
      {"function_0x80A", 0x9C406028u, Words({0}), 1024, STATUS_NOT_IMPLEMENTED,
       STATUS_NOT_IMPLEMENTED, 0},
      {"spd_code_other_method", IOCTL_READ_SPD | 1u, {0, 0}, 80, STATUS_NOT_IMPLEMENTED,
       STATUS_NOT_IMPLEMENTED, 0},
      {"other_device_type", 0x00226000u, {0, 0}, 80, STATUS_NOT_IMPLEMENTED,
       STATUS_NOT_IMPLEMENTED, 0},
  };
  return cases;
}

class ChecksTest : public DriverTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(ChecksTest, CheckDecidesHowTheRequestEnds) {
  const CheckCase& c = GetParam();
  LoadOn("nosmbus");
  const host::RequestResult result = Send(c.code, c.input, c.outputLength);
  EXPECT_EQ(result.Returned, c.returned);
  EXPECT_EQ(result.Status, c.completed);
  EXPECT_EQ(result.Information, c.information);
}

INSTANTIATE_TEST_SUITE_P(Requests, ChecksTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
