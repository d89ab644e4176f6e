#include "sim/models/host_engine.h"

namespace sim {

namespace {

constexpr uint32_t kFrameBits = 9;      // eight data bits and the acknowledge
constexpr uint32_t kConditionBits = 1;  // a START, repeated START or STOP

}  // namespace

uint32_t HostEngine::BitTimes(HostProtocol protocol, bool read) {
  // Write: S, address, command, data, P. Read: S, address, command, Sr,
  // address, data (one byte, or two for a word), P. Send and receive byte:
  // S, address, one byte, P.
  if (protocol == HostProtocol::Byte) return 2 * kConditionBits + 2 * kFrameBits;
  const uint32_t dataFrames = protocol == HostProtocol::WordData ? 2 : 1;
  if (!read) return 2 * kConditionBits + (2 + dataFrames) * kFrameBits;
  return 3 * kConditionBits + (3 + dataFrames) * kFrameBits;
}

bool HostEngine::Start(HostProtocol protocol, uint8_t addressByte, uint8_t command, uint8_t data0) {
  if (Busy()) return false;
  ++transactions_;
  const uint8_t slave = static_cast<uint8_t>(addressByte >> 1);
  const bool read = (addressByte & 1u) != 0;
  result_ = Result{};
  switch (protocol) {
    case HostProtocol::Byte:
      // A send byte carries the command register's byte.
      if (read) {
        result_.acked = SmbusReceiveByte(bus_, slave, result_.data0);
        result_.hasData = result_.acked;
      } else {
        result_.acked = SmbusSendByte(bus_, slave, command);
      }
      break;
    case HostProtocol::ByteData:
      if (read) {
        result_.acked = SmbusReadByteData(bus_, slave, command, result_.data0);
        result_.hasData = result_.acked;
      } else {
        result_.acked = SmbusWriteByteData(bus_, slave, command, data0);
      }
      break;
    case HostProtocol::WordData:
      if (read) {
        uint16_t word = 0;
        result_.acked = SmbusReadWordData(bus_, slave, command, word);
        result_.data0 = static_cast<uint8_t>(word & 0xFF);
        result_.data1 = static_cast<uint8_t>(word >> 8);
        result_.hasData = result_.acked;
      }
      // Word writes are not used by anything on these boards' buses.
      break;
    case HostProtocol::Unsupported: break;
  }
  result_.forcedError = failNext_;
  failNext_ = 0;
  hung_ = hangNext_;
  hangNext_ = false;
  if (result_.forcedError != 0) result_.hasData = false;
  running_ = true;
  const uint64_t micros =
      busHz_ == 0 ? uint64_t{transactionMs_} * 1000 : TransferUs(protocol, read, busHz_);
  doneAtUs_ = machine_.NowMs() * 1000 + micros;
  return true;
}

bool HostEngine::StartRefused(uint8_t errorBits, uint32_t bitTimes) {
  if (Busy()) return false;
  ++transactions_;
  result_ = Result{.forcedError = errorBits};
  running_ = true;
  const uint64_t micros = busHz_ == 0 ? 0 : (uint64_t{bitTimes} * 1000000 + busHz_ - 1) / busHz_;
  doneAtUs_ = machine_.NowMs() * 1000 + micros;
  return true;
}

std::optional<HostEngine::Result> HostEngine::Settle() {
  if (!running_ || stuck_ || hung_ || machine_.NowMs() * 1000 < doneAtUs_) return std::nullopt;
  running_ = false;
  return result_;
}

}  // namespace sim
