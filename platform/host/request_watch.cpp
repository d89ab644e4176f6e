#include "platform/host/request_watch.h"

#include <algorithm>
#include <atomic>

#include "driver/status.h"

namespace host {

namespace {

constexpr int32_t kInvalidDeviceRequest = static_cast<int32_t>(0xC0000010u);

std::atomic<uint64_t> g_completions{0};

// Statuses of requests the driver must not have written into.
bool LeavesBufferAlone(int32_t status) {
  return status == STATUS_INVALID_PARAMETER || status == STATUS_NOT_IMPLEMENTED ||
         status == STATUS_INSUFFICIENT_RESOURCES || status == STATUS_CANCELLED ||
         status == kInvalidDeviceRequest;
}

}  // namespace

void RequestWatch::Prepare(const std::vector<uint8_t>& input, uint32_t outputLength, uint8_t fill) {
  const auto inputLength = static_cast<uint32_t>(input.size());
  BufferLength = std::max(inputLength, outputLength);
  Buffer.assign(BufferLength + kGuardBytes, kGuardFill);
  std::fill_n(Buffer.begin(), BufferLength, fill);
  std::copy(input.begin(), input.end(), Buffer.begin());
  Original = Buffer;
  DispatchThread = std::this_thread::get_id();
}

bool RequestWatch::Completing(const std::string& what, int32_t status, bool pendingMarked) {
  if (++Completions > 1) {
    Violations.push_back(what + ": completed more than once");
    return false;
  }
  if (std::this_thread::get_id() != DispatchThread && !pendingMarked) {
    Violations.push_back(what + ": completed by another thread without being marked pending");
  }
  CompletionSequence = ++g_completions;
  BufferAtCompletion = Buffer;
  if (!std::equal(Buffer.begin() + BufferLength, Buffer.end(), Original.begin() + BufferLength)) {
    Violations.push_back(what + ": wrote past the system buffer");
  }
  if (LeavesBufferAlone(status) && Buffer != Original) {
    Violations.push_back(what + ": wrote into the buffer of a request it refused");
  }
  Done.notify_all();
  return true;
}

void RequestWatch::Returned(const std::string& what, int32_t returned, bool pendingMarked,
                            int32_t completedStatus, bool completedPendingMarked) {
  DispatchReturned = true;
  DispatchStatus = returned;
  if (returned == STATUS_PENDING) {
    // The worker may have completed it already; the mark must be there either way.
    if (!pendingMarked && !completedPendingMarked) {
      Violations.push_back(what + ": returned STATUS_PENDING without marking it pending");
    }
  } else {
    if (Completions == 0) {
      Violations.push_back(what + ": returned a final status without completing it");
    } else if (completedStatus != returned) {
      Violations.push_back(what + ": returned a status other than its completion status");
    }
    if (completedPendingMarked) {
      Violations.push_back(what + ": marked pending but completed in dispatch");
    }
  }
  Done.notify_all();
}

void RequestWatch::PublishedUnmarked(const std::string& what) {
  Violations.push_back(what + ": took the queue lock before marking the request pending");
}

void RequestWatch::Check(const std::string& what, bool packetUnchanged,
                         std::vector<std::string>* out) const {
  for (const std::string& v : Violations) out->push_back(v);
  if (Completions == 0) {
    out->push_back(what + ": never completed");
    return;
  }
  if (!packetUnchanged) out->push_back(what + ": request packet changed after completion");
  if (Buffer != BufferAtCompletion) out->push_back(what + ": buffer changed after completion");
}

}  // namespace host
