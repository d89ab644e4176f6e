// The image's printf against the C library's, for the conversions the
// driver's messages and the self-test use.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/baremetal/format.h"

namespace {

std::string Ours(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  const uint32_t n = baremetal::FormatV(buffer, sizeof buffer, format, args);
  va_end(args);
  EXPECT_EQ(n, std::string(buffer).size());
  return buffer;
}

std::string Libc(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

#define SAME_AS_LIBC(...) EXPECT_EQ(Ours(__VA_ARGS__), Libc(__VA_ARGS__)) << #__VA_ARGS__

TEST(Format, IntegersMatchTheCLibrary) {
  SAME_AS_LIBC("%d %d %d", 0, -1, 2147483647);
  SAME_AS_LIBC("%d", static_cast<int>(0x80000000u));
  SAME_AS_LIBC("%i|%5d|%-5d|%05d|%+d|% d", 42, -42, 42, -42, 7, 7);
  SAME_AS_LIBC("%u %u", 0u, 4294967295u);
  SAME_AS_LIBC("%x %X %08X %#x %#X", 0xBEEFu, 0xBEEFu, 0x1234u, 0xABu, 0u);
  SAME_AS_LIBC("%02X %02X %02X", 0x0u, 0xAu, 0x1FFu);
  SAME_AS_LIBC("%04x %04x", 0x8086u, 0x7u);
  SAME_AS_LIBC("%o %#o %#o", 8u, 8u, 0u);
  SAME_AS_LIBC("%.3d %.0d| %8.3x %-8.3x|", 7, 0, 0xAu, 0xAu);
  SAME_AS_LIBC("%*d|%-*d|%.*d", 6, 12, 6, 12, 4, 12);
  SAME_AS_LIBC("%lu %ld %lx", 4000000000ul, -5l, 0xFFFFFFFFul);
  SAME_AS_LIBC("%llu %llx %lld", 18446744073709551615ull, 0x123456789ABCull, -9000000000ll);
  SAME_AS_LIBC("%hhu %hhx %hd %hu", 300, 0x1FF, 70000, 70000);
  SAME_AS_LIBC("%zu", sizeof(int));
}

TEST(Format, TextMatchesTheCLibrary) {
  SAME_AS_LIBC("%s|%10s|%-10s|%.3s|%c|%3c|%%", "abc", "abc", "abc", "abcdef", 'x', 'y');
  SAME_AS_LIBC("smbcore:vid(%04x) did(%04x) rev(%02x)\n", 0x8086, 0x7113, 0x03);
  SAME_AS_LIBC("smbcore: Found VIA VT8233/5 device=%04X, rev=%02X\n", 0x3074, 0x0);
  SAME_AS_LIBC("plain text with no conversion");
}

TEST(Format, OddInputIsShownNotLost) {
  EXPECT_EQ(Ours("%s", static_cast<const char*>(nullptr)), "(null)");
  EXPECT_EQ(Ours("a%qb"), "a%qb");  // unknown conversion
  EXPECT_EQ(Ours("end%"), "end%");  // a lone % at the end
}

TEST(Format, BufferIsCutButTheFullLengthReturned) {
  char buffer[6] = {'#', '#', '#', '#', '#', '#'};
  EXPECT_EQ(baremetal::Format(buffer, 5, "%s-%d", "abcdef", 12), 9u);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(buffer[5], '#');  // nothing past the size given
  EXPECT_EQ(baremetal::Format(buffer, 0, "%d", 5), 1u);
  EXPECT_EQ(buffer[0], 'a');  // size 0 writes nothing, not even the zero
}

}  // namespace
