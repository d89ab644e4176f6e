// The transport of a Windows program: the driver's device opened with
// CreateFile, each request sent with DeviceIoControl.
#pragma once

#include <memory>
#include <string>

#include "dimmio/transport.h"

namespace dimmio {

class WindowsTransport final : public Transport {
 public:
  // Opens "\\.\dimmio" for reading and writing; null with the reason in
  // `error` when the driver is not running or access is denied.
  static std::unique_ptr<WindowsTransport> Open(std::string* error);
  ~WindowsTransport() override;

  ControlReply Control(uint32_t code, std::span<const uint8_t> input,
                       uint32_t outputLength) override;

 private:
  explicit WindowsTransport(void* handle) : handle_(handle) {}
  void* handle_;
};

}  // namespace dimmio
