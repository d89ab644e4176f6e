// Finding the SMBIOS entry point in the BIOS area, copying the structure table
// once, and the guard that lets the worker and a caller's thread make the
// first call at the same moment.
#include "hw/hw.h"
#include "smbios/le_bytes.h"
#include "smbios/smbios_cache.h"

namespace {

// The BIOS area scanned for the entry point.
constexpr uint32_t kBiosAreaBase = 0xF0000;
constexpr uint32_t kBiosAreaLength = 0x10000;
// The entry point sits on a 16-byte boundary.
constexpr uint32_t kEntryPointAlignment = 16;

// SMBIOS 2.x entry point, in the order of its bytes (only these are used).
constexpr uint32_t kAnchorOffset = 0x00;  // "_SM_" read as one dword
constexpr uint32_t kAnchor = 0x5F4D535Fu;
constexpr uint32_t kTableLengthOffset = 0x16;     // 16 bits: bytes in the table
constexpr uint32_t kTableAddressOffset = 0x18;    // 32 bits: physical address
constexpr uint32_t kStructureCountOffset = 0x1C;  // 16 bits: number of structures
// The entry point states its own length in byte 5; that many bytes sum to
// zero, and so do the 15 from the intermediate anchor "_DMI_" on; an anchor
// with wrong sums is a stray "_SM_" in the BIOS image (or a damaged entry
// point), not the table. The length is 0x1F, but some firmware states 0x1E
// and sums 30 bytes. It must hold the fields read above (through 0x1D), and
// at most 0x20 is believed: a longer sum would run over whatever follows.
constexpr uint32_t kLengthOffset = 0x05;
constexpr uint32_t kShortestEntryPoint = 0x1E;
constexpr uint32_t kLongestEntryPoint = 0x20;
constexpr uint32_t kIntermediateOffset = 0x10;
constexpr uint32_t kIntermediateEnd = 0x1F;  // the 15 bytes of the intermediate sum
constexpr uint8_t kIntermediateAnchor[5] = {'_', 'D', 'M', 'I', '_'};

bool SumsToZero(const uint8_t* bytes, uint32_t from, uint32_t to) {
  uint8_t sum = 0;
  for (uint32_t i = from; i < to; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return sum == 0;
}

// The bytes an entry point of stated length `stated` spans: the stated ones
// and the intermediate sum's; 0 for a length outside the bounds.
uint32_t EntryPointSpan(uint8_t stated) {
  if (stated < kShortestEntryPoint || stated > kLongestEntryPoint) return 0;
  return stated > kIntermediateEnd ? stated : kIntermediateEnd;
}

bool ChecksumsHold(const uint8_t* ep) {
  for (uint32_t i = 0; i < sizeof kIntermediateAnchor; ++i) {
    if (ep[kIntermediateOffset + i] != kIntermediateAnchor[i]) return false;
  }
  return SumsToZero(ep, 0, ep[kLengthOffset]) &&
         SumsToZero(ep, kIntermediateOffset, kIntermediateEnd);
}

SmbiosCache g_cache;  // zero at load

SmbiosEntryPoint ParseEntryPoint(const uint8_t* ep) {
  SmbiosEntryPoint parsed;
  parsed.TableLength = ReadLe16(ep + kTableLengthOffset);
  parsed.TableAddress = ReadLe32(ep + kTableAddressOffset);
  parsed.StructureCount = ReadLe16(ep + kStructureCountOffset);
  return parsed;
}

// The entry point whose anchor is at `offset` of the window, when its length
// is believable and its checksums hold. Near the end of the window it runs
// past the BIOS area; it is read through a mapping of its own rather than
// past the end of the window.
bool ReadEntryPoint(const uint8_t* window, uint32_t offset, SmbiosEntryPoint* parsed) {
  const uint32_t span = EntryPointSpan(window[offset + kLengthOffset]);
  if (span == 0) return false;
  if (offset + span <= kBiosAreaLength) {
    if (!ChecksumsHold(window + offset)) return false;
    *parsed = ParseEntryPoint(window + offset);
    return true;
  }
  void* ep = MapPhysical(kBiosAreaBase + offset, span);
  if (ep == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(ep);
  // Its own length byte decides again, so that nothing past the mapping is summed.
  const bool valid = EntryPointSpan(bytes[kLengthOffset]) == span && ChecksumsHold(bytes);
  if (valid) *parsed = ParseEntryPoint(bytes);
  UnmapPhysical(ep, span);
  return valid;
}

// The first call's work: scan, copy, and the failure codes.
void FillCache(OpStatus* status, uint16_t* length) {
  void* mapped = MapPhysical(kBiosAreaBase, kBiosAreaLength);
  if (mapped == nullptr) {
    SetOpFailure(status, OpError::SmbiosScanMap, 2, kBiosAreaBase, kBiosAreaLength);
    return;
  }
  const uint8_t* window = static_cast<const uint8_t*>(mapped);
  for (uint32_t offset = 0; offset < kBiosAreaLength; offset += kEntryPointAlignment) {
    if (ReadLe32(window + offset + kAnchorOffset) != kAnchor) continue;
    SmbiosEntryPoint ep;
    if (!ReadEntryPoint(window, offset, &ep)) continue;
    g_cache.TableLength = CopySmbiosTable(status, g_cache.Buffer, kSmbiosBufferSize, ep);
    if (g_cache.TableLength != 0) {
      g_cache.Table = g_cache.Buffer;
      *length = g_cache.TableLength;
      g_cache.StructureCount = ep.StructureCount;
      break;
    }
  }
  UnmapPhysical(mapped, kBiosAreaLength);
  if (g_cache.Table == nullptr) SetOpFailure(status, OpError::SmbiosNoEntryPoint);
}

}  // namespace

uint16_t CopySmbiosTable(OpStatus* status, uint8_t* destination, uint32_t limit,
                         const SmbiosEntryPoint& entryPoint) {
  const uint32_t n = entryPoint.TableLength;
  if (n == 0 || n > limit) {
    SetOpFailure(status, OpError::SmbiosTableLength, 1, n);
    return 0;
  }
  void* table = MapPhysical(entryPoint.TableAddress, n);
  if (table == nullptr) {
    SetOpFailure(status, OpError::SmbiosTableMap, 2, entryPoint.TableAddress, n);
    return 0;
  }
  CopyBytes(destination, table, n);
  UnmapPhysical(table, n);
  return static_cast<uint16_t>(n);
}

namespace {

// The fill's failure goes to the first query only, in the operation half as
// the fill wrote it.
void ReportFill(OpStatus* status) {
  if (status == nullptr || __atomic_exchange_n(&g_cache.FillReported, 1u, __ATOMIC_ACQ_REL) != 0) {
    return;
  }
  const OpStatus& found = g_cache.FillStatus;
  if (found.Code == OpError::None) return;
  status->Code = found.Code;
  status->DetailCount = found.DetailCount;
  for (uint32_t i = 0; i < sizeof found.Detail / sizeof found.Detail[0]; ++i) {
    status->Detail[i] = found.Detail[i];
  }
}

}  // namespace

const uint8_t* GetSmbiosTable(OpStatus* status, uint16_t* length) {
  uint32_t expected = SmbiosFill::Untried;
  if (__atomic_compare_exchange_n(&g_cache.FillState, &expected, SmbiosFill::Filling, false,
                                  __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
    InitOpStatus(&g_cache.FillStatus);
    FillCache(&g_cache.FillStatus, length);
    // Publishes the copy, its length, its count, Table and the failure together.
    __atomic_store_n(&g_cache.FillState, SmbiosFill::Filled, __ATOMIC_RELEASE);
    ReportFill(status);
    return g_cache.Table;
  }
  // Not the first call: wait until the first call has an outcome. The fill
  // maps and copies at most 96 KB, so this is a few sleeps at most.
  while (__atomic_load_n(&g_cache.FillState, __ATOMIC_ACQUIRE) != SmbiosFill::Filled) {
    DelayMs(1);
  }
  ReportFill(status);
  *length = g_cache.TableLength;
  return g_cache.Table;
}

SmbiosTableRef LookupSmbiosTable(OpStatus* status) {
  SmbiosTableRef ref{nullptr, 0, 0};
  ref.Table = GetSmbiosTable(status, &ref.Length);
  if (ref.Table != nullptr) ref.StructureCount = g_cache.StructureCount;
  return ref;
}

void ResetSmbiosCache() {
  for (uint32_t i = 0; i < kSmbiosBufferSize; ++i) g_cache.Buffer[i] = 0;
  g_cache.TableLength = 0;
  g_cache.StructureCount = 0;
  g_cache.Table = nullptr;
  InitOpStatus(&g_cache.FillStatus);
  __atomic_store_n(&g_cache.FillReported, 0u, __ATOMIC_RELEASE);
  __atomic_store_n(&g_cache.FillState, SmbiosFill::Untried, __ATOMIC_RELEASE);
}
