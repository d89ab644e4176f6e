// The typed client of the dimmio driver: one call per request, each decoding
// the driver's fixed little-endian output layout into plain values.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dimmio/dimmio.h"
#include "dimmio/transport.h"

namespace dimmio {

// Why a request gave no result: the transport's failure, or a reply whose
// length does not fit the request's layout.
struct RequestError {
  uint32_t Code = 0;  // transport error value; 0 for a malformed reply
  std::string Text;
};

template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}             // NOLINT: implicit on purpose
  Result(RequestError error) : error_(std::move(error)) {}  // NOLINT

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const T& value() const { return *value_; }
  const T& operator*() const { return *value_; }
  const T* operator->() const { return &*value_; }
  const RequestError& error() const { return error_; }

 private:
  std::optional<T> value_;
  RequestError error_;
};

using OpStatus = DimmioOpStatus;
using PciDeviceRecord = DimmioPciDeviceRecord;

struct SpdRead {
  std::vector<uint8_t> Bytes;  // the bytes read, fewer than asked when Status says why
  OpStatus Status;
};

struct ProbeResult {
  int32_t Result;  // DIMMIO_PROBE_WRITABLE, DIMMIO_PROBE_UNCHANGED or -1..-5
  OpStatus Status;
};

struct CountResult {
  uint8_t Count;
  OpStatus Status;
};

struct SystemInfo {
  std::string SystemManufacturer, SystemProduct, SystemVersion, SystemSerialNumber;
  std::string BoardManufacturer, BoardProduct, BoardVersion, BoardSerialNumber;
};

using PciConfigSpace = std::array<uint8_t, DIMMIO_PCI_CONFIG_SIZE>;

class Client {
 public:
  explicit Client(Transport& transport) : transport_(transport) {}

  // `count` SPD bytes of `slot` (0-7) from `firstOffset` on (at least 1).
  Result<SpdRead> ReadSpd(uint8_t slot, uint8_t firstOffset, uint32_t count);
  // DDR4: `count` bytes of SPD page `page` (0 or 1) of `slot`, the board's
  // page selected again afterwards.
  Result<SpdRead> ReadSpdPage(uint8_t slot, uint8_t page, uint8_t firstOffset, uint32_t count);
  Result<ProbeResult> ProbeSpdWrite(uint8_t slot);
  Result<OpStatus> SetSegment(uint32_t segment);
  Result<CountResult> MemorySlotCount();
  Result<CountResult> MemoryModuleCount();
  Result<PciDeviceRecord> ChipsetInfo();
  // The first `count` records of the device table (at most 217).
  Result<std::vector<PciDeviceRecord>> PciDeviceTable(int32_t count);
  Result<uint32_t> PciDeviceCount();
  Result<PciConfigSpace> ReadPciConfig(uint32_t bus, uint32_t device, uint32_t function);
  Result<SystemInfo> SystemInformation();

 private:
  Result<std::vector<uint8_t>> Send(uint32_t code, std::span<const uint8_t> input,
                                    uint32_t outputLength, uint32_t minimumReply);
  Result<CountResult> Count(uint32_t code);
  Result<SpdRead> SpdReply(uint32_t code, std::span<const uint8_t> input, uint32_t count);

  Transport& transport_;
};

// Decoders of the output records from their byte layouts (little-endian,
// whatever the host's byte order). `bytes` must hold the whole record.
OpStatus DecodeOpStatus(const uint8_t* bytes);
PciDeviceRecord DecodePciDeviceRecord(const uint8_t* bytes);

// What an error code of the status record means; "unknown error code" for a
// number the driver does not use.
const char* ErrorMeaning(uint32_t code);

// The name of a completion status value the driver uses
// ("STATUS_INVALID_PARAMETER"); nullptr for any other value.
const char* StatusName(uint32_t status);

// A completion status as text: "STATUS_INVALID_PARAMETER (0xC000000D)", or
// the bare number for a value the driver does not use.
std::string CompletionText(uint32_t status);

// Bytes as hex, sixteen a line, each line headed by the offset of its first
// byte: offsets count on from `firstOffset` and wrap at `space` (256 for an
// SPD EEPROM, whose reads wrap past its last byte).
std::string HexDump(std::span<const uint8_t> bytes, uint32_t firstOffset, uint32_t space = 0x10000);

// The status record as readable text: "no error", or the operation's code,
// its meaning and detail words, and the hardware half when it is set.
std::string DescribeStatus(const OpStatus& status);

}  // namespace dimmio
