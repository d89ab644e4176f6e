// Whether the SMBIOS table names the board (a baseboard structure) with
// exactly this maker and product. False without a table.
#pragma once

bool SmbiosBoardIs(const char* maker, const char* product);
