#include "inprocess/inprocess_transport.h"

#include <cstdio>

#include "dimmio/client.h"
#include "driver/driver_entry.h"

namespace dimmio {

namespace {

std::string StatusText(NtStatus status) {
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", static_cast<uint32_t>(status));
  const char* name = StatusName(static_cast<uint32_t>(status));
  return name != nullptr ? std::string(name) + " (" + number + ")" : std::string(number);
}

}  // namespace

InProcessTransport::InProcessTransport(const sim::Board& board)
    : board_(board), attach_(machine_) {
  models_ = sim::Build(board_, machine_);
}

std::unique_ptr<InProcessTransport> InProcessTransport::Open(const sim::Board& board,
                                                             std::string* error) {
  std::unique_ptr<InProcessTransport> transport(new InProcessTransport(board));
  const NtStatus loaded = transport->io_.Load(&DriverEntry);
  if (loaded != STATUS_SUCCESS) {
    *error = "the driver did not load on board " + board.name + ": " + StatusText(loaded);
    return nullptr;
  }
  const host::IoManager::OpenResult opened = transport->io_.Open(kLinkName);
  if (opened.Status != STATUS_SUCCESS) {
    *error = "cannot open the driver's device on board " + board.name + ": " +
             StatusText(opened.Status);
    return nullptr;
  }
  transport->device_ = opened.Device;
  return transport;
}

InProcessTransport::~InProcessTransport() { Close(); }

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
  const host::RequestResult result =
      io_.Send(device_, code, std::vector<uint8_t>(input.begin(), input.end()), outputLength);
  ControlReply reply;
  if (result.Status != STATUS_SUCCESS) {
    reply.Error = static_cast<uint32_t>(result.Status);
    reply.ErrorText = StatusText(result.Status);
    return reply;
  }
  reply.Completed = true;
  reply.Output = result.Output;
  return reply;
}

}  // namespace dimmio
