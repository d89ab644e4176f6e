// What the window's Save writes: the report as text, JSON or HTML, and each
// module's bytes as a binary file or as i2cdump-style text, one file a slot.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "file_writer.h"
#include "report_model.h"

namespace dimmio::gui {

enum class SaveKind { Text, Json, Html, Binary, I2cdump };

// `kind` by its command-line name ("text", "json", "html", "bin", "i2cdump");
// false for any other.
bool SaveKindNamed(const std::string& name, SaveKind* kind);

// A module's file beside `path`: "dump.bin" for slot 2 is "dump-slot2.bin".
std::string SlotFile(const std::string& path, uint8_t slot);

// Bytes as i2cdump prints a device's registers: a header line, sixteen a
// line after the offset, and the printable ones as characters.
std::string I2cdumpText(std::span<const uint8_t> bytes);

// Writes `report` to `path` through `files`, in place of what it held (its
// name was chosen, and a replacement confirmed, by the user), or each slot's
// bytes to a file a slot beside it, for the slots that gave bytes: each made new, an existing one
// replaced only where `replace` (asked with its name) says so. Text in CR LF lines. The error in
// the tool's words (what was refused and why), or "" when saved.
std::string Save(const Report& report, SaveKind kind, const std::string& path,
                 const cli::FileWriter& files,
                 const std::function<bool(const std::string&)>& replace);

}  // namespace dimmio::gui
