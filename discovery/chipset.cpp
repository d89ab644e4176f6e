#include "discovery/chipset.h"

#include "discovery/backends.h"
#include "discovery/unsafe_boards.h"
#include "hw/hw.h"
#include "smbus/ali.h"
#include "smbus/amd.h"
#include "smbus/i2c_pins.h"
#include "smbus/piix4_compat.h"
#include "smbus/sis.h"
#include "smbus/sis630.h"

ChipsetInfoRecord ChipsetInfo;

namespace {

// ---------------------------------------------------------------- direct candidates

enum class MessageArgs : uint8_t { None, Revision, DeviceRevision };

constexpr int16_t kAnyRevision = -1;

// One row of the direct table. Rows of one device with a given revision come
// before its any-revision row. Rows without a chip only print.
struct DirectRow {
  uint16_t VendorId;
  uint16_t DeviceId;
  int16_t RevisionId;         // kAnyRevision or the one revision the row is for
  const ChipDescriptor* Chip; // null: the chip is only announced
  const char* Message;        // printed before the base is read; null: none
  MessageArgs Args = MessageArgs::None;
};

constexpr uint16_t kIntel = 0x8086, kAmd = 0x1022, kNvidia = 0x10DE, kVia = 0x1106;
constexpr uint16_t kSis = 0x1039, kAli = 0x10B9;
constexpr uint16_t kServerWorks = 0x1166, kAti = 0x1002;

using B = BackendId;
using S = SegmentSwitch;

// The chips, by what their back-end needs: base register, mask and what is
// taken off after masking, enable register and bits, segment switch, host
// features, the back-end's own model. A host whose enable bits are clear
// decodes nothing, and the base it still shows may be another device's by
// now: the PIIX4's host configuration byte 0xD2 bit 0, the ICH's (to the
// ICH5) byte 0x40 bit 0.
constexpr ChipDescriptor kPiix4 = {B::Intel, 0x90, 0xFFF0, 0, 0xD2, 0x01,
                                   S::BoardLatch, kHostPlain, kModelIntelPiix4Class};
// The 440MX's host is a PIIX4's; no board latch is known for it.
constexpr ChipDescriptor kPiix4Mx = {B::Intel, 0x90, 0xFFF0, 0, 0xD2, 0x01,
                                     S::None, kHostPlain, kModelIntelPiix4Class};
constexpr ChipDescriptor kIch = {B::Intel, 0x20, 0xFFF0, 0, 0x40, 0x01,
                                 S::SuperIo, kHostInUseSemaphore, 0};
// ICH4 and ICH5: the ICH with the auxiliary control register.
constexpr ChipDescriptor kIch4 = {B::Intel, 0x20, 0xFFF0, 0, 0x40, 0x01,
                                  S::SuperIo, kHostInUseSemaphore | kHostAuxControl, 0};
// ICH6 to the 9-series: BAR4, a 32-port block; every SPD on one bus.
constexpr ChipDescriptor kLaterIch = {B::Intel, 0x20, 0xFFE0, 0, 0, 0, S::None,
                                      kHostInUseSemaphore | kHostConfigByte | kHostAuxControl, 0};
// The AMD-756, 766 and 768: the block answers while bit 7 of configuration
// byte 0x41 is set.
constexpr ChipDescriptor kAmd756 = {B::AmdNvidia, 0x58, 0xFF00, 0, 0x41, 0x80, S::None, kHostPlain, 0};
// The AMD-8111's ACPI function: the same block, answering while bit 7 of
// configuration byte 0x41 is set.
constexpr ChipDescriptor kAmd8111 = {B::AmdNvidia, 0x58, 0xFF00, 0, 0x41, 0x80, S::None, kHostPlain, 0};
// The nForce's BAR points 0xE0 past the block the AMD layout counts from;
// the back-end takes the range at 0x14 first where the modules answer there.
constexpr ChipDescriptor kNforce = {B::AmdNvidia, 0x10, 0xFFF0, 0xE0, 0, 0,
                                    S::None,      kHostPlain, amd::kChipNforce};
constexpr ChipDescriptor kNforce2 = {B::Nvidia0064, 0x50, 0xFFF0, 0, 0, 0, S::None, kHostPlain, 0};
constexpr ChipDescriptor kVia586bRevE = {B::I2c, 0x20, 0xFFF0, 0, 0, 0,
                                         S::None, kHostPlain, kI2cPinsVia586b};
constexpr ChipDescriptor kVia586b = {B::I2c, 0x48, 0xFFF0, 0, 0, 0,
                                     S::None, kHostPlain, kI2cPinsVia586b};
// The VIA hosts: the base's I/O bit and the host configuration (byte 0xD2,
// or 0x84 with the 596's second base at 0x80) are checked by the VIA entry.
constexpr ChipDescriptor kVia596 = {B::Via, 0x90, 0xFFF0, 0, 0, 0, S::Gpo596, kHostPlain, kModelVia596};
constexpr ChipDescriptor kVia686 = {B::Via, 0x90, 0xFFF0, 0, 0, 0, S::Gpo686, kHostPlain, 0};
constexpr ChipDescriptor kVt8231 = {B::Via, 0x90, 0xFFF0, 0, 0, 0, S::None, kHostPlain, 0};
constexpr ChipDescriptor kVt8233 = {B::Via, 0xD0, 0xFFF0, 0, 0, 0, S::None, kHostPlain, 0};
// The later VIA south bridges: the host in the ISA bridge function, base in
// dword 0xD0.
constexpr ChipDescriptor kVt8237 = {B::Via, 0xD0, 0xFFF0, 0, 0, 0, S::None, kHostPlain, 0};
// The ALi/ULi M1563: base in bits 15-4 of word 0x80, I/O decode (bit 0) and
// host (bit 1) enabled in its low byte.
constexpr ChipDescriptor kM1563 = {B::AliM1563, 0x80, 0xFFF0, 0, 0x80, 0x03, S::None, kHostPlain, 0};
// The later nVidia MCPs: the nForce2 host block, twice; the back-end finds
// both channels' bases in the function's configuration space.
constexpr ChipDescriptor kNvidiaMcp = {B::NvidiaMcp, 0, 0, 0, 0, 0, S::None, kHostPlain, 0};
// The PIIX4-compatible hosts find their own base (configuration space or the
// power-management registers, by chip and revision).
constexpr ChipDescriptor kServerWorksHost = {B::Piix4Compat, 0, 0, 0, 0, 0,
                                             S::None, kHostPlain, piix4_compat::kChipLegacy};
constexpr ChipDescriptor kAti4385 = {B::Piix4Compat, 0, 0, 0, 0, 0,
                                     S::None, kHostPlain, piix4_compat::kChipAti4385};
constexpr ChipDescriptor kHudson2 = {B::Piix4Compat, 0, 0, 0, 0, 0,
                                     S::None, kHostPlain, piix4_compat::kChipHudson2};
constexpr ChipDescriptor kFch790B = {B::Piix4Compat, 0, 0, 0, 0, 0,
                                     S::None, kHostPlain, piix4_compat::kChipFch790B};
// The gathered decisions read their bases themselves.
constexpr ChipDescriptor kSis5595Chip = {B::Sis, 0, 0, 0, 0, 0, S::None, kHostPlain, sis::kChip5595};
constexpr ChipDescriptor kSis96xChip = {B::I2c, 0, 0, 0, 0, 0, S::None, kHostPlain, kI2cPinsSis96x};
// The SiS 630/730 and 760/964 host: the back-end reads the ACPI base of the
// south-bridge function itself; the host bridge tells where the block is in it.
constexpr ChipDescriptor kSis630Chip = {
    .Backend = B::Sis630, .BaseRegister = 0, .BaseMask = 0, .BaseSubtract = 0,
    .EnableRegister = 0, .EnableBits = 0, .Segments = S::None, .Features = kHostPlain,
    .Model = sis630::kChip630};
constexpr ChipDescriptor kSis760Chip = {
    .Backend = B::Sis630, .BaseRegister = 0, .BaseMask = 0, .BaseSubtract = 0,
    .EnableRegister = 0, .EnableBits = 0, .Segments = S::None, .Features = kHostPlain,
    .Model = sis630::kChip760};
constexpr ChipDescriptor kAliM7101Chip = {B::Ali, 0, 0, 0, 0, 0, S::M7101Config, kHostPlain,
                                         ali::kAliM15x3};
constexpr ChipDescriptor kAliM1535Chip = {B::Ali, 0, 0, 0, 0, 0, S::M7101Config, kHostPlain,
                                          ali::kAliM1535};

constexpr MessageArgs kRev = MessageArgs::Revision;

constexpr DirectRow kDirect[] = {
    {kIntel, 0x7113, kAnyRevision, &kPiix4, nullptr},
    {kIntel, 0x719B, kAnyRevision, &kPiix4Mx, nullptr},
    {kIntel, 0x2413, kAnyRevision, &kIch, nullptr},
    {kIntel, 0x2423, kAnyRevision, &kIch, nullptr},
    {kIntel, 0x2443, kAnyRevision, &kIch, nullptr},
    {kIntel, 0x2453, kAnyRevision, &kIch, nullptr},
    {kIntel, 0x2483, kAnyRevision, &kIch, nullptr},
    {kIntel, 0x24C3, kAnyRevision, &kIch4, nullptr},
    {kIntel, 0x24D3, kAnyRevision, &kIch4, nullptr},
    {kAmd, 0x740B, kAnyRevision, &kAmd756, nullptr},
    {kAmd, 0x7413, kAnyRevision, &kAmd756, nullptr},
    {kAmd, 0x7443, kAnyRevision, &kAmd756, nullptr},
    {kAmd, 0x746B, kAnyRevision, &kAmd8111, nullptr},
    {kNvidia, 0x01B4, kAnyRevision, &kNforce, nullptr},
    {kNvidia, 0x0064, kAnyRevision, &kNforce2, nullptr},
    {kVia, 0x3040, 0x00, &kVia586bRevE, "smbcore: Found VIA 586B Revision E\n"},
    {kVia, 0x3040, 0x01, &kVia586b, "smbcore: Found VIA 586B Revision F\n"},
    {kVia, 0x3040, 0x10, &kVia586b, "smbcore: Found VIA 586B Prod-Rev A\n"},
    {kVia, 0x3040, kAnyRevision, &kVia586b, "smbcore: Found VIA 586B, revid: %02X\n", kRev},
    {kVia, 0x3050, kAnyRevision, &kVia596, "smbcore: Found VIA 596A\n"},
    {kVia, 0x3051, kAnyRevision, &kVia596, "smbcore: Found VIA 596B\n"},
    {kVia, 0x3057, 0x00, &kVia686, "smbcore: Found VIA 686\n"},
    {kVia, 0x3057, 0x01, &kVia686, "smbcore: Found VIA 686A\n"},
    {kVia, 0x3057, 0x04, &kVia686, "smbcore: Found VIA 686B\n"},
    {kVia, 0x3057, kAnyRevision, &kVia686, "smbcore: Found VIA 686,  unknown revid: %02X\n", kRev},
    {kVia, 0x8235, kAnyRevision, &kVt8231, "smbcore: Found VIA VT8231 rev=%02X\n", kRev},
    {kVia, 0x3074, kAnyRevision, &kVt8233, "smbcore: Found VIA VT8233/5 device=%04X, rev=%02X\n",
     MessageArgs::DeviceRevision},
    {kVia, 0x3109, kAnyRevision, &kVt8233, "smbcore: Found VIA VT8233/5 device=%04X, rev=%02X\n",
     MessageArgs::DeviceRevision},
    {kVia, 0x3147, kAnyRevision, &kVt8233, "smbcore: Found VIA VT8233/5 device=%04X, rev=%02X\n",
     MessageArgs::DeviceRevision},
    {kVia, 0x3177, kAnyRevision, &kVt8233, "smbcore: Found VIA VT8233/5 device=%04X, rev=%02X\n",
     MessageArgs::DeviceRevision},
    // The VIA 586 is no candidate: it is only announced.
    {kVia, 0x0586, 0x00, nullptr, "smbcore: Found VIA 586\n"},
    {kVia, 0x0586, 0x02, nullptr, "smbcore: Found VIA 586A\n"},
    {kVia, 0x0586, 0x04, nullptr, "smbcore: Found VIA 586B\n"},
    {kVia, 0x0586, kAnyRevision, nullptr, "smbcore: Found VIA 586,  unknown revid: %02X\n", kRev},
    {kNvidia, 0x0084, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia nForce2 Ultra 400 rev=%02X\n",
     kRev},
    {kNvidia, 0x00D4, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia nForce3 Pro150 rev=%02X\n",
     kRev},
    {kNvidia, 0x00E4, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia nForce3 250Gb rev=%02X\n",
     kRev},
    {kNvidia, 0x0052, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia CK804 rev=%02X\n", kRev},
    {kNvidia, 0x0034, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia MCP04 rev=%02X\n", kRev},
    {kNvidia, 0x0264, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia MCP51 rev=%02X\n", kRev},
    {kNvidia, 0x0368, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia MCP55 rev=%02X\n", kRev},
    {kNvidia, 0x03EB, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia MCP61 rev=%02X\n", kRev},
    {kNvidia, 0x0446, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia MCP65 rev=%02X\n", kRev},
    {kNvidia, 0x0542, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia MCP67 rev=%02X\n", kRev},
    {kNvidia, 0x07D8, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia MCP73 rev=%02X\n", kRev},
    {kNvidia, 0x0752, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia MCP78S rev=%02X\n", kRev},
    {kNvidia, 0x0AA2, kAnyRevision, &kNvidiaMcp, "smbcore: Found nVidia MCP79 rev=%02X\n", kRev},
    {kVia, 0x3227, kAnyRevision, &kVt8237, "smbcore: Found VIA VT8237R rev=%02X\n", kRev},
    {kVia, 0x3337, kAnyRevision, &kVt8237, "smbcore: Found VIA VT8237A rev=%02X\n", kRev},
    {kVia, 0x3372, kAnyRevision, &kVt8237, "smbcore: Found VIA VT8237S rev=%02X\n", kRev},
    {kVia, 0x3287, kAnyRevision, &kVt8237, "smbcore: Found VIA VT8251 rev=%02X\n", kRev},
    {kVia, 0x8324, kAnyRevision, &kVt8237, "smbcore: Found VIA CX700 rev=%02X\n", kRev},
    {kVia, 0x8353, kAnyRevision, &kVt8237, "smbcore: Found VIA VX800/820 rev=%02X\n", kRev},
    {kVia, 0x8409, kAnyRevision, &kVt8237, "smbcore: Found VIA VX855/875 rev=%02X\n", kRev},
    {kVia, 0x8410, kAnyRevision, &kVt8237, "smbcore: Found VIA VX900 rev=%02X\n", kRev},
    {kAli, 0x1563, kAnyRevision, &kM1563, "smbcore: Found ALi M1563 rev=%02X\n", kRev},
    {kIntel, 0x266A, kAnyRevision, &kLaterIch, "smbcore: Found Intel ICH6\n"},
    {kIntel, 0x27DA, kAnyRevision, &kLaterIch, "smbcore: Found Intel ICH7/NM10\n"},
    {kIntel, 0x283E, kAnyRevision, &kLaterIch, "smbcore: Found Intel ICH8\n"},
    {kIntel, 0x2930, kAnyRevision, &kLaterIch, "smbcore: Found Intel ICH9\n"},
    {kIntel, 0x3A30, kAnyRevision, &kLaterIch, "smbcore: Found Intel ICH10\n"},
    {kIntel, 0x3A60, kAnyRevision, &kLaterIch, "smbcore: Found Intel ICH10D\n"},
    {kIntel, 0x3B30, kAnyRevision, &kLaterIch, "smbcore: Found Intel 5-series/3400\n"},
    {kIntel, 0x1C22, kAnyRevision, &kLaterIch, "smbcore: Found Intel 6-series\n"},
    {kIntel, 0x1D22, kAnyRevision, &kLaterIch, "smbcore: Found Intel C600/X79\n"},
    {kIntel, 0x1E22, kAnyRevision, &kLaterIch, "smbcore: Found Intel 7-series\n"},
    {kIntel, 0x8C22, kAnyRevision, &kLaterIch, "smbcore: Found Intel 8-series\n"},
    {kIntel, 0x9C22, kAnyRevision, &kLaterIch, "smbcore: Found Intel 8-series LP\n"},
    {kIntel, 0x8CA2, kAnyRevision, &kLaterIch, "smbcore: Found Intel 9-series\n"},
    {kIntel, 0x9CA2, kAnyRevision, &kLaterIch, "smbcore: Found Intel 9-series LP\n"},
    {kIntel, 0xA123, kAnyRevision, &kLaterIch, "smbcore: Found Intel 100-series\n"},
    {kIntel, 0x9D23, kAnyRevision, &kLaterIch, "smbcore: Found Intel 100-series LP\n"},
    {kIntel, 0xA2A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel 200-series\n"},
    {kIntel, 0xA1A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel C620\n"},
    {kIntel, 0xA223, kAnyRevision, &kLaterIch, "smbcore: Found Intel C620 Super SKU\n"},
    {kIntel, 0xA323, kAnyRevision, &kLaterIch, "smbcore: Found Intel 300-series\n"},
    {kIntel, 0x9DA3, kAnyRevision, &kLaterIch, "smbcore: Found Intel 300-series LP\n"},
    {kIntel, 0xA3A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel 400-series\n"},
    {kIntel, 0x02A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel 400-series LP\n"},
    {kIntel, 0x06A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel 400-series H\n"},
    {kIntel, 0x34A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel Ice Lake-LP\n"},
    {kIntel, 0x38A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel Ice Lake-N\n"},
    {kIntel, 0xA0A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel 500-series LP\n"},
    {kIntel, 0x43A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel 500-series\n"},
    {kIntel, 0x4DA3, kAnyRevision, &kLaterIch, "smbcore: Found Intel Jasper Lake\n"},
    {kIntel, 0x4B23, kAnyRevision, &kLaterIch, "smbcore: Found Intel Elkhart Lake\n"},
    {kIntel, 0x7AA3, kAnyRevision, &kLaterIch, "smbcore: Found Intel 600-series\n"},
    {kIntel, 0x51A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel 600-series P\n"},
    {kIntel, 0x54A3, kAnyRevision, &kLaterIch, "smbcore: Found Intel 600-series M\n"},
    {kIntel, 0x7A23, kAnyRevision, &kLaterIch, "smbcore: Found Intel 700-series\n"},
    {kIntel, 0x19DF, kAnyRevision, &kLaterIch, "smbcore: Found Intel Denverton\n"},
    {kIntel, 0x18DF, kAnyRevision, &kLaterIch, "smbcore: Found Intel Cedar Fork\n"},
    {kIntel, 0x0F12, kAnyRevision, &kLaterIch, "smbcore: Found Intel Bay Trail\n"},
    {kIntel, 0x2292, kAnyRevision, &kLaterIch, "smbcore: Found Intel Braswell\n"},
    {kIntel, 0x5AD4, kAnyRevision, &kLaterIch, "smbcore: Found Intel Apollo Lake\n"},
    {kIntel, 0x31D4, kAnyRevision, &kLaterIch, "smbcore: Found Intel Gemini Lake\n"},
    {kIntel, 0x1F3C, kAnyRevision, &kLaterIch, "smbcore: Found Intel Avoton/Rangeley\n"},
    {kIntel, 0x23B0, kAnyRevision, &kLaterIch, "smbcore: Found Intel Coleto Creek\n"},
    {kIntel, 0x25A4, kAnyRevision, &kLaterIch, "smbcore: Found Intel 6300ESB\n"},
    {kIntel, 0x269B, kAnyRevision, &kLaterIch, "smbcore: Found Intel ESB2\n"},
    {kIntel, 0x2330, kAnyRevision, &kLaterIch, "smbcore: Found Intel DH89xxCC\n"},
    {kIntel, 0x8D22, kAnyRevision, &kLaterIch, "smbcore: Found Intel C610/X99\n"},
    {kServerWorks, 0x0200, kAnyRevision, &kServerWorksHost, nullptr},
    {kServerWorks, 0x0201, kAnyRevision, &kServerWorksHost, nullptr},
    {kServerWorks, 0x0203, kAnyRevision, &kServerWorksHost, nullptr},
    {kServerWorks, 0x0205, kAnyRevision, &kServerWorksHost, nullptr},
    {kServerWorks, 0x0408, kAnyRevision, &kServerWorksHost, nullptr},
    {kAti, 0x4353, kAnyRevision, &kServerWorksHost, nullptr},
    {kAti, 0x4363, kAnyRevision, &kServerWorksHost, nullptr},
    {kAti, 0x4372, kAnyRevision, &kServerWorksHost, nullptr},
    {kAti, 0x4385, kAnyRevision, &kAti4385, nullptr},
    {kAmd, 0x780B, kAnyRevision, &kHudson2, nullptr},
    {kAmd, 0x790B, kAnyRevision, &kFch790B, nullptr},
};

// The chip's back-end set up on `function`; a back-end missing from this
// build fails like one that could not set itself up. Every back-end judges
// the base itself (0, or a block past port 0xFFFF: not acquired, no port
// touched).
int32_t Acquire(const ChipDescriptor& chip, PciLocation function, uint32_t base,
                SmbusController* controller) {
  const AcquireChipFn acquire = BackendEntry(chip.Backend);
  return acquire != nullptr ? acquire(controller, chip, function, base) : -1;
}

bool HostEnabled(const ChipDescriptor& chip, const PciFunctionInfo& f) {
  return chip.EnableBits == 0 || HostConfigEnabled(f.Location, chip.EnableRegister, chip.EnableBits);
}

// The row's base read and its back-end set up; -1 when not installed.
int32_t AcquireRow(const ChipDescriptor& chip, const PciFunctionInfo& f,
                   SmbusController* controller) {
  if (!HostEnabled(chip, f) || UnsafeBoard(chip)) return -1;
  uint32_t base = 0;
  if (chip.BaseRegister != 0) {
    base = (PciReadConfigDword(f.Location, chip.BaseRegister) & chip.BaseMask) - chip.BaseSubtract;
  }
  return Acquire(chip, f.Location, base, controller);
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
constexpr uint8_t kSis630Host = 1u << 5;       // a 630/730 host bridge: SMBus at ACPI base + 0x80
constexpr uint8_t kSis760Host = 1u << 6;       // the 760: SMBus at ACPI base + 0xE0
constexpr uint8_t kSis630South = 1u << 7;      // a south-bridge function carrying that ACPI block

struct SisRow {
  uint16_t DeviceId;
  uint8_t Effects;
};

constexpr SisRow kSisRows[] = {
    {0x0540, kSisRecord | kSisOtherHost}, {0x0550, kSisRecord | kSisOtherHost},
    {0x0630, kSisRecord | kSisOtherHost | kSis630Host}, {0x5511, kSisRecord | kSisOtherHost},
    {0x5597, kSisRecord | kSisOtherHost}, {0x5598, kSisRecord | kSisOtherHost},
    // Host bridges of chipsets whose 0x0008 function is no 5595.
    {0x0646, kSisRecord | kSisOtherHost}, {0x0648, kSisRecord | kSisOtherHost},
    {0x0650, kSisRecord | kSisOtherHost}, {0x0651, kSisRecord | kSisOtherHost},
    {0x0730, kSisRecord | kSisOtherHost | kSis630Host}, {0x0746, kSisRecord | kSisOtherHost},
    {0x0760, kSisRecord | kSisOtherHost | kSis760Host},
    {0x0645, kSisRecord | kSis96x},       {0x0745, kSisRecord | kSis96x},
    {0x0735, kSisRecord | kSis96x | kSisBaseWords},
    {0x0961, kSisRecord | kSis96x | kSisBaseWords},
    {0x0962, kSisRecord | kSis96x | kSisBaseWords},
    {0x0963, kSisRecord | kSis96x | kSisBaseWords},
    {0x0008, kSisBaseWords | kSis630South}, {0x0009, kSisPowerMgmt},
    {0x0018, kSis630South},                 {0x0964, kSis630South},
};

constexpr uint8_t kSis5595BaseWord = 0x90;
constexpr uint8_t kSis96xBaseWord = 0x74;

// The SiS back-ends take their base alone.
constexpr PciLocation kNoFunction = {0, 0, 0};

enum SisClass : uint32_t { kSisClass5595 = 1, kSisClass96x = 2, kSisClassUndetermined = 3 };

// ALi: the M1533 south bridge and the M7101 power-management function.
constexpr uint16_t kAliM1533 = 0x1533;
constexpr uint16_t kAliM7101 = 0x7101;
constexpr uint8_t kAliBaseAWord = 0xE2;   // used with M1533 revision 0
constexpr uint8_t kAliBaseBDword = 0x14;  // used with later revisions
constexpr uint32_t kAliBaseMask = 0xFFE0;
constexpr uint32_t kAliDefaultBaseB = 0x0000E801;  // written when base B is empty
constexpr uint32_t kAliDefaultBase = 0xE800;
constexpr uint16_t kAliBlockPorts = 0x20;
// The older bridges' M7101: its base registers read 0 while bits 1-2 of
// byte 0x5B (the lock) are set.
constexpr uint8_t kAliLockDword = 0x58;
constexpr uint32_t kAliLockBits = 0x06u << 24;
// The M1535's M7101: SMBus I/O enable (byte 0xD1 bit 2, in dword 0xD0) and
// host enable (byte 0xF0 bit 0).
constexpr uint8_t kAliM1535IoEnableDword = 0xD0;
constexpr uint32_t kAliM1535IoEnable = 0x04u << 8;
constexpr uint8_t kAliM1535HostEnableDword = 0xF0;
constexpr uint32_t kAliM1535HostEnable = 0x01;
// Below this the ports are the legacy board devices' (interrupt and DMA
// controllers, timer, keyboard), where firmware places no PCI function's block.
constexpr uint32_t kAliLowestBase = 0x100;

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
  uint8_t sis630Hosts;         // kSis630Host and kSis760Host as seen
  bool sis630SouthSeen;
  PciFunctionInfo sis630South;  // the first south-bridge function

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
    run->sis630Hosts |= row.Effects & (kSis630Host | kSis760Host);
    if ((row.Effects & kSis630South) != 0 && !run->sis630SouthSeen) {
      run->sis630SouthSeen = true;
      run->sis630South = f;
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
    if (row->Chip == nullptr) return;
    run->directMatchHandled = true;
    if (AcquireRow(*row->Chip, f, run->controller) == 0) {
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
      if (Acquire(kSis5595Chip, kNoFunction, run->sis5595Base, run->controller) == 0) return true;
    }
  }
  if (run->sisClass == kSisClass96x) {
    if (run->sis96xBase == 0) {
      DebugPrintHook("smbcore: SIS 96x found with NO ACPI base.\n");
    } else {
      DebugPrintHook("smbcore: SIS 96x detected at %04X!!!\n", run->sis96xBase);
      if (Acquire(kSis96xChip, kNoFunction, run->sis96xBase, run->controller) == 0) return true;
    }
  }
  // The 630/730 and 760/964 host, only beside one of their host bridges
  // (Linux's rule: other chipsets' 0x0008 functions are other hosts).
  if (run->sis630SouthSeen && (run->sis630Hosts & (kSis630Host | kSis760Host)) != 0) {
    // The 964 keeps its block at +0xE0 as the 760 does.
    const bool at0xE0 = (run->sis630Hosts & kSis760Host) != 0 ||
                        run->sis630South.DeviceId == sis630::kSouthBridge964;
    const ChipDescriptor& chip = at0xE0 ? kSis760Chip : kSis630Chip;
    if (Acquire(chip, run->sis630South.Location, 0, run->controller) == 0) {
      Record(run->info, run->sis630South);
      return true;
    }
  }
  return false;
}

// Bridge revision 0: the base in word 0xE2, where the M1535 keeps its
// M7101's. On the older M1533/M1543C that word is the SMBus clock register
// (0x20: 74 kHz), which masked points into the legacy ports (0x0020 is the
// interrupt controller's), so the word is a base only while the M1535's
// SMBus enables are set and it lies above those ports. Nothing is written.
uint32_t AliBaseA(const Discovery* run) {
  if (run->aliBaseA == 0) {
    DebugPrintHook("ali 1535 found with empty SMBus base\n");
    return 0;
  }
  const bool enabled =
      (PciReadConfigDword(run->m7101, kAliM1535IoEnableDword) & kAliM1535IoEnable) != 0 &&
      (PciReadConfigDword(run->m7101, kAliM1535HostEnableDword) & kAliM1535HostEnable) != 0;
  if (!enabled || run->aliBaseA < kAliLowestBase) {
    DebugPrintHook("smbcore: ALi M7101 word 0xE2 (%04X) is not an SMBus base "
                   "(0xD1 bit 2 and 0xF0 bit 0 must be set, the base at 0x100 or above)\n",
                   run->aliBaseA);
    return 0;
  }
  return run->aliBaseA;
}

// True when nothing answers at any port of the block (every read all ones).
bool PortsFree(uint32_t first, uint16_t count) {
  for (uint16_t i = 0; i < count; ++i) {
    if (PortReadByte(static_cast<uint16_t>(first + i)) != 0xFF) return false;
  }
  return true;
}

// Later revisions: the base in dword 0x14. One that reads 0 may be locked:
// the lock bits are cleared and the base read again. Still 0, the M7101 is
// given 0xE800 (where firmware usually puts it), only if nothing answers
// there already and the register takes it; otherwise it is put back and no
// controller is set up.
uint32_t AliBaseB(const Discovery* run) {
  if (run->aliBaseB != 0) return run->aliBaseB;
  const uint32_t lock = PciReadConfigDword(run->m7101, kAliLockDword);
  if ((lock & kAliLockBits) != 0) {
    PciWriteConfigDword(run->m7101, lock & ~kAliLockBits, kAliLockDword);
    DebugPrintHook("smbcore: ALi M7101 base registers locked (0x5B = %02X): lock cleared\n",
                   lock >> 24);
    const uint32_t base = PciReadConfigDword(run->m7101, kAliBaseBDword) & kAliBaseMask;
    if (base != 0) return base;
  }
  if (!PortsFree(kAliDefaultBase, kAliBlockPorts)) {
    DebugPrintHook("smbcore: ALi M7101 has no SMBus base and ports %04X-%04X answer: "
                   "no controller\n",
                   kAliDefaultBase, kAliDefaultBase + kAliBlockPorts - 1);
    return 0;
  }
  const uint32_t old = PciReadConfigDword(run->m7101, kAliBaseBDword);
  PciWriteConfigDword(run->m7101, kAliDefaultBaseB, kAliBaseBDword);
  const uint32_t readBack = PciReadConfigDword(run->m7101, kAliBaseBDword);
  if ((readBack & kAliBaseMask) != kAliDefaultBase) {
    PciWriteConfigDword(run->m7101, old, kAliBaseBDword);
    DebugPrintHook("smbcore: ALi M7101 did not take SMBus base %04X (dword 0x14 reads %08X): "
                   "no controller\n",
                   kAliDefaultBase, readBack);
    return 0;
  }
  return kAliDefaultBase;
}

// After the SiS decision, when both ALi functions were seen. True when installed.
bool DecideAli(Discovery* run) {
  if (!run->m1533Seen || !run->m7101Seen) return false;
  const bool m1535 = run->m1533Revision == 0;
  const uint32_t base = m1535 ? AliBaseA(run) : AliBaseB(run);
  if (base == 0) return false;
  return Acquire(m1535 ? kAliM1535Chip : kAliM7101Chip, run->m7101, base, run->controller) == 0;
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
