// The status record's byte layout, as user mode reads it.
#include <gtest/gtest.h>

#include <cstring>

#include "driver/op_status.h"

namespace {

uint32_t WordAt(const uint8_t* bytes, size_t offset) {
  return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
         uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

TEST(OpStatusTest, InitWritesEveryWordOfTheRecord) {
  alignas(4) uint8_t buffer[76];
  std::memset(buffer, 0xCC, sizeof buffer);
  InitOpStatus(reinterpret_cast<OpStatus*>(buffer));
  EXPECT_EQ(WordAt(buffer, 0), 1u) << "header";
  for (size_t offset = 4; offset < 76; offset += 4) {
    EXPECT_EQ(WordAt(buffer, offset), 0u) << "word at " << offset;
  }
}

TEST(OpStatusTest, HalvesAreWrittenIndependentlyAtTheirOffsets) {
  alignas(4) uint8_t buffer[76] = {};
  auto* status = reinterpret_cast<OpStatus*>(buffer);
  InitOpStatus(status);
  SetHwFailure(status, OpError::ReadWordFailed, 0x44);
  SetOpFailure(status, OpError::SpdBlockRead);
  EXPECT_EQ(WordAt(buffer, 4), 14u);
  EXPECT_EQ(WordAt(buffer, 8), 0u);
  EXPECT_EQ(WordAt(buffer, 36), 18u);
  EXPECT_EQ(WordAt(buffer, 40), 1u);
  EXPECT_EQ(WordAt(buffer, 44), 0x44u);

  SetOpFailure(status, OpError::SmbiosScanMap, 2, 0xF0000, 0x10000);
  EXPECT_EQ(WordAt(buffer, 4), 33u);
  EXPECT_EQ(WordAt(buffer, 8), 2u);
  EXPECT_EQ(WordAt(buffer, 12), 0xF0000u);
  EXPECT_EQ(WordAt(buffer, 16), 0x10000u);
  EXPECT_EQ(WordAt(buffer, 36), 18u) << "the hardware half is not cleared by a later failure";
}

TEST(OpStatusTest, DetailWordsBeyondTheCountAreZero) {
  OpStatus status;
  std::memset(&status, 0xCC, sizeof status);
  InitOpStatus(&status);
  SetOpFailure(&status, OpError::SmbiosScanMap, 2, 0xF0000, 0x10000);
  SetOpFailure(&status, OpError::ControllerAlloc, 1, 36);
  SetHwFailure(&status, OpError::ReadByteFailed, 0x44);
  EXPECT_EQ(status.Detail[0], 36u);
  for (int i = 1; i < 6; ++i) EXPECT_EQ(status.Detail[i], 0u) << "detail word " << i;
  for (int i = 1; i < 8; ++i) EXPECT_EQ(status.HwDetail[i], 0u) << "hardware detail word " << i;
}

}  // namespace
