// What the I/O manager checks before a driver sees a request, as the host
// kernels model it: the caller's token (its groups, some of them deny-only),
// a device's self-relative security descriptor, the file generic mapping, the
// access check of an open against the DACL, and the check of a device-control
// code's access bits against the access the handle was granted. Used by the
// host I/O manager (host build) and by the loader's kernel (the shipped image).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace host {

// The tokens the tests open with. A filtered administrator is an
// administrator's unelevated token: its Administrators entry is deny-only.
enum class Caller { StandardUser, Administrator, FilteredAdministrator, System };

constexpr uint32_t kFileReadData = 0x0001;
constexpr uint32_t kFileWriteData = 0x0002;
constexpr uint32_t kWriteDac = 0x00040000;
constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr uint32_t kGenericExecute = 0x20000000u;
constexpr uint32_t kGenericAll = 0x10000000u;
constexpr uint32_t kDaclSecurityInformation = 0x00000004;
constexpr int32_t kStatusAccessDenied = static_cast<int32_t>(0xC0000022u);
constexpr int32_t kStatusNoSuchDevice = static_cast<int32_t>(0xC000000Eu);

constexpr uint8_t kAccessAllowedAce = 0;
constexpr uint8_t kAccessDeniedAce = 1;

struct Ace {
  uint8_t type = kAccessAllowedAce;
  uint32_t mask = 0;
  std::string sid;  // "S-1-5-18"
  bool operator==(const Ace&) const = default;
};

// A self-relative descriptor with only a DACL, of these entries.
std::vector<uint8_t> MakeDescriptor(const std::vector<Ace>& dacl);
// What Windows gives a device created without a descriptor of its own:
// SYSTEM and Administrators all access, everyone read, write and execute.
std::vector<uint8_t> DefaultDeviceDescriptor();

// The DACL of a self-relative descriptor of at most `limit` bytes; false when
// the bytes are not one (or it has no DACL). `length` gets the bytes it spans.
bool ReadDacl(const uint8_t* descriptor, size_t limit, std::vector<Ace>* dacl,
              size_t* length = nullptr);

// The generic rights mapped to the file object's specific ones.
uint32_t MapFileGeneric(uint32_t access);

// The open's access check: 0 with the granted access, or access denied.
int32_t CheckAccess(const std::vector<uint8_t>& descriptor, Caller caller, uint32_t desired,
                    uint32_t* granted);

// The I/O manager's check of an open of a device, or of a name below it
// (`below` not empty): a name below a device created without
// FILE_DEVICE_SECURE_OPEN is the driver's to judge, as a file system judges
// the names on its volume, and is granted what it asks without a look at the
// device's DACL; everything else is checked against it.
constexpr uint32_t kFileDeviceSecureOpen = 0x00000100;
int32_t CheckOpen(const std::vector<uint8_t>& descriptor, uint32_t characteristics, bool below,
                  Caller caller, uint32_t desired, uint32_t* granted);

// Whether a handle with `granted` may send `code` (its bits 14-15 ask for
// read and write data access).
bool ControlCodeAllowed(uint32_t code, uint32_t granted);

}  // namespace host
