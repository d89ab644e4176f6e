// Pin operations for GPIO pins whose lines follow output level bits: SCL
// and SDA are two output bits of a register of the chip's GPIO block (a bit
// at 1 lets its line go), read back from an input register; every write is
// a read-modify-write of the whole register, so the chip's other pins keep
// their state. The layout and the register width are the chip's. (The VIA
// 586B's push-pull pins are worked through their direction instead, in
// i2c_pins_via586b.cpp.)
#pragma once

#include <stdint.h>

#include "hw/hw.h"
#include "smbus/i2c_pins.h"

struct GpioPinLayout {
  uint16_t Enable;       // offset of the register whose EnableBits Open sets
  uint16_t EnableBits;   // hands the pins to the GPIO block
  uint16_t Output;       // offset of the output levels
  uint16_t Input;        // offset of the line states
  uint16_t Scl, Sda;     // their output bits
  uint8_t SclIn, SdaIn;  // bit numbers of their line states
};

// `Reg` is the width of the registers (uint8_t or uint16_t).
template <typename Reg, const GpioPinLayout& L>
struct GpioPins {
  static uint16_t Port(const I2cBus* bus, uint16_t offset) {
    return static_cast<uint16_t>(bus->IoBase + offset);
  }
  static Reg Read(const I2cBus* bus, uint16_t offset) {
    if constexpr (sizeof(Reg) == 2) return PortReadWord(Port(bus, offset));
    return PortReadByte(Port(bus, offset));
  }
  static void Write(const I2cBus* bus, uint16_t offset, Reg value) {
    if constexpr (sizeof(Reg) == 2) {
      PortWriteWord(Port(bus, offset), value);
    } else {
      PortWriteByte(Port(bus, offset), value);
    }
  }
  static void Change(I2cBus* bus, uint16_t offset, uint16_t bits, bool set) {
    const Reg old = Read(bus, offset);
    Write(bus, offset, static_cast<Reg>(set ? (old | bits) : (old & ~bits)));
  }

  static void ReassertScl(I2cBus* bus) { Change(bus, L.Output, L.Scl, true); }
  static void SetSda(I2cBus* bus, uint8_t level) { Change(bus, L.Output, L.Sda, level != 0); }
  static void SetScl(I2cBus* bus, uint8_t level) {
    Change(bus, L.Output, L.Scl, level != 0);
    I2cClockStretchWait(bus, level, &ReassertScl);
  }
  static uint8_t GetSda(I2cBus* bus) {
    return static_cast<uint8_t>((Read(bus, L.Input) >> L.SdaIn) & 1u);
  }
  static uint8_t GetScl(I2cBus* bus) {
    return static_cast<uint8_t>((Read(bus, L.Input) >> L.SclIn) & 1u);
  }

  // Takes the pins and leaves both lines high.
  static void Open(I2cBus* bus) {
    Change(bus, L.Enable, L.EnableBits, true);
    LinesHigh(bus);
  }
  // The two ways of giving the pins back: handing them back to the chip, or
  // leaving them ours with both lines high.
  static void Disable(I2cBus* bus) { Change(bus, L.Enable, L.EnableBits, false); }
  static void LinesHigh(I2cBus* bus) {
    SetScl(bus, 1);
    SetSda(bus, 1);
    DelayMs(0);
  }

  static constexpr I2cPinDriver Driver(I2cPinFn close, uint16_t blockEnd) {
    return {&Open, close, &SetSda, &SetScl, &GetSda, &GetScl, blockEnd};
  }
};
