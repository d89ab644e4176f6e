/* Sizes and offsets of the public records, listed once so that a C and a
 * C++ translation unit can each record what their compiler laid out. */
#ifndef DIMMIO_CHECK_LAYOUT_H
#define DIMMIO_CHECK_LAYOUT_H

#include "dimmio/dimmio.h"

#define DIMMIO_LAYOUT_VALUES                                                                    \
  sizeof(DimmioOpStatus), offsetof(DimmioOpStatus, Detail), offsetof(DimmioOpStatus, HwCode),   \
      offsetof(DimmioOpStatus, HwDetail), sizeof(DimmioPciDeviceRecord),                        \
      offsetof(DimmioPciDeviceRecord, DeviceId), sizeof(DimmioReadSpdInput),                    \
      sizeof(DimmioProbeInput), sizeof(DimmioSetSegmentInput), sizeof(DimmioPciTableInput),     \
      sizeof(DimmioPciConfigInput), offsetof(DimmioPciConfigInput, Function),                   \
      sizeof(DimmioSpdReadReply), offsetof(DimmioSpdReadReply, Data), sizeof(DimmioProbeReply), \
      offsetof(DimmioProbeReply, Status), sizeof(DimmioCountReply),                             \
      offsetof(DimmioCountReply, Status), sizeof(DimmioSegmentReply),                           \
      sizeof(DimmioSystemInfoReport), offsetof(DimmioSystemInfoReport, BoardProduct),           \
      IOCTL_READ_SPD, IOCTL_GET_SYSTEM_INFO

#ifdef __cplusplus
extern "C" {
#endif
/* The values above as the C compiler sees them, and their number. */
extern const uint32_t kDimmioLayoutC[];
extern const size_t kDimmioLayoutCCount;
#ifdef __cplusplus
}
#endif

#endif
