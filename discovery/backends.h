// The chipset families discovery can install, in the order their rows are
// matched: the one list a new family is added to.
#pragma once

#include <stddef.h>

#include "smbus/backend.h"

// Constant-initialised; tests may swap entries (a family with a recording
// acquire). A null entry is skipped.
extern const SmbusBackend* DiscoveryBackends[];
extern const size_t kDiscoveryBackendCount;
