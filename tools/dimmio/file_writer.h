// How the tool writes a file a user named (the HTML page, the window's
// saves). On Windows the tool runs elevated, and the folder a user picks may
// be one another user controls: there a name is opened as itself, never
// followed through a link, and a file that is a link or has more than one
// name is refused before anything is written (windows_files.cpp).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace dimmio::cli {

enum class WriteMode {
  Replace,  // the file, made or in place of what it held
  New,      // only where nothing has the name yet
};

struct WriteOutcome {
  enum Kind { Written, Exists, Refused, Failed } Result;
  std::string Why;          // for a refusal: what was refused and why, after the file's name
  unsigned long Error = 0;  // where the system said why it failed: its error
};

// Writes the whole of `bytes` to `path`.
using FileWriter =
    std::function<WriteOutcome(const std::string& path, std::string_view bytes, WriteMode mode)>;

// The host's files: written through the C++ library.
FileWriter PlainFiles();

// The tool's line for a file not written: "dimmio: FILE: cannot be written",
// or the refusal's reason; "" for one written.
std::string NotWritten(const std::string& path, const WriteOutcome& outcome);

}  // namespace dimmio::cli
