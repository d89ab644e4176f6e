#include "sim/smbios_builder.h"

#include <algorithm>
#include <stdexcept>

namespace sim {
namespace {

void Put16(std::vector<uint8_t>& v, size_t at, uint16_t value) {
  v[at] = static_cast<uint8_t>(value);
  v[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t value) {
  Put16(v, at, static_cast<uint16_t>(value));
  Put16(v, at + 2, static_cast<uint16_t>(value >> 16));
}

// String numbers for typed fields: an empty text has none.
class StringSet {
 public:
  uint8_t Number(const std::string& text) {
    if (text.empty()) return 0;
    strings_.push_back(text);
    return static_cast<uint8_t>(strings_.size());
  }
  std::vector<std::string> Take() { return std::move(strings_); }

 private:
  std::vector<std::string> strings_;
};

// Types 1 and 2 both begin with the string numbers of maker, product,
// version and serial number at offsets 4 to 7.
void PutTextFields(std::vector<uint8_t>& fields, StringSet& set, const std::string& manufacturer,
                   const std::string& product, const std::string& version,
                   const std::string& serial) {
  fields[0x04 - 4] = set.Number(manufacturer);
  fields[0x05 - 4] = set.Number(product);
  fields[0x06 - 4] = set.Number(version);
  fields[0x07 - 4] = set.Number(serial);
}

uint8_t Checksum(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  uint8_t sum = 0;
  for (size_t i = from; i < to; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return static_cast<uint8_t>(0x100 - sum);
}

}  // namespace

SmbiosBuilder& SmbiosBuilder::Add(uint8_t type, std::vector<uint8_t> fields,
                                  std::vector<std::string> strings) {
  if (fields.size() + 4 > 255) throw std::invalid_argument("formatted area too long");
  std::vector<uint8_t> s = {type, static_cast<uint8_t>(fields.size() + 4), 0, 0};
  Put16(s, 2, NextHandle());
  s.insert(s.end(), fields.begin(), fields.end());
  for (const std::string& text : strings) {
    s.insert(s.end(), text.begin(), text.end());
    s.push_back(0);
  }
  if (strings.empty()) s.push_back(0);
  s.push_back(0);
  largest_ = std::max<uint16_t>(largest_, static_cast<uint16_t>(s.size()));
  bytes_.insert(bytes_.end(), s.begin(), s.end());
  ++structureCount_;
  return *this;
}

SmbiosBuilder& SmbiosBuilder::AddRaw(std::vector<uint8_t> bytes, uint16_t structures) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  structureCount_ = static_cast<uint16_t>(structureCount_ + structures);
  return *this;
}

SmbiosBuilder& SmbiosBuilder::BiosInformation(const std::string& vendor, const std::string& version,
                                              const std::string& releaseDate) {
  StringSet set;
  std::vector<uint8_t> f(0x14 - 4);
  f[0x04 - 4] = set.Number(vendor);
  f[0x05 - 4] = set.Number(version);
  Put16(f, 0x06 - 4, 0xE800);  // starting segment of the BIOS
  f[0x08 - 4] = set.Number(releaseDate);
  f[0x09 - 4] = 0x07;              // ROM size: (7 + 1) * 64 KB
  Put32(f, 0x0A - 4, 0x0BCF9E80);  // characteristics: PCI, PnP, APM, flash, shadowing, boot from CD
  return Add(0, std::move(f), set.Take());
}

SmbiosBuilder& SmbiosBuilder::SystemInformation(const std::string& manufacturer,
                                                const std::string& product,
                                                const std::string& version,
                                                const std::string& serial) {
  StringSet set;
  std::vector<uint8_t> f(0x19 - 4);
  PutTextFields(f, set, manufacturer, product, version, serial);
  for (int i = 0; i < 16; ++i) f[0x08 - 4 + i] = static_cast<uint8_t>(0x11 * (i + 1));  // UUID
  f[0x18 - 4] = 0x06;  // woken by power switch
  return Add(1, std::move(f), set.Take());
}

SmbiosBuilder& SmbiosBuilder::BaseboardInformation(const std::string& manufacturer,
                                                   const std::string& product,
                                                   const std::string& version,
                                                   const std::string& serial) {
  StringSet set;
  std::vector<uint8_t> f(0x0F - 4);
  PutTextFields(f, set, manufacturer, product, version, serial);
  f[0x09 - 4] = 0x09;          // feature flags: hosting board, replaceable
  Put16(f, 0x0B - 4, 0xFFFF);  // no chassis structure
  f[0x0D - 4] = 0x0A;          // motherboard
  return Add(2, std::move(f), set.Take());
}

SmbiosBuilder& SmbiosBuilder::Processor(const std::string& socket, const std::string& manufacturer,
                                        const std::string& version) {
  StringSet set;
  std::vector<uint8_t> f(0x23 - 4);
  f[0x04 - 4] = set.Number(socket);
  f[0x05 - 4] = 0x03;  // central processor
  f[0x06 - 4] = 0xB2;  // family: Pentium 4
  f[0x07 - 4] = set.Number(manufacturer);
  f[0x10 - 4] = set.Number(version);
  Put16(f, 0x12 - 4, 200);                                        // external clock, MHz
  Put16(f, 0x14 - 4, 3800);                                       // maximum speed
  Put16(f, 0x16 - 4, 3000);                                       // current speed
  f[0x18 - 4] = 0x41;                                             // socket populated, CPU enabled
  for (size_t at : {0x1A, 0x1C, 0x1E}) Put16(f, at - 4, 0xFFFF);  // no cache structures
  return Add(4, std::move(f), set.Take());
}

SmbiosBuilder& SmbiosBuilder::MemoryController(uint8_t slots) {
  std::vector<uint8_t> f(0x0F - 4 + 2 * slots + 1);
  f[0x04 - 4] = 0x03;          // error detection: none
  f[0x05 - 4] = 0x04;          // error correction: none
  f[0x06 - 4] = 0x04;          // interleave supported: one-way
  f[0x07 - 4] = 0x04;          // current interleave: one-way
  f[0x08 - 4] = 0x09;          // largest module: 2^9 MB
  Put16(f, 0x09 - 4, 0x0004);  // speeds: 70 ns
  Put16(f, 0x0B - 4, 0x0180);  // types: DIMM, SDRAM
  f[0x0D - 4] = 0x02;          // voltage: 3.3 V
  f[0x0E - 4] = slots;
  for (uint8_t i = 0; i < slots; ++i) {
    Put16(f, 0x0F - 4 + 2 * i, static_cast<uint16_t>(NextHandle() + 1 + i));
  }
  return Add(5, std::move(f));
}

SmbiosBuilder& SmbiosBuilder::MemoryModule(const std::string& socket, uint8_t installedSize) {
  StringSet set;
  std::vector<uint8_t> f(0x0C - 4);
  f[0x04 - 4] = set.Number(socket);
  f[0x05 - 4] = 0x01;          // bank connections: RAS 0 and 1
  f[0x06 - 4] = 0x00;          // current speed unknown
  Put16(f, 0x07 - 4, 0x0100);  // DIMM
  f[0x09 - 4] = installedSize;
  f[0x0A - 4] = installedSize;  // enabled size
  return Add(6, std::move(f), set.Take());
}

SmbiosBuilder& SmbiosBuilder::PhysicalMemoryArray(uint16_t devices, uint32_t maxCapacityKb) {
  std::vector<uint8_t> f(0x0F - 4);
  f[0x04 - 4] = 0x03;  // system board
  f[0x05 - 4] = 0x03;  // system memory
  f[0x06 - 4] = 0x03;  // no error correction
  Put32(f, 0x07 - 4, maxCapacityKb);
  Put16(f, 0x0B - 4, 0xFFFE);  // no error information
  Put16(f, 0x0D - 4, devices);
  lastArrayHandle_ = NextHandle();
  return Add(16, std::move(f));
}

SmbiosBuilder& SmbiosBuilder::MemoryDevice(uint16_t size, const std::string& locator,
                                           uint8_t memoryType) {
  StringSet set;
  std::vector<uint8_t> f(0x1B - 4);
  Put16(f, 0x04 - 4, lastArrayHandle_);
  Put16(f, 0x06 - 4, 0xFFFE);  // no error information
  Put16(f, 0x08 - 4, 64);      // total width
  Put16(f, 0x0A - 4, 64);      // data width
  Put16(f, 0x0C - 4, size);
  f[0x0E - 4] = 0x09;  // DIMM
  f[0x10 - 4] = set.Number(locator);
  f[0x12 - 4] = memoryType;
  Put16(f, 0x13 - 4, 0x0080);  // synchronous
  Put16(f, 0x15 - 4, size != 0 ? 400 : 0);
  return Add(17, std::move(f), set.Take());
}

SmbiosBuilder& SmbiosBuilder::EndOfTable() {
  return Add(127, {});
}

SmbiosImage SmbiosBuilder::Build() const {
  return {bytes_, structureCount_, largest_};
}

std::vector<uint8_t> EncodeEntryPoint(uint32_t tableAddress, uint16_t tableLength,
                                      uint16_t structureCount, uint16_t largestStructure,
                                      uint8_t major, uint8_t minor) {
  std::vector<uint8_t> ep(0x1F, 0);
  const char anchor[] = "_SM_";
  std::copy(anchor, anchor + 4, ep.begin());
  ep[0x05] = 0x1F;  // entry point length
  ep[0x06] = major;
  ep[0x07] = minor;
  Put16(ep, 0x08, largestStructure);
  const char intermediate[] = "_DMI_";
  std::copy(intermediate, intermediate + 5, ep.begin() + 0x10);
  Put16(ep, 0x16, tableLength);
  Put32(ep, 0x18, tableAddress);
  Put16(ep, 0x1C, structureCount);
  ep[0x1E] = static_cast<uint8_t>((major << 4) | (minor & 0x0F));  // BCD revision
  ep[0x15] = Checksum(ep, 0x10, 0x1F);  // intermediate checksum first: it is inside the whole
  ep[0x04] = Checksum(ep, 0x00, 0x1F);
  return ep;
}

void AddBiosArea(Machine& machine) {
  machine.WriteMemory(kBiosAreaBase, std::vector<uint8_t>(kBiosAreaSize, 0));
}

void PlaceBytes(Machine& machine, uint32_t address, const std::vector<uint8_t>& bytes) {
  const uint64_t end = static_cast<uint64_t>(address) + bytes.size();
  const uint64_t areaEnd = static_cast<uint64_t>(kBiosAreaBase) + kBiosAreaSize;
  if (address < areaEnd && end > areaEnd) {
    const size_t inside = static_cast<size_t>(areaEnd - address);
    machine.WriteMemory(address, {bytes.begin(), bytes.begin() + inside});
    machine.WriteMemory(static_cast<uint32_t>(areaEnd), {bytes.begin() + inside, bytes.end()});
    return;
  }
  machine.WriteMemory(address, bytes);
}

void InstallSmbios(Machine& machine, const SmbiosImage& image, uint32_t entryPointAddress,
                   uint32_t tableAddress) {
  AddBiosArea(machine);
  PlaceBytes(machine, entryPointAddress,
             EncodeEntryPoint(tableAddress, static_cast<uint16_t>(image.bytes.size()),
                              image.structureCount, image.largestStructure));
  PlaceBytes(machine, tableAddress, image.bytes);
}

SmbiosImage BuildSmbiosTable(const SmbiosProfile& p) {
  SmbiosBuilder b;
  b.BiosInformation(p.biosVendor, p.biosVersion, p.biosDate);
  b.SystemInformation(p.system.manufacturer, p.system.product, p.system.version, p.system.serial);
  b.BaseboardInformation(p.board.manufacturer, p.board.product, p.board.version, p.board.serial);
  b.Processor(p.processorSocket, p.processorManufacturer, p.processorVersion);
  if (p.controllerSlots != 0) b.MemoryController(p.controllerSlots);
  for (const SmbiosModuleSocket& m : p.modules) b.MemoryModule(m.socket, m.installedSize);
  for (const SmbiosMemoryArray& array : p.arrays) {
    b.PhysicalMemoryArray(array.deviceCount);
    for (const SmbiosMemoryDevice& d : array.devices)
      b.MemoryDevice(d.sizeMb, d.locator, d.memoryType);
  }
  b.EndOfTable();
  return b.Build();
}

void InstallSmbios(Machine& machine, const SmbiosProfile& profile) {
  if (!profile.present) return;
  InstallSmbios(machine, BuildSmbiosTable(profile), profile.entryPointAddress,
                profile.tableAddress);
}

}  // namespace sim
