#include "driver/op_status.h"

namespace {

// The unused detail words go back to user mode with the record: they are
// written as zero rather than left holding whatever the buffer held.
template <size_t N>
void ClearWords(uint32_t (&words)[N], uint32_t from) {
  for (size_t i = from; i < N; ++i) words[i] = 0;
}

}  // namespace

void InitOpStatus(OpStatus* status) {
  status->Header = 1;
  status->Code = OpError::None;
  status->DetailCount = 0;
  ClearWords(status->Detail, 0);
  status->HwCode = OpError::None;
  status->HwDetailCount = 0;
  ClearWords(status->HwDetail, 0);
}

void SetOpFailure(OpStatus* status, uint32_t code, uint32_t detailCount, uint32_t detail0,
                  uint32_t detail1) {
  status->Code = code;
  status->DetailCount = detailCount;
  status->Detail[0] = detailCount > 0 ? detail0 : 0;
  status->Detail[1] = detailCount > 1 ? detail1 : 0;
  ClearWords(status->Detail, 2);
}

void SetHwFailure(OpStatus* status, uint32_t hwCode, uint32_t hwStatus) {
  status->HwCode = hwCode;
  status->HwDetailCount = 1;
  status->HwDetail[0] = hwStatus;
  ClearWords(status->HwDetail, 1);
}
