// The per-device storage of the one device object: the worker thread, its
// stop event, the SMBus controller and the request queue.
#pragma once

#include "driver/kernel.h"
#include "smbus/smbus.h"

// A doubly linked circular list link, laid out as the kernel's list entry.
struct ListLink {
  ListLink* Flink;
  ListLink* Blink;
};

// One queued request; from non-paged pool, because it is touched under Lock.
struct QueueEntry {
  KernelIrp* Request;
  void* File;  // the handle it came through
  ListLink Link;
};

struct RequestQueue {
  KernelEvent WorkEvent;  // under Lock: signalled exactly while List is not empty
  KernelSpinLock Lock;    // guards List and the changes of WorkEvent
  ListLink List;          // oldest first
  uint32_t Count;         // entries in List, under Lock
};

struct DeviceExtension {
  KernelThread WorkerThread;  // referenced thread object; null until referenced
  KernelEvent StopEvent;      // set once, at teardown
  SmbusController* Controller;
  RequestQueue Queue;
};
