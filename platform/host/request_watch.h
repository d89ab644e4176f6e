// The rules an I/O manager holds a driver to for every request it sends,
// whatever its request packet looks like: the host I/O manager (host build)
// and the loader's kernel (the shipped image) both keep one RequestWatch per
// request and report through it. The system buffer is followed by guard
// bytes; each rule broken adds a line to Violations.
#pragma once

#include <stdint.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace host {

constexpr uint8_t kUnusedBufferFill = 0xEE;  // system buffer bytes past the input
constexpr uint8_t kGuardFill = 0xFD;         // guard bytes past the system buffer
constexpr uint32_t kGuardBytes = 16;

struct RequestWatch {
  std::vector<uint8_t> Buffer;    // system buffer plus guard bytes
  std::vector<uint8_t> Original;  // what it held when the request was sent
  uint32_t BufferLength = 0;      // max(input, output)

  std::mutex Lock;
  std::condition_variable Done;
  int Completions = 0;
  bool DispatchReturned = false;
  int32_t DispatchStatus = 0;
  std::thread::id DispatchThread;
  // At the first completion: the order among all completions, and the buffer.
  uint64_t CompletionSequence = 0;
  std::vector<uint8_t> BufferAtCompletion;
  std::vector<std::string> Violations;

  // Fills the buffer (the input, then `fill` up to the larger length, then
  // the guard) and notes the dispatching thread. A pool buffer holds
  // whatever it last held; two fills tell what the driver wrote from what it
  // left.
  void Prepare(const std::vector<uint8_t>& input, uint32_t outputLength,
               uint8_t fill = kUnusedBufferFill);
  void* SystemBuffer() { return BufferLength > 0 ? Buffer.data() : nullptr; }

  // The rest is called with Lock held; `what` names the request in reports.
  // At completion with `status`; false (and a violation) when it was
  // completed before.
  bool Completing(const std::string& what, int32_t status, bool pendingMarked);
  // When the entry routine returned `returned`; `completedStatus` and
  // `completedPendingMarked` are as the completion left them.
  void Returned(const std::string& what, int32_t returned, bool pendingMarked,
                int32_t completedStatus, bool completedPendingMarked);
  // The dispatching thread made the request visible to the worker (took or
  // released the queue's lock) before marking it pending.
  void PublishedUnmarked(const std::string& what);
  // After the driver is done: never completed, or touched after completion.
  void Check(const std::string& what, bool packetUnchanged, std::vector<std::string>* out) const;
};

}  // namespace host
