#include "sim/models/via_smbus_host.h"

#include "sim/board.h"

namespace sim {

SmbusHostModel* InstallViaSmbusHost(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& spec = *board.smbus;
  return &PlaceHost<ViaSmbusHost>(machine, spec.decode, InstallModulesBus(spec, machine, models));
}

}  // namespace sim
