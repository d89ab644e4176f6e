// PCI configuration mechanism #1: a dword address written to 0xCF8 selects
// bus, device, function and register; the dword (or its bytes) at 0xCFC..0xCFF
// is the register. The platform calls take bus number and packed slot number.
#include "hw/platform.h"
#include "platform/baremetal/io.h"

namespace {

constexpr uint16_t kConfigAddress = 0xCF8;  // enable bit, bus, device, function, register
constexpr uint16_t kConfigData = 0xCFC;     // the selected dword, bytes at +0..+3

constexpr uint32_t kEnable = 0x80000000u;   // address bit 31: configuration cycle
constexpr uint32_t kConfigSpaceSize = 256;  // registers 0x00-0xFF of each function
constexpr uint32_t kLastBus = 255;
constexpr uint32_t kSlotBits = 0xFFu;  // device in bits 0-4, function in 5-7

constexpr uint32_t Address(uint32_t bus, uint32_t slot, uint32_t offset) {
  const uint32_t device = slot & 31u;
  const uint32_t function = (slot >> 5) & 7u;
  return kEnable | (bus << 16) | (device << 11) | (function << 8) | (offset & 0xFCu);
}

uint32_t ReadDword(uint32_t bus, uint32_t slot, uint32_t offset) {
  baremetal::Out32(kConfigAddress, Address(bus, slot, offset));
  return baremetal::In32(kConfigData);
}

// The number of bytes of [offset, offset + length) that lie in the function's
// configuration space, or 0 when the function is not there (its vendor ID
// reads all ones) or the location cannot be addressed.
uint32_t Deliverable(uint32_t bus, uint32_t slot, uint32_t offset, uint32_t length) {
  if (bus > kLastBus || (slot & ~kSlotBits) != 0 || offset >= kConfigSpaceSize) return 0;
  if ((ReadDword(bus, slot, 0) & 0xFFFFu) == 0xFFFFu) return 0;
  return length < kConfigSpaceSize - offset ? length : kConfigSpaceSize - offset;
}

}  // namespace

uint32_t PlatformGetPciData(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset,
                            uint32_t length) {
  const uint32_t n = Deliverable(bus, slot, offset, length);
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < n) {
    const uint32_t at = offset + done;
    const uint32_t dword = ReadDword(bus, slot, at);
    for (uint32_t byte = at & 3u; byte < 4 && done < n; ++byte) {
      out[done++] = static_cast<uint8_t>(dword >> (8 * byte));
    }
  }
  return n;
}

uint32_t PlatformSetPciData(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset,
                            uint32_t length) {
  const uint32_t n = Deliverable(bus, slot, offset, length);
  const auto* in = static_cast<const uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < n) {
    const uint32_t at = offset + done;
    baremetal::Out32(kConfigAddress, Address(bus, slot, at));
    if ((at & 3u) == 0 && n - done >= 4) {
      const uint32_t value =
          static_cast<uint32_t>(in[done]) | (static_cast<uint32_t>(in[done + 1]) << 8) |
          (static_cast<uint32_t>(in[done + 2]) << 16) | (static_cast<uint32_t>(in[done + 3]) << 24);
      baremetal::Out32(kConfigData, value);
      done += 4;
    } else {
      // A lone byte goes to its own lane, so the neighbours are not touched.
      baremetal::Out8(static_cast<uint16_t>(kConfigData + (at & 3u)), in[done]);
      done += 1;
    }
  }
  return n;
}
