#include "dimmio/spd_dump.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string_view>

#include "dimmio/spd.h"
#include "hex_text.h"

namespace dimmio {

namespace {

// A DDR4 EEPROM's two pages; every other type has the first 256 bytes only.
constexpr size_t kSpace = kSpdDdr4Bytes;
constexpr size_t kPage = 256;
constexpr size_t kBytesPerLine = 16;

enum class Cell : uint8_t { Missing, Byte, Unreadable };

struct Image {
  std::array<uint8_t, kSpace> Bytes{};
  std::array<Cell, kSpace> Cells{};
  bool AnyLine = false;
  size_t FirstBeyondPage = 0;  // the first offset past byte 255 a line gives; 0 for none
  std::string Error;
};

bool Ddr4(std::span<const uint8_t> bytes) {
  return bytes.size() > 2 && bytes[2] == static_cast<uint8_t>(SpdMemoryType::Ddr4Sdram);
}

bool IsText(std::span<const uint8_t> file) {
  for (uint8_t c : file) {
    if (!(c == '\n' || c == '\r' || c == '\t' || (c >= 0x20 && c < 0x7F))) return false;
  }
  return true;
}

std::optional<unsigned> HexValue(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  unsigned value = 0;
  for (char c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 16 +
            static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                      ? c - '0'
                                      : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
  }
  return value;
}

std::string_view NextToken(std::string_view& rest) {
  const size_t start = rest.find_first_not_of(" \t\r");
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  rest.remove_prefix(start);
  const size_t end = std::min(rest.find_first_of(" \t\r"), rest.size());
  const std::string_view token = rest.substr(0, end);
  rest.remove_prefix(end);
  return token;
}

// One line: "OFFSET:" then byte tokens, up to 16, until a token that is not
// one (the text column of a dump).
void TakeLine(std::string_view line, Image& image) {
  const size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return;
  line.remove_prefix(start);
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::optional<unsigned> offset = HexValue(line.substr(0, colon));
  if (!offset) return;
  std::string_view rest = line.substr(colon + 1);
  image.AnyLine = true;
  for (size_t i = 0; i < kBytesPerLine; ++i) {
    const std::string_view token = NextToken(rest);
    if (token.size() != 2) break;
    const bool unreadable = token == "XX" || token == "xx";
    const std::optional<unsigned> value = HexValue(token);
    if (!unreadable && !value) break;
    const size_t at = *offset + i;
    if (at >= kSpace) {
      image.Error = "offset " + HexText(static_cast<uint32_t>(at), 2) +
                    " is beyond a DDR4 SPD EEPROM's 512 bytes";
      return;
    }
    if (at >= kPage && image.FirstBeyondPage == 0) image.FirstBeyondPage = at;
    const Cell cell = unreadable ? Cell::Unreadable : Cell::Byte;
    const uint8_t byte = unreadable ? 0 : static_cast<uint8_t>(*value);
    if (image.Cells[at] != Cell::Missing && (image.Cells[at] != cell || image.Bytes[at] != byte)) {
      image.Error =
          "byte " + HexText(static_cast<uint32_t>(at), 2) + " is given twice with different values";
      return;
    }
    image.Cells[at] = cell;
    image.Bytes[at] = byte;
  }
}

SpdDump FromText(std::span<const uint8_t> file) {
  Image image;
  const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
  size_t at = 0;
  while (at < text.size() && image.Error.empty()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    TakeLine(text.substr(at, end - at), image);
    at = end + 1;
  }
  SpdDump dump;
  dump.Format = "hex dump";
  if (!image.Error.empty()) {
    dump.Error = image.Error;
    return dump;
  }
  if (!image.AnyLine) {
    dump.Error = "no hex dump lines (\"OFFSET: XX XX ...\") in it";
    return dump;
  }
  // Bytes past 255 only for a DDR4 module, whose EEPROM has a second page.
  const bool ddr4 = image.Cells[2] == Cell::Byte && Ddr4(image.Bytes);
  if (image.FirstBeyondPage != 0 && !ddr4) {
    dump.Error = "offset " + HexText(static_cast<uint32_t>(image.FirstBeyondPage), 2) +
                 " is beyond an SPD EEPROM's 256 bytes";
    return dump;
  }
  for (size_t i = 0; i < kSpdDecodedBytes; ++i) {
    if (image.Cells[i] == Cell::Unreadable) {
      dump.Error = "byte " + HexText(static_cast<uint32_t>(i), 2) +
                   " could not be read when the dump was made (XX)";
      return dump;
    }
    if (image.Cells[i] == Cell::Missing) {
      size_t last = i;
      while (last + 1 < kSpdDecodedBytes && image.Cells[last + 1] == Cell::Missing) ++last;
      dump.Error = "bytes " + HexText(static_cast<uint32_t>(i), 2) + "-" +
                   HexText(static_cast<uint32_t>(last), 2) +
                   " are missing: a decode needs bytes 0x00-0x7F";
      return dump;
    }
  }
  // The longest whole run: 128 bytes, the first page, or both.
  const auto whole = [&](size_t from, size_t to) {
    return std::all_of(image.Cells.begin() + static_cast<ptrdiff_t>(from),
                       image.Cells.begin() + static_cast<ptrdiff_t>(to),
                       [](Cell c) { return c == Cell::Byte; });
  };
  size_t length = kSpdDecodedBytes;
  if (whole(kSpdDecodedBytes, kPage)) length = ddr4 && whole(kPage, kSpace) ? kSpace : kPage;
  dump.Bytes.assign(image.Bytes.begin(), image.Bytes.begin() + static_cast<ptrdiff_t>(length));
  return dump;
}

}  // namespace

SpdDump ParseSpdDump(std::span<const uint8_t> file) {
  if (file.empty()) return {{}, "", "the file is empty"};
  // 512 raw bytes are the two pages of a DDR4 module.
  const bool rawSize = file.size() == kSpdDecodedBytes || file.size() == kPage ||
                       (file.size() == kSpace && Ddr4(file));
  if (IsText(file)) {
    SpdDump dump = FromText(file);
    if (dump.Error.empty() || !rawSize) return dump;
  } else if (!rawSize) {
    return {{},
            "",
            "neither a hex dump nor a raw SPD image of 128 or 256 bytes (it has " +
                std::to_string(file.size()) + " bytes" +
                (file.size() == kSpace ? "; 512 only for a DDR4 module" : "") + ")"};
  }
  return {{file.begin(), file.end()}, "raw binary", ""};
}

}  // namespace dimmio
