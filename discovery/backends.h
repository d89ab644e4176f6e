// The back-ends discovery can install: one table of their acquire entries,
// indexed by BackendId. A back-end that is not part of this build has a null
// entry, which discovery treats exactly like an entry that returned -1.
#pragma once

#include "smbus/backend.h"

constexpr size_t kBackendCount = static_cast<size_t>(BackendId::Count);

// The model discovery gives the VIA 596: its host may sit at a second base
// pair (base dword 0x80, host configuration byte 0x84).
constexpr int32_t kModelVia596 = 1;

// Whether every one of `bits` is set in configuration byte `reg` of
// `function`; when not, a discovery message names the register and what it
// reads. A host whose enable is clear decodes nothing, and the base it still
// shows may belong to another device by now.
bool HostConfigEnabled(PciLocation function, uint8_t reg, uint8_t bits);

// What discovery calls. Constant-initialised; tests may swap entries.
extern AcquireChipFn DiscoveryBackends[kBackendCount];

// The entry of `id`, or null (none registered, or BackendId::None).
inline AcquireChipFn& BackendEntry(BackendId id) {
  return DiscoveryBackends[static_cast<size_t>(id)];
}
