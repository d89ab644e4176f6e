#include "platform/baremetal/console.h"

#include "platform/baremetal/format.h"
#include "platform/baremetal/io.h"

namespace baremetal {
namespace {

// The 16550 UART of COM1, registers from its base port.
constexpr uint16_t kCom1 = 0x3F8;
constexpr uint16_t kData = kCom1 + 0;             // transmit holding / divisor low (DLAB 1)
constexpr uint16_t kInterruptEnable = kCom1 + 1;  // interrupt enable / divisor high (DLAB 1)
constexpr uint16_t kFifoControl = kCom1 + 2;
constexpr uint16_t kLineControl = kCom1 + 3;
constexpr uint16_t kModemControl = kCom1 + 4;
constexpr uint16_t kLineStatus = kCom1 + 5;

constexpr uint8_t kDivisorLatch = 0x80;     // line control: DLAB
constexpr uint8_t kEightNoneOne = 0x03;     // line control: 8 data bits, no parity, 1 stop
constexpr uint16_t kDivisor115200 = 1;      // 1.8432 MHz / 16 / 115200
constexpr uint8_t kFifoEnableClear = 0x07;  // enable, clear receive and transmit FIFOs
constexpr uint8_t kDtrRts = 0x03;           // modem control: DTR and RTS, no interrupt line
constexpr uint8_t kTransmitEmpty = 0x20;    // line status: holding register empty

// A UART that is not there reads all ones and looks empty at once; this
// bounds the wait on one that never drains.
constexpr uint32_t kTransmitPollLimit = 1000000;

void PutRaw(char c) {
  for (uint32_t i = 0; i < kTransmitPollLimit && (In8(kLineStatus) & kTransmitEmpty) == 0; ++i) {
  }
  Out8(kData, static_cast<uint8_t>(c));
}

void PutFromFormat(void*, char c) {
  ConsolePut(c);
}

}  // namespace

void ConsoleInit() {
  Out8(kInterruptEnable, 0);
  Out8(kLineControl, kDivisorLatch);
  Out8(kData, static_cast<uint8_t>(kDivisor115200 & 0xFF));
  Out8(kInterruptEnable, static_cast<uint8_t>(kDivisor115200 >> 8));
  Out8(kLineControl, kEightNoneOne);
  Out8(kFifoControl, kFifoEnableClear);
  Out8(kModemControl, kDtrRts);
}

void ConsolePut(char c) {
  if (c == '\n') PutRaw('\r');
  PutRaw(c);
}

void ConsoleWrite(const char* text) {
  while (*text != '\0') ConsolePut(*text++);
}

uint32_t ConsolePrintV(const char* format, va_list args) {
  return FormatTo(&PutFromFormat, nullptr, format, args);
}

uint32_t ConsolePrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const uint32_t n = ConsolePrintV(format, args);
  va_end(args);
  return n;
}

}  // namespace baremetal
