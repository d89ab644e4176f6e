// The test bed's stand-in for <aclapi.h>: reading an object's owner.
#pragma once

#include "windows.h"

DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID* owner,
                      PSID* group, void** dacl, void** sacl, PSECURITY_DESCRIPTOR* descriptor);
