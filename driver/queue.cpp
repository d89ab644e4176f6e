#include "driver/queue.h"

#include "driver/dispatch.h"
#include "driver/requests.h"

namespace {

bool ListEmpty(const ListLink* head) {
  return head->Flink == head;
}

void ListAppend(ListLink* head, ListLink* link) {
  link->Flink = head;
  link->Blink = head->Blink;
  head->Blink->Flink = link;
  head->Blink = link;
}

void ListUnlink(ListLink* link) {
  link->Blink->Flink = link->Flink;
  link->Flink->Blink = link->Blink;
}

QueueEntry* EntryOf(ListLink* link) {
  return reinterpret_cast<QueueEntry*>(reinterpret_cast<uint8_t*>(link) -
                                       offsetof(QueueEntry, Link));
}

// Wait array order: the stop event at index 0, so that it wins over queued
// work; the work event at index 1.
constexpr int32_t kWaitWork = 1;

bool QueueEmpty(RequestQueue* queue) {
  const KernelIrql previous = SpinLockAcquire(&queue->Lock);
  const bool empty = ListEmpty(&queue->List);
  SpinLockRelease(&queue->Lock, previous);
  return empty;
}

// Whether the oldest queued request drives the SMBus: its waits are 1 ms
// sleeps, which last a whole clock tick unless the fine clock is held. The
// worker is the only one that takes entries, so the head stays until it does.
bool NextRequestUsesSmbus(DeviceExtension* extension) {
  RequestQueue* queue = &extension->Queue;
  const KernelIrql previous = SpinLockAcquire(&queue->Lock);
  const uint32_t code =
      ListEmpty(&queue->List) ? 0 : IrpControlCode(EntryOf(queue->List.Flink)->Request);
  SpinLockRelease(&queue->Lock, previous);
  const RequestRow* row = FindRequest(code);
  return row != nullptr && row->DrivesSmbus && extension->Controller != nullptr &&
         !extension->Controller->Unavailable;
}

RequestQueue* QueueOf(KernelDevice* device) {
  return &static_cast<DeviceExtension*>(device->DeviceExtension)->Queue;
}

// Under Lock: takes the entry off the list and keeps the work event equal to
// the list being non-empty.
void Unlink(RequestQueue* queue, QueueEntry* entry) {
  ListUnlink(&entry->Link);
  --queue->Count;
  if (ListEmpty(&queue->List)) EventClear(&queue->WorkEvent);
}

// The segment of the handle a request came through, kept in the context word
// of its file object (0 when the handle was opened); 0 for a request without
// a file object, whose segment nothing can set. Under Lock, as every change
// of that word.
uint32_t HandleSegment(KernelIrp* request) {
  void** context = IrpFileContext(request);
  return context == nullptr ? 0 : static_cast<uint32_t>(reinterpret_cast<uintptr_t>(*context));
}

void KeepHandleSegment(RequestQueue* queue, KernelIrp* request, uint32_t segment) {
  void** context = IrpFileContext(request);
  if (context == nullptr) return;
  const KernelIrql previous = SpinLockAcquire(&queue->Lock);
  *context = reinterpret_cast<void*>(static_cast<uintptr_t>(segment));
  SpinLockRelease(&queue->Lock, previous);
}

// The first queued entry that `matches` (of the handle `file`, or any), off
// the list and without its cancel routine; null when there is none. With
// `segment`, the segment of the entry's handle as it is when it leaves the
// list. The cancel lock is taken before the queue's, here and wherever both
// are held.
QueueEntry* TakeEntry(RequestQueue* queue, bool anyHandle, const void* file,
                      uint32_t* segment = nullptr) {
  const KernelIrql cancelIrql = CancelLockAcquire();
  const KernelIrql previous = SpinLockAcquire(&queue->Lock);
  QueueEntry* found = nullptr;
  for (ListLink* at = queue->List.Flink; at != &queue->List && found == nullptr; at = at->Flink) {
    if (anyHandle || EntryOf(at)->File == file) found = EntryOf(at);
  }
  if (found != nullptr) {
    Unlink(queue, found);
    if (segment != nullptr) *segment = HandleSegment(found->Request);
  }
  SpinLockRelease(&queue->Lock, previous);
  if (found != nullptr) IrpSetCancelRoutine(found->Request, nullptr);
  CancelLockRelease(cancelIrql);
  return found;
}

void CancelEntries(RequestQueue* queue, bool anyHandle, const void* file) {
  while (QueueEntry* entry = TakeEntry(queue, anyHandle, file)) {
    KernelIrp* request = entry->Request;
    NonPagedFree(entry);
    CompleteRequest(request, STATUS_CANCELLED, 0);
  }
}

// The I/O manager cancels a queued request (its thread ends, or its caller
// asked): called with the cancel lock held, which it gives back.
void KERNEL_API CancelQueuedRequest(KernelDevice* device, KernelIrp* request) {
  RequestQueue* queue = QueueOf(device);
  const KernelIrql previous = SpinLockAcquire(&queue->Lock);
  QueueEntry* found = nullptr;
  for (ListLink* at = queue->List.Flink; at != &queue->List; at = at->Flink) {
    if (EntryOf(at)->Request == request) found = EntryOf(at);
  }
  // Its routine is taken off under the cancel lock when it leaves the list, so
  // it is still there.
  if (found != nullptr) Unlink(queue, found);
  SpinLockRelease(&queue->Lock, previous);
  IrpSetCancelRoutine(request, nullptr);
  CancelLockRelease(IrpCancelIrql(request));
  if (found == nullptr) return;
  NonPagedFree(found);
  CompleteRequest(request, STATUS_CANCELLED, 0);
}

}  // namespace

void InitRequestQueue(RequestQueue* queue) {
  SpinLockInit(&queue->Lock);
  EventInitNotification(&queue->WorkEvent);
  queue->List.Flink = queue->List.Blink = &queue->List;
  queue->Count = 0;
}

NtStatus EnqueueRequest(RequestQueue* queue, KernelIrp* request) {
  auto* entry = static_cast<QueueEntry*>(NonPagedAlloc(sizeof(QueueEntry)));
  if (entry == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  entry->Request = request;
  entry->File = IrpFile(request);
  // Pending before the worker can see it, so it never completes an unmarked one.
  IrpMarkPending(request);

  const KernelIrql cancelIrql = CancelLockAcquire();
  if (IrpCancelled(request)) {
    // Its thread is ending already: it never waits in the queue.
    CancelLockRelease(cancelIrql);
    NonPagedFree(entry);
    CompleteRequest(request, STATUS_CANCELLED, 0);
    return STATUS_PENDING;
  }
  const KernelIrql previous = SpinLockAcquire(&queue->Lock);
  uint32_t sameHandle = 0;
  for (ListLink* at = queue->List.Flink; at != &queue->List; at = at->Flink) {
    sameHandle += EntryOf(at)->File == entry->File ? 1 : 0;
  }
  const bool admitted = queue->Count < kQueueLimit && sameHandle < kQueueLimitPerHandle;
  if (admitted) {
    const bool wasEmpty = ListEmpty(&queue->List);
    ListAppend(&queue->List, &entry->Link);
    ++queue->Count;
    if (wasEmpty) EventSet(&queue->WorkEvent);
  }
  SpinLockRelease(&queue->Lock, previous);
  if (admitted) IrpSetCancelRoutine(request, &CancelQueuedRequest);
  CancelLockRelease(cancelIrql);
  if (admitted) return STATUS_SUCCESS;
  NonPagedFree(entry);
  CompleteRequest(request, STATUS_INSUFFICIENT_RESOURCES, 0);
  return STATUS_PENDING;
}

KernelIrp* DequeueRequest(RequestQueue* queue, uint32_t* segment) {
  QueueEntry* entry = TakeEntry(queue, true, nullptr, segment);
  if (entry == nullptr) return nullptr;  // cancelled since the work event was seen
  KernelIrp* request = entry->Request;
  NonPagedFree(entry);
  return request;
}

void ServeNextRequest(RequestQueue* queue) {
  uint32_t segment = 0;
  KernelIrp* request = DequeueRequest(queue, &segment);
  if (request == nullptr) return;
  const RequestRow* row = FindRequest(IrpControlCode(request));
  RequestCall call{.Extension = static_cast<DeviceExtension*>(IrpDevice(request)->DeviceExtension),
                   .Buffer = static_cast<uint8_t*>(IrpSystemBuffer(request)),
                   .OutputLength = IrpOutputLength(request),
                   .Segment = segment,
                   .Information = 0};
  // Dispatch queues only the queued rows; this guards the router alone.
  const NtStatus status = row != nullptr && row->Kind == RequestKind::Queued
                              ? row->Handler(&call)
                              : STATUS_NOT_IMPLEMENTED;
  // Only the worker changes a handle's segment, in the order its requests arrived.
  if (call.Segment != segment) KeepHandleSegment(queue, request, call.Segment);
  CompleteRequest(request, status, call.Information);
}

void KERNEL_API WorkerThreadMain(void* context) {
  auto* extension = static_cast<DeviceExtension*>(context);
  // The fine clock is held from the first SMBus request of a busy spell until
  // the queue is empty again, and never past the worker's end.
  bool fineClock = false;
  while (EventWaitAny(&extension->StopEvent, &extension->Queue.WorkEvent) == kWaitWork) {
    if (!fineClock && NextRequestUsesSmbus(extension)) {
      FineClockRequest();
      fineClock = true;
    }
    ServeNextRequest(&extension->Queue);
    if (fineClock && QueueEmpty(&extension->Queue)) {
      FineClockRelease();
      fineClock = false;
    }
  }
  if (fineClock) FineClockRelease();
}

void CancelQueuedRequests(RequestQueue* queue) {
  CancelEntries(queue, true, nullptr);
}

void CancelRequestsOfHandle(RequestQueue* queue, const void* file) {
  CancelEntries(queue, false, file);
}

void ForgetHandleSegment(RequestQueue* queue, KernelIrp* cleanup) {
  KeepHandleSegment(queue, cleanup, 0);
}
