// Whether the SMBIOS memory device structures (type 17) say the installed
// modules are DDR4, for the SPD operations, which may send the DDR4 page
// commands only then. A look from inside the driver: a missing table is
// not reported here, it only means nothing is known.
#pragma once

#include "smbios/smbios_cache.h"

// Every populated device that states a memory type states DDR4 (0x1A), and
// at least one does. False without a table.
bool SmbiosMemoryIsDdr4();
bool MemoryIsDdr4InTable(const SmbiosTableRef& table);
