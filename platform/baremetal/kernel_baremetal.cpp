// The kernel services of the bare-metal image (see dimmio/kernel_binding.h):
// single CPU, run to completion.
#include "driver/kernel.h"
#include "platform/baremetal/baremetal.h"
#include "platform/baremetal/console.h"

// A system thread that has not run yet runs, whole, when first waited for.
struct BareMetalThread {
  KernelThreadRoutine Routine;
  void* Context;
  bool Ended;
  uint32_t References;  // the handle and each referenced thread object
};

namespace {

constexpr uint32_t kExitStuck = 4;  // the image's result when a wait could never end

[[noreturn]] void Stuck(const char* what) {
  baremetal::ConsolePrint("kernel: %s\n", what);
  baremetal::ExitEmulator(kExitStuck);
}

void RunToEnd(BareMetalThread* thread) {
  if (thread->Ended) return;
  thread->Ended = true;  // set first: a thread that waits for itself must not recurse
  thread->Routine(thread->Context);
}

void Release(BareMetalThread* thread) {
  if (--thread->References == 0) PoolFree(thread);
}

// Symbolic links: a few names, enough for one device.
constexpr uint32_t kMaxLinks = 4;
constexpr uint32_t kMaxNameChars = 64;
struct Link {
  bool Used;
  uint16_t Length;
  char16_t Name[kMaxNameChars];
};
Link g_links[kMaxLinks];

bool SameName(const Link& link, const KernelName* name) {
  if (link.Length != name->Length) return false;
  for (uint32_t i = 0; i < name->Length / 2u; ++i) {
    if (link.Name[i] != name->Buffer[i]) return false;
  }
  return true;
}

}  // namespace

int32_t EventWaitAny(KernelEvent* first, KernelEvent* second) {
  if (first->Signalled) return 0;
  if (second->Signalled) return 1;
  Stuck("wait for two events that no other thread can set");
}

KernelIrql SpinLockAcquire(KernelSpinLock* lock) {
  if (lock->Held) Stuck("spin lock taken twice on one CPU");
  lock->Held = true;
  return 0;
}

void SpinLockRelease(KernelSpinLock* lock, KernelIrql) {
  lock->Held = false;
}

// Nothing is ever cancelled on one CPU without a caller that could go away.
KernelIrql CancelLockAcquire() {
  return 0;
}

void CancelLockRelease(KernelIrql) {}

NtStatus ThreadCreate(KernelHandle* handle, KernelThreadRoutine routine, void* context) {
  auto* thread = static_cast<BareMetalThread*>(PoolAlloc(sizeof(BareMetalThread)));
  if (thread == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  *thread = BareMetalThread{routine, context, false, 1};
  *handle = thread;
  return STATUS_SUCCESS;
}

NtStatus ThreadReference(KernelHandle handle, KernelThread* thread) {
  ++handle->References;
  *thread = handle;
  return STATUS_SUCCESS;
}

void ThreadWaitHandle(KernelHandle handle) {
  RunToEnd(handle);
}
void HandleClose(KernelHandle handle) {
  Release(handle);
}
void ThreadWait(KernelThread thread) {
  RunToEnd(thread);
}
void ThreadDereference(KernelThread thread) {
  Release(thread);
}

// Pool memory never pages here, so the non-paged pool is the same arena.
void* NonPagedAlloc(uint32_t size) {
  return PoolAlloc(size);
}
void NonPagedFree(void* pointer) {
  PoolFree(pointer);
}

// The PIT times every delay to the millisecond already.
void FineClockRequest() {}
void FineClockRelease() {}

void NameInit(KernelName* name, const char16_t* text) {
  uint16_t chars = 0;
  while (text[chars] != 0) ++chars;
  name->Length = static_cast<uint16_t>(chars * 2);
  name->MaximumLength = static_cast<uint16_t>(name->Length + 2);
  name->Buffer = text;
}

NtStatus DeviceCreate(KernelDriver* driver, uint32_t extensionSize, KernelName*,
                      uint32_t deviceType, uint32_t characteristics, KernelDevice** device) {
  const uint32_t size = sizeof(KernelDevice) + extensionSize;
  auto* memory = static_cast<uint8_t*>(PoolAlloc(size));
  if (memory == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  for (uint32_t i = 0; i < size; ++i) memory[i] = 0;
  auto* created = reinterpret_cast<KernelDevice*>(memory);
  created->DriverObject = driver;
  created->DeviceType = deviceType;
  created->Characteristics = characteristics;
  created->DeviceExtension = memory + sizeof(KernelDevice);
  created->NextDevice = driver->DeviceObject;
  driver->DeviceObject = created;
  *device = created;
  return STATUS_SUCCESS;
}

void DeviceDelete(KernelDevice* device) {
  for (KernelDevice** at = &device->DriverObject->DeviceObject; *at != nullptr;
       at = &(*at)->NextDevice) {
    if (*at == device) {
      *at = device->NextDevice;
      break;
    }
  }
  PoolFree(device);
}

// Nothing but the self-test opens the device here.
NtStatus DeviceSetSecurity(KernelDevice*, const void*) {
  return STATUS_SUCCESS;
}

NtStatus LinkCreate(KernelName* link, KernelName*) {
  if (link->Length / 2u > kMaxNameChars) return STATUS_INVALID_PARAMETER;
  Link* unused = nullptr;
  for (Link& l : g_links) {
    if (l.Used && SameName(l, link)) return STATUS_OBJECT_NAME_COLLISION;
    if (!l.Used && unused == nullptr) unused = &l;
  }
  if (unused == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  unused->Used = true;
  unused->Length = link->Length;
  for (uint32_t i = 0; i < link->Length / 2u; ++i) unused->Name[i] = link->Buffer[i];
  return STATUS_SUCCESS;
}

void LinkDelete(KernelName* link) {
  for (Link& l : g_links) {
    if (l.Used && SameName(l, link)) l.Used = false;
  }
}

namespace baremetal {

uint32_t OpenLinks() {
  uint32_t n = 0;
  for (const Link& l : g_links) n += l.Used ? 1 : 0;
  return n;
}

}  // namespace baremetal
