// The simulated machine the host binding routes every hardware primitive to:
// PCI configuration space per function, an I/O port space in which device
// models claim ranges, physical memory regions, a pool with accounting, a
// virtual millisecond clock, the debug-print capture and an access trace.
//
// All of it is guarded by one lock, so the driver's worker thread and caller
// threads may use the machine at the same time.
#pragma once

#include <stdint.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class Machine;

// A device model that claims a range of I/O ports. Accesses outside any claim
// read all ones and are otherwise ignored.
class PortDevice {
 public:
  virtual ~PortDevice() = default;
  virtual uint8_t Read8(uint16_t port) = 0;
  virtual void Write8(uint16_t port, uint8_t value) = 0;
  // 16-bit accesses default to two byte accesses, low port first.
  virtual uint16_t Read16(uint16_t port);
  virtual void Write16(uint16_t port, uint16_t value);
};

// Where a PCI function decodes a block of I/O ports: at the base its
// configuration space holds, and only while its enable bits are set. A base
// of 0 (never programmed) decodes nothing.
// The command register's I/O space enable, which every I/O decode waits for,
// and the address bits of an I/O base register.
constexpr uint8_t kPciCommandRegister = 0x04;
constexpr uint8_t kPciCommandIoSpace = 0x01;
constexpr uint32_t kPciIoBarMask = 0xFFFC;

struct PciIoDecode {
  uint8_t bus = 0, device = 0, function = 0;
  uint8_t baseRegister = 0;    // configuration offset of the base (any byte offset)
  uint32_t baseMask = 0xFFF0;  // the base's bits, counted from baseRegister's byte
  uint16_t blockOffset = 0;    // where the block starts, from the base
  uint16_t size = 0;           // ports in the block
  // (configuration byte offset, bits) that must all be set for the block to answer.
  std::vector<std::pair<uint8_t, uint8_t>> enables{};
};

// A device model that answers a window of physical memory (registers the
// chipset decodes there). A map reads the window's bytes from it when the
// map is made; at the unmap every byte the mapping then holds that differs
// from what was read is written to it, low addresses first. Stores through a
// mapping thus reach the device when the mapping is given back, and a byte
// stored with the value it had is no store at all.
class MemoryDevice {
 public:
  virtual ~MemoryDevice() = default;
  virtual uint8_t ReadMemory8(uint32_t offset) = 0;  // offset from the window's start
  virtual void WriteMemory8(uint32_t offset, uint8_t value) = 0;
};

// One PCI function's 256 bytes of configuration space.
struct PciFunction {
  uint8_t bus = 0, device = 0, function = 0;
  std::array<uint32_t, 64> regs{};
  // Bits of each dword that configuration writes may change.
  std::array<uint32_t, 64> writeMask{};
  // Called after a write has been stored (offset is the dword's offset).
  std::function<void(PciFunction&, uint8_t offset, uint32_t value)> onWrite;
  // What a configuration read of a dword returns, given what it holds (a
  // register the chip hides); null: what it holds.
  std::function<uint32_t(const PciFunction&, uint8_t offset, uint32_t held)> onRead;

  uint32_t Dword(uint8_t offset) const { return regs[offset / 4]; }
  void SetDword(uint8_t offset, uint32_t value) { regs[offset / 4] = value; }
  void SetByte(uint8_t offset, uint8_t value);
};

enum class PoolType { Paged, NonPaged };

struct Allocation {
  uint32_t size;
  uint32_t tag;
  PoolType type;
};

enum class Access { ConfigRead, ConfigWrite, In8, In16, Out8, Out16 };

struct TraceEntry {
  Access kind;
  uint32_t where;  // port, or (bus << 16 | slot << 8 | offset) for configuration
  uint32_t value;
  uint64_t timeMs;
  bool operator==(const TraceEntry&) const = default;
};

class Machine {
 public:
  Machine();
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // ---- PCI configuration space
  PciFunction& AddPciFunction(uint8_t bus, uint8_t device, uint8_t function, uint16_t vendorId,
                              uint16_t deviceId, uint8_t revision = 0, uint32_t classCode = 0,
                              bool multiFunction = false);
  PciFunction* FindPciFunction(uint8_t bus, uint8_t device, uint8_t function);
  // Platform-side access as the kernel's bus-data calls see it: returns the
  // number of bytes delivered (0 where no function answers).
  uint32_t GetPciData(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset, uint32_t length);
  uint32_t SetPciData(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset,
                      uint32_t length);
  uint64_t ConfigReads() const;
  uint64_t ConfigWrites() const;

  // ---- I/O ports
  void ClaimPorts(uint16_t first, uint16_t count, PortDevice& device);
  // A block that follows its function's configuration space: looked up at
  // every access, after the fixed claims. The device sees the offset in the
  // block as its port number.
  void ClaimDecoded(const PciIoDecode& decode, PortDevice& device);
  // The first port of a decoded block as the configuration space stands now.
  std::optional<uint16_t> DecodedBase(const PciIoDecode& decode) const;
  // A block that a device model places itself (from registers other than
  // configuration space): `first` says where it starts now, or nothing.
  // Looked up after the configuration-decoded blocks.
  void ClaimPlaced(std::function<std::optional<uint16_t>()> first, uint16_t size,
                   PortDevice& device);
  uint8_t In8(uint16_t port);
  uint16_t In16(uint16_t port);
  void Out8(uint16_t port, uint8_t value);
  void Out16(uint16_t port, uint16_t value);
  uint64_t PortAccesses() const;

  // ---- Physical memory
  void AddMemory(uint32_t base, std::vector<uint8_t> bytes);
  // Writes into an existing region (or makes one).
  void WriteMemory(uint32_t base, const std::vector<uint8_t>& bytes);
  // A map whose start address equals `address` fails `times` times (-1: always).
  void FailMapAt(uint64_t address, int times = -1);
  // The nth map from now (1 = the next one) fails, wherever it maps.
  void FailMapping(int nth);
  // Mapping as the platform sees it: a 64-bit physical address. Memory that
  // no region covers reads 0xFF, as an empty bus does.
  void* Map(uint64_t address, uint32_t length);
  void Unmap(void* mapping, uint32_t length);
  std::vector<uint64_t> MapRequests() const;
  size_t OpenMappings() const;
  // A device window at `base` (see MemoryDevice); it shadows the regions.
  void ClaimMemory(uint32_t base, uint32_t size, MemoryDevice& device);
  // Maps made that reached a device window: each read the window once.
  uint64_t DeviceWindowMaps() const;

  // ---- Pool
  void* Alloc(uint32_t size, uint32_t tag, PoolType type);
  void Free(void* pointer);
  // The nth allocation from now (1 = the next one) fails; of `type` only, if given.
  void FailAllocation(int nth, std::optional<PoolType> type = std::nullopt);
  std::vector<Allocation> Outstanding() const;
  // Empty when nothing is outstanding and no device model recorded harm.
  std::string LeakReport() const;
  uint64_t AllocationCount() const;

  // ---- Harm: what a device model records when the machine did something
  // that would hurt a real chip (LeakReport lists it too).
  void RecordHarm(const std::string& what);

  // ---- Virtual clock
  void Delay(int32_t milliseconds);
  uint64_t NowMs() const;
  uint64_t DelayCalls() const;

  // ---- Debug output, formatted as the platform's printf formats it
  void DebugPrint(const char* format, va_list args);
  std::vector<std::string> DebugLines() const;
  void ClearDebugOutput();

  // ---- Access trace (off by default)
  void SetTracing(bool on);
  std::vector<TraceEntry> Trace() const;
  void ClearTrace();

  // ---- Holding the thread that makes an access, for tests that need a
  // request to stay in service: the next access of `kind` blocks before it
  // takes effect until ReleaseHeld(); WaitHeld() returns true once it
  // blocks, or takes the hold back and returns false when no such access
  // comes within `bound` (a driver that never reaches it fails the test
  // instead of hanging it).
  void HoldNext(Access kind);
  bool WaitHeld(std::chrono::milliseconds bound = std::chrono::seconds(20));
  void ReleaseHeld();

  // Device models and anything else the machine should keep alive.
  template <typename T, typename... Args>
  T& Make(Args&&... args) {
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *owned;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    owned_.push_back(std::unique_ptr<void, void (*)(void*)>(
        owned.release(), [](void* p) { delete static_cast<T*>(p); }));
    return ref;
  }

  // The machine's lock, for device models that keep state of their own and
  // are reached other than through the machine.
  std::recursive_mutex& Lock() const { return lock_; }

 private:
  struct PortClaim {
    uint16_t first;
    uint16_t count;
    PortDevice* device;
  };
  struct Region {
    uint32_t base;
    std::vector<uint8_t> bytes;
  };
  struct Mapping {
    uint64_t address;
    uint32_t length;
    std::unique_ptr<uint8_t[]> bytes;
    std::vector<uint8_t> read{};  // as made, when a device window is in it
  };
  struct MemoryClaim {
    uint32_t base;
    uint32_t size;
    MemoryDevice* device;
  };

  struct Target {
    PortDevice* device;
    uint16_t port;  // what the device sees: the port, or the offset in a decoded block
  };
  Target DeviceFor(uint16_t port) const;
  void Record(Access kind, uint32_t where, uint32_t value);

  mutable std::recursive_mutex lock_;
  std::map<uint32_t, PciFunction> pci_;  // key: bus << 8 | slot
  std::vector<PortClaim> ports_;
  std::vector<std::pair<PciIoDecode, PortDevice*>> decoded_;
  struct PlacedClaim {
    std::function<std::optional<uint16_t>()> first;
    uint16_t size;
    PortDevice* device;
  };
  std::vector<PlacedClaim> placed_;
  std::vector<Region> memory_;
  std::vector<MemoryClaim> memoryClaims_;
  uint64_t deviceWindowMaps_ = 0;
  std::map<uint64_t, int> mapFailures_;
  int failMappingIn_ = 0;
  std::vector<uint64_t> mapRequests_;
  std::map<void*, Mapping> mappings_;
  std::map<void*, Allocation> allocations_;
  std::vector<std::string> harm_;
  int failAllocationIn_ = 0;
  std::optional<PoolType> failAllocationType_;
  uint64_t allocationCount_ = 0;
  uint64_t nowMs_ = 0;
  uint64_t delayCalls_ = 0;
  uint64_t configReads_ = 0;
  uint64_t configWrites_ = 0;
  uint64_t portAccesses_ = 0;
  std::string debug_;
  bool tracing_ = false;
  std::vector<TraceEntry> trace_;
  std::vector<std::unique_ptr<void, void (*)(void*)>> owned_;
  // The hold (its own lock: a held thread must not keep the machine's).
  void Gate(Access kind);
  std::mutex holdLock_;
  std::condition_variable holdChanged_;
  std::optional<Access> holdKind_;
  bool holding_ = false;
  bool holdReleased_ = false;
};

// The machine the host binding's primitives reach. One at a time per process.
void Attach(Machine* machine);
Machine* Attached();

// Attaches a machine for the lifetime of a scope.
class AttachScope {
 public:
  explicit AttachScope(Machine& machine) : previous_(Attached()) { Attach(&machine); }
  ~AttachScope() { Attach(previous_); }
  AttachScope(const AttachScope&) = delete;
  AttachScope& operator=(const AttachScope&) = delete;

 private:
  Machine* previous_;
};

}  // namespace sim
