// The whole picture the driver gives of a machine: its chipset function and
// PCI functions, what the SPD of each slot on one SMBus segment says, and
// what the SMBIOS tables say about memory and the system.
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

namespace dimmio::cli {

constexpr int kSlots = 8;

struct SlotReport {
  uint8_t Slot = 0;
  bool Answered = false;        // the SPD gave every byte asked for
  uint32_t BytesRead = 0;
  OpStatus Status{};
  SpdFacts Facts;               // when answered
};

struct Report {
  std::string Target;           // what was reported on, for people
  std::string Board;            // the simulated board's name; "" for a real machine
  PciDeviceRecord Chipset{};
  uint32_t PciCount = 0;        // functions found; the table holds at most 217
  std::vector<PciDeviceRecord> Pci;
  PciNames Names;               // of the functions, where the PCI ID database is found
  uint32_t Segment = 0;
  bool ControllerAvailable = true;
  OpStatus ControllerStatus{};  // why not, when not
  std::vector<SlotReport> Slots;
  bool SideBySide = false;      // the modules as one column each (report --side-by-side)
  CountResult SlotCount{};
  CountResult ModuleCount{};
  std::optional<SystemInfo> System;
  std::string SystemError;      // why there is no system information
};

// Asks the driver for everything the report shows, reading the SPD of every
// slot on `segment`. Fails only when a request other than the system
// information fails outright, or a bus lock stays with another program.
Result<Report> GatherReport(Client& client, uint32_t segment, BusLocks* locks = nullptr);

// The BIOS's strings as every output shows them (see PrintableText):
// GatherReport keeps them so.
SystemInfo PrintableSystemInfo(const SystemInfo& info);

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
// A DDR4 module's 512 bytes when the first bytes of its page 0 are in
// `low`: the rest of page 0 and all of page 1 through the page request
// (which selects the board's page again afterwards), the status the last
// read gave; a read cut short ends there.
Result<SpdRead> ReadDdr4Pages(Client& client, uint8_t slot, SpdRead low);
// Sets the segment for the SPD requests that `body` sends, and back to 0
// after it when it was not 0 (the driver keeps the value for every caller).
template <typename Body>
auto OnSegment(Client& client, uint32_t segment, Body body) -> decltype(body()) {
  const auto set = client.SetSegment(segment);
  if (!set) return set.error();
  auto result = body();
  if (segment != 0) client.SetSegment(0);
  return result;
}

}  // namespace dimmio::cli
