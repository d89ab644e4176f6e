// The worker serves queued requests one at a time in arrival order; a
// handle's cleanup cancels what it has queued; a request the queue has no
// entry for is refused at once.
#include <algorithm>
#include <thread>

#include "contract_test.h"

namespace contract {
namespace {

const std::vector<uint8_t> kHostBridge = Words({0, 0, 0, 0, 0, 0});

class QueueTest : public ContractTest {};

// No pool for the queue entry: the request is refused at once, and the next
// one is queued as usual.
TEST_F(QueueTest, WithoutAQueueEntryTheRequestIsRefusedAtOnce) {
  LoadOn(sim::kUnsupportedChipsetBoard);
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

// Requests queued behind a busy worker from two handles complete one at a
// time in arrival order. A handle closed, or the process that holds it
// ended, while its requests wait: they complete as cancelled at once,
// through cleanup or the cancel routine (the kernel waits for those of an
// ending process before its handles close); a request of it in service
// finishes as usual; the worker goes on with the other handle's, in order;
// nothing is left (the fixture's checks).
struct HandleGoneRow {
  const char* what;
  enum { Kept, Closed, ProcessEnded } gone;
  bool inServiceOfIt;  // the request in service came through that handle
};

class HandleGoneTest : public ContractTest, public ::testing::WithParamInterface<HandleGoneRow> {};

TEST_P(HandleGoneTest, ItsQueuedRequestsCompleteAsCancelledAndTheOthersAreServed) {
  const HandleGoneRow& row = GetParam();
  LoadOn("ich5");
  const DriverUnderTest::Handle gone = OpenHandle(), other = OpenHandle();
  machine_.HoldNext(sim::Access::ConfigRead);
  const DriverUnderTest::Ticket busy =
      driver_->SubmitOn(row.inServiceOfIt ? gone : other, IOCTL_READ_PCI_CONFIG, kHostBridge, 256);
  ASSERT_TRUE(machine_.WaitHeld()) << "the request never reached the held access";
  const DriverUnderTest::Ticket others[] = {
      driver_->SubmitOn(other, IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80),
      driver_->SubmitOn(gone, IOCTL_READ_SPD, {0, 0}, 80),
      driver_->SubmitOn(other, IOCTL_READ_PCI_CONFIG, kHostBridge, 256),
      driver_->SubmitOn(gone, IOCTL_SET_SEGMENT, Words({0}), 76),
      driver_->SubmitOn(gone, IOCTL_GET_MEMORY_MODULE_COUNT, {}, 80),
  };
  if (row.gone == HandleGoneRow::ProcessEnded) driver_->EndProcess({gone});
  if (row.gone == HandleGoneRow::Closed) {
    EXPECT_EQ(driver_->Close(gone), STATUS_SUCCESS);
  }
  const std::vector<size_t> cancelled =
      row.gone == HandleGoneRow::Kept ? std::vector<size_t>{} : std::vector<size_t>{1, 3, 4};
  for (size_t i = 0; i < 5; ++i) {
    const bool isCancelled = std::count(cancelled.begin(), cancelled.end(), i) != 0;
    EXPECT_EQ(driver_->Completed(others[i]), isCancelled) << i;
  }
  EXPECT_FALSE(driver_->Completed(busy)) << "the request in service is not cancelled";
  machine_.ReleaseHeld();
  for (size_t i : cancelled) {
    const Reply reply = driver_->Wait(others[i]);
    EXPECT_EQ(reply.status, STATUS_CANCELLED) << i;
    EXPECT_EQ(reply.information, 0u) << i;
  }
  const Reply served = driver_->Wait(busy);
  EXPECT_EQ(served.status, STATUS_SUCCESS);
  EXPECT_EQ(served.information, 256u);
  uint64_t previous = served.sequence;
  for (size_t i = 0; i < 5; ++i) {
    if (std::count(cancelled.begin(), cancelled.end(), i) != 0) continue;
    const Reply reply = driver_->Wait(others[i]);
    EXPECT_EQ(reply.returned, STATUS_PENDING) << i;
    EXPECT_EQ(reply.status, STATUS_SUCCESS) << i;
    EXPECT_EQ(reply.sequence, previous + 1) << i << " served out of arrival order";
    previous = reply.sequence;
  }
}

const HandleGoneRow kHandleGoneRows[] = {
    {"NoHandleGone", HandleGoneRow::Kept, false},
    {"HandleClosed", HandleGoneRow::Closed, false},
    {"HandleClosedUnderItsRequestInService", HandleGoneRow::Closed, true},
    {"ProcessEnded", HandleGoneRow::ProcessEnded, false},
};

INSTANTIATE_TEST_SUITE_P(Rows, HandleGoneTest, ::testing::ValuesIn(kHandleGoneRows),
                         [](const ::testing::TestParamInfo<HandleGoneRow>& info) {
                           return std::string(info.param.what);
                         });

// The worker holds the kernel's fine clock (its 1 ms waits last a whole
// 15.6 ms tick without it) from the first SMBus request of a busy spell until
// the queue is empty again: one request a spell, none for requests that leave
// the bus alone, none while idle, none after unload.
struct FineClockRow {
  const char* what;
  const char* board;
  uint32_t first;  // held in service while the others queue
  std::vector<uint32_t> behind;
  uint64_t outstandingInService;
  uint64_t made;
  bool unloadInService = false;
};

class FineClockTest : public ContractTest, public ::testing::WithParamInterface<FineClockRow> {};

std::vector<uint8_t> InputFor(uint32_t code) {
  if (code == IOCTL_READ_SPD_PAGE) return {0, 1, 0};
  return code == IOCTL_READ_PCI_CONFIG ? kHostBridge : std::vector<uint8_t>{0, 0, 0, 0};
}

TEST_P(FineClockTest, IsHeldWhileTheWorkerDrivesTheSmbusAndOnlyThen) {
  const FineClockRow& row = GetParam();
  LoadOn(row.board);
  machine_.HoldNext(row.first == IOCTL_READ_PCI_CONFIG ? sim::Access::ConfigRead
                                                       : sim::Access::In8);
  const DriverUnderTest::Ticket first = driver_->Submit(row.first, InputFor(row.first), 256);
  ASSERT_TRUE(machine_.WaitHeld()) << "the request never reached the held access";
  std::vector<DriverUnderTest::Ticket> tickets{first};
  for (uint32_t code : row.behind) tickets.push_back(driver_->Submit(code, InputFor(code), 256));
  EXPECT_EQ(driver_->FineClockRequests().outstanding, row.outstandingInService);
  if (row.unloadInService) {
    std::thread unload([this] { UnloadNow(); });
    driver_->WaitUntilStopSignalled();
    machine_.ReleaseHeld();
    unload.join();
  } else {
    machine_.ReleaseHeld();
  }
  for (DriverUnderTest::Ticket t : tickets) driver_->Wait(t);
  // The worker gives the clock back just after it completes the last request.
  for (int spins = 0; spins < 10000000 && driver_->FineClockRequests().outstanding != 0; ++spins) {
    std::this_thread::yield();
  }
  EXPECT_EQ(driver_->FineClockRequests().outstanding, 0u) << "held while idle";
  EXPECT_EQ(driver_->FineClockRequests().made, row.made);
}

// clang-format off
const FineClockRow kFineClockRows[] = {
    {"SpdRead", "ich5", IOCTL_READ_SPD, {}, 1, 1},
    {"SpdPageRead", "pch100", IOCTL_READ_SPD_PAGE, {IOCTL_READ_PCI_CONFIG}, 1, 1},
    {"SpdReadsAndADumpInOneSpell", "ich5", IOCTL_READ_SPD,
     {IOCTL_READ_SPD, IOCTL_READ_PCI_CONFIG, IOCTL_PROBE_SPD_WRITE}, 1, 1},
    {"AskedWhenTheFirstSpdRequestComesUp", "ich5", IOCTL_READ_PCI_CONFIG, {IOCTL_READ_SPD}, 0, 1},
    {"NotForRequestsThatLeaveTheBusAlone", "ich5", IOCTL_READ_PCI_CONFIG,
     {IOCTL_SET_SEGMENT, IOCTL_GET_MEMORY_SLOT_COUNT, IOCTL_GET_MEMORY_MODULE_COUNT}, 0, 0},
    {"NotWithoutAController", sim::kUnsupportedChipsetBoard, IOCTL_READ_PCI_CONFIG,
     {IOCTL_READ_SPD, IOCTL_PROBE_SPD_WRITE}, 0, 0},
    {"GivenBackByAnUnloadUnderAnSpdRead", "ich5", IOCTL_READ_SPD, {IOCTL_READ_SPD}, 1, 1, true},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, FineClockTest, ::testing::ValuesIn(kFineClockRows),
                         [](const ::testing::TestParamInfo<FineClockRow>& info) {
                           return std::string(info.param.what);
                         });

}  // namespace
}  // namespace contract
