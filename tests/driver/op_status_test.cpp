// The status record's byte layout, as user mode reads it.
#include <gtest/gtest.h>

#include <cstring>

#include "driver/op_status.h"

namespace {

uint32_t WordAt(const uint8_t* bytes, size_t offset) {
  return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
         uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

TEST(OpStatusTest, InitWritesHeaderCodesAndCountsOnly) {
  alignas(4) uint8_t buffer[76];
  std::memset(buffer, 0xCC, sizeof buffer);
  InitOpStatus(reinterpret_cast<OpStatus*>(buffer));
  EXPECT_EQ(WordAt(buffer, 0), 1u);
  EXPECT_EQ(WordAt(buffer, 4), 0u);
  EXPECT_EQ(WordAt(buffer, 8), 0u);
  EXPECT_EQ(WordAt(buffer, 36), 0u);
  EXPECT_EQ(WordAt(buffer, 40), 0u);
  for (size_t offset : {12u, 32u, 44u, 72u}) {
    EXPECT_EQ(WordAt(buffer, offset), 0xCCCCCCCCu) << "detail word at " << offset;
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

TEST(OpStatusTest, ACountOfOneWritesOneDetailWord) {
  OpStatus status;
  std::memset(&status, 0xCC, sizeof status);
  InitOpStatus(&status);
  SetOpFailure(&status, OpError::ControllerAlloc, 1, 36);
  EXPECT_EQ(status.Detail[0], 36u);
  EXPECT_EQ(status.Detail[1], 0xCCCCCCCCu);
}

}  // namespace
