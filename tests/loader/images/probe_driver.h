// The test driver that exercises every kernel call the loader implements:
// its device names and request codes, shared by the image and the tests.
#pragma once

#include <stdint.h>

namespace probe {

// Device type 0x8123, buffered; function numbers from 0x900.
constexpr uint32_t Code(uint32_t function) {
  return (0x8123u << 16) | (function << 2);
}

// At once: in u32 physical address, u32 length; out the mapped bytes.
constexpr uint32_t kMap = Code(0x903);
// Queued: in i32 milliseconds; KeDelayExecutionThread.
constexpr uint32_t kDelay = Code(0x904);
// At once: in u32 pool type, u32 size; allocates, fills, frees; out u32 1 when
// allocated.
constexpr uint32_t kPool = Code(0x905);
// At once: DbgPrint with a string, a negative number and hex conversions.
constexpr uint32_t kPrint = Code(0x906);
// At once: in u32 desired time, u32 set; ExSetTimerResolution; out u32 its result.
constexpr uint32_t kTimerResolution = Code(0x907);

// Misbehaviour the kernel's checks must catch.
constexpr uint32_t kCompleteTwice = Code(0x980);
constexpr uint32_t kPendingUnmarked = Code(0x981);     // queued without IoMarkIrpPending
constexpr uint32_t kRefuseAfterWrite = Code(0x982);    // writes, then STATUS_INVALID_PARAMETER
constexpr uint32_t kTouchAfterComplete = Code(0x983);  // completes, then writes the status
constexpr uint32_t kMarkAfterPublish = Code(0x984);    // queues, then marks pending

constexpr char16_t kDeviceName[] = u"\\Device\\probe0";
constexpr char16_t kLinkName[] = u"\\??\\probe";

}  // namespace probe
