#include "request_script.h"

#include "driver/ioctl.h"

namespace requestfuzz {

namespace {

constexpr uint32_t kTableCodes[] = {
    IOCTL_READ_SPD,
    IOCTL_PROBE_SPD_WRITE,
    IOCTL_GET_MEMORY_SLOT_COUNT,
    IOCTL_GET_MEMORY_MODULE_COUNT,
    IOCTL_SET_SEGMENT,
    IOCTL_GET_CHIPSET_INFO,
    IOCTL_GET_PCI_DEVICE_TABLE,
    IOCTL_GET_PCI_DEVICE_COUNT,
    IOCTL_READ_PCI_CONFIG,
    IOCTL_GET_SYSTEM_INFO,
    IOCTL_READ_SPD_PAGE,
};
constexpr uint8_t kTableCount = sizeof kTableCodes / sizeof kTableCodes[0];
constexpr uint8_t kAnyCode = kTableCount;            // 4 code bytes follow
constexpr uint8_t kOurDeviceType = kTableCount + 1;  // 2 low code bytes follow
constexpr uint8_t kSelectors = kOurDeviceType + 1;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t Le(int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(Byte()) << (8 * i);
    return value;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

void PutLe(std::vector<uint8_t>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

bool Decode(const uint8_t* data, size_t size, size_t boardCount, Script* script) {
  Reader in(data, size);
  if (in.AtEnd() || boardCount == 0) return false;
  script->board = in.Byte() % boardCount;
  script->requests.clear();
  while (!in.AtEnd() && script->requests.size() < kMaxRequests) {
    ScriptRequest request;
    const uint8_t selector = in.Byte() % kSelectors;
    if (selector < kTableCount) {
      request.code = kTableCodes[selector];
    } else if (selector == kAnyCode) {
      request.code = in.Le(4);
    } else {  // kOurDeviceType
      request.code = static_cast<uint32_t>(kDimmioDeviceType) << 16 | in.Le(2);
    }
    const uint8_t inputLength = in.Byte();
    request.outputLength = in.Le(2) % kOutputLimit;
    for (uint8_t i = 0; i < inputLength; ++i) request.input.push_back(in.Byte());
    script->requests.push_back(std::move(request));
  }
  return true;
}

std::vector<uint8_t> Encode(const Script& script) {
  std::vector<uint8_t> out{static_cast<uint8_t>(script.board)};
  for (const ScriptRequest& request : script.requests) {
    uint8_t selector = kAnyCode;
    for (uint8_t i = 0; i < kTableCount; ++i) {
      if (kTableCodes[i] == request.code) selector = i;
    }
    out.push_back(selector);
    if (selector == kAnyCode) PutLe(&out, request.code, 4);
    out.push_back(static_cast<uint8_t>(request.input.size()));
    PutLe(&out, request.outputLength, 2);
    out.insert(out.end(), request.input.begin(), request.input.end());
  }
  return out;
}

}  // namespace requestfuzz
