// The messages between a test image's hardware primitives (the x86-64 one
// and the i386 one) and the process that runs its simulated board
// (sim/bridge_server.*). Two files carry them, one each way: the image
// writes a request, then reads its reply, one at a time. Every end is a
// little-endian x86 program and the records hold 32-bit fields alone, so
// they are written as they lie in memory, the same on i386 and x86-64.
#pragma once

#include <stdint.h>

namespace bridge {

enum Op : uint32_t {
  kPortRead8 = 1,    // a: port                 -> value
  kPortRead16 = 2,   // a: port                 -> value
  kPortWrite8 = 3,   // a: port, b: value       -> 0
  kPortWrite16 = 4,  // a: port, b: value       -> 0
  kPciRead = 5,      // a: bus, b: slot, c: offset; payload: the caller's buffer
                     //   -> bytes delivered; payload: the buffer after the read
  kPciWrite = 6,     // a: bus, b: slot, c: offset; payload: the bytes -> bytes written
  kMapRead = 7,      // a: physical address, b: length -> 1 and the bytes, or 0 and none
  kDelay = 8,        // a: milliseconds          -> 0 (the board's clock moves on)
};

struct Request {
  uint32_t op;
  uint32_t a, b, c;
  uint32_t length;  // payload bytes that follow
};

struct Reply {
  uint32_t value;
  uint32_t length;  // payload bytes that follow
};

static_assert(sizeof(Request) == 20 && sizeof(Reply) == 8);

// Where the two files are, as the image names them, and as the serving
// process finds them in the Wine prefix's drive C.
#define DIMMIO_BRIDGE_DIRECTORY "dimmio-board"
#define DIMMIO_BRIDGE_REQUESTS "requests"
#define DIMMIO_BRIDGE_REPLIES "replies"

// The most one map may copy: the BIOS area the SMBIOS locator scans.
constexpr uint32_t kMaxPayload = 0x10000;

}  // namespace bridge
