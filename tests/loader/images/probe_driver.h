// The request codes of the test driver that breaks the rules of requests,
// shared by the image and the tests.
#pragma once

#include <stdint.h>

namespace probe {

// Device type 0x8123, buffered; function numbers from 0x980.
constexpr uint32_t Code(uint32_t function) {
  return (0x8123u << 16) | (function << 2);
}

constexpr uint32_t kCompleteTwice = Code(0x980);
constexpr uint32_t kPendingUnmarked = Code(0x981);     // STATUS_PENDING, never marked
constexpr uint32_t kRefuseAfterWrite = Code(0x982);    // writes, then STATUS_INVALID_PARAMETER
constexpr uint32_t kTouchAfterComplete = Code(0x983);  // completes, then writes the status
constexpr uint32_t kMarkAfterPublish = Code(0x984);    // takes the queue lock, then marks pending

constexpr char16_t kLinkName[] = u"\\??\\probe";

}  // namespace probe
