// JEDEC manufacturer identification codes: parity, banks and names.
#include "dimmio/spd.h"
#include "jep106.h"

namespace dimmio {

namespace {

constexpr uint8_t kContinuationCode = 0x7F;

}  // namespace

bool JedecParityOk(uint8_t code) {
  unsigned ones = 0;
  for (uint8_t bits = code; bits != 0; bits &= static_cast<uint8_t>(bits - 1)) ++ones;
  return ones % 2 == 1;
}

const char* JedecMakerName(uint8_t bank, uint8_t code) {
  if (!JedecParityOk(code)) return nullptr;
  return jep106::MakerName(bank, static_cast<uint8_t>(code & 0x7F));
}

JedecMaker DecodeJedecId(std::span<const uint8_t> id) {
  JedecMaker maker;
  uint8_t continuations = 0;
  for (uint8_t byte : id) {
    if (byte == kContinuationCode) {
      ++continuations;
      continue;
    }
    if (byte == 0x00 || byte == 0xFF) break;  // nothing stored
    maker.Bank = static_cast<uint8_t>(continuations + 1);
    maker.Code = byte;
    maker.ParityOk = JedecParityOk(byte);
    const char* name = JedecMakerName(maker.Bank, maker.Code);
    maker.Name = name != nullptr ? name : "";
    break;
  }
  return maker;
}

JedecMaker DecodeJedecBankCode(uint8_t continuations, uint8_t code) {
  JedecMaker maker;
  if ((continuations == 0x00 && code == 0x00) || (continuations == 0xFF && code == 0xFF)) {
    return maker;
  }
  maker.Bank = static_cast<uint8_t>((continuations & 0x7F) + 1);
  maker.Code = code;
  maker.ParityOk = JedecParityOk(continuations) && JedecParityOk(code);
  const char* name = maker.ParityOk ? JedecMakerName(maker.Bank, code) : nullptr;
  maker.Name = name != nullptr ? name : "";
  return maker;
}

}  // namespace dimmio
