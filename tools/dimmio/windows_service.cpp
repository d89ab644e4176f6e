#include "windows_service.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "built_driver.h"
#include "dimmio/dimmio.h"
#include "tools/pe/pe_file.h"
#include "sha256.h"
#include "windows_files.h"
#include "windows/windows_transport.h"

namespace dimmio::cli {

namespace {

constexpr char kServiceName[] = "dimmio";

class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
  }
  ServiceHandle(ServiceHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  explicit operator bool() const { return handle_ != nullptr; }
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

using Outcome = DriverService::Outcome;

constexpr char kRunAsAdministrator[] =
    "not an administrator: run dimmio from a command prompt started with \"Run as administrator\"";

Outcome Failed(const std::string& what, DWORD error) {
  if (error == ERROR_ACCESS_DENIED) return {false, what + ": " + kRunAsAdministrator};
  return {false, what + ": " + WindowsErrorText(error)};
}

// The driver file of a kernel service's image path as a program opens it: the
// kernel reads "\??\C:\..." as "C:\...", "\SystemRoot\..." and a path
// without a drive ("System32\drivers\x.sys") from the Windows directory.
std::string DriverFile(std::string path) {
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
    path = path.substr(1, path.size() - 2);
  if (path.rfind("\\??\\", 0) == 0) return path.substr(4);
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const bool systemRoot = lower.rfind("\\systemroot\\", 0) == 0;
  if (!systemRoot &&
      (path.empty() || path[0] == '\\' || path[0] == '/' || path.find(':') != std::string::npos)) {
    return path;
  }
  char windows[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string directory(windows, length < MAX_PATH ? length : 0);
  return directory + (systemRoot ? path.substr(11) : "\\" + path);
}

// Where the service's driver file is kept: System32\drivers, which other
// users may read but only administrators and SYSTEM may write, as its copy
// there inherits. A file in a folder other users can write would be ring-0
// code for whoever replaces it the next time the driver starts.
std::string SystemDriverFile() {
  char system[MAX_PATH];
  const UINT length = GetSystemDirectoryA(system, MAX_PATH);
  return std::string(system, length < MAX_PATH ? length : 0) + "\\drivers\\dimmio.sys";
}

bool SameFile(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// The driver file the service's image path names; 0, or the system's error.
DWORD ConfiguredFile(SC_HANDLE service, std::string* file) {
  DWORD needed = 0;
  QueryServiceConfigA(service, nullptr, 0, &needed);
  std::vector<QUERY_SERVICE_CONFIGA> config(needed / sizeof(QUERY_SERVICE_CONFIGA) + 1);
  if (!QueryServiceConfigA(service, config.data(),
                           static_cast<DWORD>(config.size() * sizeof(QUERY_SERVICE_CONFIGA)),
                           &needed)) {
    return GetLastError();
  }
  *file = DriverFile(config[0].lpBinaryPathName != nullptr ? config[0].lpBinaryPathName : "");
  return 0;
}

// The driver file's bytes, read once; empty with why not in `refused` when
// they are not the driver image this program was built with (the whole
// file's SHA-256 against the one the build put in).
std::vector<uint8_t> BuiltDriver(const std::string& file, std::string* refused) {
  std::string error;
  std::vector<uint8_t> bytes = peimage::ReadFile(file, &error);
  if (bytes.empty()) {
    *refused = file + " cannot be read";
    return bytes;
  }
  const std::string hash = Sha256Hex(bytes);
  if (hash == BuiltDriverSha256()) return bytes;
  *refused = file + " is not the dimmio.sys this program was built with (its SHA-256 is " + hash +
             ", the one built with it " + BuiltDriverSha256() +
             "): put the dimmio.sys that came with it beside it";
  return {};
}

// The checked bytes written into place: what was checked is what is
// installed, whatever the file beside the program becomes meanwhile. 0, or
// the system's error.
DWORD PutInPlace(const std::vector<uint8_t>& bytes, const std::string& to) {
  const WriteOutcome written = GuardedFiles()(
      to, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
      WriteMode::Replace);
  if (written.Result == WriteOutcome::Written) return 0;
  return written.Error != 0 ? written.Error : ERROR_ACCESS_DENIED;
}

// The version resource of the driver file, or why there is none.
void ReadDriverVersion(DriverService::Installed* driver) {
  std::string error;
  const std::vector<uint8_t> bytes = peimage::ReadFile(driver->File, &error);
  std::optional<peimage::Image> image;
  if (!bytes.empty()) image = peimage::Parse(bytes, &error);
  std::optional<peimage::VersionInfo> info;
  if (image) info = peimage::ReadVersionInfo(bytes, *image, &error);
  if (info) {
    driver->Version = info->FileVersion;
  } else {
    driver->Problem = bytes.empty() ? "cannot be read"
                      : image       ? error
                                    : "not a driver image: " + error;
  }
}

class ScmService final : public DriverService {
 public:
  explicit ScmService(std::string driverFile) : file_(std::move(driverFile)) {}

  Outcome Install() override {
    if (GetFileAttributesA(file_.c_str()) == INVALID_FILE_ATTRIBUTES) {
      return {false, "cannot install the driver: the driver file is missing: " + file_ +
                         " (dimmio.sys belongs beside dimmio.exe)"};
    }
    std::string refused;
    const std::vector<uint8_t> driver = BuiltDriver(file_, &refused);
    if (driver.empty()) return {false, "cannot install the driver: " + refused};
    ServiceHandle scm(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!scm) return Failed("cannot install the driver", GetLastError());
    const std::string installed = SystemDriverFile();
    // A service that loads a file from anywhere else is pointed at the copy.
    ServiceHandle existing(
        OpenServiceA(scm.get(), kServiceName, SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG));
    std::string before;
    if (existing && ConfiguredFile(existing.get(), &before) == 0 && !SameFile(before, installed)) {
      if (const DWORD error = PutInPlace(driver, installed); error != 0) {
        return Failed("cannot repair the driver's service: cannot copy dimmio.sys to " + installed,
                      error);
      }
      if (!ChangeServiceConfigA(existing.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                SERVICE_NO_CHANGE, installed.c_str(), nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr)) {
        return Failed("cannot repair the driver's service", GetLastError());
      }
      return {true, "repaired the service dimmio: it loaded " + before + "; now " + installed +
                        ", copied from " + file_ + "; `dimmio driver start` starts it"};
    }
    if (!existing) {
      if (const DWORD error = PutInPlace(driver, installed); error != 0) {
        return Failed("cannot install the driver: cannot copy dimmio.sys to " + installed, error);
      }
    }
    ServiceHandle service(CreateServiceA(scm.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                         SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                         SERVICE_ERROR_NORMAL, installed.c_str(), nullptr, nullptr,
                                         nullptr, nullptr, nullptr));
    if (!service) {
      const DWORD error = GetLastError();
      if (error == ERROR_SERVICE_EXISTS) {
        return {false,
                "the driver is already installed as the service dimmio: `dimmio driver start` "
                "starts it, `dimmio driver remove` removes it"};
      }
      if (error == ERROR_SERVICE_MARKED_FOR_DELETE) {
        return {false,
                "the driver's service is still being removed: close the programs that use it "
                "(or restart Windows), then install again"};
      }
      return Failed("cannot install the driver", error);
    }
    return {true, "installed the driver as the kernel service dimmio from " + installed +
                      " (copied from " + file_ + "); `dimmio driver start` starts it"};
  }

  Outcome Start() override {
    Outcome failure{false, ""};
    ServiceHandle service =
        Open(SERVICE_START | SERVICE_QUERY_CONFIG, "cannot start the driver", &failure);
    if (!service) return failure;
    std::string file;
    const DWORD unread = ConfiguredFile(service.get(), &file);
    if (unread != 0) return Failed("the driver did not start", unread);
    if (!SameFile(file, SystemDriverFile())) {
      return {false, "the driver did not start: the service dimmio loads " + file + ", not " +
                         SystemDriverFile() +
                         ", where only administrators can replace it: `dimmio driver install` "
                         "beside dimmio.sys repairs it"};
    }
    if (!StartServiceA(service.get(), 0, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_SERVICE_ALREADY_RUNNING) return {true, "the driver is already running"};
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return {false,
                "the driver did not start: the driver file is missing where the service was "
                "installed from: `dimmio driver remove`, then `dimmio driver install` beside "
                "dimmio.sys"};
      }
      return Failed("the driver did not start", error);
    }
    return {true, "the driver is running: programs can open " DIMMIO_DEVICE_PATH};
  }

  Outcome Stop() override {
    Outcome failure{false, ""};
    ServiceHandle service = Open(SERVICE_STOP, "cannot stop the driver", &failure);
    if (!service) return failure;
    SERVICE_STATUS status{};
    if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
      const DWORD error = GetLastError();
      if (error == ERROR_SERVICE_NOT_ACTIVE) return {true, "the driver is not running"};
      return Failed("the driver did not stop", error);
    }
    return {true, "the driver is stopped"};
  }

  Outcome Remove() override {
    Outcome failure{false, ""};
    ServiceHandle service =
        Open(DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS, "cannot remove the driver", &failure);
    if (!service) return failure;
    SERVICE_STATUS status{};
    bool stopped = false;
    if (QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED) {
      if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        const DWORD error = GetLastError();
        if (error != ERROR_SERVICE_NOT_ACTIVE) {
          return Failed("cannot remove the driver: it did not stop", error);
        }
      }
      stopped = true;
    }
    if (!DeleteService(service.get())) {
      const DWORD error = GetLastError();
      if (error == ERROR_SERVICE_MARKED_FOR_DELETE) {
        return {true, "the driver's service is already being removed"};
      }
      return Failed("cannot remove the driver", error);
    }
    return {true, std::string(stopped ? "stopped the driver and " : "") +
                      "removed the service dimmio; the file " + SystemDriverFile() + " stays"};
  }

  Installed InstalledDriver() override {
    Installed driver;
    Outcome failure{false, ""};
    DWORD error = 0;
    ServiceHandle service =
        Open(SERVICE_QUERY_CONFIG, "cannot read the driver's service", &failure, &error);
    driver.Service = service || error != ERROR_SERVICE_DOES_NOT_EXIST;
    if (!service) {
      driver.Problem = failure.Message;
      return driver;
    }
    if (const DWORD error = ConfiguredFile(service.get(), &driver.File); error != 0) {
      driver.Problem = Failed("cannot read the driver's service", error).Message;
      return driver;
    }
    ReadDriverVersion(&driver);
    return driver;
  }

 private:
  // The installed service, opened for `access`; null with `failure` set (and
  // the system's error in `errorOut`).
  ServiceHandle Open(DWORD access, const std::string& what, Outcome* failure,
                     DWORD* errorOut = nullptr) {
    ServiceHandle scm(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm) {
      const DWORD error = GetLastError();
      if (errorOut != nullptr) *errorOut = error;
      *failure = Failed(what, error);
      return ServiceHandle(nullptr);
    }
    ServiceHandle service(OpenServiceA(scm.get(), kServiceName, access));
    if (!service) {
      const DWORD error = GetLastError();
      if (errorOut != nullptr) *errorOut = error;
      *failure = error == ERROR_SERVICE_DOES_NOT_EXIST
                     ? Outcome{false, what +
                                          ": the driver is not installed: `dimmio driver "
                                          "install` installs it"}
                     : Failed(what, error);
    }
    return service;
  }

  std::string file_;
};

}  // namespace

std::unique_ptr<DriverService> WindowsDriverService(std::string driverFile) {
  return std::make_unique<ScmService>(std::move(driverFile));
}

}  // namespace dimmio::cli
