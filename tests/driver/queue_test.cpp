// The request queue and the worker from inside: first in, first out; the
// work event follows the list; stop wins over queued work, cancelling
// completes and frees what is left; the controller goes after the worker.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "driver/queue.h"
#include "support/driver_test.h"

namespace {

using testsupport::DriverTest;
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

// What the controller's release saw: whether the worker had ended.
std::atomic<int> g_threadsAtRelease{-1};
std::atomic<int> g_devicesAtRelease{-1};
SmbusReleaseFn g_backEndRelease = nullptr;
void RecordRelease(void* context) {
  g_threadsAtRelease = static_cast<int>(host::LiveThreadObjects());
  g_devicesAtRelease = static_cast<int>(host::IoManager::Current()->DeviceCount());
  if (g_backEndRelease != nullptr) g_backEndRelease(context);
}

TEST_F(DriverTest, UnloadReleasesTheControllerAfterTheWorkerAndTheDevice) {
  LoadOn("ich5");
  g_backEndRelease = Extension()->Controller->ReleaseDevice;
  Extension()->Controller->ReleaseDevice = &RecordRelease;
  g_threadsAtRelease = g_devicesAtRelease = -1;
  EXPECT_EQ(Send(IOCTL_SET_SEGMENT, Words({1}), 76).Status, STATUS_SUCCESS);
  io_.Unload();
  EXPECT_EQ(g_threadsAtRelease, 0) << "controller released while the worker lived";
  EXPECT_EQ(g_devicesAtRelease, 0) << "controller released before the device was deleted";
}

}  // namespace
