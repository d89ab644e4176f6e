#include "loader/kernel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "driver/status.h"

namespace loader {

namespace {

constexpr uint8_t kPassiveLevel = 0;
constexpr uint8_t kDispatchLevel = 2;
constexpr int32_t kStatusInvalidDeviceRequest = static_cast<int32_t>(0xC0000010u);
constexpr int32_t kStatusObjectNameNotFound = static_cast<int32_t>(0xC0000034u);
constexpr uint8_t kPacketPoison = 0xE1;  // packet bytes the I/O manager does not set

// The device-control request this thread is dispatching, if any.
thread_local Request* t_dispatching = nullptr;
Kernel* g_current = nullptr;

}  // namespace

thread_local uint8_t Kernel::irql_ = kPassiveLevel;

// ---------------------------------------------------------------- names

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

// ---------------------------------------------------------------- kernel

Kernel::Kernel(sim::Machine& machine) : machine_(machine) {
  g_current = this;
}

Kernel::~Kernel() {
  // A thread the driver left running would run code that is about to go.
  for (auto& [object, thread] : threads_) {
    if (thread->thread.joinable()) thread->thread.join();
  }
  if (g_current == this) g_current = nullptr;
}

Kernel& Kernel::Current() {
  if (g_current == nullptr) {
    std::fprintf(stderr, "kernel call from the image with no kernel in place\n");
    std::abort();
  }
  return *g_current;
}

std::vector<std::string> Kernel::Faults() {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<std::string> found = faults_;
  for (const auto& [irp, request] : requests_) {
    std::lock_guard<std::mutex> requestGuard(request->watch_.Lock);
    if (request->watch_.Completions > 0 && request->watch_.DispatchReturned) {
      request->watch_.Check(request->what_, request->memory_ == request->packetAtCompletion_,
                            &found);
    }
  }
  return found;
}

void Kernel::Fault(const std::string& what) {
  std::lock_guard<std::mutex> guard(lock_);
  faults_.push_back(what);
}

uint64_t Kernel::Calls(const std::string& import) const {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = calls_.find(import);
  return it == calls_.end() ? 0 : it->second;
}

void Kernel::FailImport(const std::string& import, int32_t status, int nth) {
  std::lock_guard<std::mutex> guard(lock_);
  failures_[import] = {nth, status};
}

void Kernel::OnNextCall(const std::string& import, std::function<void()> action) {
  std::lock_guard<std::mutex> guard(lock_);
  actions_[import] = std::move(action);
}

int32_t Kernel::Enter(const char* import) {
  std::function<void()> action;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (auto it = actions_.find(import); it != actions_.end()) {
      action = std::move(it->second);
      actions_.erase(it);
    }
  }
  if (action) action();
  std::lock_guard<std::mutex> guard(lock_);
  ++calls_[import];
  auto failure = failures_.find(import);
  if (failure == failures_.end() || --failure->second.first != 0) return 0;
  const int32_t status = failure->second.second;
  failures_.erase(failure);
  return status;
}

// ---------------------------------------------------------------- dispatcher objects

uint8_t Kernel::AcquireSpinLock(void* lock) {
  SpinLock* spin = nullptr;
  {
    std::lock_guard<std::mutex> guard(spinLocksLock_);
    auto it = spinLocks_.find(lock);
    if (it == spinLocks_.end()) {
      // The x86 headers initialise a spin lock inline, by clearing it.
      if (*static_cast<uint32_t*>(lock) != 0) {
        Fault("KfAcquireSpinLock on a spin lock that was never initialised");
      }
      it = spinLocks_.emplace(lock, std::make_unique<SpinLock>()).first;
    }
    spin = it->second.get();
    if (spin->held && spin->owner == std::this_thread::get_id()) {
      Fault("KfAcquireSpinLock on a spin lock the thread already holds");
      return irql_;
    }
  }
  // The queue's lock is where a request becomes visible to the worker: a
  // request being dispatched on this thread must be marked pending by now.
  if (Request* request = t_dispatching) {
    std::lock_guard<std::mutex> guard(request->watch_.Lock);
    if ((request->irp_->CurrentStackLocation->Control & nt::kSlPendingReturned) == 0) {
      request->watch_.PublishedUnmarked(request->what_);
    }
  }
  spin->mutex.lock();
  spin->owner = std::this_thread::get_id();
  spin->held = true;
  *static_cast<uint32_t*>(lock) = 1;
  const uint8_t previous = irql_;
  irql_ = kDispatchLevel;
  return previous;
}

void Kernel::ReleaseSpinLock(void* lock, uint8_t newIrql) {
  SpinLock* spin = nullptr;
  {
    std::lock_guard<std::mutex> guard(spinLocksLock_);
    auto it = spinLocks_.find(lock);
    if (it == spinLocks_.end() || !it->second->held ||
        it->second->owner != std::this_thread::get_id()) {
      Fault("KfReleaseSpinLock on a spin lock the thread does not hold");
      return;
    }
    spin = it->second.get();
  }
  spin->held = false;
  *static_cast<uint32_t*>(lock) = 0;
  spin->mutex.unlock();
  irql_ = newIrql;
}

// ---------------------------------------------------------------- clock

void Kernel::UseClock(Clock clock) {
  std::lock_guard<std::mutex> guard(clockLock_);
  clock_ = clock;
}

std::pair<uint64_t, uint64_t> Kernel::TimerRequests() const {
  std::lock_guard<std::mutex> guard(clockLock_);
  return {timerRequestsMade_, timerRequests_.size()};
}

// ---------------------------------------------------------------- threads and handles

// ---------------------------------------------------------------- devices

std::vector<host::Ace> Kernel::DeviceDacl(const std::u16string& name) {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<host::Ace> dacl;
  nt::DeviceObject* device = names_.Resolve(name);
  if (device != nullptr && devices_.count(device) != 0) {
    const std::vector<uint8_t>& security = devices_.at(device).security;
    host::ReadDacl(security.data(), security.size(), &dacl);
  }
  return dacl;
}

void Kernel::EntryReturned(nt::DriverObject* driver) {
  std::lock_guard<std::mutex> guard(lock_);
  for (nt::DeviceObject* device = driver->FirstDevice; device != nullptr;
       device = device->NextDevice) {
    device->Flags &= ~nt::kDoDeviceInitializing;
  }
}

std::vector<std::string> Kernel::LeftBehind(const nt::DriverObject* driver) {
  std::vector<std::string> left;
  {
    // A thread told to stop may still be on its way out.
    std::unique_lock<std::mutex> guard(dispatcherLock_);
    dispatcherChanged_.wait_for(guard, std::chrono::seconds(2), [&] {
      for (const auto& [object, thread] : threads_) {
        if (thread->running) return false;
      }
      return true;
    });
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [device, record] : devices_) {
      if (device->Driver == driver) left.push_back("device " + Narrow(record.name));
    }
    for (const std::u16string& name : names_.Links())
      left.push_back("symbolic link " + Narrow(name));
    for (const auto& [handle, file] : objectHandles_) left.push_back("open handle " + Hex(handle));
    for (const auto& [irp, request] : requests_) {
      std::lock_guard<std::mutex> requestGuard(request->watch_.Lock);
      if (request->watch_.Completions == 0) left.push_back(request->what_ + ": never completed");
    }
  }
  if (const uint64_t outstanding = TimerRequests().second; outstanding > 0) {
    left.push_back(std::to_string(outstanding) + " timer resolution request(s) never released");
  }
  std::lock_guard<std::mutex> guard(dispatcherLock_);
  for (const auto& [handle, thread] : handles_) left.push_back("open handle " + Hex(handle));
  for (const auto& [object, thread] : threads_) {
    if (thread->running) left.push_back("system thread still running");
    if (thread->references > 0) {
      left.push_back("thread object with " + std::to_string(thread->references) +
                     " reference(s) held");
    }
  }
  return left;
}

// ---------------------------------------------------------------- requests

int32_t NT_STDCALL Kernel::DefaultDispatch(nt::DeviceObject*, nt::Irp* irp) {
  irp->IoStatus.Status = kStatusInvalidDeviceRequest;
  irp->IoStatus.Information = 0;
  Current().CompleteRequest(irp);
  return kStatusInvalidDeviceRequest;
}

std::shared_ptr<Request> Kernel::DeviceControl(const std::u16string& name, uint32_t code,
                                               const std::vector<uint8_t>& input,
                                               uint32_t outputLength, uint8_t fill) {
  nt::DeviceObject* device;
  {
    std::lock_guard<std::mutex> guard(lock_);
    device = names_.Resolve(name);
  }
  if (device == nullptr) return nullptr;
  return Send(device, nt::kIrpMjDeviceControl, code, input, outputLength, fill, nullptr);
}

int32_t Kernel::Open(const std::u16string& name, host::Caller caller, uint32_t access, File* file) {
  nt::DeviceObject* device;
  nt::FileObject* object;
  {
    std::lock_guard<std::mutex> guard(lock_);
    std::u16string below;
    device = names_.ResolveOpen(name, &below);
    if (device == nullptr) return kStatusObjectNameNotFound;
    if ((device->Flags & nt::kDoDeviceInitializing) != 0) return host::kStatusNoSuchDevice;
    const int32_t checked = host::CheckOpen(devices_.at(device).security, device->Characteristics,
                                            !below.empty(), caller, access, &file->granted);
    if (checked != STATUS_SUCCESS) return checked;
    // The new file object carries the name asked for below the device.
    fileNames_.push_back(std::make_unique<std::u16string>(below));
    fileObjects_.push_back(std::make_unique<nt::FileObject>());
    object = fileObjects_.back().get();
    std::memset(object, 0, sizeof *object);
    const auto length = static_cast<uint16_t>(below.size() * 2);
    object->FileName = {length, length, fileNames_.back()->data()};
  }
  const Completion created = Send(device, nt::kIrpMjCreate, 0, {}, 0, 0, object)->Wait();
  if (created.status != STATUS_SUCCESS) return created.status;
  file->device = device;
  file->object = object;
  std::lock_guard<std::mutex> guard(lock_);
  ++openFiles_;
  return STATUS_SUCCESS;
}

void Kernel::WaitUntilNoHandleIsOpen() {
  std::unique_lock<std::mutex> guard(lock_);
  filesClosed_.wait(guard, [this] { return openFiles_ == 0; });
}

int32_t Kernel::Close(const File& file) {
  int32_t status = STATUS_SUCCESS;
  for (const uint8_t major : {nt::kIrpMjCleanup, nt::kIrpMjClose}) {
    status = Send(file.device, major, 0, {}, 0, 0, file.object)->Wait().status;
    if (status != STATUS_SUCCESS) break;
  }
  // The handle is gone whatever the driver answered.
  std::lock_guard<std::mutex> guard(lock_);
  if (openFiles_ > 0) --openFiles_;
  filesClosed_.notify_all();
  return status;
}

void Kernel::Cancel(Request& request) {
  nt::Irp* irp = request.irp_;
  const uint8_t irql = AcquireSpinLock(&cancelLock_);
  // A request completed already is no longer its thread's: the kernel leaves
  // it alone (its packet may be freed and in use again). Its completion
  // takes the watch's lock, so the packet is changed under that lock too.
  nt::CancelFn routine = nullptr;
  {
    std::lock_guard<std::mutex> guard(request.watch_.Lock);
    if (request.watch_.Completions == 0) {
      irp->Cancel = 1;
      routine = irp->CancelRoutine;
      irp->CancelRoutine = nullptr;
    }
  }
  if (routine == nullptr) {
    ReleaseSpinLock(&cancelLock_, irql);
    return;
  }
  irp->CancelIrql = irql;
  routine(irp->CurrentStackLocation->Device, irp);
  if (irql_ != irql) Fault("a cancel routine returned without releasing the cancel lock");
}

void Kernel::EndProcess(const std::vector<File>& files) {
  std::vector<std::shared_ptr<Request>> outstanding;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [irp, request] : requests_) {
      for (const File& file : files) {
        if (irp->CurrentStackLocation->FileObject == file.object &&
            irp->CurrentStackLocation->MajorFunction == nt::kIrpMjDeviceControl) {
          outstanding.push_back(request);
        }
      }
    }
  }
  // The kernel waits for a cancelled request before the thread can end; one
  // the driver keeps queued holds the process up.
  for (const auto& request : outstanding) {
    if (request->Done()) continue;
    Cancel(*request);
    if (!request->Done()) Fault(request->what_ + ": still pending after its thread cancelled it");
  }
  for (const File& file : files) Close(file);
}

std::shared_ptr<Request> Kernel::DeviceControl(const File& file, uint32_t code,
                                               const std::vector<uint8_t>& input,
                                               uint32_t outputLength, uint8_t fill) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (devices_.count(file.device) == 0) return nullptr;
  }
  if (host::ControlCodeAllowed(code, file.granted)) {
    return Send(file.device, nt::kIrpMjDeviceControl, code, input, outputLength, fill, file.object);
  }
  auto request = std::make_shared<Request>();
  request->watch_.Prepare(input, outputLength, fill);
  std::lock_guard<std::mutex> guard(request->watch_.Lock);
  request->watch_.Completions = 1;
  request->watch_.DispatchReturned = true;
  request->completion_.status = request->completion_.dispatchStatus = host::kStatusAccessDenied;
  request->completion_.buffer = request->Sent();
  return request;
}

uint64_t Kernel::Dispatched() const {
  std::lock_guard<std::mutex> guard(lock_);
  return dispatched_;
}

std::shared_ptr<Request> Kernel::Send(nt::DeviceObject* device, uint8_t majorFunction,
                                      uint32_t code, const std::vector<uint8_t>& input,
                                      uint32_t outputLength, uint8_t fill, void* fileObject) {
  const bool control = majorFunction == nt::kIrpMjDeviceControl;
  auto request = std::make_shared<Request>();
  request->watch_.Prepare(input, outputLength, fill);
  request->outputLength_ = outputLength;
  request->memory_.assign(sizeof(nt::Irp) + sizeof(nt::IoStackLocation), kPacketPoison);
  auto* irp = reinterpret_cast<nt::Irp*>(request->memory_.data());
  auto* stack = reinterpret_cast<nt::IoStackLocation*>(irp + 1);
  std::memset(stack, 0, sizeof *stack);
  stack->MajorFunction = majorFunction;
  stack->OutputBufferLength = outputLength;
  stack->InputBufferLength = static_cast<uint32_t>(input.size());
  stack->IoControlCode = code;
  stack->Device = device;
  stack->FileObject = fileObject;
  irp->SystemBuffer = control ? request->watch_.SystemBuffer() : nullptr;
  request->what_ = control ? "request " + Hex(code) + " (in " + std::to_string(input.size()) +
                                 ", out " + std::to_string(outputLength) + ")"
                           : "request of major function " + std::to_string(majorFunction);
  irp->Type = nt::kIoTypeIrp;
  irp->Size = static_cast<uint16_t>(sizeof(nt::Irp) + sizeof(nt::IoStackLocation));
  irp->MdlAddress = nullptr;
  irp->Flags = 0;
  irp->IoStatus = {0, 0};
  irp->RequestorMode = 1;  // UserMode
  irp->PendingReturned = 0;
  irp->Cancel = 0;
  irp->CancelIrql = 0;
  irp->CancelRoutine = nullptr;
  irp->StackCount = 1;
  irp->CurrentLocation = 1;
  irp->CurrentStackLocation = stack;
  request->irp_ = irp;
  {
    std::lock_guard<std::mutex> guard(lock_);
    requests_[irp] = request;
    if (control) ++dispatched_;
  }
  nt::DispatchFn routine = device->Driver->MajorFunction[majorFunction];
  Request* const outer = t_dispatching;
  t_dispatching = control ? request.get() : nullptr;
  const int32_t status = routine(device, irp);
  t_dispatching = outer;

  std::lock_guard<std::mutex> guard(request->watch_.Lock);
  request->completion_.dispatchStatus = status;
  request->watch_.Returned(request->what_, status, (stack->Control & nt::kSlPendingReturned) != 0,
                           request->completion_.status, request->pendingAtCompletion_);
  return request;
}

void Kernel::CompleteRequest(nt::Irp* irp) {
  std::shared_ptr<Request> found;
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = requests_.find(irp);
    if (it == requests_.end()) {
      faults_.push_back("IofCompleteRequest on a packet the I/O manager did not send");
      return;
    }
    found = it->second;
  }
  Request& request = *found;
  if (irql_ > kDispatchLevel) Fault("request completed above DISPATCH_LEVEL");
  if (irp->CancelRoutine != nullptr)
    Fault(request.what_ + ": completed with its cancel routine set");
  std::lock_guard<std::mutex> guard(request.watch_.Lock);
  const bool pending = (irp->CurrentStackLocation->Control & nt::kSlPendingReturned) != 0;
  Completion& c = request.completion_;
  if (request.watch_.Completions == 0) {
    irp->PendingReturned = pending ? 1 : 0;
    request.pendingAtCompletion_ = pending;
    c.status = irp->IoStatus.Status;
    c.information = irp->IoStatus.Information;
    request.packetAtCompletion_ = request.memory_;
    if (c.information > request.outputLength_) {
      request.watch_.Violations.push_back(
          request.what_ + ": completed with Information " + std::to_string(c.information) +
          " beyond its output length " + std::to_string(request.outputLength_));
    }
  }
  if (!request.watch_.Completing(request.what_, irp->IoStatus.Status, pending)) return;
  c.sequence = request.watch_.CompletionSequence;
  const host::RequestWatch& w = request.watch_;
  c.buffer.assign(w.BufferAtCompletion.begin(), w.BufferAtCompletion.begin() + w.BufferLength);
  c.output.assign(c.buffer.begin(),
                  c.buffer.begin() + std::min<uint32_t>(c.information, w.BufferLength));
}

bool Request::Done() {
  std::lock_guard<std::mutex> guard(watch_.Lock);
  return watch_.Completions > 0 && watch_.DispatchReturned;
}

Completion Request::Wait() {
  std::unique_lock<std::mutex> guard(watch_.Lock);
  watch_.Done.wait(guard, [&] { return watch_.Completions > 0 && watch_.DispatchReturned; });
  return completion_;
}

std::vector<uint8_t> Request::Sent() const {
  return std::vector<uint8_t>(watch_.Original.begin(),
                              watch_.Original.begin() + watch_.BufferLength);
}

}  // namespace loader
