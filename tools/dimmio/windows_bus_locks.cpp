// The bus locks of dimmio.exe: the named mutexes hardware tools on Windows
// agree on. Each is opened with no more than the right to wait on it and
// release it, created (with a descriptor that lets every user do as much)
// only where nobody has yet, in the session-wide Local\ namespace where the Global\ one
// is refused (a user without the right to create global objects), which the
// tool says on its error output.
#include "windows_bus_locks.h"

#include <windows.h>

#include <iostream>
#include <string>

namespace dimmio::cli {

namespace {

constexpr const char* kMutexNames[kBuses] = {
    "Access_SMBUS.HTP.Method",   // Bus::Smbus
    "Access_PCI",                // Bus::Pci
    "Access_ISABUS.HTP.Method",  // Bus::Isa
};

// The mutexes this tool creates: everyone may wait on them and release them
// (SYNCHRONIZE | MUTEX_MODIFY_STATE), so that a monitor running unelevated
// still takes turns with an elevated dimmio; SYSTEM and the Administrators
// group get all access (MUTEX_ALL_ACCESS). Self-relative, DACL only.
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

HANDLE OpenOrCreate(const std::string& name) {
  HANDLE handle = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
  if (handle == nullptr && GetLastError() == ERROR_FILE_NOT_FOUND) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes,
                                   const_cast<unsigned char*>(kEveryoneMayWait), FALSE};
    handle = CreateMutexA(&attributes, FALSE, name.c_str());
    // Made by someone else in between, with rights that keep ours out.
    if (handle == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
      handle = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
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
    if (handles_[i] == nullptr) {
      const std::string global = std::string("Global\\") + kMutexNames[i];
      handles_[i] = OpenOrCreate(global);
      if (handles_[i] == nullptr) {
        const std::string why = "Windows error " + std::to_string(GetLastError());
        const std::string local = std::string("Local\\") + kMutexNames[i];
        handles_[i] = OpenOrCreate(local);
        std::cerr << "dimmio: note: the lock " << global << " cannot be had (" << why << "); "
                  << (handles_[i] != nullptr
                          ? "taking turns through " + local +
                                " instead, which only programs of this session see"
                          : "nor " + local + ": going ahead without a lock")
                  << '\n';
      }
    }
    // Without either there is nobody to agree with: the request goes ahead.
    if (handles_[i] == nullptr) return true;
    const DWORD waited = WaitForSingleObject(handles_[i], waitMs_);
    if (waited == WAIT_TIMEOUT) return false;
    // Abandoned: its holder ended without letting go; it is ours now all the
    // same. A wait that failed outright leaves it unowned, as if there were none.
    owned_[i] = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return true;
  }

  void Give(Bus bus) override {
    const int i = static_cast<int>(bus);
    if (owned_[i]) ReleaseMutex(handles_[i]);
    owned_[i] = false;
  }

 private:
  const uint32_t waitMs_;
  HANDLE handles_[kBuses] = {};
  bool owned_[kBuses] = {};
};

}  // namespace

std::shared_ptr<BusLocks> NamedMutexBusLocks(uint32_t waitMs) {
  return std::make_shared<NamedMutexLocks>(waitMs);
}

}  // namespace dimmio::cli
