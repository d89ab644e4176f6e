#include "fake_windows.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>

#include "aclapi.h"
#include "built_driver.h"
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
struct PlantedDeviceHandle : Handle {};
// A host file; or a symbolic link opened as itself (no descriptor), which
// the stand-in does not write through.
struct FileHandle : Handle {
  int Fd = -1;
  bool Link = false;
  ~FileHandle() override {
    if (Fd >= 0) close(Fd);
  }
};
struct MutexHandle : Handle {
  std::string Name;
  DWORD Access;
};

thread_local DWORD lastError = 0;

// A call's failure: `error` for GetLastError, and what the call returns.
template <typename Result = BOOL>
Result Fail(DWORD error, Result result = Result{}) {
  lastError = error;
  return result;
}

// The stand-in's object behind a handle, of type T; null for another.
template <typename T>
T* As(HANDLE handle) {
  return dynamic_cast<T*>(static_cast<Handle*>(handle));
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

// A folder's name into the caller's buffer: its length, or the size it
// needs when it does not fit.
UINT CopyOut(const char* folder, LPSTR path, UINT size) {
  const auto length = static_cast<UINT>(std::strlen(folder));
  if (size <= length) return length + 1;
  std::memcpy(path, folder, length + 1);
  return length;
}

// An access entry of a descriptor: allowed or denied `Mask` for the SID
// `Sid` ("S-1-1-0").
struct Ace {
  bool Allow;
  std::string Sid;
  unsigned long Mask;
};

// The groups of a user's token: Everyone, Authenticated Users, Users, the
// user's own SID, and Administrators for an elevated administrator.
std::vector<std::string> TokenSids(bool administrator) {
  std::vector<std::string> sids = {"S-1-1-0", "S-1-5-11", "S-1-5-32-545", "S-1-5-21-7-7-7-1000"};
  if (administrator) sids.push_back("S-1-5-32-544");
  return sids;
}

uint32_t Le(std::span<const uint8_t> b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

// The DACL of a self-relative descriptor, as the system reads it; false for
// a descriptor it refuses. `present` is false where there is no DACL.
bool ReadDacl(std::span<const uint8_t> d, std::vector<Ace>* aces, bool* present) {
  aces->clear();
  if (d.size() < 20 || d[0] != 1) return false;
  const uint32_t control = Le(d, 2, 2);
  if ((control & 0x8000) == 0) return false;  // SE_SELF_RELATIVE
  const uint32_t at = Le(d, 16, 4);
  *present = (control & 0x0004) != 0 && at != 0;  // SE_DACL_PRESENT
  if (!*present) return true;
  if (at + 8 > d.size() || d[at] != 2) return false;
  const uint32_t size = Le(d, at + 2, 2), count = Le(d, at + 4, 2);
  if (size < 8 || at + size > d.size()) return false;
  for (uint32_t i = 0, ace = at + 8; i < count; ++i) {
    if (ace + 8 > at + size) return false;
    const uint32_t aceSize = Le(d, ace + 2, 2);
    const uint32_t sid = ace + 8;
    if (aceSize < 16 || ace + aceSize > at + size || d[ace] > 1 || d[sid] != 1) return false;
    const uint32_t subs = d[sid + 1];
    if (8 + 8 + 4 * subs > aceSize) return false;
    uint64_t authority = 0;
    for (int k = 0; k < 6; ++k) authority = authority << 8 | d[sid + 2 + k];
    std::string text = "S-1-" + std::to_string(authority);
    for (uint32_t k = 0; k < subs; ++k) text += '-' + std::to_string(Le(d, sid + 8 + 4 * k, 4));
    aces->push_back({d[ace] == 0, text, Le(d, ace + 4, 4)});
    ace += aceSize;
  }
  return true;
}

// The system's check of `wanted` against a mutex's DACL: the entries in
// order, a denial of a right not yet granted refuses the open.
bool Granted(const Machine::Mutex& mutex, DWORD wanted, bool administrator) {
  if ((wanted & mutex.DeniedToAll) != 0) return false;
  const std::vector<uint8_t>& descriptor = mutex.Descriptor;
  std::vector<Ace> aces;
  bool present = false;
  if (descriptor.empty() || !ReadDacl(descriptor, &aces, &present) || !present) return true;
  const std::vector<std::string> sids = TokenSids(administrator);
  DWORD left = wanted;
  for (const Ace& ace : aces) {
    if (std::find(sids.begin(), sids.end(), ace.Sid) == sids.end()) continue;
    if (!ace.Allow && (ace.Mask & left) != 0) return false;
    if (ace.Allow) left &= ~ace.Mask;
  }
  return left == 0;
}

}  // namespace

bool MayOpen(const std::string& name, unsigned long access, bool administrator) {
  const auto found = TheMachine().Mutexes.find(name);
  return found != TheMachine().Mutexes.end() && Granted(found->second, access, administrator);
}

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
  const std::filesystem::path windows =
      std::filesystem::temp_directory_path() / ("dimmio-fakewin-" + std::to_string(getpid()));
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

const char* dimmio::cli::BuiltDriverSha256() {
  return TheMachine().BuiltDriverSha256.c_str();
}

DWORD GetLastError() {
  return fakewin::lastError;
}

void SetLastError(DWORD error) {
  fakewin::lastError = error;
}

DWORD FormatMessageA(DWORD flags, const void*, DWORD messageId, DWORD, LPSTR buffer, DWORD, void*) {
  const char* text = messageId == ERROR_FILE_NOT_FOUND
                         ? "The system cannot find the file specified.\r\n"
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

// As Windows Vista and later: a path that does not fit is cut to size - 1
// characters and the whole size returned.
DWORD GetModuleFileNameA(HMODULE, LPSTR path, DWORD size) {
  const std::string& program = TheMachine().ProgramPath;
  if (program.size() >= size) {
    std::memcpy(path, program.c_str(), size - 1);
    path[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(path, program.c_str(), program.size() + 1);
  return static_cast<DWORD>(program.size());
}

namespace {

// Called through the pointer GetProcAddress gives, of the type Windows declares.
BOOL SetDefaultDllDirectories(DWORD flags) {
  TheMachine().DefaultDllDirectories = flags;
  return TRUE;
}

BOOL SetDllDirectoryA(LPCSTR path) {
  TheMachine().DllDirectory = path == nullptr ? "null" : path;
  return TRUE;
}

int kernel32;

}  // namespace

HMODULE GetModuleHandleA(LPCSTR name) {
  if (std::strcmp(name, "kernel32.dll") != 0) return fakewin::Fail<HANDLE>(ERROR_FILE_NOT_FOUND);
  return &kernel32;
}

// Windows hands every export back as a FARPROC for the caller to cast to its
// own type; going through void (*)() says so to the compiler.
template <typename Function>
FARPROC AsFarProc(Function* f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  const fakewin::Machine& m = TheMachine();
  if (module == &kernel32 && m.HasSetDefaultDllDirectories &&
      std::strcmp(name, "SetDefaultDllDirectories") == 0) {
    return AsFarProc(&SetDefaultDllDirectories);
  }
  if (module == &kernel32 && m.HasSetDllDirectory && std::strcmp(name, "SetDllDirectoryA") == 0) {
    return AsFarProc(&SetDllDirectoryA);
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

DWORD GetFileAttributesA(LPCSTR path) {
  if (fakewin::FileExists(path)) return FILE_ATTRIBUTE_NORMAL;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_FILE_ATTRIBUTES;
}

UINT GetWindowsDirectoryA(LPSTR path, UINT size) {
  return fakewin::CopyOut("C:\\Windows", path, size);
}

UINT GetSystemDirectoryA(LPSTR path, UINT size) {
  return fakewin::CopyOut("C:\\windows\\system32", path, size);
}

// "\\.\dimmio" is looked up among the session's device names first, then the
// system's; "\\.\Global\dimmio" among the system's only.
HANDLE CreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  const bool local = std::strcmp(path, DIMMIO_DEVICE_PATH) == 0;
  if (local && TheMachine().PlantedLink)
    return static_cast<fakewin::Handle*>(new fakewin::PlantedDeviceHandle);
  if ((!local && std::strcmp(path, DIMMIO_GLOBAL_DEVICE_PATH) != 0) ||
      TheMachine().Driver == nullptr)
    return fakewin::Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  return static_cast<fakewin::Handle*>(new fakewin::DeviceHandle);
}

// The stand-in's code page: each byte one character.
int MultiByteToWideChar(UINT, DWORD, LPCSTR text, int length, LPWSTR wide, int wideLength) {
  const int count = length < 0 ? static_cast<int>(std::strlen(text)) + 1 : length;
  if (wideLength == 0) return count;
  if (wideLength < count) return fakewin::Fail(ERROR_INSUFFICIENT_BUFFER);
  for (int i = 0; i < count; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  return count;
}

// Host files by their names; a symbolic link on the host stands for any
// reparse point: followed unless opened as itself.
HANDLE CreateFileW(LPCWSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flags, HANDLE) {
  std::string name;
  for (const wchar_t* c = path; *c != 0; ++c) name += static_cast<char>(*c);
  // Only administrators write below C:\windows\; a loaded driver's file is in use.
  const fakewin::Machine& m = TheMachine();
  if (fakewin::HostPath(name) != name && !m.Administrator)
    return fakewin::Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  if (m.Driver != nullptr && fakewin::HostPath(name) == fakewin::HostPath(m.ImagePath))
    return fakewin::Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
  name = fakewin::HostPath(name);
  struct stat link;
  const bool exists = lstat(name.c_str(), &link) == 0;
  if (disposition == CREATE_NEW && exists)
    return fakewin::Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
  auto* file = new fakewin::FileHandle;
  if (exists && S_ISLNK(link.st_mode) && (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0) {
    file->Link = true;
    return static_cast<fakewin::Handle*>(file);
  }
  int how = O_WRONLY;
  if (disposition == CREATE_NEW) how |= O_CREAT | O_EXCL;
  if (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS) how |= O_CREAT;
  if (disposition == CREATE_ALWAYS) how |= O_TRUNC;
  file->Fd = open(name.c_str(), how, 0644);
  if (file->Fd < 0) {
    const int error = errno;
    delete file;
    SetLastError(error == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return static_cast<fakewin::Handle*>(file);
}

BOOL GetFileInformationByHandle(HANDLE handle, BY_HANDLE_FILE_INFORMATION* info) {
  auto* file = fakewin::As<fakewin::FileHandle>(handle);
  if (file == nullptr) return fakewin::Fail(ERROR_INVALID_HANDLE);
  *info = BY_HANDLE_FILE_INFORMATION{};
  if (file->Link) {
    info->dwFileAttributes = FILE_ATTRIBUTE_REPARSE_POINT;
    info->nNumberOfLinks = 1;
    return TRUE;
  }
  struct stat st;
  if (fstat(file->Fd, &st) != 0) return fakewin::Fail(ERROR_ACCESS_DENIED);
  info->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  info->nFileSizeLow = static_cast<DWORD>(st.st_size);
  return TRUE;
}

DWORD SetFilePointer(HANDLE handle, long distance, long*, DWORD method) {
  auto* file = fakewin::As<fakewin::FileHandle>(handle);
  if (file == nullptr || file->Fd < 0 || method != FILE_BEGIN)
    return fakewin::Fail(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
  return static_cast<DWORD>(lseek(file->Fd, distance, SEEK_SET));
}

BOOL SetEndOfFile(HANDLE handle) {
  auto* file = fakewin::As<fakewin::FileHandle>(handle);
  if (file == nullptr || file->Fd < 0) return fakewin::Fail(ERROR_ACCESS_DENIED);
  return ftruncate(file->Fd, lseek(file->Fd, 0, SEEK_CUR)) == 0
             ? TRUE
             : fakewin::Fail(ERROR_ACCESS_DENIED);
}

BOOL WriteFile(HANDLE handle, const void* bytes, DWORD length, LPDWORD written, LPOVERLAPPED) {
  auto* file = fakewin::As<fakewin::FileHandle>(handle);
  *written = 0;
  if (file == nullptr || file->Fd < 0) return fakewin::Fail(ERROR_ACCESS_DENIED);
  const ssize_t wrote = write(file->Fd, bytes, length);
  if (wrote < 0) return fakewin::Fail(ERROR_ACCESS_DENIED);
  *written = static_cast<DWORD>(wrote);
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  if (auto* mutex = fakewin::As<fakewin::MutexHandle>(handle)) {
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

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name) {
  auto& mutexes = TheMachine().Mutexes;
  const auto found = mutexes.find(name);
  if (found == mutexes.end() && GlobalRefused(name))
    return fakewin::Fail<HANDLE>(ERROR_ACCESS_DENIED);
  // An existing mutex is opened with every right, which its maker may deny.
  if (found != mutexes.end() &&
      !fakewin::Granted(found->second, MUTEX_ALL_ACCESS, TheMachine().Administrator))
    return fakewin::Fail<HANDLE>(ERROR_ACCESS_DENIED);
  std::vector<uint8_t> descriptor;
  if (found == mutexes.end() && security != nullptr && security->lpSecurityDescriptor != nullptr) {
    // The descriptor's length is what its DACL says; the system reads no further.
    const auto* bytes = static_cast<const uint8_t*>(security->lpSecurityDescriptor);
    descriptor.assign(bytes, bytes + 20);
    const uint32_t at = fakewin::Le(descriptor, 16, 4);
    if (at >= 20 && at < 4096) {
      descriptor.assign(bytes, bytes + at + 4);
      descriptor.assign(bytes, bytes + at + fakewin::Le(descriptor, at + 2, 2));
    }
    std::vector<fakewin::Ace> aces;
    bool present = false;
    if (!fakewin::ReadDacl(descriptor, &aces, &present))
      return fakewin::Fail<HANDLE>(ERROR_INVALID_SECURITY_DESCR);
  }
  fakewin::Machine::Mutex& mutex = mutexes[name];
  if (found == mutexes.end()) {
    mutex.Descriptor = descriptor;
    mutex.Maker = fakewin::kProgramAccount;
  }
  if (initialOwner && !mutex.OtherHolds) {
    mutex.ProgramHolds = true;
    ++mutex.Recursion;
  }
  return MutexHandleFor(name, MUTEX_ALL_ACCESS);
}

HANDLE OpenMutexA(DWORD access, BOOL, LPCSTR name) {
  const auto& mutexes = TheMachine().Mutexes;
  const auto found = mutexes.find(name);
  if (found == mutexes.end()) return fakewin::Fail<HANDLE>(ERROR_FILE_NOT_FOUND);
  if (!fakewin::Granted(found->second, access, TheMachine().Administrator))
    return fakewin::Fail<HANDLE>(ERROR_ACCESS_DENIED);
  return MutexHandleFor(name, access);
}

// The owner, where the handle may read the descriptor: a block holding the
// maker's account, which LookupAccountSidA reads back.
DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID* owner,
                      PSID*, void**, void**, PSECURITY_DESCRIPTOR* descriptor) {
  auto* mutexHandle = fakewin::As<fakewin::MutexHandle>(handle);
  if (mutexHandle == nullptr || type != SE_KERNEL_OBJECT || what != OWNER_SECURITY_INFORMATION) {
    return ERROR_INVALID_PARAMETER;
  }
  if ((mutexHandle->Access & READ_CONTROL) == 0) return ERROR_ACCESS_DENIED;
  const std::string& maker = TheMachine().Mutexes[mutexHandle->Name].Maker;
  char* block = static_cast<char*>(std::malloc(maker.size() + 1));
  std::memcpy(block, maker.c_str(), maker.size() + 1);
  *owner = block;
  *descriptor = block;
  return ERROR_SUCCESS;
}

BOOL LookupAccountSidA(LPCSTR, PSID sid, LPSTR name, LPDWORD nameLength, LPSTR domain,
                       LPDWORD domainLength, SID_NAME_USE* use) {
  const std::string account = static_cast<const char*>(sid);
  const size_t slash = account.find('\\');
  const std::string d = slash == std::string::npos ? "" : account.substr(0, slash);
  const std::string n = slash == std::string::npos ? account : account.substr(slash + 1);
  if (n.size() >= *nameLength || d.size() >= *domainLength)
    return fakewin::Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(name, n.c_str(), n.size() + 1);
  std::memcpy(domain, d.c_str(), d.size() + 1);
  *nameLength = static_cast<DWORD>(n.size());
  *domainLength = static_cast<DWORD>(d.size());
  *use = 1;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto* mutexHandle = fakewin::As<fakewin::MutexHandle>(handle);
  if (mutexHandle == nullptr || (mutexHandle->Access & SYNCHRONIZE) == 0)
    return fakewin::Fail(ERROR_ACCESS_DENIED, WAIT_FAILED);
  fakewin::Machine::Mutex& mutex = TheMachine().Mutexes[mutexHandle->Name];
  if (mutex.WaitFails) return fakewin::Fail(ERROR_INVALID_HANDLE, WAIT_FAILED);
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
  auto* mutexHandle = fakewin::As<fakewin::MutexHandle>(handle);
  if (mutexHandle == nullptr) return fakewin::Fail(ERROR_INVALID_PARAMETER);
  fakewin::Machine::Mutex& mutex = TheMachine().Mutexes[mutexHandle->Name];
  if (!mutex.ProgramHolds) return fakewin::Fail(ERROR_NOT_OWNER);
  if (--mutex.Recursion == 0) mutex.ProgramHolds = false;
  return TRUE;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputLength, LPVOID output,
                     DWORD outputLength, LPDWORD returned, LPOVERLAPPED) {
  if (fakewin::As<fakewin::PlantedDeviceHandle>(device) != nullptr) {
    ++TheMachine().PlantedRequests;
    *returned = 0;
    return fakewin::Fail(ERROR_GEN_FAILURE);
  }
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
    return fakewin::Fail<SC_HANDLE>(ERROR_ACCESS_DENIED);
  }
  return new SC_HANDLE__{true, access};
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
  if (!manager->Manager) return fakewin::Fail<SC_HANDLE>(ERROR_INVALID_PARAMETER);
  if (!TheMachine().Installed || std::strcmp(name, "dimmio") != 0) {
    return fakewin::Fail<SC_HANDLE>(ERROR_SERVICE_DOES_NOT_EXIST);
  }
  if (!TheMachine().Administrator &&
      (access & (SERVICE_START | SERVICE_STOP | SERVICE_CHANGE_CONFIG | DELETE))) {
    return fakewin::Fail<SC_HANDLE>(ERROR_ACCESS_DENIED);
  }
  return new SC_HANDLE__{false, access};
}

SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR, DWORD access, DWORD serviceType,
                         DWORD startType, DWORD, LPCSTR binaryPath, LPCSTR, LPDWORD, LPCSTR, LPCSTR,
                         LPCSTR) {
  fakewin::Machine& m = TheMachine();
  if (!manager->Manager || (manager->Access & SC_MANAGER_CREATE_SERVICE) == 0 ||
      std::strcmp(name, "dimmio") != 0) {
    return fakewin::Fail<SC_HANDLE>(ERROR_ACCESS_DENIED);
  }
  if (m.MarkedForDelete) return fakewin::Fail<SC_HANDLE>(ERROR_SERVICE_MARKED_FOR_DELETE);
  if (m.Installed) return fakewin::Fail<SC_HANDLE>(ERROR_SERVICE_EXISTS);
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
  *config = QUERY_SERVICE_CONFIGA{m.ServiceType, m.StartType, SERVICE_ERROR_NORMAL,
                                  path,          nullptr,     0,
                                  nullptr,       nullptr,     nullptr};
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
