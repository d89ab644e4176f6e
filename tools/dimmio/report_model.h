// What `dimmio report` gathers, once, for every view of it (text, JSON,
// HTML): the chipset function and the PCI functions, the bytes and the
// decoded facts of each slot on one SMBus segment, and what the SMBIOS
// tables say about memory and the system. Saved dumps make the same model,
// a slot per file, without the machine's parts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bus_locks.h"
#include "dimmio/client.h"
#include "dimmio/spd.h"
#include "pci_names.h"
#include "side_by_side.h"

namespace dimmio::cli {

constexpr int kSlots = 8;

struct SlotReport {
  std::string Name;             // saved dumps: the file's; "" names it by slot and address
  uint8_t Slot = 0;
  bool Answered = false;        // the SPD gave every byte asked for
  uint32_t BytesRead = 0;
  OpStatus Status{};
  SpdFacts Facts;               // when answered
  std::vector<uint8_t> Bytes;   // what the SPD gave, from byte 0
};

struct Report {
  bool SavedDumps = false;      // made from files: slots only, no machine
  std::string Target;           // what was reported on, for people
  std::string Board;            // the simulated board's name; "" for a real machine
  PciDeviceRecord Chipset{};
  uint32_t PciCount = 0;        // functions found; the table holds at most 217
  std::vector<PciDeviceRecord> Pci;
  PciNames Names;               // of the functions, where the PCI ID database is found
  uint32_t Segment = 0;
  bool ControllerAvailable = true;
  // The driver selected no SPD page: the modules were not known to be DDR4,
  // so each slot is as it shows (a DDR4 module perhaps on its page 1).
  bool NoPageSelected = false;
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

// A DDR4 module's 512 bytes when the first bytes of its page 0 are in
// `low`: the rest of page 0 and all of page 1 through the page request
// (which selects the board's page again afterwards), the status the last
// read gave; a read cut short ends there.
Result<SpdRead> ReadDdr4Pages(Client& client, uint8_t slot, SpdRead low);

// Whether the host's boards put modules behind a segment switch (a board
// latch, the Super I/O, the VIA south bridge's outputs, the ALi M7101's
// configuration bits): where `--segment 1` can reach other slots.
bool HasSegmentSwitch(const PciDeviceRecord& chipset);

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

// Pieces the views share.
std::string SlotAddress(uint8_t slot);  // "0x50"
bool IsEmptySlot(const SlotReport& slot);
// What an empty slot says (the boards whose SPDs are on the processor's bus
// say so).
std::string EmptySlotText(const Report& report);
// The slot table's cells after the slot and its address: type, size, speed,
// data width, maker, part number, checksum; one sentence ("-- ...") for a
// slot without a decoded module.
std::vector<std::string> SlotCells(const Report& report, const SlotReport& slot);
// The slots that gave their SPD, one column each.
std::vector<SideBySideColumn> ModuleColumns(const Report& report);

}  // namespace dimmio::cli
