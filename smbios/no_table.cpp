// Memory facts while no SMBIOS table can be read: both counts are 0 with the
// reason "no entry point", and there is no report.
#include "smbios/smbios.h"

uint8_t CountMemorySlots(OpStatus* status) {
  SetOpFailure(status, OpError::SmbiosNoEntryPoint);
  return 0;
}

uint8_t CountMemoryModules(OpStatus* status) {
  SetOpFailure(status, OpError::SmbiosNoEntryPoint);
  return 0;
}

int32_t BuildSystemInfoReport(uint8_t*, OpStatus* status) {
  SetOpFailure(status, OpError::SmbiosNoEntryPoint);
  return -1;
}
