#include "windows/windows_transport.h"

#include <windows.h>

#include "dimmio/client.h"

namespace dimmio {

namespace {

// The completion statuses the driver uses and the Windows errors the system
// turns them into for DeviceIoControl's caller.
struct StatusError {
  uint32_t Status;
  DWORD Error;
};

constexpr StatusError kDriverStatuses[] = {
    {DIMMIO_STATUS_UNSUCCESSFUL, ERROR_GEN_FAILURE},
    {DIMMIO_STATUS_NOT_IMPLEMENTED, ERROR_INVALID_FUNCTION},
    {DIMMIO_STATUS_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
    {DIMMIO_STATUS_INSUFFICIENT_RESOURCES, ERROR_NO_SYSTEM_RESOURCES},
    {DIMMIO_STATUS_CANCELLED, ERROR_OPERATION_ABORTED},
};

}  // namespace

std::string WindowsErrorText(unsigned long error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 ? std::string(text, length) : std::string();
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return "Windows error " + std::to_string(error) + (message.empty() ? "" : ": " + message);
}

std::unique_ptr<WindowsTransport> WindowsTransport::Open(std::string* error,
                                                         unsigned long* windowsError) {
  HANDLE handle = CreateFileA(DIMMIO_GLOBAL_DEVICE_PATH, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *windowsError = GetLastError();
    *error = "cannot open " DIMMIO_GLOBAL_DEVICE_PATH ": " + WindowsErrorText(*windowsError);
    return nullptr;
  }
  return std::unique_ptr<WindowsTransport>(new WindowsTransport(handle));
}

WindowsTransport::~WindowsTransport() {
  CloseHandle(static_cast<HANDLE>(handle_));
}

ControlReply WindowsTransport::Control(uint32_t code, std::span<const uint8_t> input,
                                       uint32_t outputLength) {
  ControlReply reply;
  reply.Output.resize(outputLength);
  DWORD returned = 0;
  // The handle is not opened for overlapped I/O, so a request that the
  // driver queues is waited for here.
  const BOOL ok = DeviceIoControl(
      static_cast<HANDLE>(handle_), code, const_cast<uint8_t*>(input.data()),
      static_cast<DWORD>(input.size()), outputLength > 0 ? reply.Output.data() : nullptr,
      outputLength, &returned, nullptr);
  if (!ok) {
    const DWORD error = GetLastError();
    reply.Error = error;
    reply.ErrorText = WindowsErrorText(error);
    for (const StatusError& s : kDriverStatuses) {
      if (s.Error == error) {
        reply.Error = s.Status;
        reply.ErrorText = CompletionText(s.Status);
      }
    }
    reply.Output.clear();
    return reply;
  }
  reply.Completed = true;
  reply.Output.resize(returned < outputLength ? returned : outputLength);
  return reply;
}

}  // namespace dimmio
