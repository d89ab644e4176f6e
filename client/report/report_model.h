// What a report on a machine holds, gathered once for every view of it
// (text, JSON, HTML, the window): the chipset function and the PCI functions
// with their names, each slot's whole EEPROM on one SMBus segment with its
// decoded facts and verdicts, and what the SMBIOS tables say about memory and
// the system. Saved dumps make the same model, a slot per file, without the
// machine's parts. The views only render it; how they lay it out (one column
// a module, which files) is theirs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bus_locks.h"
#include "dimmio/client.h"
#include "dimmio/spd.h"
#include "pci_names.h"

namespace dimmio {

constexpr int kSlots = 8;

// What a slot gave, in the order a view tells them apart.
enum class SlotState : uint8_t {
  Empty,      // no module answered at its address
  Stopped,    // the read ended before the bytes every SPD layout shares (128)
  Unpaged,    // answered with no SPD page selected; its type byte tells nothing
  Blank,      // nothing written in bytes 0-127
  Undecoded,  // a memory type the decoder names only
  Module,     // decoded: the facts are filled
};

enum class CheckVerdict : uint8_t { Ok, Bad };

// One check the module's type keeps over its bytes: the byte-63 sum, the
// CRC-16 in bytes 126-127, DDR4's second CRC in bytes 254-255.
struct ByteCheck {
  SpdCheckRule Rule = SpdCheckRule::None;
  uint16_t First = 0, Last = 0;              // the bytes it covers
  uint16_t StoredFirst = 0, StoredLast = 0;  // the bytes that store it
  uint16_t Stored = 0, Computed = 0;
  CheckVerdict Verdict = CheckVerdict::Bad;
};

struct SlotReport {
  std::string Name;  // saved dumps: the file's; "" names it by slot and address
  uint8_t Slot = 0;
  SlotState State = SlotState::Empty;
  uint32_t BytesRead = 0;
  OpStatus Status{};
  SpdFacts Facts;  // from State Unpaged on
  // The type's own check first (none where its rule is not known), then
  // DDR4's second CRC; none before State Unpaged.
  std::vector<ByteCheck> Checks;
  // The type's own check; a default one (Bad, rule None) where there is none.
  ByteCheck TypeCheck() const {
    return Checks.empty() || Checks.front().First != 0 ? ByteCheck{} : Checks.front();
  }
  std::vector<uint8_t> Bytes;  // the EEPROM from byte 0: 256 bytes, a DDR4 module's 512
  // The module gave the bytes every SPD layout shares.
  bool Answered() const { return State >= SlotState::Unpaged; }
};

struct Report {
  bool SavedDumps = false;  // made from files: slots only, no machine
  std::string Target;       // what was reported on, for people
  std::string Board;        // the simulated board's name; "" for a real machine
  PciDeviceRecord Chipset{};
  uint32_t PciCount = 0;  // functions found; the table holds at most 217
  std::vector<PciDeviceRecord> Pci;
  PciNames Names;  // of the functions, where the PCI ID database is found
  uint32_t Segment = 0;
  bool ControllerAvailable = true;
  OpStatus ControllerStatus{};  // why not, when not
  // The driver selected no SPD page: the modules were not known to be DDR4,
  // so each slot is as it shows (a DDR4 module perhaps on its page 1).
  bool NoPageSelected = false;
  bool SegmentSwitch = false;       // HasSegmentSwitch of the chipset
  bool SpdsOnProcessorBus = false;  // SpdsOnProcessorBus of the chipset
  std::vector<SlotReport> Slots;
  CountResult SlotCount{};
  CountResult ModuleCount{};
  std::optional<SystemInfo> System;
  std::string SystemError;  // why there is no system information
};

struct ReportRequest {
  uint32_t Segment = 0;
  BusLocks* Locks = nullptr;             // taken around the requests; none: not taken
  std::vector<std::string> PciIdsPaths;  // where to look for the PCI ID database
};

// Asks the driver for everything the report shows, reading the whole SPD
// EEPROM of every slot on the segment. Fails only when a request other than
// the system information fails outright, or a bus lock stays with another
// program.
Result<Report> GatherReport(Client& client, const ReportRequest& request);

// The slot's state, checks and facts from its bytes and status, as
// GatherReport and saved dumps give them.
void DecodeSlot(SlotReport& slot, bool noPageSelected);

// How the reads of one pass over the slots select SPD pages: through the
// page request while the host and the bus have EE1004 pages (a DDR4 module's
// page 0 whatever page the board left); as each module shows once the
// driver says the modules are not known for DDR4 (NoPageSelected), or the
// host or bus has no pages.
struct SpdPaging {
  bool Paged = true;
  bool NoPageSelected = false;
};

// A module's whole EEPROM as ReadSpdImage gives it, and its size: reads
// past the last byte wrap to byte 0.
struct SpdImage {
  SpdRead Read;                      // from byte 0; fewer bytes when Status says why
  uint32_t Space = DIMMIO_SPD_SIZE;  // 256; a DDR4 module's two pages 512
};

// The one read of a module's SPD that the report, the spd command and the
// window share: its 256 bytes, and a DDR4 module's page 1 after them. A slot
// whose host has no controller gives the driver's status
// (DIMMIO_ERROR_CONTROLLER_UNAVAILABLE) and no bytes.
Result<SpdImage> ReadSpdImage(Client& client, uint8_t slot, SpdPaging& paging);

// The BIOS's strings as every output shows them (see PrintableText):
// GatherReport keeps them so.
SystemInfo PrintableSystemInfo(const SystemInfo& info);

// Whether the host's boards put modules behind a segment switch (a board
// latch, the Super I/O, the VIA south bridge's outputs, the ALi M7101's
// configuration bits): where `--segment 1` can reach other slots.
bool HasSegmentSwitch(const PciDeviceRecord& chipset);

// Whether the platform wires the modules' SPDs to the processor's memory
// controller SMBus, which dimmio does not drive, rather than to this host.
bool SpdsOnProcessorBus(const PciDeviceRecord& chipset);

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

}  // namespace dimmio
