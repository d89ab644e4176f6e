// The request queue and the worker: first in, first out; the work event
// follows the list; stopping finishes the request in service, wins over
// queued work and cancels what is left.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "driver/queue.h"
#include "support/driver_test.h"

namespace {

using testsupport::DriverTest;
using testsupport::WordAt;
using testsupport::Words;

// Requests made by hand, for the queue without a worker.
struct HandRequest {
  explicit HandRequest(uint32_t code) {
    observer.Irp.IoControlCode = code;
    observer.Irp.Observer = &observer;
    observer.DispatchThread = std::this_thread::get_id();
  }
  KernelIrp* Irp() { return &observer.Irp; }
  HostIrpObserver observer;
};

class QueueTest : public DriverTest {
 protected:
  void SetUp() override { InitRequestQueue(&queue_); }
  bool WorkSignalled() { return host::EventSignalled(&queue_.WorkEvent); }
  RequestQueue queue_;
};

TEST_F(QueueTest, ServesOldestFirstAndTheWorkEventFollowsTheList) {
  HandRequest a(1), b(2), c(3);
  EXPECT_FALSE(WorkSignalled());
  ASSERT_EQ(EnqueueRequest(&queue_, a.Irp()), STATUS_SUCCESS);
  EXPECT_TRUE(WorkSignalled());
  ASSERT_EQ(EnqueueRequest(&queue_, b.Irp()), STATUS_SUCCESS);
  EXPECT_EQ(DequeueRequest(&queue_), a.Irp());
  EXPECT_TRUE(WorkSignalled()) << "b is still queued";
  ASSERT_EQ(EnqueueRequest(&queue_, c.Irp()), STATUS_SUCCESS);
  EXPECT_EQ(DequeueRequest(&queue_), b.Irp());
  EXPECT_TRUE(WorkSignalled());
  EXPECT_EQ(DequeueRequest(&queue_), c.Irp());
  EXPECT_FALSE(WorkSignalled()) << "the list is empty";
  for (HandRequest* r : {&a, &b, &c}) EXPECT_TRUE(r->observer.Irp.PendingMarked);
}

TEST_F(QueueTest, WithoutAnEntryTheRequestIsNeitherMarkedNorQueued) {
  machine_.FailAllocation(1, sim::PoolType::NonPaged);
  HandRequest a(1);
  EXPECT_EQ(EnqueueRequest(&queue_, a.Irp()), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_FALSE(a.observer.Irp.PendingMarked);
  EXPECT_FALSE(WorkSignalled());
  CancelQueuedRequests(&queue_);
  EXPECT_EQ(a.observer.Completions, 0);
}

TEST_F(QueueTest, CancelCompletesEveryQueuedRequestAndFreesItsEntry) {
  HandRequest a(1), b(2);
  ASSERT_EQ(EnqueueRequest(&queue_, a.Irp()), STATUS_SUCCESS);
  ASSERT_EQ(EnqueueRequest(&queue_, b.Irp()), STATUS_SUCCESS);
  CancelQueuedRequests(&queue_);
  for (HandRequest* r : {&a, &b}) {
    EXPECT_EQ(r->observer.Completions, 1);
    EXPECT_EQ(r->observer.Completed.Status, STATUS_CANCELLED);
    EXPECT_EQ(r->observer.Completed.Information, 0u);
  }
  EXPECT_LT(a.observer.CompletionSequence, b.observer.CompletionSequence);
  EXPECT_TRUE(machine_.Outstanding().empty()) << "entries freed";
}

TEST_F(QueueTest, StopWinsOverQueuedWork) {
  DeviceExtension extension{};
  InitRequestQueue(&extension.Queue);
  EventInitNotification(&extension.StopEvent);
  HandRequest a(IOCTL_SET_SEGMENT);
  ASSERT_EQ(EnqueueRequest(&extension.Queue, a.Irp()), STATUS_SUCCESS);
  EventSet(&extension.StopEvent);
  WorkerThreadMain(&extension);  // returns at once, in this thread
  EXPECT_EQ(a.observer.Completions, 0) << "served although stop was set";
  CancelQueuedRequests(&extension.Queue);
  EXPECT_EQ(a.observer.Completed.Status, STATUS_CANCELLED);
}

// The worker, held inside a configuration dump: its configuration reads wait
// for the machine's lock, which the test holds.
class WorkerTest : public DriverTest {
 protected:
  void HoldWorkerIn(host::Request** dump) {
    hold_ = std::unique_lock<std::recursive_mutex>(machine_.Lock());
    *dump = io_.Submit(device_, IOCTL_READ_PCI_CONFIG, Words({0, 0, 0, 0, 0, 0}), 256);
    // Taken from the list: the worker is inside the handler.
    WaitUntil([&] { return !host::EventSignalled(&Extension()->Queue.WorkEvent); });
  }
  void ReleaseWorker() { hold_.unlock(); }

  template <typename Condition>
  void WaitUntil(Condition condition) {
    for (int i = 0; i < 20000 && !condition(); ++i) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    ASSERT_TRUE(condition());
  }

  std::unique_lock<std::recursive_mutex> hold_;
};

TEST_F(WorkerTest, RequestsQueuedWhileTheWorkerIsBusyAreServedInOrder) {
  LoadOn("ich5");
  host::Request* dump;
  HoldWorkerIn(&dump);
  std::vector<host::Request*> queued;
  for (uint32_t value : {1u, 2u, 3u}) {
    queued.push_back(io_.Submit(device_, IOCTL_SET_SEGMENT, Words({value}), 76));
  }
  EXPECT_TRUE(host::EventSignalled(&Extension()->Queue.WorkEvent));
  EXPECT_FALSE(io_.Completed(dump));
  ReleaseWorker();

  uint64_t last = io_.Wait(dump).CompletionSequence;
  for (host::Request* r : queued) {
    const host::RequestResult result = io_.Wait(r);
    EXPECT_EQ(result.Status, STATUS_SUCCESS);
    EXPECT_GT(result.CompletionSequence, last);
    last = result.CompletionSequence;
  }
  EXPECT_EQ(Extension()->Controller->Segment, 3u) << "the last one queued was served last";
  WaitUntil([&] { return !host::EventSignalled(&Extension()->Queue.WorkEvent); });
}

// What the controller's release saw: whether the worker had ended.
std::atomic<int> g_threadsAtRelease{-1};
std::atomic<int> g_devicesAtRelease{-1};
SmbusReleaseFn g_backEndRelease = nullptr;
void RecordRelease(void* context) {
  g_threadsAtRelease = static_cast<int>(host::LiveThreadObjects());
  g_devicesAtRelease = static_cast<int>(host::IoManager::Current()->DeviceCount());
  if (g_backEndRelease != nullptr) g_backEndRelease(context);
}

TEST_F(WorkerTest, UnloadFinishesTheRequestInServiceThenCancelsTheQueued) {
  LoadOn("ich5");
  g_backEndRelease = Extension()->Controller->ReleaseDevice;
  Extension()->Controller->ReleaseDevice = &RecordRelease;
  g_threadsAtRelease = g_devicesAtRelease = -1;

  host::Request* dump;
  HoldWorkerIn(&dump);
  host::Request* second = io_.Submit(device_, IOCTL_SET_SEGMENT, Words({9}), 76);
  host::Request* third = io_.Submit(device_, IOCTL_READ_SPD, {0, 0}, 80);
  const KernelEvent* stop = &Extension()->StopEvent;
  std::thread unload([this] { io_.Unload(); });
  WaitUntil([&] { return host::EventSignalled(stop); });
  ReleaseWorker();
  unload.join();

  const host::RequestResult served = io_.Wait(dump);
  EXPECT_EQ(served.Status, STATUS_SUCCESS);
  EXPECT_EQ(served.Information, 256u);
  EXPECT_EQ(WordAt(served.Output, 0), machine_.FindPciFunction(0, 0, 0)->Dword(0));
  for (host::Request* r : {second, third}) {
    const host::RequestResult cancelled = io_.Wait(r);
    EXPECT_EQ(cancelled.Status, STATUS_CANCELLED);
    EXPECT_EQ(cancelled.Information, 0u);
    EXPECT_GT(cancelled.CompletionSequence, served.CompletionSequence);
  }
  EXPECT_EQ(g_threadsAtRelease, 0) << "controller released while the worker lived";
  EXPECT_EQ(g_devicesAtRelease, 0) << "controller released before the device was deleted";
}

TEST_F(WorkerTest, UnloadWithAnEmptyQueueEndsTheWorkerAndCancelsNothing) {
  LoadOn("nosmbus");
  EXPECT_EQ(Send(IOCTL_SET_SEGMENT, Words({1}), 76).Status, STATUS_SUCCESS);
  EXPECT_EQ(host::LiveThreadObjects(), 1u);
  io_.Unload();
  EXPECT_EQ(host::LiveThreadObjects(), 0u);
  EXPECT_EQ(io_.LinkCount(), 0u);
}

}  // namespace
