#include "platform/baremetal/pit_clock.h"

#include "platform/baremetal/io.h"

namespace baremetal {

namespace {

constexpr uint16_t kPitChannel0 = 0x40;   // counter 0 data port
constexpr uint16_t kPitCommand = 0x43;    // mode/command register
constexpr uint8_t kChannel0Mode2 = 0x34;  // counter 0, low then high byte, mode 2, binary
constexpr uint8_t kLatchChannel0 = 0x00;  // counter 0, latch the count

bool g_running;
uint16_t g_lastCount;
uint32_t g_ticks;

uint16_t LatchedCount() {
  Out8(kPitCommand, kLatchChannel0);
  const uint8_t low = In8(kPitChannel0);
  const uint8_t high = In8(kPitChannel0);
  return static_cast<uint16_t>(low | high << 8);
}

}  // namespace

uint32_t PitTicks() {
  if (!g_running) {
    // A count of 0 is 65536: the longest period between wraps.
    Out8(kPitCommand, kChannel0Mode2);
    Out8(kPitChannel0, 0);
    Out8(kPitChannel0, 0);
    g_running = true;
    g_lastCount = LatchedCount();
    return g_ticks;
  }
  // The counter counts down; the difference modulo 2^16 is the time since.
  const uint16_t count = LatchedCount();
  g_ticks += static_cast<uint16_t>(g_lastCount - count);
  g_lastCount = count;
  return g_ticks;
}

}  // namespace baremetal
