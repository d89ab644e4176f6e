// Platform completion status values. The kernel headers define the same names
// with the same values; where they are already defined, theirs stand.
#pragma once

#include <stdint.h>

using NtStatus = int32_t;

#ifndef STATUS_SUCCESS
#define STATUS_SUCCESS ((NtStatus)0x00000000L)
#endif
#ifndef STATUS_PENDING
#define STATUS_PENDING ((NtStatus)0x00000103L)
#endif
#ifndef STATUS_UNSUCCESSFUL
#define STATUS_UNSUCCESSFUL ((NtStatus)0xC0000001L)
#endif
#ifndef STATUS_NOT_IMPLEMENTED
#define STATUS_NOT_IMPLEMENTED ((NtStatus)0xC0000002L)
#endif
#ifndef STATUS_INVALID_PARAMETER
#define STATUS_INVALID_PARAMETER ((NtStatus)0xC000000DL)
#endif
#ifndef STATUS_INSUFFICIENT_RESOURCES
#define STATUS_INSUFFICIENT_RESOURCES ((NtStatus)0xC000009AL)
#endif
#ifndef STATUS_CANCELLED
#define STATUS_CANCELLED ((NtStatus)0xC0000120L)
#endif
#ifndef STATUS_OBJECT_NAME_NOT_FOUND
#define STATUS_OBJECT_NAME_NOT_FOUND ((NtStatus)0xC0000034L)
#endif
#ifndef STATUS_OBJECT_NAME_COLLISION
#define STATUS_OBJECT_NAME_COLLISION ((NtStatus)0xC0000035L)
#endif
