// The worker serves queued requests one at a time in arrival order, and an
// unload finishes the one in service and cancels the rest; a request the
// queue has no entry for is refused at once.
#include <thread>

#include "contract_test.h"

namespace contract {
namespace {

const std::vector<uint8_t> kHostBridge = Words({0, 0, 0, 0, 0, 0});

class QueueTest : public ContractTest {};

TEST_F(QueueTest, RequestsQueuedBehindABusyWorkerCompleteInArrivalOrder) {
  LoadOn("ich5");
  machine_.HoldNext(sim::Access::ConfigRead);
  const DriverUnderTest::Ticket busy = driver_->Submit(IOCTL_READ_PCI_CONFIG, kHostBridge, 256);
  machine_.WaitHeld();
  const DriverUnderTest::Ticket queued[] = {
      driver_->Submit(IOCTL_SET_SEGMENT, Words({0}), 76),
      driver_->Submit(IOCTL_READ_PCI_CONFIG, kHostBridge, 256),
      driver_->Submit(IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80),
  };
  for (DriverUnderTest::Ticket t : queued) EXPECT_FALSE(driver_->Completed(t));
  machine_.ReleaseHeld();
  uint64_t previous = driver_->Wait(busy).sequence;
  for (DriverUnderTest::Ticket t : queued) {
    const Reply reply = driver_->Wait(t);
    EXPECT_EQ(reply.returned, STATUS_PENDING);
    EXPECT_EQ(reply.status, STATUS_SUCCESS);
    EXPECT_EQ(reply.sequence, previous + 1);
    previous = reply.sequence;
  }
}

TEST_F(QueueTest, UnloadFinishesTheRequestInServiceAndCancelsTheQueued) {
  LoadOn("ich5");
  machine_.HoldNext(sim::Access::ConfigRead);
  const DriverUnderTest::Ticket inService =
      driver_->Submit(IOCTL_READ_PCI_CONFIG, kHostBridge, 256);
  machine_.WaitHeld();
  const DriverUnderTest::Ticket first = driver_->Submit(IOCTL_READ_PCI_CONFIG, kHostBridge, 256);
  const DriverUnderTest::Ticket second = driver_->Submit(IOCTL_SET_SEGMENT, Words({1}), 76);
  std::thread unload([this] { UnloadNow(); });
  driver_->WaitUntilStopSignalled();
  machine_.ReleaseHeld();
  unload.join();

  const Reply served = driver_->Wait(inService);
  EXPECT_EQ(served.status, STATUS_SUCCESS);
  EXPECT_EQ(served.information, 256u);
  for (DriverUnderTest::Ticket t : {first, second}) {
    const Reply reply = driver_->Wait(t);
    EXPECT_EQ(reply.status, STATUS_CANCELLED);
    EXPECT_EQ(reply.information, 0u);
  }
  EXPECT_FALSE(driver_->HasDevice());
  EXPECT_FALSE(driver_->HasLink());
}

// No pool for the queue entry: the request is refused at once, and the next
// one is queued as usual.
TEST_F(QueueTest, WithoutAQueueEntryTheRequestIsRefusedAtOnce) {
  LoadOn("nosmbus");
  machine_.FailAllocation(1, sim::PoolType::NonPaged);
  const Reply refused = Send(IOCTL_READ_SPD, {0, 0}, 80);
  EXPECT_EQ(refused.returned, STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(refused.status, STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(refused.information, 0u);
  const Reply served = Send(IOCTL_READ_SPD, {0, 0}, 80);
  EXPECT_EQ(served.returned, STATUS_PENDING);
  EXPECT_EQ(served.status, STATUS_SUCCESS);
  EXPECT_EQ(served.information, 76u);
}

}  // namespace
}  // namespace contract
