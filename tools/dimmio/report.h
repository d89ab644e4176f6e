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
#include "side_by_side.h"

namespace dimmio::cli {

// How a view lays the report out beside what the model holds.
struct ReportLayout {
  bool SideBySide = false;  // the modules as one column each (report --side-by-side)
};

void PrintReport(const Report& report, std::ostream& out, ReportLayout layout = {});
nlohmann::json ReportJson(const Report& report, ReportLayout layout = {});

// How every view words a slot: its address ("0x50"), its name ("slot 0
// (0x50)", or the saved file's), a module's cells, the one sentence of a slot
// in any other state, and what an empty slot says (the boards whose SPDs are
// on the processor's bus say so).
std::string SlotAddress(uint8_t slot);
std::string SlotName(const SlotReport& slot);
std::string SizeText(const SpdFacts& facts);     // "512 MB"
std::string SpeedText(const SpdFacts& facts);    // "PC3200 (DDR400)"
std::string WidthText(const SpdFacts& facts);    // "72 bits (ECC)"
std::string MakerText(const JedecMaker& maker);  // "Samsung", "JEDEC 3/0x45"
std::string PartText(const SpdFacts& facts);     // "(none)" when not stated
std::string CheckText(const ByteCheck& check);   // "ok", "BAD (stored 0x.., computed 0x..)"
std::string SlotSentence(const Report& report, const SlotReport& slot);
std::string EmptySlotText(const Report& report);
// The slots that gave their SPD, one column each.
std::vector<SideBySideColumn> ModuleColumns(const Report& report);

// Pieces the other commands share.
std::string PciAddress(const PciDeviceRecord& record);  // "00:1F.3"
// An address as lspci and the report's tables print it, hex in any case with
// or without leading zeros ("00:1f.3", "0:1F.3"), or in decimal as the board
// descriptions write it ("0:31.3"). Hex when the bus has two digits or a part
// holds a letter a-f, else decimal. Nothing when it is neither, or the device
// is past 31.
std::optional<PciDeviceRecord> ParsePciAddress(const std::string& text);
std::string PciIds(const PciDeviceRecord& record);  // "8086:24D3"
nlohmann::json StatusJson(const OpStatus& status);

}  // namespace dimmio::cli
