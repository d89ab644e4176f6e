#include "smbus/host_status.h"

namespace host_status {

int32_t RefuseBusyHost(const HostStatusBits& bits, OpStatus* status, uint32_t hostStatus,
                       uint32_t hwCode) {
  if (!StillBusy(bits, hostStatus)) return 0;
  SetHwFailure(status, hwCode, hostStatus);
  return -1;
}

int32_t JudgeFinalStatus(const HostStatusBits& bits, OpStatus* status, uint32_t finalStatus,
                         uint32_t hwCode) {
  if (Finished(bits, finalStatus) && (finalStatus & bits.ErrorMask) == 0) return 0;
  SetHwFailure(status, hwCode, finalStatus);
  return -1;
}

}  // namespace host_status
