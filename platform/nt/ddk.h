// The kernel's headers, as every file of the NT binding includes them.
//
// wdm.h defines InterlockedBitTestAndSet and InterlockedBitTestAndReset
// itself, after including the compiler's intrin.h, which defines the same two
// functions; C++ refuses the second definition. Marking the compiler's two as
// already defined keeps wdm.h's, which are the same lock bts/btr sequences.
// Nothing else of either header changes.
#pragma once

#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntddk.h>
