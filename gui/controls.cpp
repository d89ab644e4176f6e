#include "controls.h"

#include <commctrl.h>

#include <cstring>

namespace dimmio::gui {

HWND Child(HWND parent, const char* windowClass, const char* text, DWORD style, int id) {
  const HWND control = CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0,
                                       0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               TRUE);
  return control;
}

void SetColumns(HWND list, const std::vector<std::string>& columns) {
  while (SendMessageA(list, LVM_DELETECOLUMN, 0, 0)) {
  }
  for (size_t i = 0; i < columns.size(); ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(columns[i].c_str());
    column.cx = 90;
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
}

void SetRows(HWND list, const std::vector<std::vector<std::string>>& rows) {
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      LVITEMA item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(r);
      item.iSubItem = static_cast<int>(c);
      item.pszText = const_cast<char*>(rows[r][c].c_str());
      SendMessageA(list, c == 0 ? LVM_INSERTITEMA : LVM_SETITEMTEXTA, r,
                   reinterpret_cast<LPARAM>(&item));
    }
  }
  // Each column as wide as its widest cell or its header, once there are cells.
  const int columns = static_cast<int>(SendMessageA(
      reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
  for (int c = 0; c < columns; ++c) {
    SendMessageA(list, LVM_SETCOLUMNWIDTH, c, rows.empty() ? 90 : LVSCW_AUTOSIZE_USEHEADER);
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

std::string WindowsLines(const std::string& text) {
  std::string lines;
  for (char c : text) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  return lines;
}

void SetText(HWND edit, const std::string& text) {
  SetWindowTextA(edit, WindowsLines(text).c_str());
}

bool CopyText(HWND owner, const std::string& text) {
  const std::string lines = WindowsLines(text);
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, lines.size() + 1);
  bool copied = false;
  if (memory != nullptr) {
    std::memcpy(GlobalLock(memory), lines.c_str(), lines.size() + 1);
    GlobalUnlock(memory);
    copied = SetClipboardData(CF_TEXT, memory) != nullptr;
    if (!copied) GlobalFree(memory);
  }
  CloseClipboard();
  return copied;
}

}  // namespace dimmio::gui
