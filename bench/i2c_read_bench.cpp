// Reading one whole SPD image over the bit-banged bus, on each pin driver's
// board, through discovery's controller, the GPIO register models and the
// bit-level slave. Reports, per SPD byte and per 256-byte image, the port
// accesses and the delay calls it costs, next to the counts the engine's
// step rules give, and the virtual milliseconds (none: every delay of a read
// is zero-length).
//
// The count from the step rules, for both pin drivers: a step sets SCL (read,
// write, zero-length delay, and when raising it one reading of SCL) and SDA
// (read, write), then a zero-length delay: 4 port accesses and 2 delays with
// SCL low, 5 and 2 with SCL high. A read-byte transfer is START and address,
// command and its acknowledge, repeated START and address, the byte with the
// master's no-acknowledge, STOP; each START also reads SDA once to see that
// no slave holds it. A word is two such transfers, so an SPD byte costs one.
#include "whole_image_read.h"

namespace {

struct Cost {
  uint64_t ports;
  uint64_t delays;
  constexpr Cost operator+(Cost o) const { return {ports + o.ports, delays + o.delays}; }
  constexpr Cost operator*(uint64_t n) const { return {ports * n, delays * n}; }
};

constexpr Cost kStepSclLow{4, 2};
constexpr Cost kStepSclHigh{5, 2};
constexpr Cost kReading{1, 0};
constexpr Cost kSendBit = kStepSclLow + kStepSclHigh + kStepSclLow;
constexpr Cost kSendByte = kSendBit * 8;
constexpr Cost kAcknowledged = kStepSclLow + kStepSclHigh + kReading + kStepSclLow;
constexpr Cost kStartAddress =
    kStepSclHigh + kReading + kStepSclHigh + kStepSclLow + kSendByte + kAcknowledged;
constexpr Cost kReceiveLast = kStepSclLow + (kStepSclHigh + kReading + kStepSclLow) * 8 + kSendBit;
constexpr Cost kStop = kStepSclLow + kStepSclHigh + kStepSclHigh;
constexpr Cost kReadByte =
    kStartAddress + kSendByte + kAcknowledged + kStartAddress + kReceiveLast + kStop;
static_assert(kReadByte.ports == 495 && kReadByte.delays == 220);

void ReadImage(benchmark::State& state, const char* boardName, uint8_t slot) {
  ImageCost cost{};
  if (!ReadWholeImages(state, boardName, slot, &cost)) return;
  state.counters["port_accesses_per_byte"] = cost.portAccesses / 256;
  state.counters["port_accesses_per_byte_rules"] = static_cast<double>(kReadByte.ports);
  state.counters["delays_per_byte"] = cost.delayCalls / 256;
  state.counters["delays_per_byte_rules"] = static_cast<double>(kReadByte.delays);
  state.counters["port_accesses_per_image"] = cost.portAccesses;
  state.counters["delays_per_image"] = cost.delayCalls;
  state.counters["virtual_ms_per_image"] = cost.virtualMs;
}

void BM_ReadSpdImageSis96xPins(benchmark::State& state) {
  ReadImage(state, "sis96x", 0);
}
void BM_ReadSpdImageVia586bPins(benchmark::State& state) {
  ReadImage(state, "via586b", 0);
}
BENCHMARK(BM_ReadSpdImageSis96xPins)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSpdImageVia586bPins)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
