// The report model as the window shows it: a row a module in the slot list,
// the selected module's decoded facts and bytes, the SMBIOS facts and the
// PCI functions as rows.
#pragma once

#include <string>
#include <vector>

#include "report_model.h"

namespace dimmio::gui {

using Row = std::vector<std::string>;

// The slot list's columns, and a row for each slot that gave bytes or
// failed other than by being empty.
const std::vector<std::string>& SlotColumns();
std::vector<Row> SlotRows(const Report& report);
// The slot a row of SlotRows shows.
const SlotReport* SlotOfRow(const Report& report, size_t row);

// The decoded facts (timings at each standard speed among them) of one
// slot, and its EEPROM's bytes as the tool's hex dump.
std::string ModuleFacts(const SlotReport& slot);
std::string ModuleBytes(const SlotReport& slot);

// Two columns: what, and what the tables or the bus say.
std::vector<Row> SmbiosRows(const Report& report);
// Address, vendor:device, name.
const std::vector<std::string>& PciColumns();
std::vector<Row> PciRows(const Report& report);

// A line that says what was read, for the window's status line.
std::string Summary(const Report& report);

}  // namespace dimmio::gui
