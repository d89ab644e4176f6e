// Host side of every import. Each function has the signature and calling
// convention of the kernel's own, realigns the stack the image called it
// with, counts the call (and applies an injected failure or hold), and goes
// to the kernel objects of kernel.h or to the simulated machine.
#include "loader/imports.h"

#include <cstdarg>
#include <cstring>
#include <stdexcept>

#include "driver/status.h"
#include "loader/kernel.h"

namespace loader {

namespace {

constexpr int32_t kStatusTimeout = 0x00000102;
constexpr int32_t kStatusInvalidHandle = static_cast<int32_t>(0xC0000008u);
constexpr uint32_t kMaxPort = 0xFFFF;
constexpr uint32_t kMmNonCached = 0;

Kernel& K() {
  return Kernel::Current();
}

// The machine reports misuse (a free of a pointer it never handed out, an
// unmap with another length) by throwing; nothing may unwind into the image.
// The body's result, or none after a fault.
template <typename F>
auto Guarded(const char* import, F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const std::exception& e) {
    K().Fault(std::string(import) + ": " + e.what());
    return decltype(body())();
  }
}

// Counts the port call and checks its port.
uint16_t Port(const char* import, const void* port) {
  K().Enter(import);
  const auto value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(port));
  if (value > kMaxPort) K().Fault(std::string(import) + " with a port beyond 0xFFFF");
  return static_cast<uint16_t>(value);
}

// PCI configuration space is the one bus the driver reads and writes.
bool PciConfiguration(const char* import, uint32_t busDataType) {
  K().Enter(import);
  if (busDataType == nt::kBusDataPciConfiguration) return true;
  K().Fault(std::string(import) + " for a bus type other than PCI configuration");
  return false;
}

// The kernel's own conversions (%wZ, %ws, %S, %C, %I64x, ...) that the C
// library here would format differently; empty when the format has none.
std::string KernelOnlyConversion(const char* format) {
  for (const char* p = format; *p != 0; ++p) {
    if (*p != '%') continue;
    const char* start = p++;
    if (*p == '%') continue;
    while (*p != 0 && std::strchr("-+ #0123456789.*", *p) != nullptr) ++p;
    if (*p == 'w' || *p == 'I' || *p == 'Z' || *p == 'S' || *p == 'C') {
      return std::string(start, p + 1);
    }
    if (*p == 0) break;
  }
  return {};
}

}  // namespace

// The imports, with the kernel's private state at hand.
struct Imports {
  // KeSetEvent (`signalled`) or KeClearEvent; the state before.
  static int32_t SetEvent(void* event, bool signalled) {
    Kernel& k = K();
    std::lock_guard<std::mutex> guard(k.dispatcherLock_);
    auto it = k.events_.find(event);
    if (it == k.events_.end()) {
      k.Fault(std::string(signalled ? "KeSetEvent" : "KeClearEvent") +
              " on an event that was never initialised");
      return 0;
    }
    const bool previous = it->second.signalled;
    it->second.signalled = signalled;
    k.dispatcherChanged_.notify_all();
    return previous ? 1 : 0;
  }

  // Events by the address of their KEVENT, and thread objects.
  static int32_t Wait(uint32_t count, void* const* objects, bool waitAll, const int64_t* timeout) {
    Kernel& k = K();
    if (k.irql_ >= 2) k.Fault("wait at DISPATCH_LEVEL");
    if (waitAll || timeout != nullptr) {
      k.Fault("a wait for all objects or with a time-out, which this kernel does not model");
      return kStatusTimeout;
    }
    std::unique_lock<std::mutex> guard(k.dispatcherLock_);
    for (uint32_t i = 0; i < count; ++i) {
      if (k.events_.count(objects[i]) == 0 && k.threads_.count(objects[i]) == 0) {
        guard.unlock();
        k.Fault("wait on an object the kernel does not know (" +
                Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(objects[i]))) + ")");
        return kStatusInvalidHandle;
      }
    }
    int32_t result = kStatusTimeout;
    k.dispatcherChanged_.wait(guard, [&] {
      for (uint32_t i = 0; i < count; ++i) {  // the lowest index wins
        auto e = k.events_.find(objects[i]);
        auto t = k.threads_.find(objects[i]);
        if (e != k.events_.end() ? !e->second.signalled : t->second->running) continue;
        if (e != k.events_.end() && e->second.type == nt::kSynchronizationEvent) {
          e->second.signalled = false;
        }
        result = static_cast<int32_t>(i);  // STATUS_WAIT_0 + i
        return true;
      }
      return false;
    });
    return result;
  }

  // ---- devices and requests

  static NT_ENTRY NT_STDCALL void RtlInitUnicodeString(nt::UnicodeString* target,
                                                       const char16_t* source) {
    K().Enter("RtlInitUnicodeString");
    size_t length = 0;
    if (source != nullptr) {
      while (source[length] != 0) ++length;
    }
    target->Length = static_cast<uint16_t>(length * 2);
    target->MaximumLength = static_cast<uint16_t>(source != nullptr ? length * 2 + 2 : 0);
    target->Buffer = source;
  }

  static NT_ENTRY NT_STDCALL int32_t IoCreateDevice(nt::DriverObject* driver,
                                                    uint32_t extensionSize, nt::UnicodeString* name,
                                                    uint32_t type, uint32_t characteristics,
                                                    uint8_t /*exclusive*/,
                                                    nt::DeviceObject** device) {
    Kernel& k = K();
    if (int32_t failure = k.Enter("IoCreateDevice")) return failure;
    std::u16string text;
    if (name != nullptr && name->Buffer != nullptr) text.assign(name->Buffer, name->Length / 2);
    // The extension follows the object, cleared, as the kernel hands it out.
    const size_t extensionAt = (sizeof(nt::DeviceObject) + 7) & ~size_t{7};
    auto memory = std::make_unique<uint8_t[]>(extensionAt + extensionSize);
    std::memset(memory.get(), 0, extensionAt + extensionSize);
    auto* object = reinterpret_cast<nt::DeviceObject*>(memory.get());
    std::lock_guard<std::mutex> guard(k.lock_);
    if (!text.empty() && !k.names_.AddDevice(text, object)) return STATUS_OBJECT_NAME_COLLISION;
    object->Type = nt::kIoTypeDevice;
    object->Size = static_cast<uint16_t>(sizeof(nt::DeviceObject) + extensionSize);
    object->ReferenceCount = 0;
    object->Driver = driver;
    object->Flags = nt::kDoDeviceInitializing;
    object->Characteristics = characteristics;
    object->DeviceExtension = extensionSize != 0 ? memory.get() + extensionAt : nullptr;
    object->DeviceType = type;
    object->StackSize = 1;
    object->NextDevice = driver->FirstDevice;
    driver->FirstDevice = object;
    k.devices_[object] = Kernel::DeviceRecord{std::move(memory), text};
    *device = object;
    return STATUS_SUCCESS;
  }

  static NT_ENTRY NT_STDCALL void IoDeleteDevice(nt::DeviceObject* device) {
    Kernel& k = K();
    k.Enter("IoDeleteDevice");
    std::lock_guard<std::mutex> guard(k.lock_);
    auto it = k.devices_.find(device);
    if (it == k.devices_.end()) {
      k.faults_.push_back("IoDeleteDevice of an object that is not a device");
      return;
    }
    nt::DeviceObject** link = &device->Driver->FirstDevice;
    while (*link != nullptr && *link != device) link = &(*link)->NextDevice;
    if (*link == device) *link = device->NextDevice;
    if (!it->second.name.empty()) k.names_.Remove(it->second.name);
    // A request still pending on the device would be completed into freed memory.
    for (auto& [irp, request] : k.requests_) {
      std::lock_guard<std::mutex> requestGuard(request->watch_.Lock);
      if (request->watch_.Completions == 0 && irp->CurrentStackLocation->Device == device) {
        k.faults_.push_back("device deleted with a request still pending on it");
      }
    }
    k.devices_.erase(it);
  }

  static NT_ENTRY NT_STDCALL int32_t IoCreateSymbolicLink(nt::UnicodeString* link,
                                                          nt::UnicodeString* target) {
    if (int32_t failure = K().Enter("IoCreateSymbolicLink")) return failure;
    const std::u16string name(link->Buffer, link->Length / 2);
    const std::u16string to(target->Buffer, target->Length / 2);
    return K().Names().AddLink(name, to) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_COLLISION;
  }

  static NT_ENTRY NT_STDCALL int32_t IoDeleteSymbolicLink(nt::UnicodeString* link) {
    K().Enter("IoDeleteSymbolicLink");
    const std::u16string name(link->Buffer, link->Length / 2);
    if (!K().Names().IsLink(name)) {
      K().Fault("IoDeleteSymbolicLink of " + Narrow(name) + ", which is not a link");
      return static_cast<int32_t>(0xC0000034u);  // STATUS_OBJECT_NAME_NOT_FOUND
    }
    K().Names().Remove(name);
    return STATUS_SUCCESS;
  }

  static NT_ENTRY NT_FASTCALL void IofCompleteRequest(nt::Irp* irp, int8_t /*boost*/) {
    K().Enter("IofCompleteRequest");
    K().CompleteRequest(irp);
  }

  // ---- threads, events and locks

  static NT_ENTRY NT_STDCALL int32_t PsCreateSystemThread(uint32_t* handle, uint32_t /*access*/,
                                                          void* /*attributes*/,
                                                          uint32_t /*process*/, void* /*clientId*/,
                                                          nt::StartRoutineFn start, void* context) {
    Kernel& k = K();
    if (int32_t failure = k.Enter("PsCreateSystemThread")) return failure;
    std::lock_guard<std::mutex> guard(k.dispatcherLock_);
    auto owned = std::make_unique<Kernel::Thread>();
    Kernel::Thread* thread = owned.get();
    thread->references = 1;  // the handle
    *handle = k.nextHandle_;
    k.nextHandle_ += 4;
    k.handles_[*handle] = thread;
    k.threads_[thread] = std::move(owned);
    thread->thread = std::thread([&k, thread, start, context] {
      start(context);
      std::lock_guard<std::mutex> done(k.dispatcherLock_);
      thread->running = false;
      k.dispatcherChanged_.notify_all();
    });
    return STATUS_SUCCESS;
  }

  static NT_ENTRY NT_STDCALL int32_t ObReferenceObjectByHandle(uint32_t handle, uint32_t /*access*/,
                                                               void* /*type*/, int8_t /*mode*/,
                                                               void** object,
                                                               void* /*information*/) {
    Kernel& k = K();
    if (int32_t failure = k.Enter("ObReferenceObjectByHandle")) return failure;
    std::lock_guard<std::mutex> guard(k.dispatcherLock_);
    auto it = k.handles_.find(handle);
    if (it == k.handles_.end()) {
      k.Fault("ObReferenceObjectByHandle with a handle that is not open (" + Hex(handle) + ")");
      return kStatusInvalidHandle;
    }
    ++it->second->references;
    *object = it->second;
    return STATUS_SUCCESS;
  }

  static NT_ENTRY NT_FASTCALL intptr_t ObfDereferenceObject(void* object) {
    Kernel& k = K();
    k.Enter("ObfDereferenceObject");
    std::lock_guard<std::mutex> guard(k.dispatcherLock_);
    auto it = k.threads_.find(object);
    if (it == k.threads_.end() || it->second->references <= 0) {
      k.Fault("ObfDereferenceObject on an object with no reference held");
      return 0;
    }
    --it->second->references;
    return 0;
  }

  // OBJ_KERNEL_HANDLE is refused as invalid by a kernel before 5.0, and its
  // absence is a fault on one that has it.
  static NT_ENTRY NT_STDCALL int32_t ObOpenObjectByPointer(void* object, uint32_t attributes,
                                                           void* /*accessState*/, uint32_t access,
                                                           void* /*type*/, int8_t /*mode*/,
                                                           uint32_t* handle) {
    Kernel& k = K();
    if (int32_t failure = k.Enter("ObOpenObjectByPointer")) return failure;
    constexpr uint32_t kObjKernelHandle = 0x00000200;
    constexpr uint32_t kFirstKernelHandleMajor = 5;
    std::lock_guard<std::mutex> guard(k.lock_);
    auto* device = static_cast<nt::DeviceObject*>(object);
    if (k.devices_.count(device) == 0) {
      k.faults_.push_back("ObOpenObjectByPointer of an object that is not a device");
      return kStatusInvalidHandle;
    }
    const bool kernelHandles = k.version.major >= kFirstKernelHandleMajor;
    if ((attributes & ~kObjKernelHandle) != 0) {
      k.faults_.push_back("ObOpenObjectByPointer with attributes " + Hex(attributes));
    }
    if ((attributes & kObjKernelHandle) != 0 && !kernelHandles) {
      return static_cast<int32_t>(0xC000000Du);  // STATUS_INVALID_PARAMETER
    }
    if ((attributes & kObjKernelHandle) == 0 && kernelHandles) {
      k.faults_.push_back(
          "ObOpenObjectByPointer without OBJ_KERNEL_HANDLE on a kernel that has it");
    }
    {
      std::lock_guard<std::mutex> handles(k.dispatcherLock_);
      *handle = k.nextHandle_;
      k.nextHandle_ += 4;
    }
    // The kernel's own opens (KernelMode) skip the access check.
    k.objectHandles_[*handle] = Kernel::File{device, host::MapFileGeneric(access)};
    return STATUS_SUCCESS;
  }

  static NT_ENTRY NT_STDCALL uint8_t PsGetVersion(uint32_t* major, uint32_t* minor, uint32_t* build,
                                                  void* /*servicePack*/) {
    K().Enter("PsGetVersion");
    const Kernel::Version version = K().version;
    if (major != nullptr) *major = version.major;
    if (minor != nullptr) *minor = version.minor;
    if (build != nullptr) *build = version.build;
    return 0;  // a free build
  }

  static NT_ENTRY NT_STDCALL int32_t ZwSetSecurityObject(uint32_t handle, uint32_t information,
                                                         const void* descriptor) {
    Kernel& k = K();
    if (int32_t failure = k.Enter("ZwSetSecurityObject")) return failure;
    std::lock_guard<std::mutex> guard(k.lock_);
    auto it = k.objectHandles_.find(handle);
    if (it == k.objectHandles_.end()) {
      k.faults_.push_back("ZwSetSecurityObject with a handle that is not open (" + Hex(handle) +
                          ")");
      return kStatusInvalidHandle;
    }
    if ((it->second.granted & host::kWriteDac) == 0) return host::kStatusAccessDenied;
    if (information != host::kDaclSecurityInformation) {
      k.faults_.push_back("ZwSetSecurityObject for more than the DACL");
    }
    std::vector<host::Ace> dacl;
    size_t length = 0;
    constexpr size_t kLargestDescriptor = 4096;
    if (!host::ReadDacl(static_cast<const uint8_t*>(descriptor), kLargestDescriptor, &dacl,
                        &length)) {
      k.faults_.push_back("ZwSetSecurityObject with a descriptor that is not self-relative");
      return static_cast<int32_t>(0xC0000079u);  // STATUS_INVALID_SECURITY_DESCR
    }
    const auto* bytes = static_cast<const uint8_t*>(descriptor);
    k.devices_.at(it->second.device).security.assign(bytes, bytes + length);
    return STATUS_SUCCESS;
  }

  static NT_ENTRY NT_STDCALL void IoAcquireCancelSpinLock(uint8_t* irql) {
    K().Enter("IoAcquireCancelSpinLock");
    *irql = K().AcquireSpinLock(&K().cancelLock_);
  }

  static NT_ENTRY NT_STDCALL void IoReleaseCancelSpinLock(uint8_t irql) {
    K().Enter("IoReleaseCancelSpinLock");
    K().ReleaseSpinLock(&K().cancelLock_, irql);
  }

  static NT_ENTRY NT_STDCALL int32_t ZwClose(uint32_t handle) {
    Kernel& k = K();
    k.Enter("ZwClose");
    {
      std::lock_guard<std::mutex> guard(k.lock_);
      if (k.objectHandles_.erase(handle) != 0) return STATUS_SUCCESS;
    }
    std::lock_guard<std::mutex> guard(k.dispatcherLock_);
    auto it = k.handles_.find(handle);
    if (it == k.handles_.end()) {
      k.Fault("ZwClose of a handle that is not open (" + Hex(handle) + ")");
      return kStatusInvalidHandle;
    }
    --it->second->references;
    k.handles_.erase(it);
    return STATUS_SUCCESS;
  }

  static NT_ENTRY NT_STDCALL void KeInitializeEvent(void* event, uint32_t type, uint8_t state) {
    Kernel& k = K();
    k.Enter("KeInitializeEvent");
    std::lock_guard<std::mutex> guard(k.dispatcherLock_);
    std::memset(event, 0, nt::kKeventSize);  // the header the kernel would write
    k.events_[event] = Kernel::Event{type, state != 0};
    k.dispatcherChanged_.notify_all();
  }

  static NT_ENTRY NT_STDCALL int32_t KeSetEvent(void* event, int32_t /*increment*/,
                                                uint8_t /*wait*/) {
    K().Enter("KeSetEvent");
    return SetEvent(event, true);
  }

  static NT_ENTRY NT_STDCALL void KeClearEvent(void* event) {
    K().Enter("KeClearEvent");
    SetEvent(event, false);
  }

  static NT_ENTRY NT_STDCALL int32_t KeWaitForSingleObject(void* object, uint32_t /*reason*/,
                                                           int8_t /*mode*/, uint8_t /*alertable*/,
                                                           int64_t* timeout) {
    K().Enter("KeWaitForSingleObject");
    return Wait(1, &object, false, timeout);
  }

  static NT_ENTRY NT_STDCALL int32_t KeWaitForMultipleObjects(uint32_t count, void** objects,
                                                              uint32_t waitType,
                                                              uint32_t /*reason*/, int8_t /*mode*/,
                                                              uint8_t /*alertable*/,
                                                              int64_t* timeout, void* waitBlocks) {
    K().Enter("KeWaitForMultipleObjects");
    constexpr uint32_t kThreadWaitObjects = 3;  // more need the caller's wait blocks
    if (count > kThreadWaitObjects && waitBlocks == nullptr) {
      K().Fault("KeWaitForMultipleObjects on more than 3 objects without wait blocks");
    }
    return Wait(count, objects, waitType == nt::kWaitAll, timeout);
  }

  static NT_ENTRY NT_FASTCALL uint8_t KfAcquireSpinLock(void* lock) {
    K().Enter("KfAcquireSpinLock");
    return K().AcquireSpinLock(lock);
  }

  static NT_ENTRY NT_FASTCALL void KfReleaseSpinLock(void* lock, uint8_t newIrql) {
    K().Enter("KfReleaseSpinLock");
    K().ReleaseSpinLock(lock, newIrql);
  }

  // ---- memory and time

  static NT_ENTRY NT_STDCALL void* ExAllocatePoolWithTag(uint32_t poolType, uint32_t size,
                                                         uint32_t tag) {
    if (K().Enter("ExAllocatePoolWithTag") != 0) return nullptr;
    const bool paged = (poolType & 1u) != 0;
    if (paged && K().irql_ >= 2) K().Fault("paged pool allocated at DISPATCH_LEVEL");
    return Guarded("ExAllocatePoolWithTag", [&] {
      return K().Machine().Alloc(size, tag, paged ? sim::PoolType::Paged : sim::PoolType::NonPaged);
    });
  }

  static NT_ENTRY NT_STDCALL void ExFreePool(void* pointer) {
    K().Enter("ExFreePool");
    Guarded("ExFreePool", [&] { K().Machine().Free(pointer); });
  }

  static NT_ENTRY NT_STDCALL void* MmMapIoSpace(uint64_t physicalAddress, uint32_t length,
                                                uint32_t cacheType) {
    if (K().Enter("MmMapIoSpace") != 0) return nullptr;
    if (cacheType != kMmNonCached) K().Fault("MmMapIoSpace asked for a cached mapping");
    return Guarded("MmMapIoSpace", [&] { return K().Machine().Map(physicalAddress, length); });
  }

  static NT_ENTRY NT_STDCALL void MmUnmapIoSpace(void* mapping, uint32_t length) {
    K().Enter("MmUnmapIoSpace");
    Guarded("MmUnmapIoSpace", [&] { K().Machine().Unmap(mapping, length); });
  }

  static NT_ENTRY NT_STDCALL int32_t KeDelayExecutionThread(int8_t /*mode*/, uint8_t /*alertable*/,
                                                            int64_t* interval) {
    Kernel& k = K();
    k.Enter("KeDelayExecutionThread");
    if (k.irql_ >= 2) k.Fault("KeDelayExecutionThread at DISPATCH_LEVEL");
    if (*interval > 0) {
      k.Fault("KeDelayExecutionThread with an absolute time");
      return STATUS_SUCCESS;
    }
    // The calling thread sleeps `units` of 100 ns on the virtual clock.
    const int64_t units = -*interval;
    std::lock_guard<std::mutex> guard(k.clockLock_);
    constexpr int64_t kUnitsPerMs = 10000;
    if (k.clock_ == Kernel::Clock::Exact) {
      k.machine_.Delay(static_cast<int32_t>(units / kUnitsPerMs));
      return STATUS_SUCCESS;
    }
    // The machine's clock may have moved without this kernel (a test's delay).
    const int64_t machineNow = static_cast<int64_t>(k.machine_.NowMs()) * kUnitsPerMs;
    if (k.now_ < machineNow) k.now_ = machineNow;
    int64_t wake = k.now_;
    if (units > 0) {
      const int64_t ticks = (k.now_ + units - k.tickBase_ + k.tick_ - 1) / k.tick_;
      wake = k.tickBase_ + ticks * k.tick_;
    }
    k.machine_.Delay(static_cast<int32_t>(wake / kUnitsPerMs - k.now_ / kUnitsPerMs));
    k.now_ = wake;
    return STATUS_SUCCESS;
  }

  // A request (`set`) or the release of the image's last one. The tick
  // becomes the one the clock supports closest to the finest outstanding
  // request (kFinestTick to kDefaultTick), and is returned; with none
  // outstanding it is kDefaultTick again.
  static NT_ENTRY NT_STDCALL uint32_t ExSetTimerResolution(uint32_t desired, uint8_t set) {
    Kernel& k = K();
    k.Enter("ExSetTimerResolution");
    bool unmatched = false;
    uint32_t tick;
    {
      std::lock_guard<std::mutex> guard(k.clockLock_);
      if (set) {
        k.timerRequests_.push_back(desired);
        ++k.timerRequestsMade_;
      } else if (k.timerRequests_.empty()) {
        unmatched = true;
      } else {
        k.timerRequests_.pop_back();
      }
      uint32_t wanted = Kernel::kDefaultTick;
      for (uint32_t request : k.timerRequests_) wanted = std::min(wanted, request);
      // The clock runs at 64 Hz times a power of two up to 1024 Hz; the tick
      // is the one of those closest to the finest request.
      uint32_t finest = Kernel::kDefaultTick;
      if (k.clock_ == Kernel::Clock::WindowsDefaultTick) wanted = Kernel::kDefaultTick;
      for (uint32_t tick : {78125u, 39063u, 19531u, Kernel::kFinestTick}) {
        const auto distance = [wanted](uint32_t t) { return t > wanted ? t - wanted : wanted - t; };
        if (distance(tick) < distance(finest)) finest = tick;
      }
      if (finest != k.tick_) {
        // The clock is reprogrammed now: the next ticks count from here.
        k.now_ = std::max(k.now_, static_cast<int64_t>(k.machine_.NowMs()) * 10000);
        k.tickBase_ = k.now_;
        k.tick_ = finest;
      }
      tick = k.tick_;
    }
    if (unmatched) k.Fault("ExSetTimerResolution released a timer resolution request never made");
    return tick;
  }

  // ---- hardware

  static NT_ENTRY NT_STDCALL uint32_t HalGetBusDataByOffset(uint32_t busDataType, uint32_t bus,
                                                            uint32_t slot, void* buffer,
                                                            uint32_t offset, uint32_t length) {
    if (!PciConfiguration("HalGetBusDataByOffset", busDataType)) return 0;
    return K().Machine().GetPciData(bus, slot, buffer, offset, length);
  }

  static NT_ENTRY NT_STDCALL uint32_t HalSetBusDataByOffset(uint32_t busDataType, uint32_t bus,
                                                            uint32_t slot, void* buffer,
                                                            uint32_t offset, uint32_t length) {
    if (!PciConfiguration("HalSetBusDataByOffset", busDataType)) return 0;
    return K().Machine().SetPciData(bus, slot, buffer, offset, length);
  }

  static NT_ENTRY NT_STDCALL uint8_t READ_PORT_UCHAR(uint8_t* port) {
    return K().Machine().In8(Port("READ_PORT_UCHAR", port));
  }

  static NT_ENTRY NT_STDCALL uint16_t READ_PORT_USHORT(uint16_t* port) {
    return K().Machine().In16(Port("READ_PORT_USHORT", port));
  }

  static NT_ENTRY NT_STDCALL void WRITE_PORT_UCHAR(uint8_t* port, uint8_t value) {
    K().Machine().Out8(Port("WRITE_PORT_UCHAR", port), value);
  }

  static NT_ENTRY NT_STDCALL void WRITE_PORT_USHORT(uint16_t* port, uint16_t value) {
    K().Machine().Out16(Port("WRITE_PORT_USHORT", port), value);
  }

  // ---- debug output

  static NT_ENTRY NT_CDECL uint32_t DbgPrint(const char* format, ...) {
    K().Enter("DbgPrint");
    const std::string foreign = KernelOnlyConversion(format);
    if (!foreign.empty()) K().Fault("DbgPrint conversion the host cannot format: " + foreign);
    va_list args;
    va_start(args, format);
    K().Machine().DebugPrint(format, args);
    va_end(args);
    return STATUS_SUCCESS;
  }
};

namespace {

constexpr const char* kKernel = "ntoskrnl.exe";
constexpr const char* kHal = "HAL.dll";

// Each function above carries its own calling convention.
#define IMPORT(module, name) \
  { module, #name, reinterpret_cast<const void*>(&Imports::name) }

}  // namespace

const KnownImport* FindImport(const std::string& name) {
  static const KnownImport imports[] = {
      IMPORT(kKernel, RtlInitUnicodeString),
      IMPORT(kKernel, IoCreateDevice),
      IMPORT(kKernel, IoDeleteDevice),
      IMPORT(kKernel, IoCreateSymbolicLink),
      IMPORT(kKernel, IoDeleteSymbolicLink),
      IMPORT(kKernel, IofCompleteRequest),
      IMPORT(kKernel, IoAcquireCancelSpinLock),
      IMPORT(kKernel, IoReleaseCancelSpinLock),
      IMPORT(kKernel, PsCreateSystemThread),
      IMPORT(kKernel, ObReferenceObjectByHandle),
      IMPORT(kKernel, ObfDereferenceObject),
      IMPORT(kKernel, ObOpenObjectByPointer),
      IMPORT(kKernel, PsGetVersion),
      IMPORT(kKernel, ZwSetSecurityObject),
      IMPORT(kKernel, ZwClose),
      IMPORT(kKernel, KeInitializeEvent),
      IMPORT(kKernel, KeSetEvent),
      IMPORT(kKernel, KeClearEvent),
      IMPORT(kKernel, KeWaitForSingleObject),
      IMPORT(kKernel, KeWaitForMultipleObjects),
      IMPORT(kHal, KfAcquireSpinLock),
      IMPORT(kHal, KfReleaseSpinLock),
      IMPORT(kKernel, ExAllocatePoolWithTag),
      IMPORT(kKernel, ExFreePool),
      IMPORT(kKernel, MmMapIoSpace),
      IMPORT(kKernel, MmUnmapIoSpace),
      IMPORT(kKernel, KeDelayExecutionThread),
      IMPORT(kKernel, ExSetTimerResolution),
      IMPORT(kHal, HalGetBusDataByOffset),
      IMPORT(kHal, HalSetBusDataByOffset),
      IMPORT(kHal, READ_PORT_UCHAR),
      IMPORT(kHal, READ_PORT_USHORT),
      IMPORT(kHal, WRITE_PORT_UCHAR),
      IMPORT(kHal, WRITE_PORT_USHORT),
      IMPORT(kKernel, DbgPrint),
  };
  for (const KnownImport& import : imports) {
    if (name == import.name) return &import;
  }
  return nullptr;
}

}  // namespace loader
