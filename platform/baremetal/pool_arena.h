// The pool of the bare-metal image: a fixed arena carved from the front, with
// freed blocks kept on a list and handed out again first fit. Every block
// carries its tag; the arena counts what is live so that a run can check for
// leaks. A plain record with no constructor: zero is "not set up yet".
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace baremetal {

struct PoolBlock;

struct PoolArena {
  uint8_t* Base;
  uint32_t Size;
  uint32_t Used;        // bytes carved from the front so far
  PoolBlock* FreeList;  // freed blocks, most recent first
  uint32_t LiveBlocks;  // allocated and not yet freed
  uint32_t LiveBytes;   // payload bytes of the live blocks, as asked for
  uint32_t PeakBytes;
  uint32_t BadFrees;  // pointers that were not live blocks of this arena
};

// Payloads are aligned to this, and every block is a multiple of it.
constexpr uint32_t kPoolAlignment = 16;

// Sets up the arena over `memory` (any alignment; the first aligned byte on
// is used).
void PoolArenaInit(PoolArena* arena, void* memory, uint32_t size);

// A block of at least `size` bytes tagged `tag`, or null when the arena has no
// room. Size 0 gets a block of its own as well.
void* PoolArenaAlloc(PoolArena* arena, uint32_t size, uint32_t tag);

// Returns a block to the arena. Null is ignored; a pointer that is not a live
// block of this arena (a double free, a stray pointer) is counted in BadFrees
// and otherwise ignored.
void PoolArenaFree(PoolArena* arena, void* pointer);

// The tag a live block was allocated with, 0 for anything else.
uint32_t PoolArenaTag(const PoolArena* arena, const void* pointer);

}  // namespace baremetal
