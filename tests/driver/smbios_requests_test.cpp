// The three SMBIOS requests end to end: the slot and module counts served by
// the worker, the system information report in the caller's thread, all from
// the table the board's BIOS left in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "driver/op_status.h"
#include "smbios/smbios_cache.h"
#include "support/driver_test.h"

namespace {

using testsupport::DriverTest;
using testsupport::WordAt;

class SmbiosRequestTest : public DriverTest {
 protected:
  uint8_t Count(uint32_t code, uint32_t* statusCode) {
    const host::RequestResult r = Send(code, {}, 80);
    EXPECT_EQ(r.Returned, STATUS_PENDING);
    EXPECT_EQ(r.Status, STATUS_SUCCESS);
    EXPECT_EQ(r.Information, 80u);
    *statusCode = WordAt(r.Output, 4 + 4);
    return r.Output[0];
  }
};

std::string Field(const std::vector<uint8_t>& report, int field) {
  const char* text = reinterpret_cast<const char*>(report.data() + field * 128);
  return std::string(text, strnlen(text, 128));
}

TEST_F(SmbiosRequestTest, Ich5CountsAndReportComeFromItsTable) {
  LoadOn("ich5");
  const sim::SmbiosProfile& p = sim::FindBoard("ich5")->smbios;
  uint32_t code = 0xFFFF;
  EXPECT_EQ(Count(IOCTL_GET_MEMORY_SLOT_COUNT, &code), 8);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Count(IOCTL_GET_MEMORY_MODULE_COUNT, &code), 6);
  EXPECT_EQ(code, 0u);
  const host::RequestResult r = Send(IOCTL_GET_SYSTEM_INFO, {}, 1024);
  ASSERT_EQ(r.Status, STATUS_SUCCESS);
  ASSERT_EQ(r.Information, 1024u);
  const std::string expected[] = {p.system.manufacturer, p.system.product, p.system.version,
                                  p.system.serial,       p.board.manufacturer, p.board.product,
                                  p.board.version,       p.board.serial};
  for (int f = 0; f < 8; ++f) EXPECT_EQ(Field(r.Output, f), expected[f]) << f;
}

TEST_F(SmbiosRequestTest, Piix4CountsComeFromControllerAndModuleStructures) {
  LoadOn("piix4");
  uint32_t code = 0xFFFF;
  EXPECT_EQ(Count(IOCTL_GET_MEMORY_SLOT_COUNT, &code), 4);
  EXPECT_EQ(Count(IOCTL_GET_MEMORY_MODULE_COUNT, &code), 3);
}

TEST_F(SmbiosRequestTest, WithoutATableOnlyTheFirstQueryCarriesTheReason) {
  LoadOn("nosmbus");
  uint32_t code = 0;
  EXPECT_EQ(Count(IOCTL_GET_MEMORY_MODULE_COUNT, &code), 0);
  EXPECT_EQ(code, OpError::SmbiosNoEntryPoint);
  EXPECT_EQ(Count(IOCTL_GET_MEMORY_SLOT_COUNT, &code), 0);
  EXPECT_EQ(code, 0u);
  const host::RequestResult r = Send(IOCTL_GET_SYSTEM_INFO, {}, 1024);
  EXPECT_EQ(r.Status, STATUS_UNSUCCESSFUL);
  EXPECT_EQ(r.Information, 0u);
}

TEST_F(SmbiosRequestTest, AFailedScanMappingReachesTheCountReply) {
  machine_.FailMapAt(0xF0000);
  LoadOn("ich5");
  const host::RequestResult r = Send(IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80);
  EXPECT_EQ(r.Output[0], 0);
  EXPECT_EQ(WordAt(r.Output, 4 + 4), OpError::SmbiosScanMap);
  EXPECT_EQ(WordAt(r.Output, 4 + 8), 2u);
  EXPECT_EQ(WordAt(r.Output, 4 + 12), 0xF0000u);
  EXPECT_EQ(WordAt(r.Output, 4 + 16), 0x10000u);
}

TEST_F(SmbiosRequestTest, EachLoadFindsTheTableAgain) {
  LoadOn("nosmbus");
  uint32_t code = 0;
  EXPECT_EQ(Count(IOCTL_GET_MEMORY_SLOT_COUNT, &code), 0);
  io_.Unload();
  sim::InstallSmbios(machine_, sim::FindBoard("ich5")->smbios);
  ASSERT_EQ(io_.Load(&DriverEntry), STATUS_SUCCESS);
  device_ = io_.Open(kLinkName).Device;
  EXPECT_EQ(Count(IOCTL_GET_MEMORY_SLOT_COUNT, &code), 8);
}

// The report in a caller's thread and a count on the worker make the first
// SMBIOS call at the same moment.
TEST_F(SmbiosRequestTest, ReportAndQueuedCountRaceForTheFirstCall) {
  LoadOn("ich5");
  const std::string product = sim::FindBoard("ich5")->smbios.system.product;
  for (int round = 0; round < 50; ++round) {
    ResetSmbiosCache();
    host::Request* count = nullptr;
    std::thread caller([&] {
      const host::RequestResult r = Send(IOCTL_GET_SYSTEM_INFO, {}, 1024);
      EXPECT_EQ(r.Status, STATUS_SUCCESS);
      EXPECT_EQ(Field(r.Output, 1), product);
    });
    count = io_.Submit(device_, IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80);
    caller.join();
    const host::RequestResult r = io_.Wait(count);
    ASSERT_EQ(r.Output[0], 8) << "round " << round;
  }
}

}  // namespace
