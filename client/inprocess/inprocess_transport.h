// The transport of the host build: a simulated board in this process, the
// driver loaded on it with DriverEntry through the host I/O manager, and each
// request sent to the driver's device as the kernel's I/O manager would.
// One at a time: the transport attaches its machine and its I/O manager for
// the whole process while it lives.
#pragma once

#include <memory>
#include <string>

#include "dimmio/transport.h"
#include "platform/host/io_manager.h"
#include "sim/board.h"
#include "sim/machine.h"

namespace dimmio {

class InProcessTransport final : public Transport {
 public:
  // Builds `board` into a fresh machine, loads the driver and opens its
  // device through "\??\dimmio". Null, with the reason in `error`, when the
  // driver does not load or the device does not open.
  static std::unique_ptr<InProcessTransport> Open(const sim::Board& board, std::string* error);
  // Closes the device and unloads the driver, if Close has not.
  ~InProcessTransport() override;

  // Closes the device and unloads the driver; then returns what the I/O
  // manager's watch of every request and the machine's leak check found
  // wrong, one line each ("" when all is well). No request after this.
  std::string Close();

  // A request that completes with anything but STATUS_SUCCESS gives its
  // status value as the error, and the status's name as the text.
  ControlReply Control(uint32_t code, std::span<const uint8_t> input,
                       uint32_t outputLength) override;

  const sim::Board& Board() const { return board_; }
  sim::Machine& Machine() { return machine_; }

 private:
  explicit InProcessTransport(const sim::Board& board);

  const sim::Board& board_;
  sim::Machine machine_;
  sim::AttachScope attach_;
  sim::BoardModels models_;
  host::IoManager io_;
  KernelDevice* device_ = nullptr;
  host::IoManager::File* handle_ = nullptr;  // an administrator's, for reading and writing
};

}  // namespace dimmio
