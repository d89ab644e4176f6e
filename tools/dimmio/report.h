// The report's text and JSON views of the report model (report_model.h),
// and the pieces the other commands share.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "bus_locks.h"
#include "dimmio/client.h"
#include "dimmio/spd.h"
#include "output.h"
#include "pci_names.h"
#include "report_model.h"

namespace dimmio::cli {

void PrintReport(const Report& report, std::ostream& out);
nlohmann::json ReportJson(const Report& report);

// Pieces the other commands share.
std::string PciAddress(const PciDeviceRecord& record);   // "00:1F.3"
// An address as lspci and the report's tables print it, hex in any case with
// or without leading zeros ("00:1f.3", "0:1F.3"), or in decimal as the board
// descriptions write it ("0:31.3"). Hex when the bus has two digits or a part
// holds a letter a-f, else decimal. Nothing when it is neither, or the device
// is past 31.
std::optional<PciDeviceRecord> ParsePciAddress(const std::string& text);
std::string PciIds(const PciDeviceRecord& record);       // "8086:24D3"
nlohmann::json StatusJson(const OpStatus& status);

}  // namespace dimmio::cli
