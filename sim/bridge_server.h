// A simulated machine served to the x86-64 test image of the driver, which
// runs in 64-bit Wine's driver host and reaches its hardware through two
// named pipes of the file system (platform/nt/bridge_wire.h): each request
// the image writes is answered from the machine, in order, on a thread of
// this process. Which machine answers is the serving side's choice, so one
// image runs on every board.
#pragma once

#include <stdint.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "sim/machine.h"

namespace sim {

class BridgeServer {
 public:
  // Makes the two pipes in `directory` (created if missing) and starts
  // answering; requests that come while no machine is served read all ones.
  explicit BridgeServer(const std::filesystem::path& directory);
  ~BridgeServer();
  BridgeServer(const BridgeServer&) = delete;
  BridgeServer& operator=(const BridgeServer&) = delete;

  // The machine later requests reach; null for none.
  void Serve(Machine* machine);
  uint64_t Requests() const { return requests_; }

 private:
  void Run();
  bool Answer();

  std::filesystem::path requestsPath_, repliesPath_;
  int requestsFd_ = -1, repliesFd_ = -1;
  std::mutex lock_;
  Machine* machine_ = nullptr;
  std::atomic<uint64_t> requests_{0};
  std::thread thread_;
};

}  // namespace sim
