#include "platform/host/io_manager.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

#include "discovery/chipset.h"
#include "discovery/pci_walk.h"
#include "platform/host/host_kernel.h"
#include "smbios/smbios_cache.h"

namespace host {

namespace {

std::atomic<IoManager*> g_current{nullptr};
// The device-control request this thread is dispatching, if any.
thread_local Request* t_dispatching = nullptr;

IoManager& Manager() {
  IoManager* manager = IoManager::Current();
  if (manager == nullptr) {
    std::fprintf(stderr, "kernel service called with no host I/O manager\n");
    std::abort();
  }
  return *manager;
}

// What an entry routine the driver did not install does.
KernelStatus KERNEL_API InvalidDeviceRequest(KernelDevice*, KernelIrp* irp) {
  IrpSetIoStatus(irp, STATUS_INVALID_DEVICE_REQUEST_HOST, 0);
  IrpComplete(irp);
  return STATUS_INVALID_DEVICE_REQUEST_HOST;
}

std::string Describe(const Request& request) {
  std::ostringstream out;
  out << "request 0x" << std::hex << request.Irp.IoControlCode << std::dec << " (major "
      << request.Irp.MajorFunction << ", in " << request.Irp.InputBufferLength << ", out "
      << request.Irp.OutputBufferLength << ")";
  return out.str();
}

bool SameIrpState(const KernelIrp& a, const KernelIrp& b) {
  return a.Status == b.Status && a.Information == b.Information &&
         a.PendingMarked == b.PendingMarked && a.SystemBuffer == b.SystemBuffer &&
         a.IoControlCode == b.IoControlCode && a.InputBufferLength == b.InputBufferLength &&
         a.OutputBufferLength == b.OutputBufferLength && a.DeviceObject == b.DeviceObject;
}

}  // namespace

std::u16string ToU16(const KernelName* name) {
  return std::u16string(name->Buffer, name->Length / sizeof(char16_t));
}

void ResetImageStatics() {
  std::memset(&ChipsetInfo, 0, sizeof ChipsetInfo);
  std::memset(PciDeviceTable, 0, sizeof PciDeviceTable);
  PciDeviceCount = 0;
  ResetSmbiosCache();
}

IoManager::IoManager() : previous_(g_current.exchange(this)) {}

IoManager::~IoManager() {
  g_current.store(previous_);
  std::lock_guard<std::mutex> guard(lock_);
  for (DeviceRecord& record : devices_) record.storage.reset();
}

IoManager* IoManager::Current() {
  return g_current.load();
}

// ---------------------------------------------------------------- driver

NtStatus IoManager::Load(DriverEntryRoutine entry, bool freshImage) {
  if (freshImage) ResetImageStatics();
  auto driver = std::make_unique<KernelDriver>();
  driver->DeviceObject = nullptr;
  driver->DriverUnload = nullptr;
  for (auto& routine : driver->MajorFunction) routine = &InvalidDeviceRequest;
  driver_ = std::move(driver);

  static const char16_t kRegistryPath[] = u"\\Registry\\Machine\\System\\dimmio";
  KernelName path;
  NameInit(&path, kRegistryPath);
  const NtStatus status = entry(driver_.get(), &path);
  if (status == STATUS_SUCCESS) {
    // The I/O manager clears DO_DEVICE_INITIALIZING of the devices the entry
    // routine made once it returns; opens fail until then.
    std::lock_guard<std::mutex> guard(lock_);
    for (KernelDevice* device = driver_->DeviceObject; device != nullptr;
         device = device->NextDevice) {
      device->Flags &= ~kDoDeviceInitializing;
    }
  } else {
    std::lock_guard<std::mutex> guard(lock_);
    if (driver_->DeviceObject != nullptr) {
      violations_.push_back("a failed load left a device object behind");
    }
    driver_.reset();
  }
  return status;
}

void IoManager::Stop() {
  {
    std::unique_lock<std::mutex> guard(lock_);
    filesClosed_.wait(guard, [this] { return openFiles_ == 0; });
  }
  Unload();
}

void IoManager::Unload() {
  if (!driver_) return;
  if (driver_->DriverUnload != nullptr) driver_->DriverUnload(driver_.get());
  std::lock_guard<std::mutex> guard(lock_);
  if (driver_->DeviceObject != nullptr) {
    violations_.push_back("unload left a device object behind");
  }
  driver_.reset();
}

// ---------------------------------------------------------------- namespace

size_t IoManager::DeviceCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return devices_.size();
}

size_t IoManager::LinkCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return names_.Count(false);
}

bool IoManager::HasDevice(const std::u16string& name) const {
  std::lock_guard<std::mutex> guard(lock_);
  return names_.IsDevice(name);
}

bool IoManager::HasLink(const std::u16string& name) const {
  std::lock_guard<std::mutex> guard(lock_);
  return names_.IsLink(name);
}

NtStatus IoManager::AddForeignLink(const std::u16string& link, const std::u16string& target) {
  std::lock_guard<std::mutex> guard(lock_);
  return names_.AddLink(link, target) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_COLLISION;
}

void IoManager::RemoveLink(const std::u16string& link) {
  std::lock_guard<std::mutex> guard(lock_);
  if (names_.IsLink(link)) names_.Remove(link);
}

NtStatus IoManager::CreateDevice(KernelDriver* driver, uint32_t extensionSize, KernelName* name,
                                 uint32_t deviceType, uint32_t characteristics,
                                 KernelDevice** device) {
  NtStatus failure;
  if (TakeFault(Fault::CreateDevice, &failure)) return failure;
  const std::u16string text = ToU16(name);
  std::lock_guard<std::mutex> guard(lock_);
  if (names_.Find(text) != nullptr) return STATUS_OBJECT_NAME_COLLISION;
  // The device object and its zeroed extension, in one block.
  const size_t objectSize = (sizeof(KernelDevice) + 15) & ~size_t{15};
  auto storage = std::make_unique<uint8_t[]>(objectSize + extensionSize);
  std::memset(storage.get(), 0, objectSize + extensionSize);
  auto* object = new (storage.get()) KernelDevice{};
  object->DriverObject = driver;
  object->DeviceType = deviceType;
  object->Characteristics = characteristics;
  object->Flags = kDoDeviceInitializing;
  object->DeviceExtension = extensionSize > 0 ? storage.get() + objectSize : nullptr;
  object->NextDevice = driver->DeviceObject;
  driver->DeviceObject = object;
  names_.AddDevice(text, object);
  devices_.push_back({text, object, std::move(storage), DefaultDeviceDescriptor()});
  *device = object;
  return STATUS_SUCCESS;
}

void IoManager::DeleteDevice(KernelDevice* device) {
  std::lock_guard<std::mutex> guard(lock_);
  KernelDriver* driver = device->DriverObject;
  for (KernelDevice** at = &driver->DeviceObject; *at != nullptr; at = &(*at)->NextDevice) {
    if (*at == device) {
      *at = device->NextDevice;
      break;
    }
  }
  auto it = std::find_if(devices_.begin(), devices_.end(),
                         [&](const DeviceRecord& d) { return d.device == device; });
  if (it == devices_.end()) {
    violations_.push_back("delete of a device that does not exist");
    return;
  }
  names_.Remove(it->name);
  devices_.erase(it);
}

IoManager::DeviceRecord* IoManager::RecordOf(KernelDevice* device) {
  for (DeviceRecord& record : devices_) {
    if (record.device == device) return &record;
  }
  return nullptr;
}

NtStatus IoManager::SetSecurity(KernelDevice* device, const void* descriptor) {
  if (std::function<void()> action = std::exchange(onSecurityChange_, nullptr)) action();
  NtStatus failure;
  if (TakeFault(Fault::OpenDevice, &failure)) return failure;
  if (TakeFault(Fault::SetSecurity, &failure)) return failure;
  std::vector<Ace> dacl;
  size_t length = 0;
  constexpr size_t kLargestDescriptor = 4096;
  if (!ReadDacl(static_cast<const uint8_t*>(descriptor), kLargestDescriptor, &dacl, &length)) {
    return STATUS_INVALID_PARAMETER;
  }
  std::lock_guard<std::mutex> guard(lock_);
  DeviceRecord* record = RecordOf(device);
  if (record == nullptr) return STATUS_INVALID_PARAMETER;
  const auto* bytes = static_cast<const uint8_t*>(descriptor);
  record->security.assign(bytes, bytes + length);
  return STATUS_SUCCESS;
}

std::vector<Ace> IoManager::DeviceDacl(const std::u16string& name) const {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<Ace> dacl;
  for (const DeviceRecord& record : devices_) {
    if (record.name == name) ReadDacl(record.security.data(), record.security.size(), &dacl);
  }
  return dacl;
}

NtStatus IoManager::CreateLink(KernelName* link, KernelName* device) {
  if (std::function<void()> action = std::exchange(onLinkCreation_, nullptr)) action();
  NtStatus failure;
  if (TakeFault(Fault::CreateLink, &failure)) return failure;
  return AddForeignLink(ToU16(link), ToU16(device));
}

void IoManager::DeleteLink(KernelName* link) {
  const std::u16string text = ToU16(link);
  std::lock_guard<std::mutex> guard(lock_);
  if (!names_.IsLink(text) || !names_.Remove(text)) {
    violations_.push_back("delete of a link that does not exist");
  }
}

// ---------------------------------------------------------------- requests

KernelStatus IoManager::Dispatch(KernelDevice* device, uint32_t major, Request* request) {
  Request* const outer = t_dispatching;
  t_dispatching = major == IRP_MJ_DEVICE_CONTROL ? request : nullptr;
  if (major == IRP_MJ_DEVICE_CONTROL) {
    std::lock_guard<std::mutex> guard(lock_);
    ++dispatched_;
  }
  const KernelStatus returned = device->DriverObject->MajorFunction[major](device, &request->Irp);
  t_dispatching = outer;

  std::lock_guard<std::mutex> guard(request->Lock);
  request->Returned(Describe(*request), returned, request->Irp.PendingMarked,
                    request->Completed.Status, request->Completed.PendingMarked);
  return returned;
}

IoManager::OpenResult IoManager::Open(const std::u16string& name, Caller caller, uint32_t access) {
  KernelDevice* device = nullptr;
  std::u16string below;
  File* file = nullptr;
  {
    std::lock_guard<std::mutex> guard(lock_);
    device = names_.ResolveOpen(name, &below);
    if (device == nullptr) return {STATUS_OBJECT_NAME_NOT_FOUND_HOST, nullptr, nullptr};
    const DeviceRecord* record = RecordOf(device);
    if ((device->Flags & kDoDeviceInitializing) != 0)
      return {kStatusNoSuchDevice, nullptr, nullptr};
    uint32_t granted = 0;
    const int32_t checked = CheckOpen(record->security, device->Characteristics, !below.empty(),
                                      caller, access, &granted);
    if (checked != STATUS_SUCCESS) return {checked, nullptr, nullptr};
    files_.push_back(std::make_unique<File>(File{{nullptr}, device, granted}));
    file = files_.back().get();
  }
  // The create carries the new file object and the name asked for below the
  // device; a failed create leaves the caller no handle.
  Request* request = NewRequest(device, IRP_MJ_CREATE, 0, {}, 0);
  request->Irp.FileObject = file;
  request->Irp.FileNameLength = static_cast<uint16_t>(below.size() * sizeof(char16_t));
  Dispatch(device, IRP_MJ_CREATE, request);
  const NtStatus status = Wait(request).Status;
  if (status != STATUS_SUCCESS) return {status, nullptr, nullptr};
  std::lock_guard<std::mutex> guard(lock_);
  ++openFiles_;
  return {status, device, file};
}

NtStatus IoManager::Close(KernelDevice* device) {
  Request* request = NewRequest(device, IRP_MJ_CLOSE, 0, {}, 0);
  Dispatch(device, IRP_MJ_CLOSE, request);
  return Wait(request).Status;
}

NtStatus IoManager::Close(File* handle) {
  NtStatus status = STATUS_SUCCESS;
  for (const uint32_t major : {IRP_MJ_CLEANUP, IRP_MJ_CLOSE}) {
    Request* request = NewRequest(handle->Device, major, 0, {}, 0);
    request->Irp.FileObject = handle;
    Dispatch(handle->Device, major, request);
    status = Wait(request).Status;
    if (status != STATUS_SUCCESS) break;
  }
  // The handle is gone whatever the driver answered.
  std::lock_guard<std::mutex> guard(lock_);
  if (openFiles_ > 0) --openFiles_;
  filesClosed_.notify_all();
  return status;
}

void IoManager::Cancel(Request* request) {
  // As the kernel does: under the cancel lock, mark the packet and take its
  // routine; the routine gives the lock back. A request completed already is
  // no longer its thread's and is left alone. The packet is changed under
  // the watch's lock too, which its completion takes, whichever thread
  // completes it.
  const KernelIrql irql = CancelLockAcquire();
  KernelCancelRoutine routine = nullptr;
  {
    std::lock_guard<std::mutex> guard(request->Lock);
    if (request->Completions == 0) {
      request->Irp.Cancel = true;
      routine = request->Irp.CancelRoutine;
      request->Irp.CancelRoutine = nullptr;
      if (routine != nullptr) request->Irp.CancelIrql = irql;
    }
  }
  if (routine == nullptr) {
    CancelLockRelease(irql);
    return;
  }
  routine(request->Irp.DeviceObject, &request->Irp);
}

void IoManager::EndProcess(const std::vector<File*>& handles) {
  std::vector<Request*> outstanding;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& owned : requests_) {
      const bool ours =
          std::find(handles.begin(), handles.end(), owned->Irp.FileObject) != handles.end();
      if (ours && owned->Irp.MajorFunction == IRP_MJ_DEVICE_CONTROL) {
        outstanding.push_back(owned.get());
      }
    }
  }
  // The kernel waits for a cancelled request before the thread can end; one
  // the driver keeps queued holds the process up. (A request in service is
  // waited for as well; the tests end no process under one.)
  for (Request* request : outstanding) {
    if (Completed(request)) continue;
    Cancel(request);
    if (!Completed(request)) {
      std::lock_guard<std::mutex> guard(lock_);
      violations_.push_back(Describe(*request) + ": still pending after its thread cancelled it");
    }
  }
  for (File* handle : handles) Close(handle);
}

Request* IoManager::Submit(KernelDevice* device, uint32_t code, const std::vector<uint8_t>& input,
                           uint32_t outputLength, uint8_t fill) {
  Request* request = NewRequest(device, IRP_MJ_DEVICE_CONTROL, code, input, outputLength, fill);
  Dispatch(device, IRP_MJ_DEVICE_CONTROL, request);
  return request;
}

Request* IoManager::Submit(File* handle, uint32_t code, const std::vector<uint8_t>& input,
                           uint32_t outputLength, uint8_t fill) {
  if (ControlCodeAllowed(code, handle->Granted)) {
    Request* request =
        NewRequest(handle->Device, IRP_MJ_DEVICE_CONTROL, code, input, outputLength, fill);
    request->Irp.FileObject = handle;
    Dispatch(handle->Device, IRP_MJ_DEVICE_CONTROL, request);
    return request;
  }
  // The I/O manager fails it itself, as a request completed in dispatch.
  Request* request =
      NewRequest(handle->Device, IRP_MJ_DEVICE_CONTROL, code, input, outputLength, fill);
  request->Irp.Status = kStatusAccessDenied;
  Complete(&request->Irp);
  std::lock_guard<std::mutex> guard(request->Lock);
  request->Returned(Describe(*request), kStatusAccessDenied, false, kStatusAccessDenied, false);
  return request;
}

uint64_t IoManager::Dispatched() const {
  std::lock_guard<std::mutex> guard(lock_);
  return dispatched_;
}

Request* IoManager::NewRequest(KernelDevice* device, uint32_t major, uint32_t code,
                               const std::vector<uint8_t>& input, uint32_t outputLength,
                               uint8_t fill) {
  auto owned = std::make_unique<Request>();
  Request* request = owned.get();
  request->Prepare(input, outputLength, fill);
  KernelIrp& irp = request->Irp;
  irp.MajorFunction = major;
  irp.IoControlCode = code;
  irp.InputBufferLength = static_cast<uint32_t>(input.size());
  irp.OutputBufferLength = outputLength;
  irp.DeviceObject = device;
  irp.SystemBuffer = request->SystemBuffer();
  irp.Status = STATUS_PENDING;
  irp.Observer = request;
  std::lock_guard<std::mutex> guard(lock_);
  requests_.push_back(std::move(owned));
  return request;
}

bool IoManager::Completed(Request* request) {
  std::lock_guard<std::mutex> guard(request->Lock);
  return request->Completions > 0;
}

RequestResult IoManager::Wait(Request* request) {
  std::unique_lock<std::mutex> guard(request->Lock);
  request->Done.wait(guard, [request] { return request->Completions > 0; });
  RequestResult result;
  result.Status = request->Completed.Status;
  result.Returned = request->DispatchReturned ? request->DispatchStatus : STATUS_PENDING;
  result.Information = request->Completed.Information;
  result.CompletionSequence = request->CompletionSequence;
  result.SystemBuffer.assign(request->BufferAtCompletion.begin(),
                             request->BufferAtCompletion.begin() + request->BufferLength);
  const uint32_t copied = std::min(result.Information, request->BufferLength);
  result.Output.assign(result.SystemBuffer.begin(), result.SystemBuffer.begin() + copied);
  return result;
}

size_t IoManager::Sent() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_.size();
}

void IoManager::MarkPending(KernelIrp* irp) {
  irp->PendingMarked = true;
}

void IoManager::SpinLockTaken() {
  Request* request = t_dispatching;
  if (request == nullptr || request->Irp.PendingMarked) return;
  std::lock_guard<std::mutex> guard(request->Lock);
  request->PublishedUnmarked(Describe(*request));
}

void IoManager::Complete(KernelIrp* irp) {
  Request* request = irp->Observer;
  std::lock_guard<std::mutex> guard(request->Lock);
  // The packet as completed, kept before the watch wakes any waiter.
  if (request->Completions == 0) request->Completed = *irp;
  if (irp->CancelRoutine != nullptr) {
    request->Violations.push_back(Describe(*request) + ": completed with its cancel routine set");
  }
  request->Completing(Describe(*request), irp->Status, irp->PendingMarked);
}

std::string IoManager::Verify() {
  std::lock_guard<std::mutex> guard(lock_);
  std::ostringstream out;
  for (const std::string& v : violations_) out << v << "\n";
  for (const auto& owned : requests_) {
    Request& request = *owned;
    std::lock_guard<std::mutex> requestGuard(request.Lock);
    std::vector<std::string> found;
    request.Check(Describe(request), SameIrpState(request.Irp, request.Completed), &found);
    for (const std::string& v : found) out << v << "\n";
  }
  return out.str();
}

std::string IoManager::VerifyAndForget() {
  std::string report = Verify();
  std::lock_guard<std::mutex> guard(lock_);
  std::erase_if(requests_, [](const std::unique_ptr<Request>& r) {
    std::lock_guard<std::mutex> requestGuard(r->Lock);
    return r->Completions > 0;
  });
  violations_.clear();
  return report;
}

}  // namespace host

// ---------------------------------------------------------------- kernel services

NtStatus DeviceCreate(KernelDriver* driver, uint32_t extensionSize, KernelName* name,
                      uint32_t deviceType, uint32_t characteristics, KernelDevice** device) {
  return host::Manager().CreateDevice(driver, extensionSize, name, deviceType, characteristics,
                                      device);
}

void DeviceDelete(KernelDevice* device) {
  host::Manager().DeleteDevice(device);
}

NtStatus DeviceSetSecurity(KernelDevice* device, const void* descriptor) {
  return host::Manager().SetSecurity(device, descriptor);
}

NtStatus LinkCreate(KernelName* link, KernelName* device) {
  return host::Manager().CreateLink(link, device);
}

void LinkDelete(KernelName* link) {
  host::Manager().DeleteLink(link);
}

void IrpMarkPending(KernelIrp* irp) {
  host::Manager().MarkPending(irp);
}

void IrpComplete(KernelIrp* irp) {
  host::Manager().Complete(irp);
}
