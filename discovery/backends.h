// The back-ends discovery can install: one table of their acquire entries,
// indexed by BackendId. A back-end that is not part of this build has a null
// entry, which discovery treats exactly like an entry that returned -1.
#pragma once

#include "smbus/backend.h"

constexpr size_t kBackendCount = static_cast<size_t>(BackendId::Count);

// What discovery calls. Constant-initialised; tests may swap entries.
extern AcquireChipFn DiscoveryBackends[kBackendCount];

// The entry of `id`, or null (none registered, or BackendId::None).
inline AcquireChipFn& BackendEntry(BackendId id) {
  return DiscoveryBackends[static_cast<size_t>(id)];
}
