#include "discovery/chipset.h"

#include "discovery/backends.h"
#include "hw/hw.h"
#include "smbus/piix4_compat.h"
#include "smbus/host_status.h"

ChipsetInfoRecord ChipsetInfo;

namespace {

// ---------------------------------------------------------------- direct candidates

enum class Backend : uint8_t {
  None, Intel, AmdNvidia, Via, Nvidia0064, I2c, NvidiaMcp, AliM1563, LaterIntel, Piix4Compat
};

enum class MessageArgs : uint8_t { None, Revision, DeviceRevision };

constexpr int16_t kAnyRevision = -1;

// One row of the direct table. Rows of one device with a given revision come
// before its any-revision row. Backend::None rows only print.
struct DirectRow {
  uint16_t VendorId;
  uint16_t DeviceId;
  int16_t RevisionId;     // kAnyRevision or the one revision the row is for
  uint8_t BaseRegister;   // configuration dword holding the I/O base
  uint32_t BaseMask;
  uint32_t BaseSubtract;  // taken off after masking (unsigned 32-bit)
  Backend Use;
  int32_t Variant;
  const char* Message;    // printed before the base is read; null: none
  MessageArgs Args;
  // A configuration byte whose bits must all be set for the host to answer;
  // with one clear the back-end is not set up (no port touched). 0: none.
  uint8_t EnableRegister = 0;
  uint8_t EnableBits = 0;
};

constexpr uint16_t kIntel = 0x8086, kAmd = 0x1022, kNvidia = 0x10DE, kVia = 0x1106;
constexpr uint16_t kSis = 0x1039, kAli = 0x10B9;
constexpr uint16_t kServerWorks = 0x1166, kAti = 0x1002;
constexpr int32_t kPiix4Legacy = piix4_compat::kChipLegacy;

constexpr DirectRow kDirect[] = {
    {kIntel, 0x7113, kAnyRevision, 0x90, 0xFFF0, 0, Backend::Intel, 0, nullptr, MessageArgs::None},
    {kIntel, 0x2413, kAnyRevision, 0x20, 0xFFF0, 0, Backend::Intel, 1, nullptr, MessageArgs::None},
    {kIntel, 0x2423, kAnyRevision, 0x20, 0xFFF0, 0, Backend::Intel, 1, nullptr, MessageArgs::None},
    {kIntel, 0x2443, kAnyRevision, 0x20, 0xFFF0, 0, Backend::Intel, 1, nullptr, MessageArgs::None},
    {kIntel, 0x2453, kAnyRevision, 0x20, 0xFFF0, 0, Backend::Intel, 1, nullptr, MessageArgs::None},
    {kIntel, 0x2483, kAnyRevision, 0x20, 0xFFF0, 0, Backend::Intel, 1, nullptr, MessageArgs::None},
    {kIntel, 0x24C3, kAnyRevision, 0x20, 0xFFF0, 0, Backend::Intel, 1, nullptr, MessageArgs::None},
    {kIntel, 0x24D3, kAnyRevision, 0x20, 0xFFF0, 0, Backend::Intel, 1, nullptr, MessageArgs::None},
    {kAmd, 0x740B, kAnyRevision, 0x58, 0xFF00, 0, Backend::AmdNvidia, 0, nullptr, MessageArgs::None},
    {kAmd, 0x7413, kAnyRevision, 0x58, 0xFF00, 0, Backend::AmdNvidia, 0, nullptr, MessageArgs::None},
    {kAmd, 0x7443, kAnyRevision, 0x58, 0xFF00, 0, Backend::AmdNvidia, 0, nullptr, MessageArgs::None},
    {kNvidia, 0x01B4, kAnyRevision, 0x10, 0xFFF0, 0xE0, Backend::AmdNvidia, 0, nullptr,
     MessageArgs::None},
    {kNvidia, 0x0064, kAnyRevision, 0x50, 0xFFF0, 0, Backend::Nvidia0064, 1, nullptr,
     MessageArgs::None},
    {kVia, 0x3040, 0x00, 0x20, 0xFFF0, 0, Backend::I2c, 1,
     "smbcore: Found VIA 586B Revision E\n", MessageArgs::None},
    {kVia, 0x3040, 0x01, 0x48, 0xFFF0, 0, Backend::I2c, 1,
     "smbcore: Found VIA 586B Revision F\n", MessageArgs::None},
    {kVia, 0x3040, 0x10, 0x48, 0xFFF0, 0, Backend::I2c, 1,
     "smbcore: Found VIA 586B Prod-Rev A\n", MessageArgs::None},
    {kVia, 0x3040, kAnyRevision, 0x48, 0xFFF0, 0, Backend::I2c, 1,
     "smbcore: Found VIA 586B, revid: %02X\n", MessageArgs::Revision},
    {kVia, 0x3050, kAnyRevision, 0x90, 0xFFF0, 0, Backend::Via, 0, "smbcore: Found VIA 596A\n",
     MessageArgs::None},
    {kVia, 0x3051, kAnyRevision, 0x90, 0xFFF0, 0, Backend::Via, 0, "smbcore: Found VIA 596B\n",
     MessageArgs::None},
    {kVia, 0x3057, 0x00, 0x90, 0xFFF0, 0, Backend::Via, 1, "smbcore: Found VIA 686\n",
     MessageArgs::None},
    {kVia, 0x3057, 0x01, 0x90, 0xFFF0, 0, Backend::Via, 1, "smbcore: Found VIA 686A\n",
     MessageArgs::None},
    {kVia, 0x3057, 0x04, 0x90, 0xFFF0, 0, Backend::Via, 1, "smbcore: Found VIA 686B\n",
     MessageArgs::None},
    {kVia, 0x3057, kAnyRevision, 0x90, 0xFFF0, 0, Backend::Via, 1,
     "smbcore: Found VIA 686,  unknown revid: %02X\n", MessageArgs::Revision},
    {kVia, 0x8235, kAnyRevision, 0x90, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VT8231 rev=%02X\n", MessageArgs::Revision},
    {kVia, 0x3074, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VT8233/5 device=%04X, rev=%02X\n", MessageArgs::DeviceRevision},
    {kVia, 0x3109, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VT8233/5 device=%04X, rev=%02X\n", MessageArgs::DeviceRevision},
    {kVia, 0x3147, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VT8233/5 device=%04X, rev=%02X\n", MessageArgs::DeviceRevision},
    {kVia, 0x3177, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VT8233/5 device=%04X, rev=%02X\n", MessageArgs::DeviceRevision},
    // The VIA 586 is no candidate: it is only announced.
    {kVia, 0x0586, 0x00, 0, 0, 0, Backend::None, 0, "smbcore: Found VIA 586\n",
     MessageArgs::None},
    {kVia, 0x0586, 0x02, 0, 0, 0, Backend::None, 0, "smbcore: Found VIA 586A\n",
     MessageArgs::None},
    {kVia, 0x0586, 0x04, 0, 0, 0, Backend::None, 0, "smbcore: Found VIA 586B\n",
     MessageArgs::None},
    {kVia, 0x0586, kAnyRevision, 0, 0, 0, Backend::None, 0,
     "smbcore: Found VIA 586,  unknown revid: %02X\n", MessageArgs::Revision},
    // The later nVidia MCPs: the nForce2 host block, twice; the back-end finds
    // both channels' bases in the function's configuration space.
    {kNvidia, 0x0084, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia nForce2 Ultra 400 rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x00D4, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia nForce3 Pro150 rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x00E4, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia nForce3 250Gb rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x0052, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia CK804 rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x0034, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia MCP04 rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x0264, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia MCP51 rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x0368, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia MCP55 rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x03EB, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia MCP61 rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x0446, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia MCP65 rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x0542, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia MCP67 rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x07D8, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia MCP73 rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x0752, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia MCP78S rev=%02X\n", MessageArgs::Revision},
    {kNvidia, 0x0AA2, kAnyRevision, 0, 0, 0, Backend::NvidiaMcp, 1,
     "smbcore: Found nVidia MCP79 rev=%02X\n", MessageArgs::Revision},
    // The later VIA south bridges: the host in the ISA bridge function, base
    // in dword 0xD0, answering while bit 0 of byte 0xD2 is set.
    {kVia, 0x3227, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VT8237R rev=%02X\n", MessageArgs::Revision, 0xD2, 0x01},
    {kVia, 0x3337, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VT8237A rev=%02X\n", MessageArgs::Revision, 0xD2, 0x01},
    {kVia, 0x3372, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VT8237S rev=%02X\n", MessageArgs::Revision, 0xD2, 0x01},
    {kVia, 0x3287, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VT8251 rev=%02X\n", MessageArgs::Revision, 0xD2, 0x01},
    {kVia, 0x8324, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA CX700 rev=%02X\n", MessageArgs::Revision, 0xD2, 0x01},
    {kVia, 0x8353, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VX800/820 rev=%02X\n", MessageArgs::Revision, 0xD2, 0x01},
    {kVia, 0x8409, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VX855/875 rev=%02X\n", MessageArgs::Revision, 0xD2, 0x01},
    {kVia, 0x8410, kAnyRevision, 0xD0, 0xFFF0, 0, Backend::Via, 3,
     "smbcore: Found VIA VX900 rev=%02X\n", MessageArgs::Revision, 0xD2, 0x01},
    // The ALi/ULi M1563: base in bits 15-4 of word 0x80, I/O decode (bit 0)
    // and host (bit 1) enabled in its low byte.
    {kAli, 0x1563, kAnyRevision, 0x80, 0xFFF0, 0, Backend::AliM1563, 0,
     "smbcore: Found ALi M1563 rev=%02X\n", MessageArgs::Revision, 0x80, 0x03},
    // ICH6 to the 9-series: BAR4, a 32-port block; every SPD on one bus.
    {kIntel, 0x266A, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel ICH6\n", MessageArgs::None},
    {kIntel, 0x27DA, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel ICH7/NM10\n", MessageArgs::None},
    {kIntel, 0x283E, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel ICH8\n", MessageArgs::None},
    {kIntel, 0x2930, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel ICH9\n", MessageArgs::None},
    {kIntel, 0x3A30, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel ICH10\n", MessageArgs::None},
    {kIntel, 0x3A60, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel ICH10D\n", MessageArgs::None},
    {kIntel, 0x3B30, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel 5-series/3400\n", MessageArgs::None},
    {kIntel, 0x1C22, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel 6-series\n", MessageArgs::None},
    {kIntel, 0x1D22, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel C600/X79\n", MessageArgs::None},
    {kIntel, 0x1E22, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel 7-series\n", MessageArgs::None},
    {kIntel, 0x8C22, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel 8-series\n", MessageArgs::None},
    {kIntel, 0x9C22, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel 8-series LP\n", MessageArgs::None},
    {kIntel, 0x8CA2, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel 9-series\n", MessageArgs::None},
    {kIntel, 0x9CA2, kAnyRevision, 0x20, 0xFFE0, 0, Backend::LaterIntel, 2,
     "smbcore: Found Intel 9-series LP\n", MessageArgs::None},
    // The PIIX4-compatible hosts find their own base (configuration space or
    // the power-management registers, by chip and revision): the row names
    // the chip.
    {kServerWorks, 0x0200, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, kPiix4Legacy, nullptr,
     MessageArgs::None},
    {kServerWorks, 0x0201, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, kPiix4Legacy, nullptr,
     MessageArgs::None},
    {kServerWorks, 0x0203, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, kPiix4Legacy, nullptr,
     MessageArgs::None},
    {kServerWorks, 0x0205, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, kPiix4Legacy, nullptr,
     MessageArgs::None},
    {kServerWorks, 0x0408, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, kPiix4Legacy, nullptr,
     MessageArgs::None},
    {kAti, 0x4353, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, kPiix4Legacy, nullptr,
     MessageArgs::None},
    {kAti, 0x4363, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, kPiix4Legacy, nullptr,
     MessageArgs::None},
    {kAti, 0x4372, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, kPiix4Legacy, nullptr,
     MessageArgs::None},
    {kAti, 0x4385, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, piix4_compat::kChipAti4385,
     nullptr, MessageArgs::None},
    {kAmd, 0x780B, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, piix4_compat::kChipHudson2,
     nullptr, MessageArgs::None},
    {kAmd, 0x790B, kAnyRevision, 0, 0, 0, Backend::Piix4Compat, piix4_compat::kChipFch790B,
     nullptr, MessageArgs::None},
};

AcquireFn AcquireFor(Backend backend) {
  switch (backend) {
    case Backend::Intel: return DiscoveryBackends.Intel;
    case Backend::AmdNvidia: return DiscoveryBackends.AmdNvidia;
    case Backend::Via: return DiscoveryBackends.Via;
    case Backend::Nvidia0064: return DiscoveryBackends.Nvidia0064;
    case Backend::I2c: return DiscoveryBackends.I2c;
    case Backend::AliM1563: return DiscoveryBackends.AliM1563;
    case Backend::NvidiaMcp:    // take the function's location (AcquireRow)
    case Backend::Piix4Compat:
    case Backend::LaterIntel:   // takes its base and function's location (AcquireRow)
    case Backend::None: break;
  }
  return nullptr;
}

// A back-end missing from this build fails like one that could not set itself
// up; so does a base the firmware never programmed (0) or one the
// subtraction of a row wrapped: no back-end is handed it, no port touched.
int32_t Acquire(AcquireFn acquire, SmbusController* controller, uint32_t base, int32_t variant) {
  if (!host_status::UsableIoBase(base)) return -1;
  return acquire != nullptr ? acquire(controller, base, variant) : -1;
}

bool HostEnabled(const DirectRow& row, const PciFunctionInfo& f) {
  if (row.EnableBits == 0) return true;
  const uint8_t value = static_cast<uint8_t>(PciReadConfigField(f.Location, row.EnableRegister));
  return (value & row.EnableBits) == row.EnableBits;
}

// The row's base read and its back-end set up; -1 when not installed. A
// back-end that reads its function's configuration itself (the later Intel
// hosts: the host may be disabled there) judges the base after that.
int32_t AcquireRow(const DirectRow& row, const PciFunctionInfo& f, SmbusController* controller) {
  if (!HostEnabled(row, f)) return -1;
  if (row.Use == Backend::NvidiaMcp || row.Use == Backend::Piix4Compat) {
    FunctionAcquireFn acquire = row.Use == Backend::NvidiaMcp ? DiscoveryBackends.NvidiaMcp
                                                              : DiscoveryBackends.Piix4Compat;
    return acquire != nullptr ? acquire(controller, f.Location, row.Variant) : -1;
  }
  const uint32_t base =
      (PciReadConfigDword(f.Location, row.BaseRegister) & row.BaseMask) - row.BaseSubtract;
  if (row.Use == Backend::LaterIntel) {
    BaseLocatedAcquireFn acquire = DiscoveryBackends.LaterIntel;
    return acquire != nullptr ? acquire(controller, base, f.Location) : -1;
  }
  return Acquire(AcquireFor(row.Use), controller, base, row.Variant);
}

const DirectRow* FindDirectRow(const PciFunctionInfo& f) {
  for (const DirectRow& row : kDirect) {
    if (row.VendorId == f.VendorId && row.DeviceId == f.DeviceId &&
        (row.RevisionId == kAnyRevision || row.RevisionId == f.RevisionId)) {
      return &row;
    }
  }
  return nullptr;
}

void PrintRowMessage(const DirectRow& row, const PciFunctionInfo& f) {
  if (row.Message == nullptr) return;
  switch (row.Args) {
    case MessageArgs::None: DebugPrintHook(row.Message); break;
    case MessageArgs::Revision: DebugPrintHook(row.Message, f.RevisionId); break;
    case MessageArgs::DeviceRevision:
      DebugPrintHook(row.Message, f.DeviceId, f.RevisionId);
      break;
  }
}

uint16_t ReadConfigWord(PciLocation location, uint8_t offset) {
  return static_cast<uint16_t>(PciReadConfigField(location, offset) & 0xFFFFu);
}

void Record(ChipsetInfoRecord* info, const PciFunctionInfo& f) {
  info->Bus = f.Location.Bus;
  info->Device = f.Location.Device;
  info->Function = f.Location.Function;
  info->VendorId = f.VendorId;
  info->DeviceId = f.DeviceId;
}

// ---------------------------------------------------------------- gathered candidates

// SiS: what each device ID adds to the picture of the chipset.
constexpr uint8_t kSisRecord = 1u << 0;        // record the function in ChipsetInfo
constexpr uint8_t kSisOtherHost = 1u << 1;     // a host bridge that rules out the 5595 path
constexpr uint8_t kSis96x = 1u << 2;           // a 96x part: classification 2
constexpr uint8_t kSisBaseWords = 1u << 3;     // carries the ACPI base words
constexpr uint8_t kSisPowerMgmt = 1u << 4;     // the 5595 power-management function

struct SisRow {
  uint16_t DeviceId;
  uint8_t Effects;
};

constexpr SisRow kSisRows[] = {
    {0x0540, kSisRecord | kSisOtherHost}, {0x0550, kSisRecord | kSisOtherHost},
    {0x0630, kSisRecord | kSisOtherHost}, {0x5511, kSisRecord | kSisOtherHost},
    {0x5597, kSisRecord | kSisOtherHost}, {0x5598, kSisRecord | kSisOtherHost},
    {0x0645, kSisRecord | kSis96x},       {0x0745, kSisRecord | kSis96x},
    {0x0735, kSisRecord | kSis96x | kSisBaseWords},
    {0x0961, kSisRecord | kSis96x | kSisBaseWords},
    {0x0962, kSisRecord | kSis96x | kSisBaseWords},
    {0x0963, kSisRecord | kSis96x | kSisBaseWords},
    {0x0008, kSisBaseWords},              {0x0009, kSisPowerMgmt},
};

constexpr uint8_t kSis5595BaseWord = 0x90;
constexpr uint8_t kSis96xBaseWord = 0x74;

enum SisClass : uint32_t { kSisClass5595 = 1, kSisClass96x = 2, kSisClassUndetermined = 3 };

// ALi: the M1533 south bridge and the M7101 power-management function.
constexpr uint16_t kAliM1533 = 0x1533;
constexpr uint16_t kAliM7101 = 0x7101;
constexpr uint8_t kAliBaseAWord = 0xE2;   // used with M1533 revision 0
constexpr uint8_t kAliBaseBDword = 0x14;  // used with later revisions
constexpr uint32_t kAliBaseMask = 0xFFE0;
constexpr uint32_t kAliDefaultBaseB = 0x0000E801;  // written when base B is empty
constexpr uint32_t kAliDefaultBase = 0xE800;

struct Discovery {
  ChipsetInfoRecord* info;
  SmbusController* controller;
  bool directMatchHandled;
  bool directMatchFailed;

  bool sisSeen;
  uint32_t sisClass;
  uint32_t sisOtherHosts;
  uint32_t sis96x;
  uint32_t sisPowerMgmt;
  uint16_t sis5595Base;
  uint16_t sis96xBase;

  bool m1533Seen;
  uint8_t m1533Revision;
  bool m7101Seen;
  PciLocation m7101;
  uint32_t aliBaseA;
  uint32_t aliBaseB;
};

void GatherSis(Discovery* run, const PciFunctionInfo& f) {
  run->sisSeen = true;
  for (const SisRow& row : kSisRows) {
    if (row.DeviceId != f.DeviceId) continue;
    if (row.Effects & kSisRecord) Record(run->info, f);
    if (row.Effects & kSisOtherHost) ++run->sisOtherHosts;
    if (row.Effects & kSis96x) {
      ++run->sis96x;
      run->sisClass = kSisClass96x;
    }
    if (row.Effects & kSisBaseWords) {
      run->sis5595Base = ReadConfigWord(f.Location, kSis5595BaseWord);
      if (run->sis96xBase == 0) run->sis96xBase = ReadConfigWord(f.Location, kSis96xBaseWord);
    }
    if (row.Effects & kSisPowerMgmt) {
      ++run->sisPowerMgmt;
      if (run->sisClass == kSisClassUndetermined) run->sisClass = kSisClass5595;
    }
    return;
  }
}

void GatherAli(Discovery* run, const PciFunctionInfo& f) {
  if (f.DeviceId == kAliM1533) {
    run->m1533Seen = true;
    run->m1533Revision = f.RevisionId;
    Record(run->info, f);
  } else if (f.DeviceId == kAliM7101) {
    run->m7101Seen = true;
    run->m7101 = f.Location;
    run->aliBaseA = ReadConfigWord(f.Location, kAliBaseAWord) & kAliBaseMask;
    run->aliBaseB = PciReadConfigDword(f.Location, kAliBaseBDword) & kAliBaseMask;
    Record(run->info, f);
  }
}

void Recognize(void* context, const PciFunctionInfo& f) {
  auto* run = static_cast<Discovery*>(context);
  if (run->directMatchHandled) return;

  if (const DirectRow* row = FindDirectRow(f)) {
    PrintRowMessage(*row, f);
    if (row->Use == Backend::None) return;
    run->directMatchHandled = true;
    if (AcquireRow(*row, f, run->controller) == 0) {
      Record(run->info, f);
    } else {
      run->directMatchFailed = true;
    }
    return;
  }
  if (f.VendorId == kSis) GatherSis(run, f);
  if (f.VendorId == kAli) GatherAli(run, f);
}

// After the walk: the 5595 attempt, else the 96x attempt. True when installed.
bool DecideSis(Discovery* run) {
  switch (run->sisClass) {
    case kSisClass5595: DebugPrintHook("smbcore: Detected a SIS 5595\n"); break;
    case kSisClass96x: DebugPrintHook("smbcore: Detected a SIS 96X\n"); break;
    default:
      DebugPrintHook("smbcore: Detected a possibly indeterminant SIS host device(%x).\n",
                     run->sisClass);
      break;
  }
  if (run->sisOtherHosts == 0 && run->sis96x == 0 && run->sisPowerMgmt != 0) {
    if (run->sis5595Base == 0) {
      DebugPrintHook("smbcore: SIS 5595 found with NO ACPI base.\n");
    } else {
      DebugPrintHook("smbcore: SIS 5595 detected at %04X!!!\n", run->sis5595Base);
      if (Acquire(DiscoveryBackends.Sis, run->controller, run->sis5595Base, 1) == 0) return true;
    }
  }
  if (run->sisClass == kSisClass96x) {
    if (run->sis96xBase == 0) {
      DebugPrintHook("smbcore: SIS 96x found with NO ACPI base.\n");
    } else {
      DebugPrintHook("smbcore: SIS 96x detected at %04X!!!\n", run->sis96xBase);
      if (Acquire(DiscoveryBackends.I2c, run->controller, run->sis96xBase, 0) == 0) return true;
    }
  }
  return false;
}

// After the SiS decision, when both ALi functions were seen. True when installed.
bool DecideAli(Discovery* run) {
  if (!run->m1533Seen || !run->m7101Seen) return false;
  uint32_t base;
  if (run->m1533Revision == 0) {
    base = run->aliBaseA;
  } else if (run->aliBaseB != 0) {
    base = run->aliBaseB;
  } else {
    // The one configuration write of discovery: give the M7101 a base.
    PciWriteConfigDword(run->m7101, kAliDefaultBaseB, kAliBaseBDword);
    base = kAliDefaultBase;
  }
  if (base == 0) {
    DebugPrintHook("ali 1535 found with empty SMBus base\n");
    return false;
  }
  AliAcquireFn acquire = DiscoveryBackends.Ali;
  return acquire != nullptr && acquire(run->controller, base, run->m7101) == 0;
}

}  // namespace

SmbusController* DiscoverChipset(OpStatus* status, ChipsetInfoRecord* info,
                                 PciDeviceRecord* table, uint32_t* count) {
  SetDebugPrintHook();
  if (info == nullptr) {
    SetOpFailure(status, OpError::NoChipsetInfo);
    return nullptr;
  }
  info->Bus = info->Device = info->Function = info->VendorId = info->DeviceId = 0;

  auto* controller = static_cast<SmbusController*>(PoolAlloc(sizeof(SmbusController)));
  if (controller == nullptr) {
    SetOpFailure(status, OpError::ControllerAlloc, 1, sizeof(SmbusController));
    return nullptr;
  }
  *controller = SmbusController{};

  Discovery run{};
  run.info = info;
  run.controller = controller;
  run.sisClass = kSisClassUndetermined;
  WalkPciBuses(table, count, &Recognize, &run);

  if (run.directMatchHandled) {
    if (run.directMatchFailed) controller->Unavailable = 1;
    return controller;
  }
  if (run.sisSeen && DecideSis(&run)) return controller;
  if (DecideAli(&run)) return controller;
  controller->Unavailable = 1;
  return controller;
}
