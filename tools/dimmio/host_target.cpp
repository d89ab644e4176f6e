#include "host_target.h"

#include "inprocess/inprocess_transport.h"
#include "sim/board.h"

namespace dimmio::cli {

Target SimulatedBoards() {
  Target target;
  for (const sim::Board& board : sim::Boards()) {
    target.Boards.push_back({board.name, board.description});
  }
  target.Open = [](const std::string& name,
                   std::string* error) -> std::unique_ptr<Transport> {
    const sim::Board* board = sim::FindBoard(name);
    if (board == nullptr) {
      *error = "unknown board '" + name + "'";
      return nullptr;
    }
    return InProcessTransport::Open(*board, error);
  };
  // Debian's pci.ids package, and where other distributions keep the file.
  target.PciIdsPaths = {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids"};
  return target;
}

}  // namespace dimmio::cli
