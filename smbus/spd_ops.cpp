#include "hw/hw.h"
#include "smbus/smbus.h"

namespace {

void Select(SmbusController* c) {
  if (c->SelectSegment != nullptr) c->SelectSegment(c->Context, c->Segment);
}

void Deselect(SmbusController* c) {
  if (c->DeselectSegment != nullptr) c->DeselectSegment(c->Context, c->Segment);
}

// One more write of the first-read value, after the probe has failed with
// byte 74 possibly left changed. The reply keeps describing the first
// failure: whatever this write does to the hardware half is undone.
void WriteBackOnce(SmbusController* c, OpStatus* status, uint8_t slave, uint8_t first) {
  const uint32_t hwCode = status->HwCode;
  const uint32_t hwDetailCount = status->HwDetailCount;
  uint32_t hwDetail[8];
  for (int i = 0; i < 8; ++i) hwDetail[i] = status->HwDetail[i];
  (void)c->WriteByte(c->Context, status, slave, kSpdProbeOffset, first);
  status->HwCode = hwCode;
  status->HwDetailCount = hwDetailCount;
  for (int i = 0; i < 8; ++i) status->HwDetail[i] = hwDetail[i];
}

}  // namespace

uint32_t ReadSpdBlock(SmbusController* controller, OpStatus* status, uint8_t slot,
                      uint8_t* data, uint8_t offset, uint32_t count) {
  const uint8_t slave = static_cast<uint8_t>(kSpdFirstSlave + slot);
  if (controller->Unavailable != 0) {
    SetOpFailure(status, OpError::ControllerUnavailable);
    return 0;
  }

  Select(controller);
  uint32_t done = 0;
  bool failed = false;
  for (uint32_t pair = 0; pair < count / 2; ++pair) {
    // The word lands in memory low byte first, so pairs fill the area in SPD
    // address order whatever the alignment of data + done.
    uint16_t word;
    if (controller->ReadWord(controller->Context, status, slave, offset, &word) != 0) {
      SetOpFailure(status, OpError::SpdBlockRead);
      failed = true;
      break;
    }
    data[done] = static_cast<uint8_t>(word & 0xFF);
    data[done + 1] = static_cast<uint8_t>(word >> 8);
    done += 2;
    offset = static_cast<uint8_t>(offset + 2);
  }
  if (!failed && (count & 1u) != 0) {
    if (controller->ReadByte(controller->Context, status, slave, offset, data + done) != 0) {
      SetOpFailure(status, OpError::SpdBlockRead);
    } else {
      done += 1;
    }
  }
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

  void* const ctx = controller->Context;
  int32_t result;
  uint8_t first = 0, readBack = 0;
  Select(controller);
  do {
    if (controller->ReadByte(ctx, status, slave, kSpdProbeOffset, &first) != 0) {
      SetOpFailure(status, OpError::ProbeFirstRead);
      result = -1;
      break;
    }
    // A failed changing write is noted and the read-back decides; a write
    // the chipset refused was never sent, so the byte is as it was.
    if (controller->WriteByte(ctx, status, slave, kSpdProbeOffset,
                              static_cast<uint8_t>(first + 1)) != 0) {
      if (status->HwCode == OpError::SpdWritesBlocked) {
        SetOpFailure(status, OpError::SpdWritesBlocked);
        result = 0;
        break;
      }
      SetOpFailure(status, OpError::ProbeWrite);
    }
    if (controller->ReadByte(ctx, status, slave, kSpdProbeOffset, &readBack) != 0) {
      SetOpFailure(status, OpError::ProbeReadBack);
      result = -2;
      break;
    }
    if (readBack == first) {
      result = 0;
      break;
    }
    if (controller->WriteByte(ctx, status, slave, kSpdProbeOffset, first) != 0) {
      SetOpFailure(status, OpError::ProbeRestore);
      result = -3;
      break;
    }
    if (controller->ReadByte(ctx, status, slave, kSpdProbeOffset, &readBack) != 0) {
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
