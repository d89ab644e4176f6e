#include "hw/hw.h"
#include "smbus/smbus.h"
#include "smbus/spd_steps.h"

namespace spd_steps {

void Select(SmbusController* c) {
  if (c->SelectSegment != nullptr) c->SelectSegment(c->Context, c->Segment);
}

void Deselect(SmbusController* c) {
  if (c->DeselectSegment != nullptr) c->DeselectSegment(c->Context, c->Segment);
}

KeptHardwareHalf::KeptHardwareHalf(const OpStatus* status)
    : code_(status->HwCode), count_(status->HwDetailCount) {
  for (int i = 0; i < 8; ++i) detail_[i] = status->HwDetail[i];
}

void KeptHardwareHalf::PutBack(OpStatus* status) const {
  status->HwCode = code_;
  status->HwDetailCount = count_;
  for (int i = 0; i < 8; ++i) status->HwDetail[i] = detail_[i];
}

uint32_t ReadBlock(SmbusController* c, OpStatus* status, uint8_t slave, uint8_t* data,
                   uint8_t offset, uint32_t count) {
  uint32_t done = 0;
  for (uint32_t pair = 0; pair < count / 2; ++pair) {
    // The word lands in memory low byte first, so pairs fill the area in SPD
    // address order whatever the alignment of data + done.
    uint16_t word = 0;
    if (SmbusTransfer(c, status, SmbusOp::ReadWord, slave, offset, &word) != 0) {
      SetOpFailure(status, OpError::SpdBlockRead);
      return done;
    }
    data[done] = static_cast<uint8_t>(word & 0xFF);
    data[done + 1] = static_cast<uint8_t>(word >> 8);
    done += 2;
    offset = static_cast<uint8_t>(offset + 2);
  }
  if ((count & 1u) != 0) {
    uint16_t byte = 0;
    if (SmbusTransfer(c, status, SmbusOp::ReadByte, slave, offset, &byte) != 0) {
      SetOpFailure(status, OpError::SpdBlockRead);
    } else {
      data[done] = static_cast<uint8_t>(byte);
      done += 1;
    }
  }
  return done;
}

}  // namespace spd_steps

using namespace spd_steps;

namespace {

// One more write of the first-read value, after the probe has failed with
// byte 74 possibly left changed. The reply keeps describing the first
// failure: whatever this write does to the hardware half is undone.
void WriteBackOnce(SmbusController* c, OpStatus* status, uint8_t slave, uint8_t first) {
  const KeptHardwareHalf kept(status);
  uint16_t data = first;
  (void)SmbusTransfer(c, status, SmbusOp::WriteByte, slave, kSpdProbeOffset, &data);
  kept.PutBack(status);
}

// DDR4: the probe's byte 74 is that of page 0, whatever page the board
// left selected. Page 0 is selected only on modules known to be DDR4 (sets
// `moved` when it was); on any other bus nothing is sent. False when the
// page query failed: the hardware half holds why, and nothing may follow.
bool OnPageZero(SmbusController* c, OpStatus* status, uint8_t slot, bool* moved) {
  *moved = false;
  if ((c->Traits & kChipPageTransfers) == 0) return true;
  bool answered = false;
  const uint8_t found = QueryPage(c, status, &answered);
  if (found == kQueryFailed) return false;
  if (found == 0 || !ModulesAreDdr4(c, status, slot, found)) return true;
  const KeptHardwareHalf kept(status);
  *moved = SwitchPage(c, status, 0, &answered);
  if (!*moved) kept.PutBack(status);
  return true;
}

// The SPD types whose SPD is a plain EEPROM, by byte 2: SDRAM (4) to DDR4
// (0x0C), and DDR4E (0x0E). Past them come hubs whose low offsets are
// registers (DDR5's at 0x12).
constexpr bool PlainEepromType(uint8_t type) {
  return (type >= 0x04 && type <= 0x0C) || type == 0x0E;
}

}  // namespace

bool AnySpdSlotAnswers(SmbusController* controller) {
  for (uint8_t slot = 0; slot < kSpdSlots; ++slot) {
    OpStatus scratch;
    InitOpStatus(&scratch);
    uint16_t value = 0;
    if (SmbusTransfer(controller, &scratch, SmbusOp::ReadByte,
                      static_cast<uint8_t>(kSpdFirstSlave + slot), 0, &value) == 0) {
      return true;
    }
  }
  return false;
}

uint32_t ReadSpdBlock(SmbusController* controller, OpStatus* status, uint8_t slot, uint8_t* data,
                      uint8_t offset, uint32_t count) {
  const uint8_t slave = static_cast<uint8_t>(kSpdFirstSlave + slot);
  if (controller->Unavailable != 0) {
    SetOpFailure(status, OpError::ControllerUnavailable);
    return 0;
  }
  Select(controller);
  const uint32_t done = ReadBlock(controller, status, slave, data, offset, count);
  Deselect(controller);
  return done;
}

int32_t ProbeSpdWrite(SmbusController* controller, OpStatus* status, uint8_t slot) {
  const uint8_t slave = static_cast<uint8_t>(kSpdFirstSlave + slot);
  if (controller->Unavailable != 0) {
    SetOpFailure(status, OpError::ControllerUnavailable);
    return -1;
  }
  SetOpFailure(status, OpError::None);

  // One byte transfer of the probe on byte `offset`.
  const auto transfer = [&](SmbusOp op, uint8_t offset, uint8_t* value) {
    uint16_t data = *value;
    const int32_t r = SmbusTransfer(controller, status, op, slave, offset, &data);
    *value = static_cast<uint8_t>(data);
    return r;
  };
  int32_t result;
  uint8_t first = 0, readBack = 0;
  Select(controller);
  bool pageMoved = false;
  do {
    if (!OnPageZero(controller, status, slot, &pageMoved)) {
      SetOpFailure(status, OpError::PageQueryFailed);
      result = -1;
      break;
    }
    // Nothing is written to an SPD that is not a plain EEPROM.
    uint8_t type = 0;
    if (transfer(SmbusOp::ReadByte, kSpdTypeOffset, &type) != 0) {
      SetOpFailure(status, OpError::ProbeTypeUnreadable);
      result = -1;
      break;
    }
    if (!PlainEepromType(type)) {
      SetOpFailure(status, OpError::ProbeNotPlainEeprom, 1, type);
      result = -1;
      break;
    }
    if (transfer(SmbusOp::ReadByte, kSpdProbeOffset, &first) != 0) {
      SetOpFailure(status, OpError::ProbeFirstRead);
      result = -1;
      break;
    }
    // A failed changing write is noted and the read-back decides; a write
    // the chipset refused was never sent, so the byte is as it was.
    uint8_t changed = static_cast<uint8_t>(first + 1);
    if (transfer(SmbusOp::WriteByte, kSpdProbeOffset, &changed) != 0) {
      if (status->HwCode == OpError::SpdWritesBlocked) {
        SetOpFailure(status, OpError::SpdWritesBlocked);
        result = 0;
        break;
      }
      SetOpFailure(status, OpError::ProbeWrite);
    }
    if (transfer(SmbusOp::ReadByte, kSpdProbeOffset, &readBack) != 0) {
      SetOpFailure(status, OpError::ProbeReadBack);
      result = -2;
      break;
    }
    if (readBack == first) {
      result = 0;
      break;
    }
    if (transfer(SmbusOp::WriteByte, kSpdProbeOffset, &first) != 0) {
      SetOpFailure(status, OpError::ProbeRestore);
      result = -3;
      break;
    }
    if (transfer(SmbusOp::ReadByte, kSpdProbeOffset, &readBack) != 0) {
      SetOpFailure(status, OpError::ProbeReadAfterRestore);
      result = -4;
      break;
    }
    if (readBack != first) {
      SetOpFailure(status, OpError::ProbeMismatch);
      result = -5;
      break;
    }
    result = 1;
  } while (false);
  // The probe always tries to put byte 74 back: after a failed read-back the
  // changing write may have landed, and a failed or unverified restore gets
  // one more try.
  if (result == -2 || result == -3 || result == -5) WriteBackOnce(controller, status, slave, first);
  if (pageMoved) {
    bool answered = true;  // the modules took page 0
    PutPageBack(controller, status, 1, &answered);
  }
  Deselect(controller);
  return result;
}

int32_t SetSegment(SmbusController* controller, OpStatus*, uint32_t value) {
  controller->Segment = value;
  return 0;
}

void ReleaseController(SmbusController* controller) {
  if (controller->ReleaseDevice != nullptr) controller->ReleaseDevice(controller->Context);
  PoolFree(controller);
}
