// DelayMs of the bare-metal image: counts down PIT channel 2 in mode 0 and
// polls its output through system control port B. Interrupts stay off; the
// channel is free, since nothing here drives the speaker.
#include "hw/hw.h"
#include "platform/baremetal/io.h"
#include "platform/baremetal/pit_clock.h"

namespace {

constexpr uint16_t kPitChannel2 = 0x42;     // counter 2 data port
constexpr uint16_t kPitCommand = 0x43;      // mode/command register
constexpr uint16_t kSystemControlB = 0x61;  // port B: gate and output of counter 2

constexpr uint8_t kChannel2Mode0 = 0xB0;  // counter 2, low then high byte, mode 0, binary
constexpr uint8_t kGate2 = 0x01;          // port B bit 0: counter 2 gate
constexpr uint8_t kSpeakerData = 0x02;    // port B bit 1: speaker enable, kept off
constexpr uint8_t kOut2 = 0x20;           // port B bit 5: counter 2 output

constexpr uint32_t kTicksPerMs = 1193;         // the 1.193182 MHz input clock, whole ticks per ms
constexpr uint32_t kExtraPerThousandMs = 182;  // and the fraction, per 1000 ms
// Half of counter 0's wrap, so that the clock is read often enough.
constexpr uint32_t kLongestCount = 0x8000;

void CountDown(uint32_t ticks) {
  const uint8_t portB =
      static_cast<uint8_t>(baremetal::In8(kSystemControlB) & ~(kGate2 | kSpeakerData));
  baremetal::Out8(kSystemControlB, portB);
  baremetal::Out8(kPitCommand, kChannel2Mode0);
  baremetal::Out8(kPitChannel2, static_cast<uint8_t>(ticks & 0xFF));
  baremetal::Out8(kPitChannel2, static_cast<uint8_t>(ticks >> 8));
  baremetal::Out8(kSystemControlB, static_cast<uint8_t>(portB | kGate2));
  // Mode 0: the output goes high when the count runs out.
  while ((baremetal::In8(kSystemControlB) & kOut2) == 0) asm volatile("pause");
}

}  // namespace

void DelayMs(int32_t milliseconds) {
  if (milliseconds <= 0) return;
  const uint32_t ms = static_cast<uint32_t>(milliseconds);
  uint32_t ticks = ms * kTicksPerMs + ms * kExtraPerThousandMs / 1000;
  while (ticks > 0) {
    const uint32_t chunk = ticks < kLongestCount ? ticks : kLongestCount;
    CountDown(chunk);
    baremetal::PitTicks();
    ticks -= chunk;
  }
}
