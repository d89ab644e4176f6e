#include "host_target.h"

#include <chrono>
#include <mutex>

#include "inprocess/inprocess_transport.h"
#include "sim/board.h"

namespace dimmio::cli {

namespace {

// The host build's bus locks: one per bus in this process, where the driver
// and its simulated board live too.
class InProcessBusLocks final : public BusLocks {
 public:
  bool Take(Bus bus) override {
    return locks_[static_cast<int>(bus)].try_lock_for(std::chrono::milliseconds(kBusWaitMs));
  }
  void Give(Bus bus) override { locks_[static_cast<int>(bus)].unlock(); }

 private:
  std::timed_mutex locks_[kBuses];
};

}  // namespace

std::shared_ptr<BusLocks> ProcessBusLocks() {
  static const std::shared_ptr<BusLocks> locks = std::make_shared<InProcessBusLocks>();
  return locks;
}

Target SimulatedBoards() {
  Target target;
  for (const sim::Board& board : sim::Boards()) {
    target.Boards.push_back({board.name, board.description});
  }
  target.Open = [](const std::string& name, std::string* error) -> std::unique_ptr<Transport> {
    const sim::Board* board = sim::FindBoard(name);
    if (board == nullptr) {
      *error = "unknown board '" + name + "'";
      return nullptr;
    }
    return InProcessTransport::Open(*board, error);
  };
  // Debian's pci.ids package, and where other distributions keep the file.
  target.PciIdsPaths = {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids"};
  target.Locks = ProcessBusLocks();
  return target;
}

}  // namespace dimmio::cli
