#include "sim/board.h"

#include "sim/boards/boards.h"

namespace sim {

const std::vector<Board>& Boards() {
  static const std::vector<Board> boards = [] {
    std::vector<Board> all;
    all.push_back(boards::Ich5());  // the default
    all.push_back(boards::Piix4());
    all.push_back(boards::NoSmbus());
    all.push_back(boards::Ich4Mixed());
    all.push_back(boards::Sis5595());
    all.push_back(boards::Sis96x());
    all.push_back(boards::Ali1535());
    all.push_back(boards::Amd756());
    all.push_back(boards::Nforce());
    all.push_back(boards::NforceRange14());
    all.push_back(boards::Nforce2());
    all.push_back(boards::Sis96xNoAcpi());
    all.push_back(boards::Via586bRevE());
    all.push_back(boards::Via586bRevF());
    all.push_back(boards::Via586bProdA());
    all.push_back(boards::Via586bRev20());
    all.push_back(boards::Ali1533Rev0());
    all.push_back(boards::Ali1543());
    for (Board& b : boards::Via()) all.push_back(std::move(b));
    for (Board& b : boards::NvidiaMcp()) all.push_back(std::move(b));
    all.push_back(boards::Ali1563());
    all.push_back(boards::Amd8111());
    for (Board& b : boards::LaterIntel()) all.push_back(std::move(b));
    for (Board& b : boards::Piix4Compat()) all.push_back(std::move(b));
    for (Board& b : boards::Identified()) all.push_back(std::move(b));
    all.push_back(boards::Sis630());
    all.push_back(boards::Sis964());
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

BoardModels Build(const Board& board, Machine& machine) {
  BoardModels models;
  for (const PciFunctionSpec& fnSpec : board.pci) {
    PciFunction& f = machine.AddPciFunction(fnSpec.bus, fnSpec.device, fnSpec.function, fnSpec.vendorId,
                                            fnSpec.deviceId, fnSpec.revision, fnSpec.classCode,
                                            fnSpec.multiFunction);
    for (const auto& [offset, value] : fnSpec.dwords) f.SetDword(offset, value);
  }
  if (board.smbus && board.smbus->install != nullptr) {
    models.host = board.smbus->install(board, machine, models);
  }
  InstallSmbios(machine, board.smbios);
  return models;
}

}  // namespace sim
