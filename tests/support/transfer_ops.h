// One transfer through a controller's slots, chosen by a table column.
#pragma once

#include <stdint.h>

#include "driver/op_status.h"
#include "smbus/smbus.h"

namespace testsupport {

enum class Op { ReadByte, ReadWord, WriteByte };

constexpr Op kEveryOp[] = {Op::ReadByte, Op::ReadWord, Op::WriteByte};

// The hardware code a failed transfer of `op` reports.
constexpr uint32_t HwCodeOf(Op op) {
  return op == Op::ReadByte   ? OpError::ReadByteFailed
         : op == Op::ReadWord ? OpError::ReadWordFailed
                              : OpError::WriteByteFailed;
}

// Reads at offset 0, or writes 0x5A to offset 74; returns the slot's result.
inline int32_t Transfer(SmbusController* c, Op op, OpStatus* status, uint8_t slave) {
  uint8_t byte = 0;
  uint16_t word = 0;
  switch (op) {
    case Op::ReadByte: return c->ReadByte(c->Context, status, slave, 0, &byte);
    case Op::ReadWord: return c->ReadWord(c->Context, status, slave, 0, &word);
    case Op::WriteByte: return c->WriteByte(c->Context, status, slave, 74, 0x5A);
  }
  return 0;
}

}  // namespace testsupport
