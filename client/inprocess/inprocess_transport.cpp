#include "inprocess/inprocess_transport.h"

#include "dimmio/client.h"
#include "driver/driver_entry.h"

namespace dimmio {

InProcessTransport::InProcessTransport(const sim::Board& board) : board_(board), attach_(machine_) {
  models_ = sim::Build(board_, machine_);
}

std::unique_ptr<InProcessTransport> InProcessTransport::Open(const sim::Board& board,
                                                             std::string* error) {
  std::unique_ptr<InProcessTransport> transport(new InProcessTransport(board));
  const NtStatus loaded = transport->io_.Load(&DriverEntry);
  if (loaded != STATUS_SUCCESS) {
    *error = "the driver did not load on board " + board.name + ": " +
             CompletionText(static_cast<uint32_t>(loaded));
    return nullptr;
  }
  const host::IoManager::OpenResult opened = transport->io_.Open(kLinkName);
  if (opened.Status != STATUS_SUCCESS) {
    *error = "cannot open the driver's device on board " + board.name + ": " +
             CompletionText(static_cast<uint32_t>(opened.Status));
    return nullptr;
  }
  transport->device_ = opened.Device;
  transport->handle_ = opened.Handle;
  return transport;
}

InProcessTransport::~InProcessTransport() {
  Close();
}

std::string InProcessTransport::Close() {
  if (device_ != nullptr) io_.Close(device_);
  device_ = nullptr;
  if (io_.Loaded()) io_.Unload();
  return io_.Verify() + machine_.LeakReport();
}

ControlReply InProcessTransport::Control(uint32_t code, std::span<const uint8_t> input,
                                         uint32_t outputLength) {
  if (device_ == nullptr) {
    ControlReply closed;
    closed.ErrorText = "the driver's device is closed";
    return closed;
  }
  // Through the administrator's handle: the I/O manager checks each code's
  // access bits against it, as Windows does for dimmio.exe.
  const host::RequestResult result = io_.Wait(
      io_.Submit(handle_, code, std::vector<uint8_t>(input.begin(), input.end()), outputLength));
  ControlReply reply;
  if (result.Status != STATUS_SUCCESS) {
    reply.Error = static_cast<uint32_t>(result.Status);
    reply.ErrorText = CompletionText(static_cast<uint32_t>(result.Status));
    return reply;
  }
  reply.Completed = true;
  reply.Output = result.Output;
  return reply;
}

}  // namespace dimmio
