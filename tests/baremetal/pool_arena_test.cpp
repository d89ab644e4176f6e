// The bare-metal image's pool: alignment, reuse, exhaustion and the guard
// against frees of things that are not live blocks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/baremetal/pool_arena.h"

namespace {

using baremetal::PoolArena;

constexpr uint32_t kTag = 0x6F696D64u;

class PoolArenaTest : public ::testing::Test {
 protected:
  // An odd start, to check that the arena aligns its blocks itself.
  void SetUp() override { baremetal::PoolArenaInit(&arena_, memory_.data() + 3, 4096); }

  void* Alloc(uint32_t size) { return baremetal::PoolArenaAlloc(&arena_, size, kTag); }
  void Free(void* p) { baremetal::PoolArenaFree(&arena_, p); }

  std::vector<uint8_t> memory_ = std::vector<uint8_t>(4096 + 64);
  PoolArena arena_;
};

TEST_F(PoolArenaTest, BlocksAreAlignedDistinctAndTagged) {
  std::vector<uint8_t*> blocks;
  for (uint32_t size : {1u, 36u, 16u, 0u, 100u}) {
    auto* p = static_cast<uint8_t*>(Alloc(size));
    ASSERT_NE(p, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % baremetal::kPoolAlignment, 0u) << size;
    EXPECT_EQ(baremetal::PoolArenaTag(&arena_, p), kTag);
    std::memset(p, 0xEE, size);
    blocks.push_back(p);
  }
  // Writing each block to its full size disturbed none of the others' headers.
  for (uint8_t* p : blocks) Free(p);
  EXPECT_EQ(arena_.LiveBlocks, 0u);
  EXPECT_EQ(arena_.LiveBytes, 0u);
  EXPECT_EQ(arena_.BadFrees, 0u);
  EXPECT_EQ(arena_.PeakBytes, 153u);
}

TEST_F(PoolArenaTest, FreedBlocksAreHandedOutAgain) {
  void* a = Alloc(36);
  void* b = Alloc(200);
  Free(a);
  EXPECT_EQ(Alloc(20), a);  // fits in the freed 48-byte block
  Free(b);
  const uint32_t used = arena_.Used;
  EXPECT_EQ(Alloc(64), b);  // first fit, no new carving
  EXPECT_EQ(arena_.Used, used);
}

TEST_F(PoolArenaTest, ExhaustionGivesNullAndFreeingMakesRoom) {
  std::vector<void*> blocks;
  while (void* p = Alloc(256)) blocks.push_back(p);
  EXPECT_GT(blocks.size(), 5u);
  EXPECT_EQ(Alloc(256), nullptr);
  EXPECT_EQ(Alloc(0xFFFFFFFFu), nullptr);
  Free(blocks.back());
  EXPECT_NE(Alloc(256), nullptr);
}

TEST_F(PoolArenaTest, BadFreesAreCountedAndChangeNothing) {
  void* a = Alloc(32);
  int outside = 0;
  struct Case {
    const char* what;
    void* pointer;
  } cases[] = {
      {"pointer outside the arena", &outside},
      {"pointer inside a block", static_cast<uint8_t*>(a) + 16},
      {"pointer not yet handed out", arena_.Base + arena_.Used + 32},
  };
  for (const Case& c : cases) {
    const uint32_t before = arena_.BadFrees;
    Free(c.pointer);
    EXPECT_EQ(arena_.BadFrees, before + 1) << c.what;
    EXPECT_EQ(arena_.LiveBlocks, 1u) << c.what;
  }
  Free(a);
  Free(a);  // the second free of the same block
  EXPECT_EQ(arena_.BadFrees, 4u);
  EXPECT_EQ(arena_.LiveBlocks, 0u);
  Free(nullptr);
  EXPECT_EQ(arena_.BadFrees, 4u);
  // The double free did not put the block on the free list twice.
  void* x = Alloc(32);
  void* y = Alloc(32);
  EXPECT_NE(x, y);
}

TEST(PoolArenaSetup, AnArenaWithNoRoomRefuses) {
  PoolArena arena{};
  EXPECT_EQ(baremetal::PoolArenaAlloc(&arena, 1, kTag), nullptr);  // never set up
  uint8_t tiny[8];
  baremetal::PoolArenaInit(&arena, tiny, sizeof tiny);
  EXPECT_EQ(baremetal::PoolArenaAlloc(&arena, 1, kTag), nullptr);
}

}  // namespace
