#include "driver/op_status.h"

void InitOpStatus(OpStatus* status) {
  status->Header = 1;
  status->Code = OpError::None;
  status->DetailCount = 0;
  status->HwCode = OpError::None;
  status->HwDetailCount = 0;
}

void SetOpFailure(OpStatus* status, uint32_t code, uint32_t detailCount, uint32_t detail0,
                  uint32_t detail1) {
  status->Code = code;
  status->DetailCount = detailCount;
  if (detailCount > 0) status->Detail[0] = detail0;
  if (detailCount > 1) status->Detail[1] = detail1;
}

void SetHwFailure(OpStatus* status, uint32_t hwCode, uint32_t hwStatus) {
  status->HwCode = hwCode;
  status->HwDetailCount = 1;
  status->HwDetail[0] = hwStatus;
}
