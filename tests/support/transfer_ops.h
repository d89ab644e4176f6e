// One transfer through a controller's transfer slot, chosen by a table column.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/smbus.h"

namespace testsupport {

using Op = SmbusOp;

constexpr Op kEveryOp[] = {Op::ReadByte, Op::ReadWord, Op::WriteByte};

// Reads at offset 0, or writes 0x5A to offset 74; returns the slot's result.
inline int32_t Transfer(SmbusController* c, Op op, OpStatus* status, uint8_t slave) {
  uint16_t data = 0x5A;
  return SmbusTransfer(c, status, op, slave, op == Op::WriteByte ? 74 : 0, &data);
}

}  // namespace testsupport
