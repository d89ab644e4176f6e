// What the hardware primitives do beyond reaching the simulated machine,
// which every other test goes through: the byte copy and the pool's tag.
#include <array>

#include "hw/hw.h"
#include "support/sim_test.h"

namespace {

using testsupport::SimTest;

class PrimitivesTest : public SimTest {};

TEST_F(PrimitivesTest, CopyBytesOfSevenIsOneDwordAndThreeBytes) {
  std::array<uint8_t, 12> source{}, destination{};
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(0x10 + i);
  destination.fill(0xEE);
  // Unaligned on both ends, to show that nothing assumes alignment.
  CopyBytes(destination.data() + 1, source.data() + 3, 7);
  const std::array<uint8_t, 12> expected{0xEE, 0x13, 0x14, 0x15, 0x16, 0x17,
                                         0x18, 0x19, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(destination, expected);
}

TEST_F(PrimitivesTest, PoolBlocksAreTaggedAndPaged) {
  void* block = PoolAlloc(36);
  ASSERT_EQ(machine_.Outstanding().size(), 1u);
  EXPECT_EQ(machine_.Outstanding()[0].tag, kPoolTag);
  EXPECT_EQ(machine_.Outstanding()[0].type, sim::PoolType::Paged);
  PoolFree(block);
}

}  // namespace
