// The host I/O manager: what the kernel's I/O manager and object manager do
// for the driver, in user space. It loads the driver image (a fresh image:
// its load-time statics zeroed), keeps devices and symbolic links by name,
// opens a device through its link, sends device-control requests the way
// buffered I/O does (one system buffer, input copied in, the first
// `Information` bytes copied out), and unloads the driver.
//
// It also watches every request it sends: completed exactly once; marked
// pending whenever the driver returned STATUS_PENDING or anyone but the
// dispatching thread completed it before dispatch returned, and before its
// dispatch routine took the queue's lock; buffer untouched
// when the request failed its checks, was refused or cancelled; nothing
// written past the buffer; nothing touched after completion. Verify() reports
// what went wrong, for all requests since the manager was made.
#pragma once

#include <stdint.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver/kernel.h"
#include "platform/host/access_model.h"
#include "platform/host/object_namespace.h"
#include "platform/host/request_watch.h"

struct HostIrpObserver : host::RequestWatch {
  KernelIrp Irp{};
  KernelIrp Completed{};  // the packet at the first completion
};

namespace host {

using DriverEntryRoutine = KernelStatus(KERNEL_API*)(KernelDriver* driver, KernelName* path);

constexpr NtStatus STATUS_INVALID_DEVICE_REQUEST_HOST = static_cast<NtStatus>(0xC0000010u);
constexpr NtStatus STATUS_OBJECT_NAME_NOT_FOUND_HOST = static_cast<NtStatus>(0xC0000034u);

struct RequestResult {
  NtStatus Status = STATUS_SUCCESS;    // the completion status
  NtStatus Returned = STATUS_SUCCESS;  // what the dispatch routine returned
  uint32_t Information = 0;
  std::vector<uint8_t> Output;        // the first Information bytes
  std::vector<uint8_t> SystemBuffer;  // the whole system buffer at completion
  uint64_t CompletionSequence = 0;    // completions are numbered from 1 in order
};

using Request = HostIrpObserver;

class IoManager {
 public:
  IoManager();
  ~IoManager();
  IoManager(const IoManager&) = delete;
  IoManager& operator=(const IoManager&) = delete;

  // The manager the host kernel services reach; one at a time.
  static IoManager* Current();

  // ---- the driver
  // Calls the entry routine on a new driver object. With `freshImage` the
  // driver's load-time statics are zeroed first, as loading the image does.
  NtStatus Load(DriverEntryRoutine entry, bool freshImage = true);
  // Calls the unload routine (when the driver installed one) and forgets the
  // driver object, whatever is open: for the tests of the driver's own
  // teardown, which also send requests without a handle.
  void Unload();
  // The stop of the driver's service, as Windows does it: the unload runs
  // only once no handle opened through Open is open; until then the stop
  // waits.
  void Stop();
  bool Loaded() const { return driver_ != nullptr; }
  KernelDriver* Driver() { return driver_.get(); }

  // ---- the object namespace
  size_t DeviceCount() const;
  size_t LinkCount() const;
  bool HasDevice(const std::u16string& name) const;
  bool HasLink(const std::u16string& name) const;
  // Runs `action` when the driver next creates a link, before it is made: a
  // test's way into the middle of start-up.
  void OnNextLinkCreation(std::function<void()> action) { onLinkCreation_ = std::move(action); }
  // The same, when the driver next changes a device's security.
  void OnNextSecurityChange(std::function<void()> action) { onSecurityChange_ = std::move(action); }
  // A link made by someone else (another driver, a leftover): to collide with.
  NtStatus AddForeignLink(const std::u16string& link, const std::u16string& target);
  void RemoveLink(const std::u16string& link);

  // ---- handles: a create request through the link; close sends close.
  // A handle: its file object (the driver's word first, zero at the open),
  // the device and the access its open was granted.
  struct File {
    PlainFileObject Object;
    KernelDevice* Device;
    uint32_t Granted;
  };
  struct OpenResult {
    NtStatus Status;
    KernelDevice* Device;
    File* Handle;  // null when the open failed
  };
  // Opens `name` (a link, the device's name, or a name below it) as
  // `caller` asking for `access`, checked against the device's security
  // before the driver sees the create request. Open(link) is an
  // administrator's open for reading and writing.
  OpenResult Open(const std::u16string& name, Caller caller, uint32_t access);
  OpenResult Open(const std::u16string& link) {
    return Open(link, Caller::Administrator, kGenericRead | kGenericWrite);
  }
  NtStatus Close(KernelDevice* device);
  // Closing the last handle of a file object: cleanup, then close.
  NtStatus Close(File* handle);
  // What the kernel does to a request whose thread ends: marks it cancelled
  // and calls its cancel routine, if it has one, under the cancel lock.
  void Cancel(Request* request);
  // A process ends with these handles open: the requests still outstanding
  // through them are cancelled, each must be completed by then (none may be
  // in service), then each handle is closed.
  void EndProcess(const std::vector<File*>& handles);
  // The DACL of the device of that name; empty when there is none.
  std::vector<Ace> DeviceDacl(const std::u16string& name) const;

  // ---- device control
  // Sends the request in this thread; returns once the dispatch routine has.
  // The system buffer past the input holds `fill`.
  Request* Submit(KernelDevice* device, uint32_t code, const std::vector<uint8_t>& input,
                  uint32_t outputLength, uint8_t fill = kUnusedBufferFill);
  // Through a handle: a code whose access bits ask for more than the handle
  // was granted is refused with access denied and never reaches the driver.
  Request* Submit(File* handle, uint32_t code, const std::vector<uint8_t>& input,
                  uint32_t outputLength, uint8_t fill = kUnusedBufferFill);
  // Device-control requests handed to the driver's entry routine so far.
  uint64_t Dispatched() const;
  // Waits for the completion.
  RequestResult Wait(Request* request);
  bool Completed(Request* request);
  RequestResult Send(KernelDevice* device, uint32_t code, const std::vector<uint8_t>& input,
                     uint32_t outputLength, uint8_t fill = kUnusedBufferFill) {
    return Wait(Submit(device, code, input, outputLength, fill));
  }
  // Requests sent so far.
  size_t Sent() const;

  // Everything the watch found wrong, one line each; empty when all is well.
  // Call once no thread of the driver runs any more (after unload).
  std::string Verify();
  // Verify, then let go of the completed requests (for long runs).
  std::string VerifyAndForget();

  // ---- used by the host kernel services
  NtStatus CreateDevice(KernelDriver* driver, uint32_t extensionSize, KernelName* name,
                        uint32_t deviceType, uint32_t characteristics, KernelDevice** device);
  void DeleteDevice(KernelDevice* device);
  NtStatus SetSecurity(KernelDevice* device, const void* descriptor);
  NtStatus CreateLink(KernelName* link, KernelName* device);
  void DeleteLink(KernelName* link);
  void MarkPending(KernelIrp* irp);
  void Complete(KernelIrp* irp);
  // The queue's lock is where a request becomes visible to the worker: a
  // device-control request being dispatched on this thread must be marked
  // pending by the time its dispatch routine takes a spin lock.
  void SpinLockTaken();

 private:
  struct DeviceRecord {
    std::u16string name;
    KernelDevice* device;
    std::unique_ptr<uint8_t[]> storage;  // device object and extension
    std::vector<uint8_t> security;       // self-relative descriptor
  };
  DeviceRecord* RecordOf(KernelDevice* device);  // under lock_

  Request* NewRequest(KernelDevice* device, uint32_t major, uint32_t code,
                      const std::vector<uint8_t>& input, uint32_t outputLength,
                      uint8_t fill = kUnusedBufferFill);
  KernelStatus Dispatch(KernelDevice* device, uint32_t major, Request* request);

  mutable std::mutex lock_;
  std::unique_ptr<KernelDriver> driver_;
  std::vector<DeviceRecord> devices_;
  ObjectNamespace<KernelDevice> names_;  // the devices' names and the links
  std::vector<std::unique_ptr<Request>> requests_;
  std::vector<std::unique_ptr<File>> files_;
  size_t openFiles_ = 0;  // handles opened and not closed; under lock_
  std::condition_variable filesClosed_;
  uint64_t dispatched_ = 0;
  std::vector<std::string> violations_;
  std::function<void()> onLinkCreation_;
  std::function<void()> onSecurityChange_;
  IoManager* previous_;
};

// Zeroes the driver image's load-time statics (device table, count, chipset
// record, the SMBIOS table copy), as loading a fresh image does.
void ResetImageStatics();

std::u16string ToU16(const KernelName* name);

}  // namespace host
