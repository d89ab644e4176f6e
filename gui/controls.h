// Small helpers over the common controls: list views filled from rows, text
// boxes that show the tool's LF-ended text.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dimmio::gui {

// A child control of `parent` with the GUI font.
HWND Child(HWND parent, const char* windowClass, const char* text, DWORD style, int id);

// A report-mode list view: its columns (replacing any), then the rows.
void SetColumns(HWND list, const std::vector<std::string>& columns);
void SetRows(HWND list, const std::vector<std::vector<std::string>>& rows);

// `text` with each LF as CR LF, as the edit control and the clipboard want it.
std::string WindowsLines(const std::string& text);
void SetText(HWND edit, const std::string& text);

// Puts `text` on the clipboard; false when it is not free.
bool CopyText(HWND owner, const std::string& text);

}  // namespace dimmio::gui
