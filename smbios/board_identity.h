// The machine's identity as its SMBIOS table gives it: the maker and product
// strings of the system (type-1) and baseboard (type-2) structures. A name is
// matched as text anywhere in its field, case as given, so that a row naming
// a board also finds the board's longer product names.
#pragma once

// Whether one baseboard structure's maker field holds `maker` and its product
// field holds `product`. False without a table.
bool SmbiosBoardIs(const char* maker, const char* product);

// Whether a system structure's maker field holds `maker`. False without a
// table.
bool SmbiosSystemMakerHas(const char* maker);
