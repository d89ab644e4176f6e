// Files the elevated tool writes where a user may control the folder. The
// name is opened as itself (FILE_FLAG_OPEN_REPARSE_POINT): a symbolic link,
// junction or mount point planted under it is the handle's file, not where
// it leads, and is refused; so is a file with a second name (a hard link to
// a file elsewhere). What the file held is cut only once it has passed.
#include "windows_files.h"

#include <windows.h>

#include <string>

namespace dimmio::cli {

namespace {

std::wstring Wide(const std::string& path) {
  const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (length <= 0) return L"";
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
  wide.pop_back();  // the terminator
  return wide;
}

// Why the open file is not to be written, or "".
std::string Refusal(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return "not written: what it is cannot be read";
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    return "not written: the name is a link (a reparse point: a symbolic link, junction or mount "
           "point) "
           "to somewhere else";
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "not written: it is a folder";
  if (info.nNumberOfLinks > 1) {
    return "not written: the file has " + std::to_string(info.nNumberOfLinks) +
           " names (hard links), and the others would change with it";
  }
  return "";
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !SetEndOfFile(file))
    return false;
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

WriteOutcome Write(const std::string& path, std::string_view bytes, WriteMode mode) {
  const std::wstring wide = Wide(path);
  if (wide.empty()) return {WriteOutcome::Failed, ""};
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr,
                                  mode == WriteMode::New ? CREATE_NEW : OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (mode == WriteMode::New && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)) {
      return {WriteOutcome::Exists, "exists"};
    }
    return {WriteOutcome::Failed, "", error};
  }
  const std::string refusal = Refusal(file);
  const bool written = refusal.empty() && WriteAll(file, bytes);
  const DWORD error = written ? 0 : GetLastError();
  const bool closed = CloseHandle(file) != 0;
  if (!refusal.empty()) return {WriteOutcome::Refused, refusal};
  return written && closed ? WriteOutcome{WriteOutcome::Written, ""}
                           : WriteOutcome{WriteOutcome::Failed, "", error};
}

}  // namespace

FileWriter GuardedFiles() {
  return Write;
}

}  // namespace dimmio::cli
