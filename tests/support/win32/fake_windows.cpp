#include "fake_windows.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>

#include "dimmio/dimmio.h"
#include "windows.h"

struct SC_HANDLE__ {
  bool Manager;
  DWORD Access;
};

namespace fakewin {

namespace {

struct Handle {
  virtual ~Handle() = default;
};
struct DeviceHandle : Handle {};
struct MutexHandle : Handle {
  std::string Name;
  DWORD Access;
};

thread_local DWORD lastError = 0;

BOOL Fail(DWORD error) {
  lastError = error;
  return FALSE;
}

SC_HANDLE FailHandle(DWORD error) {
  lastError = error;
  return nullptr;
}

// What the system hands DeviceIoControl's caller for the driver's failure
// statuses.
DWORD ErrorFor(uint32_t status) {
  switch (status) {
    case DIMMIO_STATUS_UNSUCCESSFUL: return ERROR_GEN_FAILURE;
    case DIMMIO_STATUS_NOT_IMPLEMENTED: return ERROR_INVALID_FUNCTION;
    case DIMMIO_STATUS_INVALID_PARAMETER: return ERROR_INVALID_PARAMETER;
    case DIMMIO_STATUS_INSUFFICIENT_RESOURCES: return ERROR_NO_SYSTEM_RESOURCES;
    case DIMMIO_STATUS_CANCELLED: return ERROR_OPERATION_ABORTED;
    default: return ERROR_MR_MID_NOT_FOUND;
  }
}

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(HostPath(path).c_str(), &info) == 0;
}

constexpr char kSystemDirectory[] = "C:\\windows\\system32";

}  // namespace

Machine& TheMachine() {
  static Machine machine;
  return machine;
}

void Reset(const sim::Board& board, const std::string& programPath) {
  UnloadDriver();
  Machine& m = TheMachine();
  m = Machine{};
  m.Board = &board;
  m.ProgramPath = programPath;
  const std::filesystem::path windows = std::filesystem::temp_directory_path() /
                                        ("dimmio-fakewin-" + std::to_string(getpid()));
  std::filesystem::remove_all(windows);
  std::filesystem::create_directories(windows / "system32" / "drivers");
  m.WindowsFolder = windows.string();
}

std::string HostPath(const std::string& path) {
  constexpr char kWindows[] = "c:\\windows\\";
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.rfind(kWindows, 0) != 0) return path;
  std::string rest = lower.substr(sizeof kWindows - 1);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return TheMachine().WindowsFolder + '/' + rest;
}

bool LoadDriver() {
  Machine& m = TheMachine();
  std::string error;
  m.Driver = dimmio::InProcessTransport::Open(*m.Board, &error);
  return m.Driver != nullptr;
}

void UnloadDriver() {
  Machine& m = TheMachine();
  if (m.Driver == nullptr) return;
  m.UnloadFindings = m.Driver->Close() + MutexLeftovers();
  m.Driver.reset();
  if (m.MarkedForDelete) m.Installed = m.MarkedForDelete = false;
}

std::string MutexLeftovers() {
  std::string found;
  for (const auto& [name, mutex] : TheMachine().Mutexes) {
    if (mutex.ProgramHolds) found += name + " still held; ";
    if (mutex.ProgramHandles != 0) found += name + " handle not closed; ";
  }
  return found;
}

}  // namespace fakewin

using fakewin::TheMachine;

DWORD GetLastError() { return fakewin::lastError; }

void SetLastError(DWORD error) { fakewin::lastError = error; }

DWORD FormatMessageA(DWORD flags, const void*, DWORD messageId, DWORD, LPSTR buffer, DWORD,
                     void*) {
  const char* text = messageId == ERROR_FILE_NOT_FOUND ? "The system cannot find the file specified.\r\n"
                     : messageId == ERROR_ACCESS_DENIED ? "Access is denied.\r\n"
                                                        : nullptr;
  if (text == nullptr || (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) == 0) return 0;
  char* copy = static_cast<char*>(std::malloc(std::strlen(text) + 1));
  std::strcpy(copy, text);
  *reinterpret_cast<char**>(buffer) = copy;
  return static_cast<DWORD>(std::strlen(text));
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}

DWORD GetModuleFileNameA(HMODULE, LPSTR path, DWORD size) {
  const std::string& program = TheMachine().ProgramPath;
  if (program.size() >= size) return 0;
  std::memcpy(path, program.c_str(), program.size() + 1);
  return static_cast<DWORD>(program.size());
}

DWORD GetFileAttributesA(LPCSTR path) {
  if (fakewin::FileExists(path)) return FILE_ATTRIBUTE_NORMAL;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_FILE_ATTRIBUTES;
}

UINT GetWindowsDirectoryA(LPSTR path, UINT size) {
  constexpr char kWindows[] = "C:\\Windows";
  if (size < sizeof kWindows) return sizeof kWindows;
  std::memcpy(path, kWindows, sizeof kWindows);
  return sizeof kWindows - 1;
}

UINT GetSystemDirectoryA(LPSTR path, UINT size) {
  if (size < sizeof fakewin::kSystemDirectory) return sizeof fakewin::kSystemDirectory;
  std::memcpy(path, fakewin::kSystemDirectory, sizeof fakewin::kSystemDirectory);
  return sizeof fakewin::kSystemDirectory - 1;
}

// Only administrators write below C:\windows\; a loaded driver's file is in use.
BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists) {
  fakewin::Machine& m = TheMachine();
  const std::string target = fakewin::HostPath(to);
  if (target != to && !m.Administrator) return fakewin::Fail(ERROR_ACCESS_DENIED);
  if (m.Driver != nullptr && target == fakewin::HostPath(m.ImagePath)) {
    return fakewin::Fail(ERROR_SHARING_VIOLATION);
  }
  if (!fakewin::FileExists(from)) return fakewin::Fail(ERROR_FILE_NOT_FOUND);
  if (failIfExists && fakewin::FileExists(to)) return fakewin::Fail(ERROR_FILE_EXISTS);
  std::error_code error;
  std::filesystem::copy_file(fakewin::HostPath(from), target,
                             std::filesystem::copy_options::overwrite_existing, error);
  return error ? fakewin::Fail(ERROR_PATH_NOT_FOUND) : TRUE;
}

HANDLE CreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  if (std::strcmp(path, DIMMIO_DEVICE_PATH) != 0 || TheMachine().Driver == nullptr) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return static_cast<fakewin::Handle*>(new fakewin::DeviceHandle);
}

BOOL CloseHandle(HANDLE handle) {
  if (auto* mutex = dynamic_cast<fakewin::MutexHandle*>(static_cast<fakewin::Handle*>(handle))) {
    --TheMachine().Mutexes[mutex->Name].ProgramHandles;
  }
  delete static_cast<fakewin::Handle*>(handle);
  return TRUE;
}

namespace {

bool GlobalRefused(const std::string& name) {
  return TheMachine().GlobalRefused && name.rfind("Global\\", 0) == 0;
}

HANDLE MutexHandleFor(const std::string& name, DWORD access) {
  ++TheMachine().Mutexes[name].ProgramHandles;
  auto* handle = new fakewin::MutexHandle;
  handle->Name = name;
  handle->Access = access;
  return static_cast<fakewin::Handle*>(handle);
}

}  // namespace

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  auto& mutexes = TheMachine().Mutexes;
  const auto found = mutexes.find(name);
  if (found == mutexes.end() && GlobalRefused(name)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  // An existing mutex is opened with every right, which its maker may deny.
  if (found != mutexes.end() && found->second.OthersOnlyWait) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  fakewin::Machine::Mutex& mutex = mutexes[name];
  if (initialOwner && !mutex.OtherHolds) {
    mutex.ProgramHolds = true;
    ++mutex.Recursion;
  }
  return MutexHandleFor(name, MUTEX_ALL_ACCESS);
}

HANDLE OpenMutexA(DWORD access, BOOL, LPCSTR name) {
  const auto& mutexes = TheMachine().Mutexes;
  const auto found = mutexes.find(name);
  if (found == mutexes.end()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  if (found->second.OthersOnlyWait && (access & ~SYNCHRONIZE) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return MutexHandleFor(name, access);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto* mutexHandle = dynamic_cast<fakewin::MutexHandle*>(static_cast<fakewin::Handle*>(handle));
  if (mutexHandle == nullptr || (mutexHandle->Access & SYNCHRONIZE) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return WAIT_FAILED;
  }
  fakewin::Machine::Mutex& mutex = TheMachine().Mutexes[mutexHandle->Name];
  if (mutex.OtherHolds) {
    // Nobody else runs while the program waits: the whole time-out passes.
    TheMachine().BlockedWaits.emplace_back(mutexHandle->Name, milliseconds);
    return WAIT_TIMEOUT;
  }
  mutex.ProgramHolds = true;
  ++mutex.Recursion;
  if (mutex.Abandoned) {
    mutex.Abandoned = false;
    return WAIT_ABANDONED;
  }
  return WAIT_OBJECT_0;
}

BOOL ReleaseMutex(HANDLE handle) {
  auto* mutexHandle = dynamic_cast<fakewin::MutexHandle*>(static_cast<fakewin::Handle*>(handle));
  if (mutexHandle == nullptr) return fakewin::Fail(ERROR_INVALID_PARAMETER);
  fakewin::Machine::Mutex& mutex = TheMachine().Mutexes[mutexHandle->Name];
  if (!mutex.ProgramHolds) return fakewin::Fail(ERROR_NOT_OWNER);
  if (--mutex.Recursion == 0) mutex.ProgramHolds = false;
  return TRUE;
}

BOOL DeviceIoControl(HANDLE, DWORD code, LPVOID input, DWORD inputLength, LPVOID output,
                     DWORD outputLength, LPDWORD returned, LPOVERLAPPED) {
  dimmio::InProcessTransport* driver = TheMachine().Driver.get();
  if (driver == nullptr) return fakewin::Fail(ERROR_GEN_FAILURE);
  const dimmio::ControlReply reply = driver->Control(
      code, std::span(static_cast<const uint8_t*>(input), inputLength), outputLength);
  *returned = 0;
  if (!reply.Completed) return fakewin::Fail(fakewin::ErrorFor(reply.Error));
  *returned = static_cast<DWORD>(std::min<size_t>(reply.Output.size(), outputLength));
  if (*returned > 0) std::memcpy(output, reply.Output.data(), *returned);
  return TRUE;
}

SC_HANDLE OpenSCManagerA(LPCSTR, LPCSTR, DWORD access) {
  if (!TheMachine().Administrator && (access & SC_MANAGER_CREATE_SERVICE)) {
    return fakewin::FailHandle(ERROR_ACCESS_DENIED);
  }
  return new SC_HANDLE__{true, access};
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
  if (!manager->Manager) return fakewin::FailHandle(ERROR_INVALID_PARAMETER);
  if (!TheMachine().Installed || std::strcmp(name, "dimmio") != 0) {
    return fakewin::FailHandle(ERROR_SERVICE_DOES_NOT_EXIST);
  }
  if (!TheMachine().Administrator && (access & (SERVICE_START | SERVICE_STOP | SERVICE_CHANGE_CONFIG | DELETE))) {
    return fakewin::FailHandle(ERROR_ACCESS_DENIED);
  }
  return new SC_HANDLE__{false, access};
}

SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR, DWORD access, DWORD serviceType,
                         DWORD startType, DWORD, LPCSTR binaryPath, LPCSTR, LPDWORD, LPCSTR,
                         LPCSTR, LPCSTR) {
  fakewin::Machine& m = TheMachine();
  if (!manager->Manager || (manager->Access & SC_MANAGER_CREATE_SERVICE) == 0 ||
      std::strcmp(name, "dimmio") != 0) {
    return fakewin::FailHandle(ERROR_ACCESS_DENIED);
  }
  if (m.MarkedForDelete) return fakewin::FailHandle(ERROR_SERVICE_MARKED_FOR_DELETE);
  if (m.Installed) return fakewin::FailHandle(ERROR_SERVICE_EXISTS);
  m.Installed = true;
  m.ImagePath = binaryPath;
  m.ServiceType = serviceType;
  m.StartType = startType;
  return new SC_HANDLE__{false, access};
}

BOOL StartServiceA(SC_HANDLE service, DWORD, LPCSTR*) {
  fakewin::Machine& m = TheMachine();
  if ((service->Access & SERVICE_START) == 0) return fakewin::Fail(ERROR_ACCESS_DENIED);
  if (m.Driver != nullptr) return fakewin::Fail(ERROR_SERVICE_ALREADY_RUNNING);
  if (!fakewin::FileExists(m.ImagePath)) return fakewin::Fail(ERROR_FILE_NOT_FOUND);
  return fakewin::LoadDriver() ? TRUE : fakewin::Fail(ERROR_GEN_FAILURE);
}

BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
  if ((service->Access & SERVICE_STOP) == 0) return fakewin::Fail(ERROR_ACCESS_DENIED);
  if (control != SERVICE_CONTROL_STOP) return fakewin::Fail(ERROR_INVALID_PARAMETER);
  if (TheMachine().Driver == nullptr) return fakewin::Fail(ERROR_SERVICE_NOT_ACTIVE);
  fakewin::UnloadDriver();
  *status = SERVICE_STATUS{SERVICE_KERNEL_DRIVER, SERVICE_STOPPED, 0, 0, 0, 0, 0};
  return TRUE;
}

BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
  if ((service->Access & SERVICE_QUERY_STATUS) == 0) return fakewin::Fail(ERROR_ACCESS_DENIED);
  const DWORD state = TheMachine().Driver != nullptr ? SERVICE_RUNNING : SERVICE_STOPPED;
  *status = SERVICE_STATUS{SERVICE_KERNEL_DRIVER, state, 0, 0, 0, 0, 0};
  return TRUE;
}

// The record as the service manager gives it: the structure, then its strings.
BOOL QueryServiceConfigA(SC_HANDLE service, LPQUERY_SERVICE_CONFIGA config, DWORD size,
                         LPDWORD needed) {
  if ((service->Access & SERVICE_QUERY_CONFIG) == 0) return fakewin::Fail(ERROR_ACCESS_DENIED);
  const fakewin::Machine& m = TheMachine();
  *needed = static_cast<DWORD>(sizeof(QUERY_SERVICE_CONFIGA) + m.ImagePath.size() + 1);
  if (size < *needed) return fakewin::Fail(ERROR_INSUFFICIENT_BUFFER);
  char* path = reinterpret_cast<char*>(config + 1);
  std::memcpy(path, m.ImagePath.c_str(), m.ImagePath.size() + 1);
  *config = QUERY_SERVICE_CONFIGA{m.ServiceType, m.StartType, SERVICE_ERROR_NORMAL, path,
                                  nullptr, 0, nullptr, nullptr, nullptr};
  return TRUE;
}

BOOL ChangeServiceConfigA(SC_HANDLE service, DWORD, DWORD, DWORD, LPCSTR binaryPath, LPCSTR,
                          LPDWORD, LPCSTR, LPCSTR, LPCSTR, LPCSTR) {
  if ((service->Access & SERVICE_CHANGE_CONFIG) == 0) return fakewin::Fail(ERROR_ACCESS_DENIED);
  if (binaryPath != nullptr) TheMachine().ImagePath = binaryPath;
  return TRUE;
}

BOOL DeleteService(SC_HANDLE service) {
  if ((service->Access & DELETE) == 0) return fakewin::Fail(ERROR_ACCESS_DENIED);
  fakewin::Machine& m = TheMachine();
  if (m.MarkedForDelete) return fakewin::Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
  // A running driver's service is only marked: it goes when it stops.
  if (m.Driver != nullptr) {
    m.MarkedForDelete = true;
  } else {
    m.Installed = false;
  }
  return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
  delete handle;
  return TRUE;
}
