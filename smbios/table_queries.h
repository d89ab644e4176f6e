// The queries of smbios.h over a given table rather than the cached copy, so
// that any bytes can be walked (the public entry points look the table up and
// call these).
#pragma once

#include <stdint.h>

#include "smbios/smbios_cache.h"

uint8_t CountSlotsInTable(const SmbiosTableRef& table);
uint8_t CountModulesInTable(const SmbiosTableRef& table);

// Fills the eight text fields of the 1024-byte report from the type-1 and
// type-2 structures; the caller has zeroed it.
void FillSystemInfoReport(uint8_t* report, const SmbiosTableRef& table);
