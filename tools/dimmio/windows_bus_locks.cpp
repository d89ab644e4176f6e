// The bus locks of dimmio.exe: the named mutexes hardware tools on Windows
// agree on, in the Global\ namespace. Each is opened with no more than the
// right to wait on it and release it, and created (with a descriptor that
// lets every user do as much) only where nobody has yet. A lock that cannot
// be had, or waited on, stops the requests that need its bus.
#include "windows_bus_locks.h"

#include <windows.h>
#include <aclapi.h>

#include <string>

#include "windows/windows_transport.h"

namespace dimmio::cli {

namespace {

// clang-format off
constexpr const char* kMutexNames[kBuses] = {
    "Access_SMBUS.HTP.Method",   // Bus::Smbus
    "Access_PCI",                // Bus::Pci
    "Access_ISABUS.HTP.Method",  // Bus::Isa
};
// clang-format on

// The mutexes this tool creates: everyone may wait on them and release them
// (SYNCHRONIZE | MUTEX_MODIFY_STATE), so that a monitor running unelevated
// still takes turns with an elevated dimmio; SYSTEM and the Administrators
// group get all access (MUTEX_ALL_ACCESS). Self-relative, DACL only.
// clang-format off
alignas(4) const unsigned char kEveryoneMayWait[92] = {
    0x01, 0x00, 0x04, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x14, 0, 0, 0,
    0x02, 0x00, 0x48, 0x00, 0x03, 0x00, 0x00, 0x00,  // ACL: 72 bytes, 3 entries
    0x00, 0x00, 0x14, 0x00, 0x01, 0x00, 0x10, 0x00,  // S-1-1-0 (Everyone)
    0x01, 0x01, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0,
    0x00, 0x00, 0x14, 0x00, 0x01, 0x00, 0x1F, 0x00,  // S-1-5-18 (SYSTEM)
    0x01, 0x01, 0, 0, 0, 0, 0, 0x05, 0x12, 0, 0, 0,
    0x00, 0x00, 0x18, 0x00, 0x01, 0x00, 0x1F, 0x00,  // S-1-5-32-544 (Administrators)
    0x01, 0x02, 0, 0, 0, 0, 0, 0x05, 0x20, 0, 0, 0, 0x20, 0x02, 0, 0,
};
// clang-format on

// Who made the mutex `name`, as "DOMAIN\\account", where its descriptor lets
// this program read its owner; "" where it does not.
std::string Maker(const std::string& name) {
  HANDLE handle = OpenMutexA(READ_CONTROL, FALSE, name.c_str());
  if (handle == nullptr) return "";
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::string who;
  if (GetSecurityInfo(handle, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) == ERROR_SUCCESS) {
    char account[256], domain[256];
    DWORD accountLength = sizeof account, domainLength = sizeof domain;
    SID_NAME_USE use;
    if (LookupAccountSidA(nullptr, owner, account, &accountLength, domain, &domainLength, &use)) {
      who = std::string(domain) + (domain[0] != 0 ? "\\" : "") + account;
    }
    LocalFree(descriptor);
  }
  CloseHandle(handle);
  return who;
}

// The mutex `name`, opened to wait on it or made where nobody has yet; null
// with why not in `refusal`. An elevated program may always create objects
// in Global\ : one there that refuses it was made to keep it out, and is
// never gone around (through Local\ , which other sessions' tools do not
// see, or with no lock at all).
HANDLE OpenOrCreate(const std::string& name, Bus bus, std::string* refusal) {
  HANDLE handle = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
  if (handle == nullptr && GetLastError() == ERROR_FILE_NOT_FOUND) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, const_cast<unsigned char*>(kEveryoneMayWait),
                                   FALSE};
    handle = CreateMutexA(&attributes, FALSE, name.c_str());
    const DWORD refused = GetLastError();
    // Made by someone else in between, with rights that keep ours out: opened as theirs.
    if (handle == nullptr && refused == ERROR_ACCESS_DENIED) {
      handle = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    }
    if (handle == nullptr &&
        (refused != ERROR_ACCESS_DENIED || GetLastError() == ERROR_FILE_NOT_FOUND)) {
      *refusal = "the lock " + name + " cannot be created (" + WindowsErrorText(refused) +
                 "): no request is sent to " + BusName(bus) + " without it";
      return nullptr;
    }
  }
  if (handle == nullptr) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
      const std::string maker = Maker(name);
      *refusal = "the lock " + name +
                 " exists but refuses this program the right to wait on it (made by " +
                 (maker.empty() ? std::string("an account it does not name") : maker) +
                 "): no request is sent to " + BusName(bus) +
                 " until that program ends and the lock goes";
    } else {
      *refusal = "the lock " + name + " cannot be opened (" + WindowsErrorText(error) +
                 "): no request is sent to " + BusName(bus) + " without it";
    }
  }
  return handle;
}

class NamedMutexLocks final : public BusLocks {
 public:
  explicit NamedMutexLocks(uint32_t waitMs) : waitMs_(waitMs) {}
  ~NamedMutexLocks() override {
    for (HANDLE handle : handles_) {
      if (handle != nullptr) CloseHandle(handle);
    }
  }

  bool Take(Bus bus) override {
    const int i = static_cast<int>(bus);
    const std::string name = std::string("Global\\") + kMutexNames[i];
    refusals_[i].clear();
    if (handles_[i] == nullptr) handles_[i] = OpenOrCreate(name, bus, &refusals_[i]);
    if (handles_[i] == nullptr) return false;
    const DWORD waited = WaitForSingleObject(handles_[i], waitMs_);
    if (waited == WAIT_TIMEOUT) return false;
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      refusals_[i] = "the lock " + name + " cannot be waited on (" +
                     WindowsErrorText(GetLastError()) + "): no request is sent to " + BusName(bus) +
                     " without it";
      return false;
    }
    // Abandoned: its holder ended without letting go; it is ours now all the same.
    owned_[i] = true;
    return true;
  }

  std::string Refusal(Bus bus) const override { return refusals_[static_cast<int>(bus)]; }

  void Give(Bus bus) override {
    const int i = static_cast<int>(bus);
    if (owned_[i]) ReleaseMutex(handles_[i]);
    owned_[i] = false;
  }

 private:
  const uint32_t waitMs_;
  HANDLE handles_[kBuses] = {};
  bool owned_[kBuses] = {};
  std::string refusals_[kBuses];
};

}  // namespace

std::shared_ptr<BusLocks> NamedMutexBusLocks(uint32_t waitMs) {
  return std::make_shared<NamedMutexLocks>(waitMs);
}

}  // namespace dimmio::cli
