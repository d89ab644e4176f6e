// Requests that fail their checks are refused at once with
// STATUS_INVALID_PARAMETER, return nothing and leave the buffer alone; codes
// outside the table are not implemented; the boundary cases just inside are
// accepted.
#include "check_rows.h"
#include "contract_test.h"

namespace contract {
namespace {

class ChecksTest : public ContractTest {};

TEST_F(ChecksTest, EachCheckRefusesAtOnceAndTheBoundaryPasses) {
  const int32_t kRefused = STATUS_INVALID_PARAMETER;
  LoadOn(sim::kUnsupportedChipsetBoard);
  for (const CheckRow& row : CheckRows()) {
    const Reply reply = Send(row.code, row.input, row.outputLength);
    EXPECT_EQ(reply.status, row.status) << row.what;
    EXPECT_EQ(reply.information, row.information) << row.what;
    EXPECT_EQ(reply.returned, row.queued ? STATUS_PENDING : row.status)
        << row.what << (row.queued ? ": queued" : ": completed at once");
    if (row.status == kRefused || row.status == STATUS_NOT_IMPLEMENTED) {
      EXPECT_EQ(reply.buffer, reply.sent) << row.what << ": buffer written";
    }
  }
}

}  // namespace
}  // namespace contract
