#include "platform/host/access_model.h"

#include <cstring>

namespace host {

namespace {

constexpr uint8_t kSdRevision = 1;
constexpr uint16_t kSeDaclPresent = 0x0004;
constexpr uint16_t kSeSelfRelative = 0x8000;
constexpr size_t kSdHeader = 20;
constexpr size_t kAclHeader = 8;
constexpr size_t kAceHeader = 8;

uint32_t Dword(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

uint16_t Word(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void PutWord(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutDword(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// "S-1-5-32-544" as the binary SID; the authority fits 32 bits here.
std::vector<uint8_t> SidBytes(const std::string& text) {
  std::vector<uint32_t> parts;
  size_t at = 2;  // past "S-"
  while (at < text.size()) {
    const size_t dash = text.find('-', at);
    parts.push_back(static_cast<uint32_t>(std::stoul(text.substr(at, dash - at))));
    at = dash == std::string::npos ? text.size() : dash + 1;
  }
  std::vector<uint8_t> sid = {static_cast<uint8_t>(parts[0]),
                              static_cast<uint8_t>(parts.size() - 2), 0, 0};
  for (int i = 3; i >= 0; --i) sid.push_back(static_cast<uint8_t>(parts[1] >> (8 * i)));
  for (size_t i = 2; i < parts.size(); ++i) PutDword(sid, parts[i]);
  return sid;
}

// The SID at `p` (with `room` bytes) as text; empty when it does not fit.
std::string SidText(const uint8_t* p, size_t room) {
  if (room < 8 || p[0] != 1 || room < 8 + 4u * p[1]) return {};
  uint64_t authority = 0;
  for (int i = 2; i < 8; ++i) authority = authority << 8 | p[i];
  std::string text = "S-1-" + std::to_string(authority);
  for (int i = 0; i < p[1]; ++i) text += "-" + std::to_string(Dword(p + 8 + 4 * i));
  return text;
}

struct Group {
  const char* sid;
  bool denyOnly;
};

std::vector<Group> TokenOf(Caller caller) {
  switch (caller) {
    case Caller::StandardUser:
      return {{"S-1-1-0", false}, {"S-1-5-32-545", false}, {"S-1-5-11", false}};
    case Caller::Administrator:
      return {{"S-1-1-0", false},
              {"S-1-5-32-545", false},
              {"S-1-5-11", false},
              {"S-1-5-32-544", false}};
    case Caller::FilteredAdministrator:
      return {
          {"S-1-1-0", false}, {"S-1-5-32-545", false}, {"S-1-5-11", false}, {"S-1-5-32-544", true}};
    case Caller::System:
      return {
          {"S-1-5-18", false}, {"S-1-1-0", false}, {"S-1-5-11", false}, {"S-1-5-32-544", false}};
  }
  return {};
}

}  // namespace

std::vector<uint8_t> MakeDescriptor(const std::vector<Ace>& dacl) {
  std::vector<uint8_t> aces;
  for (const Ace& ace : dacl) {
    const std::vector<uint8_t> sid = SidBytes(ace.sid);
    aces.push_back(ace.type);
    aces.push_back(0);
    PutWord(aces, static_cast<uint16_t>(kAceHeader + sid.size()));
    PutDword(aces, ace.mask);
    aces.insert(aces.end(), sid.begin(), sid.end());
  }
  std::vector<uint8_t> out = {kSdRevision, 0};
  PutWord(out, kSeDaclPresent | kSeSelfRelative);
  for (uint32_t offset : {0u, 0u, 0u, static_cast<uint32_t>(kSdHeader)}) PutDword(out, offset);
  out.push_back(2);  // ACL revision
  out.push_back(0);
  PutWord(out, static_cast<uint16_t>(kAclHeader + aces.size()));
  PutWord(out, static_cast<uint16_t>(dacl.size()));
  PutWord(out, 0);
  out.insert(out.end(), aces.begin(), aces.end());
  return out;
}

std::vector<uint8_t> DefaultDeviceDescriptor() {
  return MakeDescriptor(
      {{kAccessAllowedAce, kGenericAll, "S-1-5-18"},
       {kAccessAllowedAce, kGenericAll, "S-1-5-32-544"},
       {kAccessAllowedAce, kGenericRead | kGenericWrite | kGenericExecute, "S-1-1-0"},
       {kAccessAllowedAce, kGenericRead | kGenericExecute, "S-1-5-12"}});
}

bool ReadDacl(const uint8_t* sd, size_t limit, std::vector<Ace>* dacl, size_t* length) {
  if (limit < kSdHeader || sd[0] != kSdRevision) return false;
  const uint16_t control = Word(sd + 2);
  if ((control & kSeSelfRelative) == 0 || (control & kSeDaclPresent) == 0) return false;
  const uint32_t at = Dword(sd + 16);
  if (at < kSdHeader || at > limit || limit - at < kAclHeader || sd[at] != 2) return false;
  const uint16_t size = Word(sd + at + 2);
  const uint16_t count = Word(sd + at + 4);
  if (size < kAclHeader || size > limit - at) return false;
  dacl->clear();
  size_t ace = at + kAclHeader;
  for (uint16_t i = 0; i < count; ++i) {
    if (at + size - ace < kAceHeader) return false;
    const uint16_t aceSize = Word(sd + ace + 2);
    if (aceSize < kAceHeader || aceSize > at + size - ace) return false;
    const std::string sid = SidText(sd + ace + kAceHeader, aceSize - kAceHeader);
    if (sid.empty() || sd[ace] > kAccessDeniedAce) return false;
    dacl->push_back({sd[ace], Dword(sd + ace + 4), sid});
    ace += aceSize;
  }
  if (length != nullptr) *length = at + size;
  return true;
}

uint32_t MapFileGeneric(uint32_t access) {
  uint32_t mapped = access & 0x0FFFFFFFu;
  if (access & kGenericRead) mapped |= 0x00120089;     // FILE_GENERIC_READ
  if (access & kGenericWrite) mapped |= 0x00120116;    // FILE_GENERIC_WRITE
  if (access & kGenericExecute) mapped |= 0x001200A0;  // FILE_GENERIC_EXECUTE
  if (access & kGenericAll) mapped |= 0x001F01FF;      // FILE_ALL_ACCESS
  return mapped;
}

int32_t CheckAccess(const std::vector<uint8_t>& descriptor, Caller caller, uint32_t desired,
                    uint32_t* granted) {
  std::vector<Ace> dacl;
  if (!ReadDacl(descriptor.data(), descriptor.size(), &dacl)) return kStatusAccessDenied;
  const uint32_t wanted = MapFileGeneric(desired);
  uint32_t remaining = wanted;
  const std::vector<Group> token = TokenOf(caller);
  for (const Ace& ace : dacl) {
    bool enabled = false, denyOnly = false;
    for (const Group& group : token) {
      if (ace.sid != group.sid) continue;
      (group.denyOnly ? denyOnly : enabled) = true;
    }
    const uint32_t mask = MapFileGeneric(ace.mask);
    if (ace.type == kAccessDeniedAce && (enabled || denyOnly) && (mask & remaining) != 0) {
      return kStatusAccessDenied;
    }
    if (ace.type == kAccessAllowedAce && enabled) remaining &= ~mask;
  }
  if (remaining != 0) return kStatusAccessDenied;
  *granted = wanted;
  return 0;
}

int32_t CheckOpen(const std::vector<uint8_t>& descriptor, uint32_t characteristics, bool below,
                  Caller caller, uint32_t desired, uint32_t* granted) {
  if (below && (characteristics & kFileDeviceSecureOpen) == 0) {
    *granted = MapFileGeneric(desired);
    return 0;
  }
  return CheckAccess(descriptor, caller, desired, granted);
}

bool ControlCodeAllowed(uint32_t code, uint32_t granted) {
  const uint32_t access = (code >> 14) & 3;
  if ((access & 1) != 0 && (granted & kFileReadData) == 0) return false;
  if ((access & 2) != 0 && (granted & kFileWriteData) == 0) return false;
  return true;
}

}  // namespace host
