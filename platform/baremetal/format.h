// A small printf-style formatter for the freestanding image: the debug hook
// and the console print through it. Conversions d i u x X o c s p %, flags
// - 0 + space #, width and precision (digits or *), length modifiers hh h l
// ll z. An unknown conversion is written out as it stands.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

namespace baremetal {

// Receives the formatted text one character at a time.
using FormatSink = void (*)(void* context, char c);

// Formats into `sink`; returns the number of characters produced.
uint32_t FormatTo(FormatSink sink, void* context, const char* format, va_list args);

// Formats into `buffer`, writing at most size - 1 characters and a zero (none
// when size is 0); returns the length the whole text would have.
uint32_t FormatV(char* buffer, uint32_t size, const char* format, va_list args);
uint32_t Format(char* buffer, uint32_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace baremetal
