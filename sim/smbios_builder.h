// SMBIOS tables as a BIOS lays them down: structures with their string sets,
// the "_SM_" entry point with its checksums and "_DMI_" intermediate anchor,
// and their placement in the simulated machine's physical memory.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "sim/machine.h"

namespace sim {

// The BIOS area the entry point lives in.
constexpr uint32_t kBiosAreaBase = 0xF0000;
constexpr uint32_t kBiosAreaSize = 0x10000;

// Type-17 memory types.
constexpr uint8_t kSmbiosSdram = 0x0F, kSmbiosDdr = 0x12, kSmbiosDdr2 = 0x13, kSmbiosDdr3 = 0x18,
                  kSmbiosDdr4 = 0x1A;

// A built structure table.
struct SmbiosImage {
  std::vector<uint8_t> bytes;
  uint16_t structureCount = 0;
  uint16_t largestStructure = 0;
};

// Appends structures in order. The typed helpers give a string field whose
// text is empty string number 0 (no string), as BIOSes do; Add and AddRaw
// write exactly what they are given.
class SmbiosBuilder {
 public:
  // A structure of `type` whose formatted area is the 4-byte header followed
  // by `fields`, then the string set made of `strings` (two zero bytes when
  // there are none).
  SmbiosBuilder& Add(uint8_t type, std::vector<uint8_t> fields,
                     std::vector<std::string> strings = {});
  // Bytes appended as they are, e.g. a broken structure; `structures` is how
  // many the entry point's count should include for them.
  SmbiosBuilder& AddRaw(std::vector<uint8_t> bytes, uint16_t structures = 1);

  SmbiosBuilder& BiosInformation(const std::string& vendor, const std::string& version,
                                 const std::string& releaseDate);  // type 0
  SmbiosBuilder& SystemInformation(const std::string& manufacturer, const std::string& product,
                                   const std::string& version, const std::string& serial);  // 1
  SmbiosBuilder& BaseboardInformation(const std::string& manufacturer, const std::string& product,
                                      const std::string& version,
                                      const std::string& serial);  // type 2
  SmbiosBuilder& Processor(const std::string& socket, const std::string& manufacturer,
                           const std::string& version);  // type 4
  // Type 5 listing `slots` associated slots (the handles of the next `slots`
  // structures, where the type-6 modules usually follow).
  SmbiosBuilder& MemoryController(uint8_t slots);
  // Type 6: installed size 0x7F = not installed, 0x7D not determinable, 0x7E
  // not enabled, otherwise bits 0-6 = log2 of the size in MB, bit 7 = double-bank.
  SmbiosBuilder& MemoryModule(const std::string& socket, uint8_t installedSize);
  // Type 16 with the 16-bit number of memory devices.
  SmbiosBuilder& PhysicalMemoryArray(uint16_t devices, uint32_t maxCapacityKb = 0x400000);
  // Type 17 of the last type-16 array: size in MB, 0 = empty socket, 0xFFFF
  // unknown; memory type 0x12 DDR, 0x13 DDR2, 0x18 DDR3, 0x1A DDR4, ...
  SmbiosBuilder& MemoryDevice(uint16_t size, const std::string& locator,
                              uint8_t memoryType = kSmbiosDdr);
  SmbiosBuilder& EndOfTable();  // type 127

  SmbiosImage Build() const;

 private:
  uint16_t NextHandle() const { return static_cast<uint16_t>(structureCount_); }
  std::vector<uint8_t> bytes_;
  uint16_t structureCount_ = 0;
  uint16_t largest_ = 0;
  uint16_t lastArrayHandle_ = 0xFFFE;
};

// The 31-byte SMBIOS 2.x entry point, both checksums correct.
std::vector<uint8_t> EncodeEntryPoint(uint32_t tableAddress, uint16_t tableLength,
                                      uint16_t structureCount, uint16_t largestStructure = 0,
                                      uint8_t major = 2, uint8_t minor = 3);

// Makes the BIOS area (0xF0000-0xFFFFF) one region of the machine, all zero
// (an existing BIOS area is cleared).
void AddBiosArea(Machine& machine);

// Writes `bytes` at `address`; what runs past the end of the BIOS area goes
// into memory of its own above it.
void PlaceBytes(Machine& machine, uint32_t address, const std::vector<uint8_t>& bytes);

// A fresh BIOS area with one entry point at `entryPointAddress` describing
// `image`, which is placed at `tableAddress`.
void InstallSmbios(Machine& machine, const SmbiosImage& image, uint32_t entryPointAddress,
                   uint32_t tableAddress);

// ---- What a board profile says about its SMBIOS content.

struct SmbiosText {
  std::string manufacturer{}, product{}, version{}, serial{};
};

struct SmbiosMemoryDevice {
  std::string locator{};
  uint16_t sizeMb = 0;  // 0: empty socket
  uint8_t memoryType = kSmbiosDdr;
};

// A type-16 array and its type-17 devices.
struct SmbiosMemoryArray {
  uint16_t deviceCount = 0;  // the array's own count of sockets
  std::vector<SmbiosMemoryDevice> devices{};
};

// A type-6 module socket (older boards).
struct SmbiosModuleSocket {
  std::string socket{};
  uint8_t installedSize = 0x7F;
};

struct SmbiosProfile {
  bool present = false;  // false: the board has no SMBIOS entry point
  uint32_t entryPointAddress = 0xFB650;
  uint32_t tableAddress = 0xF0800;
  std::string biosVendor{}, biosVersion{}, biosDate{};
  SmbiosText system{}, board{};
  std::string processorSocket{}, processorManufacturer{}, processorVersion{};
  uint8_t controllerSlots = 0;  // a type-5 structure when nonzero
  std::vector<SmbiosModuleSocket> modules{};
  std::vector<SmbiosMemoryArray> arrays{};
};

// The board's table: types 0, 1, 2, 4, then 5 and 6, then 16 and 17, then 127.
SmbiosImage BuildSmbiosTable(const SmbiosProfile& profile);

// Puts the board's entry point and table into the machine (nothing when the
// profile is not present).
void InstallSmbios(Machine& machine, const SmbiosProfile& profile);

}  // namespace sim
