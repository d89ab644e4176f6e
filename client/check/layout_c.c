/* The public header compiled as C. */
#include "check/layout.h"

const uint32_t kDimmioLayoutC[] = {DIMMIO_LAYOUT_VALUES};
const size_t kDimmioLayoutCCount = sizeof(kDimmioLayoutC) / sizeof(kDimmioLayoutC[0]);
