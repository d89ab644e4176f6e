#include "platform/baremetal/pool_arena.h"

namespace baremetal {

// Sits right before each payload; 16 bytes, so payloads stay aligned.
struct PoolBlock {
  uint32_t Capacity;   // payload bytes this block can hold
  uint32_t Requested;  // payload bytes asked for by the live allocation
  uint32_t Tag;
  uint32_t State;   // kLive or kFree; anything else is not a block
  PoolBlock* Next;  // next free block, while on the free list
};

namespace {

constexpr uint32_t kLive = 0x4C495645u;  // "LIVE"
constexpr uint32_t kFree = 0x46524545u;  // "FREE"
constexpr uint32_t kHeader = (sizeof(PoolBlock) + kPoolAlignment - 1) & ~(kPoolAlignment - 1);

uint32_t RoundUp(uint32_t n) {
  return (n + kPoolAlignment - 1) & ~(kPoolAlignment - 1);
}

PoolBlock* BlockOf(const PoolArena* arena, const void* pointer) {
  const auto address = reinterpret_cast<uintptr_t>(pointer);
  const auto base = reinterpret_cast<uintptr_t>(arena->Base);
  if (pointer == nullptr || arena->Base == nullptr) return nullptr;
  if (address < base + kHeader || address > base + arena->Used) return nullptr;
  if ((address - base) % kPoolAlignment != 0) return nullptr;
  return reinterpret_cast<PoolBlock*>(address - kHeader);
}

void* Hand(PoolArena* arena, PoolBlock* block, uint32_t size, uint32_t tag) {
  block->Requested = size;
  block->Tag = tag;
  block->State = kLive;
  block->Next = nullptr;
  ++arena->LiveBlocks;
  arena->LiveBytes += size;
  if (arena->LiveBytes > arena->PeakBytes) arena->PeakBytes = arena->LiveBytes;
  return reinterpret_cast<uint8_t*>(block) + kHeader;
}

}  // namespace

void PoolArenaInit(PoolArena* arena, void* memory, uint32_t size) {
  const auto address = reinterpret_cast<uintptr_t>(memory);
  const uint32_t skip =
      static_cast<uint32_t>((kPoolAlignment - address % kPoolAlignment) % kPoolAlignment);
  *arena = PoolArena{};
  if (size <= skip) return;
  arena->Base = static_cast<uint8_t*>(memory) + skip;
  arena->Size = (size - skip) & ~(kPoolAlignment - 1);
}

void* PoolArenaAlloc(PoolArena* arena, uint32_t size, uint32_t tag) {
  if (arena->Base == nullptr || size > arena->Size) return nullptr;
  const uint32_t capacity = RoundUp(size == 0 ? 1 : size);

  // First fit among the freed blocks.
  for (PoolBlock** link = &arena->FreeList; *link != nullptr; link = &(*link)->Next) {
    PoolBlock* block = *link;
    if (block->Capacity >= capacity) {
      *link = block->Next;
      return Hand(arena, block, size, tag);
    }
  }

  if (arena->Size - arena->Used < kHeader + capacity) return nullptr;
  auto* block = reinterpret_cast<PoolBlock*>(arena->Base + arena->Used);
  arena->Used += kHeader + capacity;
  block->Capacity = capacity;
  return Hand(arena, block, size, tag);
}

void PoolArenaFree(PoolArena* arena, void* pointer) {
  if (pointer == nullptr) return;
  PoolBlock* block = BlockOf(arena, pointer);
  if (block == nullptr || block->State != kLive) {
    ++arena->BadFrees;
    return;
  }
  block->State = kFree;
  --arena->LiveBlocks;
  arena->LiveBytes -= block->Requested;
  block->Next = arena->FreeList;
  arena->FreeList = block;
}

uint32_t PoolArenaTag(const PoolArena* arena, const void* pointer) {
  const PoolBlock* block = BlockOf(arena, pointer);
  return block != nullptr && block->State == kLive ? block->Tag : 0;
}

}  // namespace baremetal
