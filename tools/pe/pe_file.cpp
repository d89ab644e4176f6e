#include "tools/pe/pe_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

namespace peimage {

namespace {

// Offsets into the headers, from the start of the file or of the PE header.
constexpr size_t kDosMagicOffset = 0x00;
constexpr size_t kDosPeOffset = 0x3C;  // e_lfanew
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kImportDescriptorSize = 20;
constexpr size_t kOptCheckSum = 64;  // from the start of the optional header
constexpr size_t kOptDirectoryCount = 92;
constexpr size_t kOptDirectories = 96;
constexpr uint32_t kThunkByOrdinal = 0x80000000u;
constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint32_t kResourceSubdirectory = 0x80000000u;  // an entry's offset: a directory below
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr size_t kFixedInfoSize = 52;
constexpr uint16_t kBlockText = 1;  // a block whose value is text

// Says why in `error`; what a parse returns when it gives up.
std::nullopt_t Fail(std::string* error, const std::string& why) {
  *error = why;
  return std::nullopt;
}
bool Refuse(std::string* error, const std::string& why) {
  *error = why;
  return false;
}

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

  bool Has(size_t offset, size_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  uint16_t U16(size_t offset) const {
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  uint32_t U32(size_t offset) const {
    return static_cast<uint32_t>(U16(offset)) | static_cast<uint32_t>(U16(offset + 2)) << 16;
  }
  // A zero-terminated string that ends inside the file.
  std::optional<std::string> String(size_t offset) const {
    if (offset >= bytes_.size()) return std::nullopt;
    const void* end = std::memchr(bytes_.data() + offset, 0, bytes_.size() - offset);
    if (end == nullptr) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(bytes_.data() + offset),
                       static_cast<const uint8_t*>(end) - (bytes_.data() + offset));
  }

 private:
  const std::vector<uint8_t>& bytes_;
};

// File offset of a relative address inside a section's raw data.
std::optional<size_t> FileOffset(const Image& image, uint32_t rva) {
  const Section* section = image.SectionAt(rva);
  if (section == nullptr) return std::nullopt;
  const uint32_t into = rva - section->VirtualAddress;
  if (into >= section->RawSize) return std::nullopt;
  return static_cast<size_t>(section->RawOffset) + into;
}

bool ReadImports(const Reader& r, Image& image, std::string* error) {
  const DataDirectory dir = image.Directories[kDirImport];
  if (dir.Size == 0) return true;
  auto descriptor = FileOffset(image, dir.VirtualAddress);
  for (;; *descriptor += kImportDescriptorSize) {
    if (!descriptor || !r.Has(*descriptor, kImportDescriptorSize))
      return Refuse(error, "import descriptor outside the file");
    const uint32_t lookup = r.U32(*descriptor);
    const uint32_t name = r.U32(*descriptor + 12);
    const uint32_t iat = r.U32(*descriptor + 16);
    if (lookup == 0 && name == 0 && iat == 0) return true;
    const auto nameAt = FileOffset(image, name);
    const auto dll = nameAt ? r.String(*nameAt) : std::nullopt;
    auto thunk = FileOffset(image, lookup != 0 ? lookup : iat);
    uint32_t slot = iat;
    if (!dll || !thunk) return Refuse(error, "import descriptor points outside the sections");
    for (;; *thunk += 4, slot += 4) {
      if (!r.Has(*thunk, 4)) return Refuse(error, "import thunk outside the file");
      const uint32_t entry = r.U32(*thunk);
      if (entry == 0) break;
      if (entry & kThunkByOrdinal) {
        std::string ordinal = "#";  // appended: g++ 12 at -O3 warns wrongly of "#" + text
        ordinal += std::to_string(entry & 0xFFFF);
        image.Imports.push_back({*dll, ordinal, slot});
        continue;
      }
      const auto hintName = FileOffset(image, entry);
      const auto function = hintName ? r.String(*hintName + 2) : std::nullopt;
      if (!function) return Refuse(error, "import name outside the sections");
      image.Imports.push_back({*dll, *function, slot});
    }
  }
}

// The data of the version resource: the resource tree's version type, its
// first name and that name's first language. File offset and size.
std::optional<std::pair<size_t, size_t>> VersionResource(const Reader& r, const Image& image,
                                                         std::string* error) {
  const DataDirectory dir = image.Directories[kDirResource];
  const auto root = dir.Size != 0 ? FileOffset(image, dir.VirtualAddress) : std::nullopt;
  if (!root) return Fail(error, "no resource directory");
  // The entry of the directory `offset` bytes into the tree with the id, or
  // its first entry; its offset field.
  const auto entry = [&](uint32_t offset, std::optional<uint32_t> id) -> std::optional<uint32_t> {
    const size_t at = *root + (offset & ~kResourceSubdirectory);
    if ((offset & ~kResourceSubdirectory) >= dir.Size || !r.Has(at, 16)) return std::nullopt;
    const unsigned count = r.U16(at + 12) + r.U16(at + 14);
    for (unsigned i = 0; i < count && r.Has(at + 16 + 8 * i, 8); ++i) {
      if (!id || r.U32(at + 16 + 8 * i) == *id) return r.U32(at + 16 + 8 * i + 4);
    }
    return std::nullopt;
  };
  const auto names = entry(0, kResourceTypeVersion);
  const auto languages =
      names && (*names & kResourceSubdirectory) ? entry(*names, {}) : std::nullopt;
  const auto data =
      languages && (*languages & kResourceSubdirectory) ? entry(*languages, {}) : std::nullopt;
  if (!data || (*data & kResourceSubdirectory) || *data >= dir.Size || !r.Has(*root + *data, 16))
    return Fail(error, "no version resource");
  const auto at = FileOffset(image, r.U32(*root + *data));
  const size_t size = r.U32(*root + *data + 4);
  if (!at || !r.Has(*at, size)) return Fail(error, "version resource outside the sections");
  return std::pair{*at, size};
}

// One block of a version resource: a length, a key, a value, child blocks;
// each part 32-bit aligned from the resource's start.
struct Block {
  size_t End = 0;
  std::string Key;
  size_t Value = 0;
  size_t ValueLength = 0;
  size_t Children = 0;
};

std::string Narrow(const Reader& r, size_t at, size_t end, size_t* after = nullptr) {
  std::string text;
  for (; at + 2 <= end && r.U16(at) != 0; at += 2) {
    text += r.U16(at) < 0x80 ? static_cast<char>(r.U16(at)) : '?';
  }
  if (after != nullptr) *after = at + 2 <= end ? at + 2 : 0;
  return text;
}

// The block at `at`, which must end by `end`.
std::optional<Block> ReadBlock(const Reader& r, size_t base, size_t at, size_t end) {
  const auto align = [base](size_t offset) { return base + ((offset - base + 3) & ~size_t{3}); };
  if (at + 6 > end || r.U16(at) < 6 || r.U16(at) > end - at) return std::nullopt;
  Block b;
  b.End = at + r.U16(at);
  size_t keyEnd = 0;
  b.Key = Narrow(r, at + 6, b.End, &keyEnd);
  if (keyEnd == 0) return std::nullopt;
  b.Value = std::min(align(keyEnd), b.End);
  // A text value runs to its terminating zero (compilers count its length
  // in words or in bytes) and ends the block; a binary one has its length in
  // bytes. Blocks with children have no value.
  const bool text = r.U16(at + 4) == kBlockText && r.U16(at + 2) != 0;
  b.ValueLength = text ? 0 : r.U16(at + 2);
  if (b.ValueLength > b.End - b.Value) return std::nullopt;
  b.Children = text ? b.End : std::min(align(b.Value + b.ValueLength), b.End);
  return b;
}

// Calls `child` for each block inside `parent`; false when one does not fit.
template <typename Child>
bool EachChild(const Reader& r, size_t base, const Block& parent, Child child) {
  for (size_t at = parent.Children; at < parent.End;) {
    const auto b = ReadBlock(r, base, at, parent.End);
    if (!b || !child(*b)) return false;
    at = base + ((b->End - base + 3) & ~size_t{3});
  }
  return true;
}

}  // namespace

std::optional<VersionInfo> ReadVersionInfo(const std::vector<uint8_t>& bytes, const Image& image,
                                           std::string* error) {
  const Reader r(bytes);
  const auto resource = VersionResource(r, image, error);
  if (!resource) return std::nullopt;
  const size_t base = resource->first, size = resource->second;
  const auto root = ReadBlock(r, base, base, base + size);
  if (!root || root->Key != "VS_VERSION_INFO" || root->ValueLength < kFixedInfoSize ||
      r.U32(root->Value) != kFixedInfoSignature) {
    return Fail(error, "the version resource has no fixed file information");
  }
  VersionInfo info;
  const auto version = [&](size_t at) {
    return std::array<uint16_t, 4>{static_cast<uint16_t>(r.U32(at) >> 16), r.U16(at),
                                   static_cast<uint16_t>(r.U32(at + 4) >> 16), r.U16(at + 4)};
  };
  info.FileVersion = version(root->Value + 8);
  info.ProductVersion = version(root->Value + 16);
  info.FileOs = r.U32(root->Value + 32);
  info.FileType = r.U32(root->Value + 36);
  info.FileSubtype = r.U32(root->Value + 40);
  info.FileDate = uint64_t{r.U32(root->Value + 44)} << 32 | r.U32(root->Value + 48);
  bool firstTable = true;
  const bool nested = EachChild(r, base, *root, [&](const Block& child) {
    if (child.Key != "StringFileInfo") return true;
    return EachChild(r, base, child, [&](const Block& table) {
      const bool take = std::exchange(firstTable, false);
      return EachChild(r, base, table, [&](const Block& text) {
        if (take) info.Strings[text.Key] = Narrow(r, text.Value, text.End);
        return true;
      });
    });
  });
  if (!nested) return Fail(error, "the version resource's blocks do not nest");
  return info;
}

const Section* Image::SectionAt(uint32_t rva) const {
  for (const Section& section : Sections) {
    const uint32_t size = std::max(section.VirtualSize, section.RawSize);
    if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size) return &section;
  }
  return nullptr;
}

std::vector<uint8_t> ReadFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return {};
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (bytes.empty()) *error = path + " is empty";
  return bytes;
}

uint32_t CheckSum(const std::vector<uint8_t>& bytes, size_t checkSumOffset) {
  uint64_t sum = 0;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    uint32_t word = bytes[i];
    if (i + 1 < bytes.size()) word |= static_cast<uint32_t>(bytes[i + 1]) << 8;
    if (i >= checkSumOffset && i < checkSumOffset + 4) word = 0;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum) + static_cast<uint32_t>(bytes.size());
}

std::optional<Image> Parse(const std::vector<uint8_t>& bytes, std::string* error) {
  const Reader r(bytes);
  if (!r.Has(0, 0x40) || r.U16(kDosMagicOffset) != 0x5A4D) return Fail(error, "no MZ header");
  const size_t pe = r.U32(kDosPeOffset);
  if (!r.Has(pe, 4 + kFileHeaderSize) || r.U32(pe) != 0x00004550)
    return Fail(error, "no PE signature");
  Image image;
  const size_t file = pe + 4;
  image.Machine = r.U16(file);
  const uint16_t sectionCount = r.U16(file + 2);
  image.TimeDateStamp = r.U32(file + 4);
  const uint16_t optionalSize = r.U16(file + 16);
  image.Characteristics = r.U16(file + 18);

  const size_t opt = file + kFileHeaderSize;
  if (optionalSize < kOptDirectories || !r.Has(opt, optionalSize))
    return Fail(error, "optional header too short");
  image.Magic = r.U16(opt);
  if (image.Magic != kMagicPe32) return Fail(error, "not a PE32 optional header");
  image.EntryPoint = r.U32(opt + 16);
  image.ImageBase = r.U32(opt + 28);
  image.ImageSize = r.U32(opt + 56);
  image.HeadersSize = r.U32(opt + 60);
  image.CheckSum = r.U32(opt + kOptCheckSum);
  image.Subsystem = r.U16(opt + 68);
  const uint32_t directoryCount = r.U32(opt + kOptDirectoryCount);
  if (directoryCount > (optionalSize - kOptDirectories) / 8 || directoryCount <= kDirTls)
    return Fail(error, "data directories do not fit the optional header");
  for (uint32_t i = 0; i < directoryCount; ++i) {
    const size_t at = opt + kOptDirectories + 8 * i;
    image.Directories.push_back({r.U32(at), r.U32(at + 4)});
  }

  const size_t sections = opt + optionalSize;
  if (!r.Has(sections, sectionCount * kSectionHeaderSize))
    return Fail(error, "section table outside the file");
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const size_t at = sections + i * kSectionHeaderSize;
    Section s;
    s.Name.assign(reinterpret_cast<const char*>(bytes.data() + at),
                  strnlen(reinterpret_cast<const char*>(bytes.data() + at), 8));
    s.VirtualSize = r.U32(at + 8);
    s.VirtualAddress = r.U32(at + 12);
    s.RawSize = r.U32(at + 16);
    s.RawOffset = r.U32(at + 20);
    s.Characteristics = r.U32(at + 36);
    if (!r.Has(s.RawOffset, s.RawSize))
      return Fail(error, "raw data of section " + s.Name + " outside the file");
    image.Sections.push_back(s);
  }

  if (!ReadImports(r, image, error)) return std::nullopt;
  image.ComputedCheckSum = CheckSum(bytes, opt + kOptCheckSum);
  return image;
}

}  // namespace peimage
