#include "sim/models/via_smbus_host.h"

#include "sim/board.h"

namespace sim {

SmbusHostModel* InstallViaSmbusHost(const Board& board, Machine& machine, BoardModels& models) {
  const SmbusHostSpec& hostSpec = *board.smbus;
  auto& host = PlaceHost<ViaSmbusHost>(machine, hostSpec.decode,
                                       InstallModulesBus(hostSpec, machine, models));
  host.Firmware().Configure(hostSpec.firmware);
  return &host;
}

}  // namespace sim
