#include "windows_target.h"

#include <windows.h>

#include "windows/windows_transport.h"
#include "windows_bus_locks.h"
#include "windows_files.h"
#include "windows_service.h"

namespace dimmio::cli {

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// The folder that holds the running program, with its last backslash; ""
// when the system cannot give the program's whole path.
std::string ProgramFolder() {
  char path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  const std::string program(path, length);
  const size_t slash = program.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

template <typename Function>
Function Kernel32(const char* name) {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, name)));
}

std::unique_ptr<Transport> OpenDevice(const std::string&, std::string* error) {
  std::string why;
  unsigned long windowsError = 0;
  std::unique_ptr<WindowsTransport> transport = WindowsTransport::Open(&why, &windowsError);
  if (transport) return transport;
  if (windowsError == ERROR_ACCESS_DENIED) {
    *error = why + ": run dimmio from a command prompt started with \"Run as administrator\"";
  } else {
    *error = "the dimmio driver is not running (" + why +
             "): start it as administrator with `dimmio driver start` (once installed with "
             "`dimmio driver install`) or `sc start dimmio`";
  }
  return nullptr;
}

}  // namespace

Target WindowsMachine() {
  Target target;
  const std::string folder = ProgramFolder();
  if (folder.empty()) {
    target.Unusable =
        "the path of this program is 260 characters or longer, or cannot be read: dimmio.sys and "
        "pci.ids are looked for beside it only; run it from a folder with a shorter path";
  }
  target.Open = OpenDevice;
  target.PciIdsPaths = {folder + "pci.ids"};
  target.Service = WindowsDriverService(folder + "dimmio.sys");
  target.Locks = NamedMutexBusLocks();
  target.Files = GuardedFiles();
  return target;
}

void LoadDllsFromTheSystemFolderOnly() {
  using SetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryA = BOOL(WINAPI*)(LPCSTR);
  // Windows 8 and later, and 7 and Vista with their update of 2011.
  const auto setDefault = Kernel32<SetDefaultDllDirectories>("SetDefaultDllDirectories");
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Windows XP with its first service pack and later.
  const auto setDirectory = Kernel32<SetDllDirectoryA>("SetDllDirectoryA");
  if (setDirectory != nullptr) setDirectory("");
}

}  // namespace dimmio::cli
