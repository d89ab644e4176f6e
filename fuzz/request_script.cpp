#include "request_script.h"

#include "driver/ioctl.h"
#include "driver/requests.h"

namespace requestfuzz {

namespace {

// The request table's codes, in the order of their function numbers.
struct TableCodes {
  TableCodes() {
    for (uint32_t function = 0x800; function < 0x1000; ++function) {
      for (uint32_t access = 0; access < 4; ++access) {
        const uint32_t code = DIMMIO_CONTROL_CODE(function, access);
        if (FindRequest(code) != nullptr && count < kMaxTableCodes) codes[count++] = code;
      }
    }
  }
  static constexpr uint8_t kMaxTableCodes = 64;
  uint32_t codes[kMaxTableCodes] = {};
  uint8_t count = 0;
};
const TableCodes kTable;
const uint8_t kTableCount = kTable.count;
const uint8_t kAnyCode = kTableCount;            // 4 code bytes follow
const uint8_t kOurDeviceType = kTableCount + 1;  // 2 low code bytes follow
const uint8_t kSelectors = kOurDeviceType + 1;

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
      request.code = kTable.codes[selector];
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
      if (kTable.codes[i] == request.code) selector = i;
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
