// dimmio-requests send FILE: each line of FILE is "CODE INPUT OUTPUT-LENGTH"
// (code in hex, input as hex bytes or -); each answer is one line "STATUS
// INFORMATION OUTPUT" (status in hex, the first INFORMATION bytes of the
// output buffer in hex or -). The status is the kernel's, not a Win32 error.
// send-read does the same through a handle opened for reading alone.
//
// dimmio-requests cancel FILE: sends every request of FILE at once, without
// waiting, then cancels what is still pending on the handle (CancelIo) and
// prints each answer line once it has ended. close FILE sends them the same
// way, then closes the handle and ends without waiting for them.
//
// dimmio-requests gone SECONDS: waits up to SECONDS for the service dimmio to
// stop, then prints "stopped|running DEVICE LINK", the statuses of opening
// \Device\dimmio0 and \??\dimmio.
//
// dimmio-requests keep SYS: puts the service dimmio into the group of the
// service dimmio-keeper (created for the driver file SYS if missing) and
// starts the keeper, so that Wine's driver host of that group outlives
// dimmio.sys; prints "kept".
//
// dimmio-requests hold WAIT_MS HOLD_MS: another hardware tool, on dimmio.exe's
// own named-mutex code: takes the SMBus lock (waiting up to WAIT_MS), prints
// "took", holds it HOLD_MS and lets go; exit 3 when another held it throughout.
//
// dimmio-requests window-rows: waits up to 60 s for dimmio-gui's window to
// have ended its read (its title says so), then prints its slot list as the
// list control holds it: "columns" and the headers, then "row" and the cells
// of each row, tab-separated. The texts are read from the window's process.
// dimmio-requests window-close: asks the window to close.
#include <windows.h>
#include <commctrl.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "window_ids.h"
#include "windows_bus_locks.h"

namespace {

std::vector<unsigned char> FromHex(const std::string& text) {
  std::vector<unsigned char> bytes;
  for (size_t i = 0; text != "-" && i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<unsigned char>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// One request of a FILE line, its buffers and its answer.
struct Request {
  unsigned long code = 0;
  std::vector<unsigned char> input, output;
  unsigned long outputLength = 0;
  IO_STATUS_BLOCK io{};
  HANDLE done = nullptr;  // signalled when it has ended
};

std::vector<Request> ReadRequests(const char* file) {
  std::vector<Request> requests;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string code, input;
    Request request;
    fields >> code >> input >> request.outputLength;
    request.code = std::stoul(code, nullptr, 16);
    request.input = FromHex(input);
    request.output.assign(request.outputLength + 1, 0xEE);
    requests.push_back(std::move(request));
  }
  return requests;
}

// Starts the request; returns its status (STATUS_PENDING while it runs).
NTSTATUS Issue(HANDLE device, Request& request) {
  return NtDeviceIoControlFile(device, request.done, nullptr, nullptr, &request.io, request.code,
                               request.input.empty() ? nullptr : request.input.data(),
                               static_cast<ULONG>(request.input.size()),
                               request.outputLength == 0 ? nullptr : request.output.data(),
                               request.outputLength);
}

void PrintAnswer(NTSTATUS status, const Request& request) {
  std::printf("%08lx %llu ", static_cast<unsigned long>(status),
              static_cast<unsigned long long>(request.io.Information));
  for (ULONG_PTR i = 0; i < request.io.Information && i < request.outputLength; ++i) {
    std::printf("%02x", request.output[i]);
  }
  std::printf(request.io.Information == 0 ? "-\n" : "\n");
}

HANDLE OpenDevice(DWORD access, DWORD flags) {
  HANDLE device = CreateFileA("\\\\.\\dimmio", access, 0, nullptr, OPEN_EXISTING, flags, nullptr);
  if (device == INVALID_HANDLE_VALUE) std::printf("cannot open the device: %lu\n", GetLastError());
  return device;
}

// How FILE's requests go: one by one, or all at once, without waiting, and
// then what is still pending cancelled or the handle closed under them.
enum class Way { OneByOne, CancelAtOnce, CloseAtOnce };

// Each answer line printed once its request has ended; "closed" when the
// handle was closed under them.
int Send(const char* file, DWORD access, Way way) {
  const bool atOnce = way != Way::OneByOne;
  HANDLE device = OpenDevice(access, atOnce ? FILE_FLAG_OVERLAPPED : 0);
  if (device == INVALID_HANDLE_VALUE) return 1;
  std::vector<Request> requests = ReadRequests(file);
  std::vector<NTSTATUS> started;
  for (Request& request : requests) {
    if (atOnce) request.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    started.push_back(Issue(device, request));
  }
  if (way == Way::CloseAtOnce) {
    CloseHandle(device);
    std::printf("closed\n");
    return 0;
  }
  if (way == Way::CancelAtOnce) CancelIo(device);
  for (size_t i = 0; i < requests.size(); ++i) {
    if (started[i] == STATUS_PENDING) WaitForSingleObject(requests[i].done, INFINITE);
    PrintAnswer(started[i] == STATUS_PENDING ? requests[i].io.Status : started[i], requests[i]);
  }
  CloseHandle(device);
  return 0;
}

NTSTATUS OpenStatus(const wchar_t* path) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, path);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS status = NtOpenFile(&handle, FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  if (status >= 0) CloseHandle(handle);
  return status;
}

int Gone(int seconds) {
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = scm ? OpenServiceA(scm, "dimmio", SERVICE_QUERY_STATUS) : nullptr;
  SERVICE_STATUS status{};
  bool stopped = false;
  for (int tries = 0; service != nullptr && !stopped; ++tries) {
    stopped = QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOPPED;
    if (stopped || tries >= seconds * 10) break;
    Sleep(100);
  }
  if (service) CloseServiceHandle(service);
  if (scm) CloseServiceHandle(scm);
  std::printf("%s %08lx %08lx\n", stopped ? "stopped" : "running",
              static_cast<unsigned long>(OpenStatus(L"\\Device\\dimmio0")),
              static_cast<unsigned long>(OpenStatus(L"\\??\\dimmio")));
  return 0;
}

int Keep(const char* sys) {
  const char kGroup[] = "dimmio test";
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (scm == nullptr) return 1;
  SC_HANDLE dimmio = OpenServiceA(scm, "dimmio", SERVICE_CHANGE_CONFIG);
  const bool grouped =
      dimmio != nullptr &&
      ChangeServiceConfigA(dimmio, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                           kGroup, nullptr, nullptr, nullptr, nullptr, nullptr);
  SC_HANDLE keeper = OpenServiceA(scm, "dimmio-keeper", SERVICE_START);
  if (keeper == nullptr) {
    keeper = CreateServiceA(scm, "dimmio-keeper", "dimmio-keeper", SERVICE_START,
                            SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, sys,
                            kGroup, nullptr, nullptr, nullptr, nullptr);
  }
  const bool started = keeper != nullptr && (StartServiceA(keeper, 0, nullptr) ||
                                             GetLastError() == ERROR_SERVICE_ALREADY_RUNNING);
  if (!grouped || !started) std::printf("cannot keep: %lu\n", GetLastError());
  for (SC_HANDLE h : {dimmio, keeper, scm}) {
    if (h) CloseServiceHandle(h);
  }
  if (grouped && started) std::printf("kept\n");
  return grouped && started ? 0 : 1;
}

int Hold(const char* waitMs, const char* holdMs) {
  const auto locks = dimmio::cli::NamedMutexBusLocks(std::strtoul(waitMs, nullptr, 10));
  const dimmio::BusHold hold(locks.get(), {dimmio::Bus::Smbus});
  if (!hold.Held()) return 3;
  std::printf("took\n");
  std::fflush(stdout);
  Sleep(std::strtoul(holdMs, nullptr, 10));
  return 0;
}

constexpr SIZE_T kText = 512;

// A buffer in the window's process for a request whose answer the list
// control writes through a pointer.
class RemoteBuffer {
 public:
  explicit RemoteBuffer(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
    if (process_ != nullptr) {
      at_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    }
  }
  ~RemoteBuffer() {
    if (at_ != nullptr) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  bool Ok() const { return at_ != nullptr; }

  // The text the list control writes for `message` with a structure `T`
  // whose `field` is `value` and whose text is the remote text buffer.
  template <typename T, typename F, typename V>
  std::string Ask(HWND list, UINT message, WPARAM w, F T::*field, V value) {
    T request{};
    request.*field = static_cast<F>(value);
    request.pszText = at_ + 1024;
    request.cchTextMax = static_cast<int>(kText);
    WriteProcessMemory(process_, at_, &request, sizeof request, nullptr);
    SendMessageA(list, message, w, reinterpret_cast<LPARAM>(at_));
    char text[kText + 1] = {};
    ReadProcessMemory(process_, at_ + 1024, text, kText, nullptr);
    return text;
  }

 private:
  HANDLE process_ = nullptr;
  char* at_ = nullptr;
};

int Rows() {
  HWND window = nullptr;
  for (int i = 0; i < 600 && window == nullptr; ++i) {
    window = FindWindowA(DIMMIO_GUI_CLASS, DIMMIO_GUI_TITLE);
    if (window == nullptr) Sleep(100);
  }
  if (window == nullptr) {
    std::printf("no window\n");
    return 1;
  }
  const HWND list = GetDlgItem(window, IDC_SLOTS);
  RemoteBuffer remote(window);
  if (list == nullptr || !remote.Ok()) {
    std::printf("no list\n");
    return 1;
  }
  const auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const auto columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  std::printf("columns");
  for (int c = 0; c < columns; ++c)
    std::printf("\t%s", remote.Ask(list, LVM_GETCOLUMNA, c, &LVCOLUMNA::mask, LVCF_TEXT).c_str());
  std::printf("\n");
  const auto rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    std::printf("row");
    for (int c = 0; c < columns; ++c)
      std::printf("\t%s", remote.Ask(list, LVM_GETITEMTEXTA, row, &LVITEMA::iSubItem, c).c_str());
    std::printf("\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const DWORD both = GENERIC_READ | GENERIC_WRITE;
  if (command == "send" && argc == 3) return Send(argv[2], both, Way::OneByOne);
  if (command == "send-read" && argc == 3) return Send(argv[2], GENERIC_READ, Way::OneByOne);
  if (command == "cancel" && argc == 3) return Send(argv[2], both, Way::CancelAtOnce);
  if (command == "close" && argc == 3) return Send(argv[2], both, Way::CloseAtOnce);
  if (command == "gone" && argc == 3) return Gone(std::atoi(argv[2]));
  if (command == "keep" && argc == 3) return Keep(argv[2]);
  if (command == "hold" && argc == 4) return Hold(argv[2], argv[3]);
  if (command == "window-rows" && argc == 2) return Rows();
  if (command == "window-close" && argc == 2) {
    const HWND window = FindWindowA(DIMMIO_GUI_CLASS, nullptr);
    return window != nullptr && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  std::fprintf(stderr,
               "usage: dimmio-requests send|send-read|cancel|close FILE | gone SECONDS | keep SYS "
               "| hold WAIT_MS HOLD_MS | window-rows | window-close\n");
  return 2;
}
