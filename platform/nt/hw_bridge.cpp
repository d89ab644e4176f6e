// The hardware primitives of the test images (x86-64 for 64-bit Wine's
// kernel, i386 for 32-bit Wine's): every port access,
// configuration access, physical map and delay is a request to a simulated
// board that runs in an ordinary process, sent through two files with the
// kernel's own file calls (platform/nt/bridge_wire.h). The image executes no
// port instruction and links nothing but ntoskrnl and the HAL.
//
// A map is a copy of the board's memory in non-paged pool, made when the map
// is asked for; the driver only reads what it maps. A delay moves the
// board's clock on instead of sleeping. Pool and debug output are the
// kernel's.
//
// The first primitive call comes from DriverEntry's discovery, before the
// worker thread exists: it opens the two files and makes the lock that keeps
// each request and its reply together. A board that cannot be reached reads
// all ones, as an empty bus does: the driver starts with no function found
// and says so in every reply. The two handles stay open until the driver
// host ends: the seam has no unload hook.
#include "platform/nt/ddk.h"

#include "hw/hw.h"
#include "hw/platform.h"
#include "platform/nt/bridge_wire.h"

namespace {

HANDLE requests = nullptr;
HANDLE replies = nullptr;
KEVENT exchange;  // signalled while no request is in flight
bool opened = false;

HANDLE OpenBridgeFile(const wchar_t* path, ACCESS_MASK access) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, path);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr,
                             nullptr);
  IO_STATUS_BLOCK io;
  HANDLE handle = nullptr;
  const NTSTATUS status =
      ZwCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                   FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                   FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
  return NT_SUCCESS(status) ? handle : nullptr;
}

bool Open() {
  if (!opened) {
    opened = true;
    KeInitializeEvent(&exchange, SynchronizationEvent, TRUE);
#define DIMMIO_WIDE(text) L"" text
    requests = OpenBridgeFile(
        DIMMIO_WIDE("\\??\\C:\\" DIMMIO_BRIDGE_DIRECTORY "\\" DIMMIO_BRIDGE_REQUESTS),
        GENERIC_WRITE);
    replies = OpenBridgeFile(
        DIMMIO_WIDE("\\??\\C:\\" DIMMIO_BRIDGE_DIRECTORY "\\" DIMMIO_BRIDGE_REPLIES), GENERIC_READ);
#undef DIMMIO_WIDE
  }
  return requests != nullptr && replies != nullptr;
}

bool Write(const void* bytes, uint32_t length) {
  IO_STATUS_BLOCK io;
  return length == 0 ||
         (NT_SUCCESS(ZwWriteFile(requests, nullptr, nullptr, nullptr, &io, const_cast<void*>(bytes),
                                 length, nullptr, nullptr)) &&
          io.Information == length);
}

// A file that is a pipe may hand over fewer bytes than asked: read on.
bool Read(void* bytes, uint32_t length) {
  auto* to = static_cast<uint8_t*>(bytes);
  while (length > 0) {
    IO_STATUS_BLOCK io;
    if (!NT_SUCCESS(
            ZwReadFile(replies, nullptr, nullptr, nullptr, &io, to, length, nullptr, nullptr)) ||
        io.Information == 0) {
      return false;
    }
    to += io.Information;
    length -= static_cast<uint32_t>(io.Information);
  }
  return true;
}

// One request and its reply. The reply's payload goes to `answer` (at most
// `answerLength` bytes); returns false when the board cannot be reached or
// the reply does not fit.
bool Exchange(const bridge::Request& request, const void* payload, uint32_t* value,
              void* answer = nullptr, uint32_t answerLength = 0) {
  if (!Open()) return false;
  KeWaitForSingleObject(&exchange, Executive, KernelMode, FALSE, nullptr);
  bridge::Reply reply{};
  const bool ok = Write(&request, sizeof request) && Write(payload, request.length) &&
                  Read(&reply, sizeof reply) && reply.length <= answerLength &&
                  Read(answer, reply.length);
  KeSetEvent(&exchange, 0, FALSE);
  if (ok) *value = reply.value;
  return ok;
}

uint32_t Ask(uint32_t op, uint32_t a, uint32_t b = 0, uint32_t failed = 0xFFFFFFFFu) {
  uint32_t value = failed;
  return Exchange({op, a, b, 0, 0}, nullptr, &value) ? value : failed;
}

}  // namespace

uint32_t PlatformGetPciData(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset,
                            uint32_t length) {
  uint32_t delivered = 0;
  return Exchange({bridge::kPciRead, bus, slot, offset, length}, buffer, &delivered, buffer, length)
             ? delivered
             : 0;
}

uint32_t PlatformSetPciData(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset,
                            uint32_t length) {
  uint32_t written = 0;
  return Exchange({bridge::kPciWrite, bus, slot, offset, length}, buffer, &written) ? written : 0;
}

void SetDebugPrintHook() {
  DebugPrintHook = &DbgPrint;
}

void DelayMs(int32_t milliseconds) {
  (void)Ask(bridge::kDelay, static_cast<uint32_t>(milliseconds));
}

void* PoolAlloc(uint32_t size) {
  return ExAllocatePoolWithTag(PagedPool, size, kPoolTag);
}

void PoolFree(void* pointer) {
  ExFreePool(pointer);
}

uint8_t PortReadByte(uint16_t port) {
  return static_cast<uint8_t>(Ask(bridge::kPortRead8, port));
}

uint16_t PortReadWord(uint16_t port) {
  return static_cast<uint16_t>(Ask(bridge::kPortRead16, port));
}

void PortWriteByte(uint16_t port, uint8_t value) {
  (void)Ask(bridge::kPortWrite8, port, value);
}

void PortWriteWord(uint16_t port, uint16_t value) {
  (void)Ask(bridge::kPortWrite16, port, value);
}

void* MapPhysical(uint32_t physicalAddress, uint32_t length) {
  if (length == 0 || length > bridge::kMaxPayload) return nullptr;
  void* copy = ExAllocatePoolWithTag(NonPagedPool, length, kPoolTag);
  if (copy == nullptr) return nullptr;
  uint32_t mapped = 0;
  if (!Exchange({bridge::kMapRead, physicalAddress, length, 0, 0}, nullptr, &mapped, copy,
                length) ||
      mapped != 1) {
    ExFreePool(copy);
    return nullptr;
  }
  return copy;
}

void UnmapPhysical(void* mapping, uint32_t) {
  ExFreePool(mapping);
}
