#include "sim/board.h"

#include "sim/boards/boards.h"

namespace sim {

const std::vector<Board>& Boards() {
  static const std::vector<Board> boards = [] {
    std::vector<Board> all;
    all.push_back(boards::Ich5());  // the default
    all.push_back(boards::Piix4());
    all.push_back(boards::NoSmbus());
    return all;
  }();
  return boards;
}

const Board* FindBoard(std::string_view name) {
  for (const Board& board : Boards()) {
    if (board.name == name) return &board;
  }
  return nullptr;
}

const Board& DefaultBoard() { return Boards().front(); }

void Build(const Board& board, Machine& machine) {
  for (const PciFunctionSpec& spec : board.pci) {
    PciFunction& f = machine.AddPciFunction(spec.bus, spec.device, spec.function, spec.vendorId,
                                            spec.deviceId, spec.revision, spec.classCode,
                                            spec.multiFunction);
    for (const auto& [offset, value] : spec.dwords) f.SetDword(offset, value);
  }
  InstallSmbios(machine, board.smbios);
}

}  // namespace sim
