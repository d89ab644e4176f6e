// How the client reaches the driver: one device-control request at a time.
// The Windows transport sends it with DeviceIoControl; an in-process
// transport can hand it to the driver core directly.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dimmio {

struct ControlReply {
  bool Completed = false;       // the request completed with a success status
  uint32_t Error = 0;           // when not: the transport's error value
  std::string ErrorText;        // ... and what it means
  std::vector<uint8_t> Output;  // the bytes the driver returned (its Information count)
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Sends `code` with `input` and an output buffer of `outputLength` bytes.
  virtual ControlReply Control(uint32_t code, std::span<const uint8_t> input,
                               uint32_t outputLength) = 0;
};

}  // namespace dimmio
