// What a chipset family is to discovery: one constant SmbusBackend object
// that owns the family's PCI ID rows (each naming a chip descriptor: where
// the I/O base is, which bits enable the host, how segment 1 is switched,
// the chip's traits), one acquire entry that sets the family up on a chip
// found, and the one transfer entry that acquire puts into the controller.
// Discovery walks the list of these objects (discovery/backends.cpp).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "dimmio/dimmio.h"
#include "hw/hw.h"
#include "smbus/smbus.h"

// How segment 1 reaches the second bank of modules.
enum class SegmentSwitch : uint8_t {
  None,         // every SPD on one bus
  BoardLatch,   // bits 4-3 of the board latch at port 0xE437
  SuperIo,      // bits 4-3 of register 0xF1 of the Super I/O's logical device 8
  Gpo596,       // bit 3 of the VIA 596's general-purpose outputs at port 0xE44F
  Gpo686,       // bit 0 of the VIA 686's outputs at port 0xE44D, bit 3 cleared with it
  M7101Config,  // bits 5-6 of the ALi M7101's configuration dword 0xB8
};

// A set of segment switches: the ones a back-end drives.
constexpr uint32_t SwitchBit(SegmentSwitch s) {
  return s == SegmentSwitch::None ? 0u : 1u << static_cast<unsigned>(s);
}

// The chip's traits, as the chipset record hands them to user mode.
constexpr uint32_t kChipInUseSemaphore = DIMMIO_CHIP_INUSE_SEMAPHORE;
constexpr uint32_t kChipLateBusy = DIMMIO_CHIP_LATE_BUSY;  // the first poll waits 2 ms
constexpr uint32_t kChipSpdsOnCpuBus = DIMMIO_CHIP_SPDS_ON_CPU_BUS;
constexpr uint32_t kChipSpdWriteDisable = DIMMIO_CHIP_SPD_WRITE_DISABLE;
static_assert(kChipPageTransfers == DIMMIO_CHIP_PAGE_TRANSFERS);

struct ChipDescriptor {
  uint8_t BaseRegister = 0;   // configuration dword holding the I/O base; 0: the back-end finds it
  uint32_t BaseMask = 0;
  uint32_t BaseSubtract = 0;  // taken off after masking (unsigned 32-bit)
  // A configuration byte whose EnableBits must all be set for the host to
  // answer; with one clear the back-end is not set up (no port touched).
  uint8_t EnableRegister = 0;
  uint8_t EnableBits = 0;     // 0: nothing to check
  SegmentSwitch Segments = SegmentSwitch::None;
  uint32_t Traits = 0;        // kChip* bits, public
  uint32_t Quirks = 0;        // the family's own named bits (its header lists them)
};

// The traits the chipset record carries for `chip`.
constexpr uint32_t RecordTraits(const ChipDescriptor& chip) {
  return chip.Traits | (chip.Segments != SegmentSwitch::None ? DIMMIO_CHIP_SEGMENT_SWITCH : 0u);
}

// Never defined: reached in a constant evaluation, it stops the build.
void DescriptorNamesASegmentSwitchItsBackEndDoesNotDrive();

// Every descriptor of a family is made through this, with the switches
// the family drives: a descriptor naming another switch does not compile.
consteval ChipDescriptor DrivenBy(uint32_t switches, ChipDescriptor chip) {
  if ((SwitchBit(chip.Segments) & ~switches) != 0) {
    DescriptorNamesASegmentSwitchItsBackEndDoesNotDrive();
  }
  return chip;
}

enum class MessageArgs : uint8_t { None, Revision, DeviceRevision };

constexpr int16_t kAnyRevision = -1;

// One PCI ID of a row group. IDs of one device with a given revision come
// before its any-revision ID.
struct ChipId {
  uint16_t DeviceId;
  int16_t RevisionId = kAnyRevision;  // or the one revision the ID is for
  const char* Message = nullptr;      // printed before the base is read; null: none
  MessageArgs Args = MessageArgs::None;
};

// IDs of one vendor whose chip is the same. Chip null: the IDs are only
// announced (their message printed), and the walk goes on.
struct ChipGroup {
  uint16_t VendorId;
  const ChipDescriptor* Chip;
  const ChipId* Ids;
  size_t IdCount;
};

template <size_t N>
constexpr size_t CountOf(const ChipId (&)[N]) {
  return N;
}

// A chip discovery found, as the family's acquire gets it.
struct ChipFound {
  const ChipDescriptor* Chip;
  PciLocation Function;  // the function the row matched (the SiS decisions: none)
  // The I/O base discovery read for it (from the chip's base register, or by
  // the SiS and ALi decisions); 0 for a family that finds its own.
  uint32_t IoBase;
  bool SecondHostUnsafe = false;  // the board forbids the chip's second host
};

// 0 installed (the controller's Transfer, release and segment slots and its
// Traits set), -1 not (the controller untouched).
using AcquireChipFn = int32_t (*)(SmbusController* controller, const ChipFound& found);

struct PciDeviceRecord;

// For a family whose chip no PCI ID names alone (which host it is, and
// where, depends on the other functions present): after the walk, when no
// row took a chip and the SiS and ALi decisions installed nothing, it picks
// its chip among the functions the walk found. True with `found` filled and
// `chosen` the function the chipset record is to name; discovery then calls
// the family's acquire with `found`. It reads no register itself.
using DecideAfterWalkFn = bool (*)(const PciDeviceRecord* functions, uint32_t count,
                                   ChipFound* found, const PciDeviceRecord** chosen);

struct SmbusBackend {
  const char* Name;
  const ChipGroup* Groups;  // the PCI IDs discovery matches directly
  size_t GroupCount;
  AcquireChipFn Acquire;
  SmbusTransferFn Transfer;  // what Acquire installs
  uint32_t Switches;         // SwitchBit of every segment switch the family drives
  DecideAfterWalkFn DecideAfterWalk = nullptr;  // null: its rows (or a decision above) only
};

// Builds a family's object, checking every row's descriptor against the
// switches the family drives.
consteval SmbusBackend MakeBackend(SmbusBackend backend) {
  for (size_t g = 0; g < backend.GroupCount; ++g) {
    const ChipDescriptor* chip = backend.Groups[g].Chip;
    if (chip != nullptr && (SwitchBit(chip->Segments) & ~backend.Switches) != 0) {
      DescriptorNamesASegmentSwitchItsBackEndDoesNotDrive();
    }
  }
  return backend;
}

// What a family's acquire puts into the controller.
struct SmbusOps {
  SmbusTransferFn Transfer;
  SmbusReleaseFn ReleaseDevice = nullptr;
  SmbusSegmentFn SelectSegment = nullptr;  // null: no segment switch
  SmbusSegmentFn DeselectSegment = nullptr;
};

inline void InstallOps(SmbusController* controller, void* context, const SmbusOps& ops,
                       const ChipDescriptor& chip) {
  controller->Context = context;
  controller->Transfer = ops.Transfer;
  controller->ReleaseDevice = ops.ReleaseDevice;
  controller->SelectSegment = ops.SelectSegment;
  controller->DeselectSegment = ops.DeselectSegment;
  controller->Traits = RecordTraits(chip);
}

// A transfer the host has no protocol for: it fails, nothing touched.
int32_t NoSuchTransfer(OpStatus* status, SmbusOp op);

// Whether every one of `bits` is set in configuration byte `reg` of
// `function`; when not, a discovery message names the register and what it
// reads. A host whose enable is clear decodes nothing, and the base it still
// shows may belong to another device by now.
bool HostConfigEnabled(PciLocation function, uint8_t reg, uint8_t bits);
