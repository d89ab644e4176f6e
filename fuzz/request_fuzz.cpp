// Sequences of device-control requests (any code, any lengths, any bytes; the
// byte form is below) sent through the host I/O manager to the driver loaded
// on a simulated board. What must hold, whatever comes:
//
//  - the I/O manager's watch finds nothing (completed once, pending marked
//    before the worker could see it, a refused request's buffer untouched,
//    nothing written past the buffer or after completion);
//  - Information never exceeds the output length;
//  - unload leaves no thread, device, link, pool block or mapping;
//  - the sequence sent again on a second fresh load, into system buffers
//    filled with another pattern, gets the same statuses, the same
//    Information and the same bytes in [0, Information): a reply byte that
//    follows the fill was never written by the driver.
#include <stddef.h>
#include <stdint.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/driver_entry.h"
#include "driver/ioctl.h"
#include "driver/requests.h"
#include "tests/support/request_table.h"
#include "platform/host/host_kernel.h"
#include "platform/host/io_manager.h"
#include "sim/board.h"
#include "sim/machine.h"

namespace {

// The byte form of a request sequence:
//
//   byte 0          board, an index into sim::Boards() (modulo their number)
//   then, up to kMaxRequests times:
//     byte          code selector, modulo n + 2 for the n codes of the
//                   request table: below n those codes in the order of their
//                   function numbers; n: any code, 4 bytes follow
//                   (little-endian); n + 1: device type 0x9C40 with any low
//                   16 bits, 2 bytes follow
//     byte          input length (0-255)
//     2 bytes       output length, little-endian, below kOutputLimit
//     input bytes   as many as the input length (zeros where the data ends)
//
// Output lengths stop below kOutputLimit: past the 5208 bytes of a whole
// device table no check or envelope changes, and an SPD read that long only
// costs time.
constexpr size_t kMaxRequests = 24;
constexpr uint32_t kOutputLimit = 0x2000;

struct ScriptRequest {
  uint32_t code = 0;
  std::vector<uint8_t> input;
  uint32_t outputLength = 0;
};

struct Script {
  size_t board = 0;
  std::vector<ScriptRequest> requests;
};

const std::vector<const RequestRow*> kTable = testsupport::RequestTableRows();
const auto kTableCount = static_cast<uint8_t>(kTable.size());
const uint8_t kAnyCode = kTableCount;            // 4 code bytes follow
const uint8_t kOurDeviceType = kTableCount + 1;  // 2 low code bytes follow
const uint8_t kSelectors = kOurDeviceType + 1;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t Le(int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(Byte()) << (8 * i);
    return value;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Any bytes make a script; an empty input makes none.
bool Decode(const uint8_t* data, size_t size, size_t boardCount, Script* script) {
  Reader in(data, size);
  if (in.AtEnd() || boardCount == 0) return false;
  script->board = in.Byte() % boardCount;
  script->requests.clear();
  while (!in.AtEnd() && script->requests.size() < kMaxRequests) {
    ScriptRequest request;
    const uint8_t selector = in.Byte() % kSelectors;
    if (selector < kTableCount) {
      request.code = kTable[selector]->Code;
    } else if (selector == kAnyCode) {
      request.code = in.Le(4);
    } else {  // kOurDeviceType
      request.code = static_cast<uint32_t>(kDimmioDeviceType) << 16 | in.Le(2);
    }
    const uint8_t inputLength = in.Byte();
    request.outputLength = in.Le(2) % kOutputLimit;
    for (uint8_t i = 0; i < inputLength; ++i) request.input.push_back(in.Byte());
    script->requests.push_back(std::move(request));
  }
  return true;
}

constexpr uint8_t kFirstFill = 0xEE;
constexpr uint8_t kSecondFill = 0x11;

struct Outcome {
  NtStatus status = 0;
  NtStatus returned = 0;
  uint32_t information = 0;
  std::vector<uint8_t> output;
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "request_fuzz: %s\n", what.c_str());
  __builtin_trap();
}

std::string Describe(size_t index, const ScriptRequest& request) {
  char text[96];
  std::snprintf(text, sizeof text, "request %zu (code 0x%08X, in %zu, out %u)", index, request.code,
                request.input.size(), request.outputLength);
  return text;
}

std::vector<Outcome> RunOnce(const Script& script, uint8_t fill) {
  sim::Machine machine;
  sim::AttachScope attach(machine);
  sim::Build(sim::Boards()[script.board], machine);
  std::vector<Outcome> outcomes;
  {
    host::IoManager io;
    if (io.Load(&DriverEntry) != STATUS_SUCCESS) Fail("the driver did not load");
    const host::IoManager::OpenResult opened = io.Open(kLinkName);
    if (opened.Status != STATUS_SUCCESS) Fail("the device did not open");

    for (size_t i = 0; i < script.requests.size(); ++i) {
      const ScriptRequest& request = script.requests[i];
      const host::RequestResult r =
          io.Send(opened.Device, request.code, request.input, request.outputLength, fill);
      if (r.Information > request.outputLength) {
        Fail(Describe(i, request) + ": Information " + std::to_string(r.Information) +
             " exceeds the output length");
      }
      outcomes.push_back({r.Status, r.Returned, r.Information, r.Output});
    }

    io.Close(opened.Device);
    io.Unload();
    const std::string watch = io.Verify();
    if (!watch.empty()) Fail("the request watch found:\n" + watch);
    if (io.DeviceCount() != 0 || io.LinkCount() != 0) Fail("unload left a device or a link");
  }
  if (host::LiveThreadObjects() != 0) Fail("unload left a thread");
  const std::string leaks = machine.LeakReport();
  if (!leaks.empty()) Fail("unload left pool or mappings:\n" + leaks);
  return outcomes;
}

std::string FirstDifference(const Outcome& a, const Outcome& b) {
  if (a.status != b.status || a.returned != b.returned) return "the statuses differ";
  if (a.information != b.information) return "Information differs";
  for (size_t at = 0; at < a.output.size(); ++at) {
    if (a.output[at] != b.output[at]) {
      char text[96];
      std::snprintf(text, sizeof text,
                    "reply byte %zu is 0x%02X after fill 0x%02X, 0x%02X after 0x%02X", at,
                    a.output[at], kFirstFill, b.output[at], kSecondFill);
      return text;
    }
  }
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Script script;
  if (!Decode(data, size, sim::Boards().size(), &script)) return 0;
  const std::vector<Outcome> first = RunOnce(script, kFirstFill);
  const std::vector<Outcome> second = RunOnce(script, kSecondFill);
  for (size_t i = 0; i < first.size(); ++i) {
    const std::string difference = FirstDifference(first[i], second[i]);
    if (!difference.empty()) {
      Fail(Describe(i, script.requests[i]) + " on board " + sim::Boards()[script.board].name +
           ", sent twice on fresh loads: " + difference);
    }
  }
  return 0;
}
