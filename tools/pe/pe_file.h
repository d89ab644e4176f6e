// A reader of 32-bit PE files: headers, sections, data directories and the
// import table, as the file holds them. The tool reads the installed driver's
// version with it; the loader places an image from what it reads, and the
// image checks look at the same fields.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace peimage {

struct Section {
  std::string Name;
  uint32_t VirtualAddress = 0;
  uint32_t VirtualSize = 0;
  uint32_t RawOffset = 0;
  uint32_t RawSize = 0;
  uint32_t Characteristics = 0;
};

struct Import {
  std::string Dll;
  std::string Function;  // "#n" for an import by ordinal
  uint32_t SlotRva = 0;  // its import address table entry
};

struct DataDirectory {
  uint32_t VirtualAddress = 0;
  uint32_t Size = 0;
};

// Data directory indexes and header values the checks use.
constexpr int kDirExport = 0;
constexpr int kDirImport = 1;
constexpr int kDirResource = 2;
constexpr int kDirBaseReloc = 5;
constexpr int kDirTls = 9;
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMagicPe32 = 0x010B;
constexpr uint16_t kSubsystemNative = 1;
constexpr uint16_t kSubsystemConsole = 3;
constexpr uint16_t kFileRelocsStripped = 0x0001;
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint32_t kSectionWrite = 0x80000000;
constexpr uint32_t kFileTypeApp = 1;  // the version resource's file types
constexpr uint32_t kFileTypeDriver = 3;
constexpr uint32_t kFileSubtypeSystemDriver = 7;

struct Image {
  uint16_t Machine = 0;
  uint16_t Characteristics = 0;
  uint32_t TimeDateStamp = 0;  // the file header's link time, 0 when the linker wrote none
  uint16_t Magic = 0;
  uint32_t EntryPoint = 0;  // relative to the image base
  uint32_t ImageBase = 0;
  uint32_t ImageSize = 0;    // SizeOfImage
  uint32_t HeadersSize = 0;  // SizeOfHeaders
  uint16_t Subsystem = 0;
  uint32_t CheckSum = 0;          // as stored in the optional header
  uint32_t ComputedCheckSum = 0;  // recomputed over the file
  std::vector<DataDirectory> Directories;
  std::vector<Section> Sections;
  std::vector<Import> Imports;

  // The section that holds the relative address, or null.
  const Section* SectionAt(uint32_t rva) const;
};

// What an image's version resource says: the fixed part's numbers and types,
// and the strings of its first string table.
struct VersionInfo {
  std::array<uint16_t, 4> FileVersion{};  // major, minor, patch, build
  std::array<uint16_t, 4> ProductVersion{};
  uint32_t FileOs = 0;
  uint32_t FileType = 0;
  uint32_t FileSubtype = 0;
  uint64_t FileDate = 0;  // the fixed part's file date, 0 when the resource names none
  std::map<std::string, std::string> Strings;  // characters past ASCII read as '?'
};

// Parses the bytes of an image; on a malformed image returns nothing and
// says why in `error`.
std::optional<Image> Parse(const std::vector<uint8_t>& bytes, std::string* error);

// The version resource of a parsed image; nothing, with `error` saying why,
// when the image has none or one whose blocks do not nest.
std::optional<VersionInfo> ReadVersionInfo(const std::vector<uint8_t>& bytes, const Image& image,
                                           std::string* error);

// Reads a whole file; empty with `error` set when it cannot.
std::vector<uint8_t> ReadFile(const std::string& path, std::string* error);

// The PE checksum of a file whose checksum field sits at `checkSumOffset`.
uint32_t CheckSum(const std::vector<uint8_t>& bytes, size_t checkSumOffset);

}  // namespace peimage
