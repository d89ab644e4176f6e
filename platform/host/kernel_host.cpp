// Events, the spin lock, system threads, non-paged pool and names of the host
// build. All events and thread objects share one dispatcher lock and one
// condition, as the kernel's dispatcher objects do, so that a thread can wait
// for any of several of them.
#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "driver/kernel.h"
#include "platform/host/host_kernel.h"
#include "platform/host/io_manager.h"
#include "sim/machine.h"

struct HostThreadObject {
  std::thread Thread;
  bool Ended = false;  // guarded by the dispatcher lock
  int References = 0;  // the handle plus object references; dispatcher lock
};

namespace {

std::mutex g_dispatcher;
std::condition_variable g_signalled;
size_t g_liveThreads = 0;
size_t g_threadsCreated = 0;
host::FineClockCount g_fineClock;  // under g_dispatcher

struct ArmedFault {
  int in = 0;  // calls until the failing one; 0: not armed
  NtStatus status = STATUS_SUCCESS;
};
std::mutex g_faultLock;
std::array<ArmedFault, host::kFaultKinds> g_faults;
std::array<uint64_t, host::kFaultKinds> g_faultPointCalls{};

void Release(HostThreadObject* object) {
  {
    std::lock_guard<std::mutex> guard(g_dispatcher);
    if (--object->References > 0) return;
  }
  // The last holder lets go: the object goes once the thread has ended.
  object->Thread.join();
  delete object;
  std::lock_guard<std::mutex> guard(g_dispatcher);
  --g_liveThreads;
}

void WaitEnded(HostThreadObject* object) {
  std::unique_lock<std::mutex> guard(g_dispatcher);
  g_signalled.wait(guard, [object] { return object->Ended; });
}

}  // namespace

namespace host {

void FailNext(Fault fault, NtStatus status, int nth) {
  std::lock_guard<std::mutex> guard(g_faultLock);
  g_faults[static_cast<size_t>(fault)] = {nth, status};
}

void ClearFaults() {
  std::lock_guard<std::mutex> guard(g_faultLock);
  g_faults.fill({});
}

bool TakeFault(Fault fault, NtStatus* status) {
  std::lock_guard<std::mutex> guard(g_faultLock);
  ++g_faultPointCalls[static_cast<size_t>(fault)];
  ArmedFault& armed = g_faults[static_cast<size_t>(fault)];
  if (armed.in <= 0 || --armed.in > 0) return false;
  *status = armed.status;
  return true;
}

uint64_t FaultPointCalls(Fault fault) {
  std::lock_guard<std::mutex> guard(g_faultLock);
  return g_faultPointCalls[static_cast<size_t>(fault)];
}

bool EventSignalled(const KernelEvent* event) {
  std::lock_guard<std::mutex> guard(g_dispatcher);
  return event->Signalled;
}

size_t LiveThreadObjects() {
  std::lock_guard<std::mutex> guard(g_dispatcher);
  return g_liveThreads;
}

size_t ThreadsCreated() {
  std::lock_guard<std::mutex> guard(g_dispatcher);
  return g_threadsCreated;
}

FineClockCount FineClockRequests() {
  std::lock_guard<std::mutex> guard(g_dispatcher);
  return g_fineClock;
}

}  // namespace host

// ---------------------------------------------------------------- events

void EventInitNotification(KernelEvent* event) {
  std::lock_guard<std::mutex> guard(g_dispatcher);
  event->Signalled = false;
}

void EventSet(KernelEvent* event) {
  std::lock_guard<std::mutex> guard(g_dispatcher);
  event->Signalled = true;
  g_signalled.notify_all();
}

void EventClear(KernelEvent* event) {
  std::lock_guard<std::mutex> guard(g_dispatcher);
  event->Signalled = false;
}

int32_t EventWaitAny(KernelEvent* first, KernelEvent* second) {
  std::unique_lock<std::mutex> guard(g_dispatcher);
  g_signalled.wait(guard, [&] { return first->Signalled || second->Signalled; });
  return first->Signalled ? 0 : 1;
}

// ---------------------------------------------------------------- spin lock

void SpinLockInit(KernelSpinLock* lock) {
  pthread_mutex_init(&lock->Mutex, nullptr);
}

KernelIrql SpinLockAcquire(KernelSpinLock* lock) {
  if (host::IoManager* manager = host::IoManager::Current()) manager->SpinLockTaken();
  pthread_mutex_lock(&lock->Mutex);
  return 0;
}

void SpinLockRelease(KernelSpinLock* lock, KernelIrql) {
  pthread_mutex_unlock(&lock->Mutex);
}

namespace {
pthread_mutex_t g_cancelLock = PTHREAD_MUTEX_INITIALIZER;
}  // namespace

KernelIrql CancelLockAcquire() {
  if (host::IoManager* manager = host::IoManager::Current()) manager->SpinLockTaken();
  pthread_mutex_lock(&g_cancelLock);
  return 0;
}

void CancelLockRelease(KernelIrql) {
  pthread_mutex_unlock(&g_cancelLock);
}

// ---------------------------------------------------------------- threads

NtStatus ThreadCreate(KernelHandle* handle, KernelThreadRoutine routine, void* context) {
  NtStatus failure;
  if (host::TakeFault(host::Fault::CreateThread, &failure)) return failure;
  auto* object = new HostThreadObject;
  {
    std::lock_guard<std::mutex> guard(g_dispatcher);
    object->References = 1;  // the handle
    ++g_liveThreads;
    ++g_threadsCreated;
  }
  object->Thread = std::thread([object, routine, context] {
    routine(context);
    std::lock_guard<std::mutex> guard(g_dispatcher);
    object->Ended = true;
    g_signalled.notify_all();
  });
  *handle = object;
  return STATUS_SUCCESS;
}

NtStatus ThreadReference(KernelHandle handle, KernelThread* thread) {
  NtStatus failure;
  if (host::TakeFault(host::Fault::ReferenceThread, &failure)) return failure;
  auto* object = static_cast<HostThreadObject*>(handle);
  std::lock_guard<std::mutex> guard(g_dispatcher);
  ++object->References;
  *thread = object;
  return STATUS_SUCCESS;
}

void ThreadWaitHandle(KernelHandle handle) {
  WaitEnded(static_cast<HostThreadObject*>(handle));
}
void HandleClose(KernelHandle handle) {
  Release(static_cast<HostThreadObject*>(handle));
}
void ThreadWait(KernelThread thread) {
  WaitEnded(thread);
}
void ThreadDereference(KernelThread thread) {
  Release(thread);
}

// ---------------------------------------------------------------- clock

// The simulated machine's delays last their time exactly; the requests are
// only counted, for the tests.
void FineClockRequest() {
  std::lock_guard<std::mutex> guard(g_dispatcher);
  ++g_fineClock.Made;
  ++g_fineClock.Outstanding;
}

void FineClockRelease() {
  std::lock_guard<std::mutex> guard(g_dispatcher);
  if (g_fineClock.Outstanding == 0) {
    ++g_fineClock.Unmatched;
  } else {
    --g_fineClock.Outstanding;
  }
}

// ---------------------------------------------------------------- pool, names

void* NonPagedAlloc(uint32_t size) {
  sim::Machine* machine = sim::Attached();
  if (machine == nullptr) {
    std::fprintf(stderr, "non-paged allocation with no simulated machine attached\n");
    std::abort();
  }
  return machine->Alloc(size, kPoolTag, sim::PoolType::NonPaged);
}

void NonPagedFree(void* pointer) {
  sim::Attached()->Free(pointer);
}

void NameInit(KernelName* name, const char16_t* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  name->Buffer = text;
  name->Length = static_cast<uint16_t>(length * sizeof(char16_t));
  name->MaximumLength = static_cast<uint16_t>((length + 1) * sizeof(char16_t));
}
