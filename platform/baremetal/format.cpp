#include "platform/baremetal/format.h"

namespace baremetal {
namespace {

struct Conversion {
  bool leftAlign = false;
  bool zeroPad = false;
  bool plus = false;
  bool space = false;
  bool alternate = false;
  int32_t width = 0;
  int32_t precision = -1;  // -1: none given
  int32_t length = 0;      // -2 hh, -1 h, 0 int, 1 l, 2 ll, 3 z
};

struct Out {
  FormatSink sink;
  void* context;
  uint32_t count;

  void Put(char c) {
    sink(context, c);
    ++count;
  }
  void Repeat(char c, int32_t n) {
    for (int32_t i = 0; i < n; ++i) Put(c);
  }
};

uint32_t Length(const char* s, int32_t limit) {
  uint32_t n = 0;
  while ((limit < 0 || n < static_cast<uint32_t>(limit)) && s[n] != '\0') ++n;
  return n;
}

// Digits of `value` in `base`, least significant first; returns how many.
int32_t Digits(uint64_t value, uint32_t base, bool upper, char* digits) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  int32_t n = 0;
  // 32-bit values take the 32-bit division, the common case on this CPU.
  if (value <= 0xFFFFFFFFu) {
    uint32_t v = static_cast<uint32_t>(value);
    do {
      digits[n++] = set[v % base];
      v /= base;
    } while (v != 0);
  } else {
    do {
      digits[n++] = set[value % base];
      value /= base;
    } while (value != 0);
  }
  return n;
}

void Integer(Out& out, const Conversion& conv, uint64_t magnitude, bool negative, uint32_t base,
             bool upper, bool isSigned) {
  char digits[24];
  int32_t ndigits = Digits(magnitude, base, upper, digits);
  // An explicit precision of 0 prints nothing for the value 0.
  if (conv.precision == 0 && magnitude == 0) ndigits = 0;

  char prefix[2];
  int32_t nprefix = 0;
  if (isSigned) {
    if (negative)
      prefix[nprefix++] = '-';
    else if (conv.plus)
      prefix[nprefix++] = '+';
    else if (conv.space)
      prefix[nprefix++] = ' ';
  }
  if (conv.alternate && magnitude != 0 && base == 16) {
    prefix[nprefix++] = '0';
    prefix[nprefix++] = upper ? 'X' : 'x';
  }
  int32_t zeros = conv.precision > ndigits ? conv.precision - ndigits : 0;
  if (conv.alternate && base == 8 && zeros == 0 && (ndigits == 0 || digits[ndigits - 1] != '0')) {
    zeros = 1;
  }

  const int32_t body = nprefix + zeros + ndigits;
  int32_t pad = conv.width > body ? conv.width - body : 0;
  // The 0 flag pads between sign and digits, unless a precision is given or
  // the field is left-aligned.
  if (conv.zeroPad && !conv.leftAlign && conv.precision < 0) {
    zeros += pad;
    pad = 0;
  }
  if (!conv.leftAlign) out.Repeat(' ', pad);
  for (int32_t i = 0; i < nprefix; ++i) out.Put(prefix[i]);
  out.Repeat('0', zeros);
  for (int32_t i = ndigits - 1; i >= 0; --i) out.Put(digits[i]);
  if (conv.leftAlign) out.Repeat(' ', pad);
}

void Text(Out& out, const Conversion& conv, const char* s, uint32_t n) {
  const int32_t pad =
      conv.width > static_cast<int32_t>(n) ? conv.width - static_cast<int32_t>(n) : 0;
  if (!conv.leftAlign) out.Repeat(' ', pad);
  for (uint32_t i = 0; i < n; ++i) out.Put(s[i]);
  if (conv.leftAlign) out.Repeat(' ', pad);
}

uint64_t UnsignedArg(va_list& args, int32_t length) {
  switch (length) {
    case -2: return static_cast<unsigned char>(va_arg(args, unsigned int));
    case -1: return static_cast<unsigned short>(va_arg(args, unsigned int));
    case 1: return va_arg(args, unsigned long);
    case 2: return va_arg(args, unsigned long long);
    case 3: return va_arg(args, size_t);
    default: return va_arg(args, unsigned int);
  }
}

int64_t SignedArg(va_list& args, int32_t length) {
  switch (length) {
    case -2: return static_cast<signed char>(va_arg(args, int));
    case -1: return static_cast<short>(va_arg(args, int));
    case 1: return va_arg(args, long);
    case 2: return va_arg(args, long long);
    case 3: return static_cast<int64_t>(va_arg(args, size_t));
    default: return va_arg(args, int);
  }
}

struct BufferSink {
  char* buffer;
  uint32_t size;
  uint32_t used;
};

void PutInBuffer(void* context, char c) {
  auto* b = static_cast<BufferSink*>(context);
  if (b->size != 0 && b->used < b->size - 1) b->buffer[b->used++] = c;
}

}  // namespace

uint32_t FormatTo(FormatSink sink, void* context, const char* format, va_list args) {
  Out out{sink, context, 0};
  // A copy, so that the helpers can take it by reference on every ABI.
  va_list ap;
  va_copy(ap, args);
  const char* p = format;
  while (*p != '\0') {
    if (*p != '%') {
      out.Put(*p++);
      continue;
    }
    const char* start = p++;
    Conversion conv;
    for (;; ++p) {
      if (*p == '-')
        conv.leftAlign = true;
      else if (*p == '0')
        conv.zeroPad = true;
      else if (*p == '+')
        conv.plus = true;
      else if (*p == ' ')
        conv.space = true;
      else if (*p == '#')
        conv.alternate = true;
      else
        break;
    }
    if (*p == '*') {
      conv.width = va_arg(ap, int);
      if (conv.width < 0) {
        conv.leftAlign = true;
        conv.width = -conv.width;
      }
      ++p;
    } else {
      while (*p >= '0' && *p <= '9') conv.width = conv.width * 10 + (*p++ - '0');
    }
    if (*p == '.') {
      ++p;
      conv.precision = 0;
      if (*p == '*') {
        conv.precision = va_arg(ap, int);
        if (conv.precision < 0) conv.precision = -1;
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') conv.precision = conv.precision * 10 + (*p++ - '0');
      }
    }
    if (*p == 'h') {
      conv.length = -1;
      if (*++p == 'h') {
        conv.length = -2;
        ++p;
      }
    } else if (*p == 'l') {
      conv.length = 1;
      if (*++p == 'l') {
        conv.length = 2;
        ++p;
      }
    } else if (*p == 'z') {
      conv.length = 3;
      ++p;
    }

    const char conversion = *p;
    if (conversion != '\0') ++p;
    switch (conversion) {
      case 'd':
      case 'i': {
        const int64_t v = SignedArg(ap, conv.length);
        const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        Integer(out, conv, magnitude, v < 0, 10, false, true);
        break;
      }
      case 'u': Integer(out, conv, UnsignedArg(ap, conv.length), false, 10, false, false); break;
      case 'x': Integer(out, conv, UnsignedArg(ap, conv.length), false, 16, false, false); break;
      case 'X': Integer(out, conv, UnsignedArg(ap, conv.length), false, 16, true, false); break;
      case 'o': Integer(out, conv, UnsignedArg(ap, conv.length), false, 8, false, false); break;
      case 'p': {
        Conversion pointer;
        pointer.alternate = true;
        pointer.width = conv.width;
        pointer.leftAlign = conv.leftAlign;
        Integer(out, pointer, reinterpret_cast<uintptr_t>(va_arg(ap, void*)), false, 16, false,
                false);
        break;
      }
      case 'c': {
        const char c = static_cast<char>(va_arg(ap, int));
        Text(out, conv, &c, 1);
        break;
      }
      case 's': {
        const char* s = va_arg(ap, const char*);
        if (s == nullptr) s = "(null)";
        Text(out, conv, s, Length(s, conv.precision));
        break;
      }
      case '%': out.Put('%'); break;
      default:
        // Not a conversion this formatter knows: show it as written.
        while (start != p) out.Put(*start++);
        break;
    }
  }
  va_end(ap);
  return out.count;
}

uint32_t FormatV(char* buffer, uint32_t size, const char* format, va_list args) {
  BufferSink sink{buffer, size, 0};
  const uint32_t n = FormatTo(&PutInBuffer, &sink, format, args);
  if (size != 0) buffer[sink.used] = '\0';
  return n;
}

uint32_t Format(char* buffer, uint32_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const uint32_t n = FormatV(buffer, size, format, args);
  va_end(args);
  return n;
}

}  // namespace baremetal
