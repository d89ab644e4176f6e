#include "loader/pe_image.h"

#include <sys/mman.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace loader {

namespace {

// Headers of a PE32 image, as offsets into them.
constexpr uint16_t kDosMagic = 0x5A4D;        // "MZ"
constexpr uint32_t kDosNewHeader = 0x3C;      // file offset of the PE signature
constexpr uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kOptionalMagicPe32 = 0x010B;
// File header, after the signature.
constexpr uint32_t kFhMachine = 0;
constexpr uint32_t kFhSectionCount = 2;
constexpr uint32_t kFhOptionalSize = 16;
constexpr uint32_t kFileHeaderSize = 20;
// Optional header.
constexpr uint32_t kOhMagic = 0;
constexpr uint32_t kOhEntryPoint = 16;
constexpr uint32_t kOhImageBase = 28;
constexpr uint32_t kOhImageSize = 56;
constexpr uint32_t kOhHeadersSize = 60;
constexpr uint32_t kOhSubsystem = 68;
constexpr uint32_t kOhDirectoryCount = 92;
constexpr uint32_t kOhDirectories = 96;  // 8 bytes each: rva, size
constexpr uint32_t kDirImport = 1;
constexpr uint32_t kDirBaseRelocation = 5;
// Section header.
constexpr uint32_t kShVirtualSize = 8;
constexpr uint32_t kShVirtualAddress = 12;
constexpr uint32_t kShRawSize = 16;
constexpr uint32_t kShRawPointer = 20;
constexpr uint32_t kSectionHeaderSize = 40;
// Base relocation entry types.
constexpr uint16_t kRelAbsolute = 0;  // padding
constexpr uint16_t kRelHighLow = 3;   // 32-bit address
// Import descriptor.
constexpr uint32_t kIdLookupTable = 0;
constexpr uint32_t kIdName = 12;
constexpr uint32_t kIdAddressTable = 16;
constexpr uint32_t kImportDescriptorSize = 20;
constexpr uint32_t kImportByOrdinal = 0x80000000u;

template <typename T>
bool Get(const std::vector<uint8_t>& file, uint64_t at, T* out) {
  if (at + sizeof(T) > file.size()) return false;
  std::memcpy(out, file.data() + at, sizeof(T));
  return true;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

}  // namespace

std::vector<uint8_t> ReadFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return {};
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) *error = path + " is empty";
  return bytes;
}

std::unique_ptr<PeImage> PeImage::Map(const std::vector<uint8_t>& file, std::string* error) {
  std::unique_ptr<PeImage> image(new PeImage());
  if (!image->Place(file, error)) return nullptr;
  return image;
}

PeImage::~PeImage() {
  if (base_ != nullptr) munmap(base_, size_);
}

bool PeImage::InImage(uint32_t rva, uint32_t length) const {
  return static_cast<uint64_t>(rva) + length <= size_;
}

bool PeImage::Place(const std::vector<uint8_t>& file, std::string* error) {
  uint16_t dosMagic = 0;
  uint32_t peAt = 0, signature = 0;
  if (!Get(file, 0, &dosMagic) || dosMagic != kDosMagic || !Get(file, kDosNewHeader, &peAt) ||
      !Get(file, peAt, &signature) || signature != kPeSignature) {
    *error = "not a PE image";
    return false;
  }
  const uint64_t fh = static_cast<uint64_t>(peAt) + 4;
  const uint64_t oh = fh + kFileHeaderSize;
  uint16_t machine = 0, sections = 0, optionalSize = 0, magic = 0;
  uint32_t headersSize = 0, directoryCount = 0;
  if (!Get(file, fh + kFhMachine, &machine) || !Get(file, fh + kFhSectionCount, &sections) ||
      !Get(file, fh + kFhOptionalSize, &optionalSize) || !Get(file, oh + kOhMagic, &magic)) {
    *error = "truncated PE header";
    return false;
  }
  if (machine != kMachineI386 || magic != kOptionalMagicPe32) {
    *error = "not a 32-bit x86 image (machine " + Hex(machine) + ", optional header " +
             Hex(magic) + ")";
    return false;
  }
  if (!Get(file, oh + kOhEntryPoint, &entryRva_) || !Get(file, oh + kOhImageBase, &preferredBase_) ||
      !Get(file, oh + kOhImageSize, &size_) || !Get(file, oh + kOhHeadersSize, &headersSize) ||
      !Get(file, oh + kOhSubsystem, &subsystem_) ||
      !Get(file, oh + kOhDirectoryCount, &directoryCount) || size_ == 0 ||
      headersSize > size_ || headersSize > file.size()) {
    *error = "truncated or inconsistent optional header";
    return false;
  }
  if (entryRva_ == 0 || entryRva_ >= size_) {
    *error = "image has no entry point (AddressOfEntryPoint " + Hex(entryRva_) + ")";
    return false;
  }

  // Anywhere but the preferred base, so that the relocations are exercised.
  void* at = mmap(nullptr, size_, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS,
                  -1, 0);
  if (at != MAP_FAILED && reinterpret_cast<uintptr_t>(at) == preferredBase_) {
    void* other = mmap(nullptr, size_, PROT_READ | PROT_WRITE | PROT_EXEC,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    munmap(at, size_);
    at = other;
  }
  if (at == MAP_FAILED) {
    *error = "cannot map " + std::to_string(size_) + " bytes for the image";
    return false;
  }
  base_ = static_cast<uint8_t*>(at);
  std::memcpy(base_, file.data(), headersSize);

  const uint64_t sectionTable = oh + optionalSize;
  for (uint16_t i = 0; i < sections; ++i) {
    const uint64_t sh = sectionTable + static_cast<uint64_t>(i) * kSectionHeaderSize;
    uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawPointer = 0;
    if (!Get(file, sh + kShVirtualSize, &virtualSize) ||
        !Get(file, sh + kShVirtualAddress, &virtualAddress) || !Get(file, sh + kShRawSize, &rawSize) ||
        !Get(file, sh + kShRawPointer, &rawPointer)) {
      *error = "truncated section table";
      return false;
    }
    const uint32_t copy = rawSize < virtualSize || virtualSize == 0 ? rawSize : virtualSize;
    if (!InImage(virtualAddress, virtualSize > copy ? virtualSize : copy) ||
        static_cast<uint64_t>(rawPointer) + copy > file.size()) {
      *error = "section " + std::to_string(i) + " lies outside the image or the file";
      return false;
    }
    std::memcpy(base_ + virtualAddress, file.data() + rawPointer, copy);  // the rest stays zero
  }

  auto directory = [&](uint32_t index, uint32_t* rva, uint32_t* size) {
    *rva = *size = 0;
    if (index >= directoryCount) return;
    Get(file, oh + kOhDirectories + index * 8, rva);
    Get(file, oh + kOhDirectories + index * 8 + 4, size);
  };
  uint32_t rva = 0, size = 0;
  directory(kDirBaseRelocation, &rva, &size);
  if (!Relocate(rva, size, error)) return false;
  directory(kDirImport, &rva, &size);
  return ReadImports(rva, size, error);
}

bool PeImage::Relocate(uint32_t rva, uint32_t size, std::string* error) {
  const uint32_t delta = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base_)) - preferredBase_;
  if (size == 0) {
    *error = "image has no base relocations and cannot be moved from " + Hex(preferredBase_);
    return false;
  }
  if (!InImage(rva, size)) {
    *error = "base relocations lie outside the image";
    return false;
  }
  uint32_t at = rva;
  while (at + 8 <= rva + size) {
    uint32_t page = 0, blockSize = 0;
    std::memcpy(&page, base_ + at, 4);
    std::memcpy(&blockSize, base_ + at + 4, 4);
    if (blockSize < 8 || at + blockSize > rva + size) {
      *error = "malformed base relocation block at " + Hex(at);
      return false;
    }
    for (uint32_t e = at + 8; e + 2 <= at + blockSize; e += 2) {
      uint16_t entry = 0;
      std::memcpy(&entry, base_ + e, 2);
      const uint16_t type = entry >> 12;
      const uint32_t target = page + (entry & 0x0FFFu);
      if (type == kRelAbsolute) continue;
      if (type != kRelHighLow || !InImage(target, 4)) {
        *error = "unsupported base relocation (type " + std::to_string(type) + " at " +
                 Hex(target) + ")";
        return false;
      }
      uint32_t value = 0;
      std::memcpy(&value, base_ + target, 4);
      value += delta;
      std::memcpy(base_ + target, &value, 4);
      ++relocations_;
    }
    at += blockSize;
  }
  return true;
}

bool PeImage::ReadImports(uint32_t rva, uint32_t size, std::string* error) {
  if (size == 0) return true;
  auto cString = [&](uint32_t at, std::string* out) {
    out->clear();
    while (at < size_ && base_[at] != 0) out->push_back(static_cast<char>(base_[at++]));
    return at < size_;
  };
  for (uint32_t d = rva;; d += kImportDescriptorSize) {
    if (!InImage(d, kImportDescriptorSize)) {
      *error = "import directory runs off the image";
      return false;
    }
    uint32_t lookup = 0, nameRva = 0, addressTable = 0;
    std::memcpy(&lookup, base_ + d + kIdLookupTable, 4);
    std::memcpy(&nameRva, base_ + d + kIdName, 4);
    std::memcpy(&addressTable, base_ + d + kIdAddressTable, 4);
    if (nameRva == 0 && addressTable == 0) break;
    std::string module;
    if (!cString(nameRva, &module)) {
      *error = "import module name runs off the image";
      return false;
    }
    const uint32_t names = lookup != 0 ? lookup : addressTable;
    for (uint32_t i = 0;; ++i) {
      if (!InImage(names + i * 4, 4) || !InImage(addressTable + i * 4, 4)) {
        *error = "import table of " + module + " runs off the image";
        return false;
      }
      uint32_t thunk = 0;
      std::memcpy(&thunk, base_ + names + i * 4, 4);
      if (thunk == 0) break;
      ImportSlot slot{module, "", addressTable + i * 4};
      if ((thunk & kImportByOrdinal) != 0) {
        slot.name = "#" + std::to_string(thunk & 0xFFFFu);
      } else if (!cString(thunk + 2, &slot.name)) {  // past the 16-bit hint
        *error = "import name runs off the image";
        return false;
      }
      imports_.push_back(slot);
    }
  }
  return true;
}

void PeImage::Bind(const ImportSlot& slot, const void* function) {
  const uint32_t value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(function));
  std::memcpy(base_ + slot.slotRva, &value, 4);
}

uint32_t PeImage::SlotValue(const ImportSlot& slot) const {
  uint32_t value = 0;
  std::memcpy(&value, base_ + slot.slotRva, 4);
  return value;
}

}  // namespace loader
