// The transport of a Windows program: the driver's device opened with
// CreateFile, each request sent with DeviceIoControl.
#pragma once

#include <memory>
#include <string>

#include "dimmio/transport.h"

namespace dimmio {

class WindowsTransport final : public Transport {
 public:
  // Opens "\\.\Global\dimmio" for reading and writing; null with the reason in
  // `error`, and the Windows error in `windowsError`, when the driver is not
  // running or access is denied.
  static std::unique_ptr<WindowsTransport> Open(std::string* error, unsigned long* windowsError);
  ~WindowsTransport() override;

  // A request the driver completes with a failure status gives that status
  // and its name, as the in-process transport does: the system hands the
  // program a Windows error in its place, which is turned back into the
  // driver's status where the driver is the only one that uses it.
  ControlReply Control(uint32_t code, std::span<const uint8_t> input,
                       uint32_t outputLength) override;

 private:
  explicit WindowsTransport(void* handle) : handle_(handle) {}
  void* handle_;
};

// "Windows error 2: The system cannot find the file specified".
std::string WindowsErrorText(unsigned long error);

}  // namespace dimmio
