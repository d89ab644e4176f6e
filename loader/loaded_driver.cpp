#include "loader/loaded_driver.h"

#include <strings.h>
#include <sys/mman.h>

#include <cstring>
#include <optional>

#include "loader/imports.h"
#include "tools/pe/pe_file.h"

namespace loader {

namespace {

// Base relocation entry types.
constexpr uint16_t kRelAbsolute = 0;  // padding
constexpr uint16_t kRelHighLow = 3;   // 32-bit address

// Says why in `error`: the image is not placed.
bool Refuse(std::string* error, const std::string& why) {
  *error = why;
  return false;
}

// A counted string over `text`, which outlives it.
nt::UnicodeString Counted(const std::u16string& text) {
  return {static_cast<uint16_t>(text.size() * 2), static_cast<uint16_t>(text.size() * 2 + 2),
          text.c_str()};
}

}  // namespace

std::unique_ptr<LoadedDriver> LoadedDriver::Load(Kernel& kernel, const std::string& path,
                                                 std::string* error) {
  const std::vector<uint8_t> file = peimage::ReadFile(path, error);
  if (file.empty()) return nullptr;
  std::unique_ptr<LoadedDriver> driver(new LoadedDriver(kernel));
  if (!driver->Place(file, error)) {
    *error = path + ": " + *error;
    return nullptr;
  }
  driver->driverName_ = u"\\Driver\\dimmio";
  driver->registryPath_ = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\dimmio";
  driver->registryString_ = Counted(driver->registryPath_);
  nt::DriverObject& object = driver->driver_;
  object.Type = nt::kIoTypeDriver;
  object.Size = sizeof(nt::DriverObject);
  object.DriverStart = driver->base_;
  object.DriverSize = driver->size_;
  object.DriverName = Counted(driver->driverName_);
  object.DriverInit = driver->base_ + driver->entryRva_;
  for (nt::DispatchFn& routine : object.MajorFunction) routine = &Kernel::DefaultDispatch;
  return driver;
}

LoadedDriver::~LoadedDriver() {
  if (base_ != nullptr) munmap(base_, size_);
}

bool LoadedDriver::InImage(uint32_t rva, uint32_t length) const {
  return static_cast<uint64_t>(rva) + length <= size_;
}

bool LoadedDriver::Place(const std::vector<uint8_t>& file, std::string* error) {
  std::string why;
  const std::optional<peimage::Image> parsed = peimage::Parse(file, &why);
  // A 32-bit header is the reader's to check, an x86 machine the image test's.
  if (!parsed) return Refuse(error, "not a PE32 image (" + why + ")");
  entryRva_ = parsed->EntryPoint;
  size_ = parsed->ImageSize;
  if (entryRva_ == 0 || entryRva_ >= size_ || parsed->HeadersSize > size_ ||
      parsed->HeadersSize > file.size())
    return Refuse(error, "no entry point, or headers larger than the image or the file");

  // Anywhere but the preferred base, so that the relocations are exercised.
  void* at =
      mmap(nullptr, size_, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (at != MAP_FAILED && reinterpret_cast<uintptr_t>(at) == parsed->ImageBase) {
    void* other = mmap(nullptr, size_, PROT_READ | PROT_WRITE | PROT_EXEC,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    munmap(at, size_);
    at = other;
  }
  if (at == MAP_FAILED)
    return Refuse(error, "cannot map " + std::to_string(size_) + " bytes for the image");
  base_ = static_cast<uint8_t*>(at);
  std::memcpy(base_, file.data(), parsed->HeadersSize);

  for (const peimage::Section& section : parsed->Sections) {
    const uint32_t copy = section.RawSize < section.VirtualSize || section.VirtualSize == 0
                              ? section.RawSize
                              : section.VirtualSize;
    if (!InImage(section.VirtualAddress, section.VirtualSize > copy ? section.VirtualSize : copy))
      return Refuse(error, "section " + section.Name + " lies outside the image");
    // The rest of the section stays zero.
    std::memcpy(base_ + section.VirtualAddress, file.data() + section.RawOffset, copy);
  }

  const peimage::DataDirectory relocations = parsed->Directories[peimage::kDirBaseReloc];
  if (!Relocate(relocations.VirtualAddress, relocations.Size, parsed->ImageBase, error))
    return false;
  std::string unknown;
  for (const peimage::Import& import : parsed->Imports) {
    if (!InImage(import.SlotRva, 4))
      return Refuse(error, "import table of " + import.Dll + " runs off the image");
    const KnownImport* known = FindImport(import.Function);
    // The kernel exports each call from one module; an image that expects it
    // elsewhere would not load on the platform either.
    if (known == nullptr || strcasecmp(known->module, import.Dll.c_str()) != 0) {
      unknown += (unknown.empty() ? "" : ", ") + import.Function + " (" + import.Dll +
                 (known != nullptr ? std::string(", exported by ") + known->module : "") + ")";
      continue;
    }
    const auto value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(known->function));
    std::memcpy(base_ + import.SlotRva, &value, 4);
  }
  if (!unknown.empty()) return Refuse(error, "imports the loader does not implement: " + unknown);
  return true;
}

bool LoadedDriver::Relocate(uint32_t rva, uint32_t size, uint32_t preferredBase,
                            std::string* error) {
  const uint32_t delta = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base_)) - preferredBase;
  if (size == 0)
    return Refuse(error,
                  "image has no base relocations and cannot be moved from " + Hex(preferredBase));
  if (!InImage(rva, size)) return Refuse(error, "base relocations lie outside the image");
  uint32_t at = rva;
  while (at + 8 <= rva + size) {
    uint32_t page = 0, blockSize = 0;
    std::memcpy(&page, base_ + at, 4);
    std::memcpy(&blockSize, base_ + at + 4, 4);
    if (blockSize < 8 || at + blockSize > rva + size)
      return Refuse(error, "malformed base relocation block at " + Hex(at));
    for (uint32_t e = at + 8; e + 2 <= at + blockSize; e += 2) {
      uint16_t entry = 0;
      std::memcpy(&entry, base_ + e, 2);
      const uint16_t type = entry >> 12;
      const uint32_t target = page + (entry & 0x0FFFu);
      if (type == kRelAbsolute) continue;
      if (type != kRelHighLow || !InImage(target, 4))
        return Refuse(error, "unsupported base relocation (type " + std::to_string(type) + " at " +
                                 Hex(target) + ")");
      uint32_t value = 0;
      std::memcpy(&value, base_ + target, 4);
      value += delta;
      std::memcpy(base_ + target, &value, 4);
    }
    at += blockSize;
  }
  return true;
}

int32_t LoadedDriver::Start() {
  auto entry = reinterpret_cast<nt::DriverEntryFn>(base_ + entryRva_);
  const int32_t status = entry(&driver_, &registryString_);
  if (status == 0) kernel_.EntryReturned(&driver_);
  return status;
}

bool LoadedDriver::Unload() {
  if (driver_.DriverUnload == nullptr) return false;
  kernel_.WaitUntilNoHandleIsOpen();
  driver_.DriverUnload(&driver_);
  return true;
}

}  // namespace loader
