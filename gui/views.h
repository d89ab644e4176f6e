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
std::vector<Row> SlotRows(const cli::Report& report);
// The slot a row of SlotRows shows.
const cli::SlotReport* SlotOfRow(const cli::Report& report, size_t row);

// The decoded facts (timings at each standard speed among them) of one
// slot, and its EEPROM's bytes as the tool's hex dump.
std::string ModuleFacts(const cli::SlotReport& slot);
std::string ModuleBytes(const std::vector<uint8_t>& image);

// Two columns: what, and what the tables or the bus say.
std::vector<Row> SmbiosRows(const cli::Report& report);
// Address, vendor:device, name.
const std::vector<std::string>& PciColumns();
std::vector<Row> PciRows(const cli::Report& report);

// A line that says what was read, for the window's status line.
std::string Summary(const cli::Report& report);

}  // namespace dimmio::gui
