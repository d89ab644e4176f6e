#include "windows_target.h"

#include <windows.h>

#include "windows/windows_transport.h"
#include "windows_bus_locks.h"
#include "windows_service.h"

namespace dimmio::cli {

namespace {

// `name` in the directory that holds the running program.
std::string BesideProgram(const std::string& name) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string program(path, length < MAX_PATH ? length : 0);
  const size_t slash = program.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) + name;
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
  target.Open = OpenDevice;
  target.PciIdsPaths = {BesideProgram("pci.ids")};
  target.Service = WindowsDriverService(BesideProgram("dimmio.sys"));
  target.Locks = NamedMutexBusLocks();
  return target;
}

}  // namespace dimmio::cli
