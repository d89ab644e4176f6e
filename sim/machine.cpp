#include "sim/machine.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace sim {

uint16_t PortDevice::Read16(uint16_t port) {
  const uint8_t low = Read8(port);
  const uint8_t high = Read8(static_cast<uint16_t>(port + 1));
  return static_cast<uint16_t>(low | (high << 8));
}

void PortDevice::Write16(uint16_t port, uint16_t value) {
  Write8(port, static_cast<uint8_t>(value & 0xFF));
  Write8(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

void PciFunction::SetByte(uint8_t offset, uint8_t value) {
  const unsigned shift = 8u * (offset & 3u);
  uint32_t& dword = regs[offset / 4];
  dword = (dword & ~(0xFFu << shift)) | (static_cast<uint32_t>(value) << shift);
}

namespace {
uint32_t PciKey(uint32_t bus, uint32_t slot) {
  return (bus << 8) | (slot & 0xFF);
}
uint32_t ConfigWhere(uint32_t bus, uint32_t slot, uint32_t offset) {
  return (bus << 16) | ((slot & 0xFF) << 8) | (offset & 0xFF);
}
}  // namespace

Machine::Machine() = default;
Machine::~Machine() = default;

// ---------------------------------------------------------------- PCI

PciFunction& Machine::AddPciFunction(uint8_t bus, uint8_t device, uint8_t function,
                                     uint16_t vendorId, uint16_t deviceId, uint8_t revision,
                                     uint32_t classCode, bool multiFunction) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  const uint32_t slot = ((function & 7u) << 5) | (device & 31u);
  PciFunction& f = pci_[PciKey(bus, slot)];
  f = PciFunction{};
  f.bus = bus;
  f.device = device;
  f.function = function;
  f.SetDword(0x00, static_cast<uint32_t>(vendorId) | (static_cast<uint32_t>(deviceId) << 16));
  f.SetDword(0x08, (classCode << 8) | revision);
  f.SetByte(0x0E, multiFunction ? 0x80 : 0x00);
  f.writeMask.fill(0xFFFFFFFFu);
  f.writeMask[0x00 / 4] = 0;            // identifiers
  f.writeMask[0x08 / 4] = 0;            // class code and revision
  f.writeMask[0x0C / 4] = 0xFF00FFFFu;  // header type is read-only
  return f;
}

PciFunction* Machine::FindPciFunction(uint8_t bus, uint8_t device, uint8_t function) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  auto it = pci_.find(PciKey(bus, ((function & 7u) << 5) | (device & 31u)));
  return it == pci_.end() ? nullptr : &it->second;
}

uint32_t Machine::GetPciData(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset,
                             uint32_t length) {
  Gate(Access::ConfigRead);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  ++configReads_;
  auto it = bus <= 0xFF && slot <= 0xFF ? pci_.find(PciKey(bus, slot)) : pci_.end();
  if (it == pci_.end() || offset >= 256) {
    Record(Access::ConfigRead, ConfigWhere(bus, slot, offset), 0xFFFFFFFFu);
    return 0;
  }
  const uint32_t n = std::min<uint32_t>(length, 256 - offset);
  uint8_t bytes[256];
  std::memcpy(bytes, it->second.regs.data(), 256);
  if (it->second.onRead) {
    for (uint32_t at = offset & ~3u; at < offset + n; at += 4) {
      const uint32_t seen =
          it->second.onRead(it->second, static_cast<uint8_t>(at), it->second.regs[at / 4]);
      std::memcpy(bytes + at, &seen, 4);
    }
  }
  std::memcpy(buffer, bytes + offset, n);
  uint32_t traced = 0;
  std::memcpy(&traced, bytes + offset, std::min<uint32_t>(n, 4));
  Record(Access::ConfigRead, ConfigWhere(bus, slot, offset), traced);
  return n;
}

uint32_t Machine::SetPciData(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset,
                             uint32_t length) {
  Gate(Access::ConfigWrite);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  ++configWrites_;
  uint32_t traced = 0;
  std::memcpy(&traced, buffer, std::min<uint32_t>(length, 4));
  Record(Access::ConfigWrite, ConfigWhere(bus, slot, offset), traced);
  auto it = bus <= 0xFF && slot <= 0xFF ? pci_.find(PciKey(bus, slot)) : pci_.end();
  if (it == pci_.end() || offset >= 256) return 0;
  PciFunction& f = it->second;
  const uint32_t n = std::min<uint32_t>(length, 256 - offset);
  const auto* in = static_cast<const uint8_t*>(buffer);
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t at = offset + i;
    const unsigned shift = 8u * (at & 3u);
    const uint32_t mask = f.writeMask[at / 4] & (0xFFu << shift);
    uint32_t& dword = f.regs[at / 4];
    dword = (dword & ~mask) | ((static_cast<uint32_t>(in[i]) << shift) & mask);
  }
  if (f.onWrite) {
    for (uint32_t at = offset & ~3u; at < offset + n; at += 4) {
      f.onWrite(f, static_cast<uint8_t>(at), f.regs[at / 4]);
    }
  }
  return n;
}

uint64_t Machine::ConfigReads() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return configReads_;
}

uint64_t Machine::ConfigWrites() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return configWrites_;
}

// ---------------------------------------------------------------- ports

void Machine::ClaimPorts(uint16_t first, uint16_t count, PortDevice& device) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (const PortClaim& claim : ports_) {
    const uint32_t aEnd = static_cast<uint32_t>(first) + count;
    const uint32_t bEnd = static_cast<uint32_t>(claim.first) + claim.count;
    if (first < bEnd && claim.first < aEnd) {
      throw std::logic_error("port range claimed twice");
    }
  }
  ports_.push_back({first, count, &device});
}

void Machine::ClaimDecoded(const PciIoDecode& decode, PortDevice& device) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  decoded_.emplace_back(decode, &device);
}

void Machine::ClaimPlaced(std::function<std::optional<uint16_t>()> first, uint16_t size,
                          PortDevice& device) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  placed_.push_back({std::move(first), size, &device});
}

std::optional<uint16_t> Machine::DecodedBase(const PciIoDecode& decode) const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  const auto found =
      pci_.find(PciKey(decode.bus, ((decode.function & 7u) << 5) | (decode.device & 31u)));
  if (found == pci_.end()) return std::nullopt;
  const PciFunction& f = found->second;
  auto byteAt = [&f](uint8_t offset) {
    return static_cast<uint8_t>(f.regs[offset / 4] >> (8 * (offset % 4)));
  };
  for (const auto& [offset, bits] : decode.enables) {
    if ((byteAt(offset) & bits) != bits) return std::nullopt;
  }
  uint32_t raw = 0;
  for (int i = 3; i >= 0; --i) {
    const unsigned offset = decode.baseRegister + static_cast<unsigned>(i);
    raw = raw << 8 | (offset < 256 ? byteAt(static_cast<uint8_t>(offset)) : 0u);
  }
  const uint32_t base = raw & decode.baseMask;
  if (base == 0) return std::nullopt;
  const uint32_t first = base + decode.blockOffset;
  if (first + decode.size > 0x10000) return std::nullopt;
  return static_cast<uint16_t>(first);
}

Machine::Target Machine::DeviceFor(uint16_t port) const {
  for (const PortClaim& claim : ports_) {
    if (port >= claim.first && port - claim.first < claim.count) return {claim.device, port};
  }
  for (const auto& [decode, device] : decoded_) {
    const std::optional<uint16_t> first = DecodedBase(decode);
    if (first && port >= *first && port - *first < decode.size) {
      return {device, static_cast<uint16_t>(port - *first)};
    }
  }
  for (const PlacedClaim& claim : placed_) {
    const std::optional<uint16_t> first = claim.first();
    if (first && port >= *first && port - *first < claim.size) {
      return {claim.device, static_cast<uint16_t>(port - *first)};
    }
  }
  return {nullptr, port};
}

uint8_t Machine::In8(uint16_t port) {
  Gate(Access::In8);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  ++portAccesses_;
  const Target target = DeviceFor(port);
  const uint8_t value = target.device ? target.device->Read8(target.port) : 0xFF;
  Record(Access::In8, port, value);
  return value;
}

uint16_t Machine::In16(uint16_t port) {
  Gate(Access::In16);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  ++portAccesses_;
  const Target target = DeviceFor(port);
  const uint16_t value = target.device ? target.device->Read16(target.port) : 0xFFFF;
  Record(Access::In16, port, value);
  return value;
}

void Machine::Out8(uint16_t port, uint8_t value) {
  Gate(Access::Out8);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  ++portAccesses_;
  Record(Access::Out8, port, value);
  const Target target = DeviceFor(port);
  if (target.device) target.device->Write8(target.port, value);
}

void Machine::Out16(uint16_t port, uint16_t value) {
  Gate(Access::Out16);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  ++portAccesses_;
  Record(Access::Out16, port, value);
  const Target target = DeviceFor(port);
  if (target.device) target.device->Write16(target.port, value);
}

uint64_t Machine::PortAccesses() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return portAccesses_;
}

// ---------------------------------------------------------------- memory

void Machine::AddMemory(uint32_t base, std::vector<uint8_t> bytes) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  memory_.push_back({base, std::move(bytes)});
}

void Machine::WriteMemory(uint32_t base, const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (Region& region : memory_) {
    if (base >= region.base &&
        static_cast<uint64_t>(base) + bytes.size() <= region.base + region.bytes.size()) {
      std::copy(bytes.begin(), bytes.end(), region.bytes.begin() + (base - region.base));
      return;
    }
  }
  memory_.push_back({base, bytes});
}

void Machine::FailMapAt(uint64_t address, int times) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  mapFailures_[address] = times;
}

void Machine::FailMapping(int nth) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  failMappingIn_ = nth;
}

void* Machine::Map(uint64_t address, uint32_t length) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  mapRequests_.push_back(address);
  if (failMappingIn_ > 0 && --failMappingIn_ == 0) return nullptr;
  auto failure = mapFailures_.find(address);
  if (failure != mapFailures_.end() && failure->second != 0) {
    if (failure->second > 0) --failure->second;
    return nullptr;
  }
  if (length == 0) return nullptr;
  // The mapping is a private copy of the bytes, which lets the leak check see
  // every mapping that stays open; a device window's bytes go back to the
  // device at the unmap.
  Mapping mapping{address, length, std::make_unique<uint8_t[]>(length)};
  std::memset(mapping.bytes.get(), 0xFF, length);
  for (const Region& region : memory_) {
    const uint64_t lo = std::max<uint64_t>(address, region.base);
    const uint64_t hi = std::min<uint64_t>(address + length, region.base + region.bytes.size());
    for (uint64_t a = lo; a < hi; ++a) {
      mapping.bytes[a - address] = region.bytes[a - region.base];
    }
  }
  bool window = false;
  for (const MemoryClaim& claim : memoryClaims_) {
    const uint64_t lo = std::max<uint64_t>(address, claim.base);
    const uint64_t hi = std::min<uint64_t>(address + length, uint64_t{claim.base} + claim.size);
    for (uint64_t a = lo; a < hi; ++a) {
      mapping.bytes[a - address] = claim.device->ReadMemory8(static_cast<uint32_t>(a - claim.base));
    }
    window = window || lo < hi;
  }
  if (window) {
    ++deviceWindowMaps_;
    mapping.read.assign(mapping.bytes.get(), mapping.bytes.get() + length);
  }
  void* pointer = mapping.bytes.get();
  mappings_.emplace(pointer, std::move(mapping));
  return pointer;
}

void Machine::Unmap(void* mapping, uint32_t length) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  auto it = mappings_.find(mapping);
  if (it == mappings_.end()) throw std::logic_error("unmap of a pointer that is not mapped");
  if (it->second.length != length) throw std::logic_error("unmap with another length");
  const Mapping& m = it->second;
  for (uint32_t i = 0; i < m.read.size(); ++i) {
    if (m.bytes[i] == m.read[i]) continue;
    const uint64_t a = m.address + i;
    for (const MemoryClaim& claim : memoryClaims_) {
      if (a >= claim.base && a < uint64_t{claim.base} + claim.size) {
        claim.device->WriteMemory8(static_cast<uint32_t>(a - claim.base), m.bytes[i]);
      }
    }
  }
  mappings_.erase(it);
}

void Machine::ClaimMemory(uint32_t base, uint32_t size, MemoryDevice& device) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  memoryClaims_.push_back({base, size, &device});
}

uint64_t Machine::DeviceWindowMaps() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return deviceWindowMaps_;
}

std::vector<uint64_t> Machine::MapRequests() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return mapRequests_;
}

size_t Machine::OpenMappings() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return mappings_.size();
}

// ---------------------------------------------------------------- pool

void* Machine::Alloc(uint32_t size, uint32_t tag, PoolType type) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  ++allocationCount_;
  if (failAllocationIn_ > 0 && (!failAllocationType_ || *failAllocationType_ == type)) {
    if (--failAllocationIn_ == 0) {
      failAllocationType_.reset();
      return nullptr;
    }
  }
  // Pool memory is not cleared; fill it with a pattern so that code relying
  // on zeroed memory shows up.
  void* pointer = ::operator new(size == 0 ? 1 : size);
  std::memset(pointer, 0xA5, size);
  allocations_[pointer] = Allocation{size, tag, type};
  return pointer;
}

void Machine::Free(void* pointer) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  auto it = allocations_.find(pointer);
  if (it == allocations_.end()) throw std::logic_error("free of a pointer not from the pool");
  allocations_.erase(it);
  ::operator delete(pointer);
}

void Machine::FailAllocation(int nth, std::optional<PoolType> type) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  failAllocationIn_ = nth;
  failAllocationType_ = type;
}

std::vector<Allocation> Machine::Outstanding() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::vector<Allocation> out;
  for (const auto& [pointer, allocation] : allocations_) out.push_back(allocation);
  return out;
}

std::string Machine::LeakReport() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::ostringstream out;
  for (const auto& [pointer, a] : allocations_) {
    char tag[5] = {static_cast<char>(a.tag & 0xFF), static_cast<char>((a.tag >> 8) & 0xFF),
                   static_cast<char>((a.tag >> 16) & 0xFF), static_cast<char>(a.tag >> 24), 0};
    out << "leak: " << a.size << " bytes, tag '" << tag << "', "
        << (a.type == PoolType::Paged ? "paged" : "non-paged") << " pool\n";
  }
  for (const auto& [pointer, m] : mappings_) {
    out << "open mapping: physical 0x" << std::hex << m.address << std::dec << ", " << m.length
        << " bytes\n";
  }
  for (const std::string& what : harm_) out << "harm: " << what << '\n';
  return out.str();
}

void Machine::RecordHarm(const std::string& what) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  harm_.push_back(what);
}

uint64_t Machine::AllocationCount() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return allocationCount_;
}

// ---------------------------------------------------------------- clock

void Machine::Delay(int32_t milliseconds) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  ++delayCalls_;
  if (milliseconds > 0) nowMs_ += static_cast<uint64_t>(milliseconds);
}

uint64_t Machine::NowMs() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return nowMs_;
}

uint64_t Machine::DelayCalls() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return delayCalls_;
}

// ---------------------------------------------------------------- debug output

void Machine::DebugPrint(const char* format, va_list args) {
  char line[1024];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(line, sizeof line, format, copy);
  va_end(copy);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (n >= 0) debug_.append(line, std::min<size_t>(static_cast<size_t>(n), sizeof line - 1));
}

std::vector<std::string> Machine::DebugLines() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::vector<std::string> lines;
  std::string current;
  for (char c : debug_) {
    if (c == '\n') {
      lines.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

void Machine::ClearDebugOutput() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  debug_.clear();
}

// ---------------------------------------------------------------- trace

void Machine::SetTracing(bool on) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  tracing_ = on;
}

std::vector<TraceEntry> Machine::Trace() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return trace_;
}

void Machine::ClearTrace() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  trace_.clear();
}

void Machine::Record(Access kind, uint32_t where, uint32_t value) {
  if (tracing_) trace_.push_back({kind, where, value, nowMs_});
}

// ---------------------------------------------------------------- hold

void Machine::HoldNext(Access kind) {
  std::lock_guard<std::mutex> guard(holdLock_);
  holdKind_ = kind;
  holding_ = false;
  holdReleased_ = false;
}

bool Machine::WaitHeld(std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> guard(holdLock_);
  if (holdChanged_.wait_for(guard, bound, [&] { return holding_; })) return true;
  holdKind_.reset();
  holdReleased_ = true;
  holdChanged_.notify_all();
  return false;
}

void Machine::ReleaseHeld() {
  std::lock_guard<std::mutex> guard(holdLock_);
  holdKind_.reset();
  holdReleased_ = true;
  holdChanged_.notify_all();
}

void Machine::Gate(Access kind) {
  std::unique_lock<std::mutex> guard(holdLock_);
  if (!holdKind_ || *holdKind_ != kind) return;
  holdKind_.reset();
  holding_ = true;
  holdChanged_.notify_all();
  holdChanged_.wait(guard, [&] { return holdReleased_; });
  holding_ = false;
}

// ---------------------------------------------------------------- attachment

namespace {
std::atomic<Machine*> g_attached{nullptr};
}

void Attach(Machine* machine) {
  g_attached.store(machine);
}
Machine* Attached() {
  return g_attached.load();
}

}  // namespace sim
