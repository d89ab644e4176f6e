// Readable text for the status record, the completion status values and
// dumps of bytes.
#include <algorithm>
#include <cstdio>

#include "dimmio/client.h"
#include "hex_text.h"

namespace dimmio {

namespace {

struct Meaning {
  uint32_t Code;
  const char* Text;
};

constexpr Meaning kMeanings[] = {
    {DIMMIO_ERROR_NONE, "no error"},
    {DIMMIO_ERROR_SPD_BLOCK_READ, "SPD read stopped: a transfer on the SMBus failed"},
    {DIMMIO_ERROR_NO_CHIPSET_INFO, "discovery had no place for the chipset information"},
    {DIMMIO_ERROR_HW_READ_BYTE, "SMBus read-byte transaction failed"},
    {DIMMIO_ERROR_HW_READ_WORD, "SMBus read-word transaction failed"},
    {DIMMIO_ERROR_HW_WRITE_BYTE, "SMBus write-byte transaction failed"},
    {DIMMIO_ERROR_CONTROLLER_ALLOC, "no memory for the controller record"},
    {DIMMIO_ERROR_CONTROLLER_UNAVAILABLE,
     "no usable SMBus controller on this machine; nothing was sent on the bus"},
    {DIMMIO_ERROR_PROBE_FIRST_READ, "write probe: the first read of SPD byte 74 failed"},
    {DIMMIO_ERROR_PROBE_WRITE, "write probe: writing the changed value failed"},
    {DIMMIO_ERROR_PROBE_READ_BACK, "write probe: the read-back failed"},
    {DIMMIO_ERROR_PROBE_RESTORE,
     "write probe: restoring the original value failed; the byte may keep the changed value"},
    {DIMMIO_ERROR_PROBE_READ_AFTER_RESTORE, "write probe: the read after restoring failed"},
    {DIMMIO_ERROR_PROBE_MISMATCH,
     "write probe: the byte read after restoring differs from the original"},
    {DIMMIO_ERROR_HW_HOST_HELD,
     "the SMBus host is shared with firmware, which did not let it go; nothing was sent"},
    {DIMMIO_ERROR_SMBIOS_SCAN_MAP, "mapping the BIOS area to find the SMBIOS entry point failed"},
    {DIMMIO_ERROR_SMBIOS_TABLE_MAP, "mapping the SMBIOS structure table failed"},
    {DIMMIO_ERROR_SMBIOS_TABLE_LENGTH, "the SMBIOS structure table is empty or too large"},
    {DIMMIO_ERROR_SMBIOS_NO_ENTRY_POINT, "no SMBIOS entry point was found"},
    {DIMMIO_ERROR_SPD_WRITES_BLOCKED, "the chipset blocks SPD writes; nothing was sent on the bus"},
    {DIMMIO_ERROR_PAGE_NOT_ACKNOWLEDGED, "no module on the bus took the SPD page select"},
    {DIMMIO_ERROR_NO_PAGE_TRANSFERS,
     "this SMBus host cannot select DDR4 SPD pages; nothing was sent on the bus"},
    {DIMMIO_ERROR_PAGE_OUT_OF_RANGE, "an SPD page other than 0 or 1; nothing was sent on the bus"},
    {DIMMIO_ERROR_HW_SEND_BYTE, "SMBus send-byte transaction failed"},
    {DIMMIO_ERROR_HW_RECEIVE_BYTE, "SMBus receive-byte transaction failed"},
    {DIMMIO_ERROR_PAGE_QUERY_FAILED,
     "the SPD page query failed (not for want of an acknowledge); nothing was sent after it"},
    {DIMMIO_ERROR_NOT_KNOWN_DDR4,
     "no SPD page was selected: neither byte 2 nor the SMBIOS tables show DDR4 modules, so the "
     "slot was read as it shows"},
    {DIMMIO_ERROR_PROBE_NOT_PLAIN_EEPROM,
     "write probe refused: byte 2 names an SPD that is not a plain EEPROM; nothing was written"},
    {DIMMIO_ERROR_PROBE_TYPE_UNREADABLE,
     "write probe refused: SPD byte 2 (the memory type) could not be read; nothing was written"},
};

constexpr Meaning kStatusNames[] = {
    {DIMMIO_STATUS_SUCCESS, "STATUS_SUCCESS"},
    {DIMMIO_STATUS_PENDING, "STATUS_PENDING"},
    {DIMMIO_STATUS_UNSUCCESSFUL, "STATUS_UNSUCCESSFUL"},
    {DIMMIO_STATUS_NOT_IMPLEMENTED, "STATUS_NOT_IMPLEMENTED"},
    {DIMMIO_STATUS_INVALID_PARAMETER, "STATUS_INVALID_PARAMETER"},
    {DIMMIO_STATUS_INSUFFICIENT_RESOURCES, "STATUS_INSUFFICIENT_RESOURCES"},
    {DIMMIO_STATUS_CANCELLED, "STATUS_CANCELLED"},
};

// "code N (meaning)" and the counted detail words, at most `capacity`.
std::string Half(uint32_t code, uint32_t count, const uint32_t* detail, uint32_t capacity) {
  std::string text = "code " + std::to_string(code) + " (" + ErrorMeaning(code) + ")";
  const uint32_t shown = std::min(count, capacity);
  for (uint32_t i = 0; i < shown; ++i) text += (i == 0 ? ", detail " : " ") + HexText(detail[i]);
  return text;
}

}  // namespace

const char* StatusName(uint32_t status) {
  for (const Meaning& name : kStatusNames) {
    if (name.Code == status) return name.Text;
  }
  return nullptr;
}

std::string CompletionText(uint32_t status) {
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", status);
  const char* name = StatusName(status);
  return name != nullptr ? std::string(name) + " (" + number + ")" : std::string(number);
}

std::string HexDump(std::span<const uint8_t> bytes, uint32_t firstOffset, uint32_t space) {
  std::string text;
  char cell[16];
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) {
      std::snprintf(
          cell, sizeof cell, "%s%04X:", i ? "\n" : "",
          static_cast<unsigned>(space != 0 ? (firstOffset + i) % space : firstOffset + i));
      text += cell;
    }
    std::snprintf(cell, sizeof cell, " %02X", bytes[i]);
    text += cell;
  }
  if (!bytes.empty()) text += '\n';
  return text;
}

const char* ErrorMeaning(uint32_t code) {
  for (const Meaning& meaning : kMeanings) {
    if (meaning.Code == code) return meaning.Text;
  }
  return "unknown error code";
}

std::string DescribeStatus(const OpStatus& status) {
  if (status.Code == DIMMIO_ERROR_NONE && status.HwCode == DIMMIO_ERROR_NONE) return "no error";
  std::string text;
  if (status.Code != DIMMIO_ERROR_NONE) {
    text = Half(status.Code, status.DetailCount, status.Detail, 6);
  }
  if (status.HwCode != DIMMIO_ERROR_NONE) {
    if (!text.empty()) text += "; ";
    // The one hardware detail word is the controller's own status value.
    text += "hardware " + Half(status.HwCode, 0, status.HwDetail, 8);
    if (status.HwDetailCount > 0) text += ", controller status " + HexText(status.HwDetail[0]);
  }
  return text;
}

}  // namespace dimmio
