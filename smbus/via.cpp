#include "smbus/via.h"

#include "hw/hw.h"
#include "smbus/host_status.h"
#include "smbus/pci_vendors.h"
#include "smbus/register_transaction.h"

namespace via {

namespace {

using namespace smbus_host;

// Host status clearing: the busy, interrupt and error bits that read as set
// are written back as 1 (which clears the sticky ones), bits 5-7 as 0.
constexpr uint8_t kStatusClearKeep = kStatusBusy | kStatusEndBits;

constexpr host_status::HostStatusBits kStatusBits = {
    .BusyMask = kStatusBusy, .IdleValue = 0, .ErrorMask = kStatusErrorMask};

// Segment switching: general-purpose outputs at fixed ports, wired on the
// board to the switch in front of the second bank of modules.
constexpr uint32_t kSwitchedSegment = 1;  // the only segment that is switched
struct SegmentPort {
  uint16_t Port;
  uint8_t KeepMask;    // bits the read-modify-write keeps
  uint8_t SelectBits;  // set on select; nothing is set on deselect
};
// The 596: bit 3 of port 0xE44F.
constexpr SegmentPort kGpo596Switch = {.Port = 0xE44F, .KeepMask = 0xF7, .SelectBits = 0x08};
// The 686: bit 0 of port 0xE44D selects, bit 3 is cleared with it.
constexpr SegmentPort kGpo686Switch = {.Port = 0xE44D, .KeepMask = 0xF6, .SelectBits = 0x01};

// The last register of the block this back-end uses.
constexpr uint32_t kBlockEnd = kData1;

void ModifyPort(uint16_t port, uint8_t andMask, uint8_t orMask) {
  const uint8_t value = PortReadByte(port);
  PortWriteByte(port, static_cast<uint8_t>((value & andMask) | orMask));
}

void SwitchSegment(const ViaContext* ctx, uint32_t segment, bool select) {
  if (segment != kSwitchedSegment) return;
  const SegmentPort* sw = nullptr;
  if (ctx->Segments == SegmentSwitch::Gpo596) sw = &kGpo596Switch;
  if (ctx->Segments == SegmentSwitch::Gpo686) sw = &kGpo686Switch;
  if (sw == nullptr) return;  // VT8231, VT8233/5 and later: no switch
  ModifyPort(sw->Port, sw->KeepMask, select ? sw->SelectBits : 0);
}

// The end of every transfer: status cleared, then the verdict on the final
// status, where a host still busy counts as failed.
int32_t Finish(uint32_t ioBase, OpStatus* status, uint8_t finalStatus, uint32_t hwCode) {
  ResetStatus(ioBase);
  return host_status::JudgeFinalStatus(kStatusBits, status, finalStatus, hwCode);
}

uint32_t BaseOf(void* context) {
  return static_cast<ViaContext*>(context)->IoBase;
}

void ReleaseDevice(void* context) {
  PoolFree(context);
}

void SelectSegment(void* context, uint32_t segment) {
  SwitchSegment(static_cast<ViaContext*>(context), segment, true);
}

void DeselectSegment(void* context, uint32_t segment) {
  SwitchSegment(static_cast<ViaContext*>(context), segment, false);
}

constexpr SmbusOps kOps = {.Transfer = &Transfer,
                           .ReleaseDevice = &ReleaseDevice,
                           .SelectSegment = &SelectSegment,
                           .DeselectSegment = &DeselectSegment};

// A VIA host answers only while its base's bit 0 reads 1 and bit 0 of its
// host configuration byte SMBHSTCFG (0xD2) is set. The 596 has a second
// pair, base dword 0x80 with host configuration 0x84.
constexpr uint32_t kViaIoBit = 0x01;
constexpr uint8_t kViaHostConfig = 0xD2;
constexpr uint8_t kViaHostEnable = 0x01;
constexpr uint8_t kVia596SecondBase = 0x80;
constexpr uint8_t kVia596SecondHostConfig = 0x84;

int32_t AcquireChip(SmbusController* controller, const ChipFound& found) {
  const ChipDescriptor& chip = *found.Chip;
  uint8_t baseRegister = chip.BaseRegister;
  uint8_t hostConfig = kViaHostConfig;
  uint32_t ioBase = found.IoBase;
  uint32_t base = PciReadConfigDword(found.Function, baseRegister);
  if ((base & kViaIoBit) == 0 && (chip.Quirks & kQuirkSecondBasePair) != 0) {
    const uint32_t second = PciReadConfigDword(found.Function, kVia596SecondBase);
    if ((second & kViaIoBit) != 0) {
      baseRegister = kVia596SecondBase;
      hostConfig = kVia596SecondHostConfig;
      base = second;
      ioBase = second & chip.BaseMask;
    }
  }
  if ((base & kViaIoBit) == 0) {
    if (DebugPrintHook != nullptr) {
      DebugPrintHook("smbcore: VIA SMBus base %04X has no I/O bit (configuration %02X): not used\n",
                     ioBase, baseRegister);
    }
    return -1;
  }
  if (!HostConfigEnabled(found.Function, hostConfig, kViaHostEnable)) return -1;
  if (!host_status::UsableIoBase(ioBase, kBlockEnd)) return -1;
  auto* ctx = static_cast<ViaContext*>(PoolAlloc(sizeof(ViaContext)));
  if (ctx == nullptr) return -1;
  ctx->IoBase = ioBase;
  ctx->Segments = chip.Segments;
  InstallOps(controller, ctx, kOps, chip);
  if (chip.Segments == SegmentSwitch::None) {
    controller->SelectSegment = nullptr;
    controller->DeselectSegment = nullptr;
  }
  // A transfer under way is firmware's: its end is left for it to see.
  if (!host_status::StillBusy(kStatusBits, PortReadByte(Port(ioBase, kHostStatus)))) {
    ResetStatus(ioBase);
  }
  return 0;
}

constexpr uint32_t kSwitches = SwitchBit(SegmentSwitch::Gpo596) | SwitchBit(SegmentSwitch::Gpo686);
constexpr uint8_t kBaseRegister = 0x90;       // SMBBA of the power-management function
constexpr uint8_t kLaterBaseRegister = 0xD0;  // SMBBA of the VT8233/5 and later

constexpr ChipDescriptor kVia596 = DrivenBy(kSwitches, {.BaseRegister = kBaseRegister,
                                                        .BaseMask = 0xFFF0,
                                                        .Segments = SegmentSwitch::Gpo596,
                                                        .Quirks = kQuirkSecondBasePair});
constexpr ChipDescriptor kVia686 = DrivenBy(
    kSwitches,
    {.BaseRegister = kBaseRegister, .BaseMask = 0xFFF0, .Segments = SegmentSwitch::Gpo686});
constexpr ChipDescriptor kVt8231 =
    DrivenBy(kSwitches, {.BaseRegister = kBaseRegister, .BaseMask = 0xFFF0});
// The VT8233/5 and the later VIA south bridges: the host in the ISA bridge
// function, base in dword 0xD0.
constexpr ChipDescriptor kVt8233 =
    DrivenBy(kSwitches, {.BaseRegister = kLaterBaseRegister, .BaseMask = 0xFFF0});

constexpr MessageArgs kRev = MessageArgs::Revision;
constexpr MessageArgs kDevRev = MessageArgs::DeviceRevision;
constexpr const char* kVt8233Message = "smbcore: Found VIA VT8233/5 device=%04X, rev=%02X\n";

// The device IDs: the power-management function of the VT82C596A/B, the
// VT82C686 and the VT8231; the ISA bridge function of the VT8233/5 and the
// later south bridges; the VT82C586's ISA bridge, only announced.
namespace ids {
constexpr uint16_t kVt82C596A = 0x3050;
constexpr uint16_t kVt82C596B = 0x3051;
constexpr uint16_t kVt82C686 = 0x3057;  // the 686, 686A and 686B, told by revision
constexpr uint16_t kVt8231 = 0x8235;    // not the VT8235, whose ID is 0x3177
constexpr uint16_t kVt8233 = 0x3074;
constexpr uint16_t kVt8233C = 0x3109;
constexpr uint16_t kVt8233A = 0x3147;
constexpr uint16_t kVt8235 = 0x3177;
constexpr uint16_t kVt8237R = 0x3227;
constexpr uint16_t kVt8237A = 0x3337;
constexpr uint16_t kVt8237S = 0x3372;
constexpr uint16_t kVt8251 = 0x3287;
constexpr uint16_t kCx700 = 0x8324;
constexpr uint16_t kVx800 = 0x8353;  // VX800 and VX820
constexpr uint16_t kVx855 = 0x8409;  // VX855 and VX875
constexpr uint16_t kVx900 = 0x8410;
constexpr uint16_t kVt82C586 = 0x0586;
}  // namespace ids

constexpr ChipId kVia596Ids[] = {
    {.DeviceId = ids::kVt82C596A, .Message = "smbcore: Found VIA 596A\n"},
    {.DeviceId = ids::kVt82C596B, .Message = "smbcore: Found VIA 596B\n"},
};
constexpr ChipId kVia686Ids[] = {
    {.DeviceId = ids::kVt82C686, .RevisionId = 0x00, .Message = "smbcore: Found VIA 686\n"},
    {.DeviceId = ids::kVt82C686, .RevisionId = 0x01, .Message = "smbcore: Found VIA 686A\n"},
    {.DeviceId = ids::kVt82C686, .RevisionId = 0x04, .Message = "smbcore: Found VIA 686B\n"},
    {.DeviceId = ids::kVt82C686,
     .Message = "smbcore: Found VIA 686,  unknown revid: %02X\n",
     .Args = kRev},
};
constexpr ChipId kVt8231Ids[] = {
    {.DeviceId = ids::kVt8231, .Message = "smbcore: Found VIA VT8231 rev=%02X\n", .Args = kRev},
};
constexpr ChipId kVt8233Ids[] = {
    {.DeviceId = ids::kVt8233, .Message = kVt8233Message, .Args = kDevRev},
    {.DeviceId = ids::kVt8233C, .Message = kVt8233Message, .Args = kDevRev},
    {.DeviceId = ids::kVt8233A, .Message = kVt8233Message, .Args = kDevRev},
    {.DeviceId = ids::kVt8235, .Message = kVt8233Message, .Args = kDevRev},
    {.DeviceId = ids::kVt8237R, .Message = "smbcore: Found VIA VT8237R rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kVt8237A, .Message = "smbcore: Found VIA VT8237A rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kVt8237S, .Message = "smbcore: Found VIA VT8237S rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kVt8251, .Message = "smbcore: Found VIA VT8251 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kCx700, .Message = "smbcore: Found VIA CX700 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kVx800, .Message = "smbcore: Found VIA VX800/820 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kVx855, .Message = "smbcore: Found VIA VX855/875 rev=%02X\n", .Args = kRev},
    {.DeviceId = ids::kVx900, .Message = "smbcore: Found VIA VX900 rev=%02X\n", .Args = kRev},
};
// The VIA 586 is no candidate: it is only announced.
constexpr ChipId kVia586Ids[] = {
    {.DeviceId = ids::kVt82C586, .RevisionId = 0x00, .Message = "smbcore: Found VIA 586\n"},
    {.DeviceId = ids::kVt82C586, .RevisionId = 0x02, .Message = "smbcore: Found VIA 586A\n"},
    {.DeviceId = ids::kVt82C586, .RevisionId = 0x04, .Message = "smbcore: Found VIA 586B\n"},
    {.DeviceId = ids::kVt82C586,
     .Message = "smbcore: Found VIA 586,  unknown revid: %02X\n",
     .Args = kRev},
};

constexpr ChipGroup kGroups[] = {
    {.VendorId = kVendorVia, .Chip = &kVia596, .Ids = kVia596Ids, .IdCount = CountOf(kVia596Ids)},
    {.VendorId = kVendorVia, .Chip = &kVia686, .Ids = kVia686Ids, .IdCount = CountOf(kVia686Ids)},
    {.VendorId = kVendorVia, .Chip = &kVt8231, .Ids = kVt8231Ids, .IdCount = CountOf(kVt8231Ids)},
    {.VendorId = kVendorVia, .Chip = &kVt8233, .Ids = kVt8233Ids, .IdCount = CountOf(kVt8233Ids)},
    {.VendorId = kVendorVia, .Chip = nullptr, .Ids = kVia586Ids, .IdCount = CountOf(kVia586Ids)},
};

}  // namespace

constexpr SmbusBackend kViaBackend = MakeBackend({
    .Name = "via",
    .Groups = kGroups,
    .GroupCount = sizeof(kGroups) / sizeof(kGroups[0]),
    .Acquire = &AcquireChip,
    .Transfer = &Transfer,
    .Switches = kSwitches,
});

void ResetStatus(uint32_t ioBase) {
  WriteBackStatus(ioBase, kStatusClearKeep, 0);
}

namespace {

// The slave address before the command.
void Program(uint32_t ioBase, const Transaction& t) {
  PortWriteByte(Port(ioBase, kSlaveAddress), AddressByte(t.Slave, t.IsRead));
  PortWriteByte(Port(ioBase, kHostCommand), t.Command);
  PortWriteByte(Port(ioBase, kHostControl), static_cast<uint8_t>(t.Protocol | kControlStart));
}

// Bit 1 of the status is unnamed on VIA: busy clear ends a transfer. One
// still running after the poll limit is killed.
constexpr TransactionSteps<uint8_t> kSteps = {.Bits = kStatusBits,
                                              .CallerWaitedForIdle = false,
                                              .WaitIdle = &WaitForBusReady,
                                              .Program = &Program,
                                              .AfterPoll = nullptr,
                                              .ReadSettleMs = kReadSettleMs,
                                              .WriteSettleMs = kWriteSettleMs,
                                              .WaitDone = &WaitForBusReady,
                                              .LeftBits = kStatusEndBits,
                                              .ClearLeft = &ClearEndBits,
                                              .Kill = &KillTransfer};

// Waits for idle first; a host still busy then is not started, and its busy
// status is returned as the final one.
uint8_t CallSMBus(uint32_t ioBase, uint8_t protocol, uint8_t slave, uint8_t command,
                  uint8_t isRead) {
  return RunTransaction(kSteps, ioBase, {protocol, slave, command, isRead, 0});
}

}  // namespace

int32_t Transfer(void* context, OpStatus* status, SmbusOp op, uint8_t slave, uint8_t command,
                 uint16_t* data) {
  if (op == SmbusOp::SendByte || op == SmbusOp::ReceiveByte) return NoSuchTransfer(status, op);
  const uint32_t base = BaseOf(context);
  const uint32_t hwCode = HwCodeOf(op);
  WaitForBusReady(base);
  if (op == SmbusOp::WriteByte) {
    PortWriteByte(Port(base, kData0), static_cast<uint8_t>(*data));
    const uint8_t final = CallSMBus(base, kProtocolByteData, slave, command, 0);
    ResetStatus(base);
    WaitForBusReady(base);
    return host_status::JudgeFinalStatus(kStatusBits, status, final, hwCode);
  }
  const bool word = op == SmbusOp::ReadWord;
  const uint8_t final =
      CallSMBus(base, word ? kProtocolWordData : kProtocolByteData, slave, command, 1);
  const uint8_t low = PortReadByte(Port(base, kData0));
  const uint8_t high = word ? PortReadByte(Port(base, kData1)) : 0;
  *data = static_cast<uint16_t>(low | (high << 8));
  return Finish(base, status, final, hwCode);
}

}  // namespace via
