// dimmio-gui-probe rows: waits up to 60 s for dimmio-gui's window to have
// ended its read (its title says so), then prints its slot list as the list
// control holds it: "columns" and the headers, then "row" and the cells of
// each row, tab-separated. The texts are read from the window's process.
// dimmio-gui-probe close: asks the window to close.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "window_ids.h"

namespace {

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
  if (argc == 2 && std::strcmp(argv[1], "rows") == 0) return Rows();
  if (argc == 2 && std::strcmp(argv[1], "close") == 0) {
    const HWND window = FindWindowA(DIMMIO_GUI_CLASS, nullptr);
    return window != nullptr && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  std::printf("use: dimmio-gui-probe rows|close\n");
  return 2;
}
