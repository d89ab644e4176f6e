// The serial console of the bare-metal image: COM1, 115200 baud, 8N1, polled.
#pragma once

#include <stdarg.h>
#include <stdint.h>

namespace baremetal {

void ConsoleInit();
void ConsolePut(char c);  // a '\n' goes out as CR LF
void ConsoleWrite(const char* text);
uint32_t ConsolePrintV(const char* format, va_list args);
uint32_t ConsolePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace baremetal
