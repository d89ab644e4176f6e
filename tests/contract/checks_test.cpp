// Requests that fail their checks are refused at once with
// STATUS_INVALID_PARAMETER, return nothing and leave the buffer alone; codes
// outside the table are not implemented; the boundary cases just inside are
// accepted.
#include "check_rows.h"
#include "contract_test.h"

namespace contract {
namespace {

class ChecksTest : public ContractTest {};

// The six requests the worker serves; the others are answered at once.
bool IsQueued(uint32_t code) {
  switch (code) {
    case IOCTL_READ_SPD:
    case IOCTL_PROBE_SPD_WRITE:
    case IOCTL_GET_MEMORY_SLOT_COUNT:
    case IOCTL_GET_MEMORY_MODULE_COUNT:
    case IOCTL_SET_SEGMENT:
    case IOCTL_READ_PCI_CONFIG:
      return true;
    default:
      return false;
  }
}

TEST_F(ChecksTest, EachCheckRefusesAtOnceAndTheBoundaryPasses) {
  const int32_t kRefused = STATUS_INVALID_PARAMETER;
  LoadOn("nosmbus");
  for (const CheckRow& row : CheckRows()) {
    const Reply reply = Send(row.code, row.input, row.outputLength);
    EXPECT_EQ(reply.status, row.status) << row.what;
    EXPECT_EQ(reply.information, row.information) << row.what;
    if (row.status == STATUS_SUCCESS && IsQueued(row.code)) {
      EXPECT_EQ(reply.returned, STATUS_PENDING) << row.what << ": queued";
    } else {
      EXPECT_EQ(reply.returned, row.status) << row.what << ": completed at once";
    }
    if (row.status == kRefused || row.status == STATUS_NOT_IMPLEMENTED) {
      EXPECT_EQ(reply.buffer, reply.sent) << row.what << ": buffer written";
    }
  }
}

}  // namespace
}  // namespace contract
