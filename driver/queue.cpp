#include "driver/queue.h"

#include "driver/dispatch.h"
#include "driver/requests.h"

namespace {

bool ListEmpty(const ListLink* head) { return head->Flink == head; }

void ListAppend(ListLink* head, ListLink* link) {
  link->Flink = head;
  link->Blink = head->Blink;
  head->Blink->Flink = link;
  head->Blink = link;
}

ListLink* ListTakeHead(ListLink* head) {
  ListLink* first = head->Flink;
  head->Flink = first->Flink;
  first->Flink->Blink = head;
  return first;
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
  const bool bus = code == IOCTL_READ_SPD || code == IOCTL_PROBE_SPD_WRITE;
  return bus && extension->Controller != nullptr && !extension->Controller->Unavailable;
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
  if (admitted) return STATUS_SUCCESS;
  NonPagedFree(entry);
  CompleteRequest(request, STATUS_INSUFFICIENT_RESOURCES, 0);
  return STATUS_PENDING;
}

KernelIrp* DequeueRequest(RequestQueue* queue) {
  const KernelIrql previous = SpinLockAcquire(&queue->Lock);
  QueueEntry* entry = EntryOf(ListTakeHead(&queue->List));
  --queue->Count;
  if (ListEmpty(&queue->List)) EventClear(&queue->WorkEvent);
  SpinLockRelease(&queue->Lock, previous);

  KernelIrp* request = entry->Request;
  NonPagedFree(entry);
  return request;
}

void ServeNextRequest(RequestQueue* queue) {
  KernelIrp* request = DequeueRequest(queue);
  const uint32_t code = IrpControlCode(request);
  const uint32_t outputLength = IrpOutputLength(request);
  auto* buffer = static_cast<uint8_t*>(IrpSystemBuffer(request));
  auto* extension = static_cast<DeviceExtension*>(IrpDevice(request)->DeviceExtension);

  uint32_t information = 0;
  const NtStatus status = ServeQueuedCode(extension, code, buffer, outputLength, &information);
  CompleteRequest(request, status, information);
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
  while (!ListEmpty(&queue->List)) {
    QueueEntry* entry = EntryOf(ListTakeHead(&queue->List));
    CompleteRequest(entry->Request, STATUS_CANCELLED, 0);
    NonPagedFree(entry);
  }
}
