// The few library routines the compiler may call on its own in a freestanding
// image (block copies and fills for structure assignment and zeroing). Written
// with string instructions so that the optimiser cannot turn them back into
// calls to themselves.
#include <stddef.h>
#include <stdint.h>

extern "C" {

void* memcpy(void* destination, const void* source, size_t count) {
  void* d = destination;
  asm volatile("rep movsb" : "+D"(d), "+S"(source), "+c"(count) : : "memory");
  return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
  auto* d = static_cast<uint8_t*>(destination);
  const auto* s = static_cast<const uint8_t*>(source);
  if (d <= s || d >= s + count) return memcpy(destination, source, count);
  // Overlapping with the destination above: copy backwards.
  d += count - 1;
  s += count - 1;
  asm volatile("std; rep movsb; cld" : "+D"(d), "+S"(s), "+c"(count) : : "memory");
  return destination;
}

void* memset(void* destination, int value, size_t count) {
  void* d = destination;
  asm volatile("rep stosb" : "+D"(d), "+c"(count) : "a"(value) : "memory");
  return destination;
}

int memcmp(const void* a, const void* b, size_t count) {
  const auto* x = static_cast<const uint8_t*>(a);
  const auto* y = static_cast<const uint8_t*>(b);
  for (size_t i = 0; i < count; ++i) {
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  }
  return 0;
}

}  // extern "C"
