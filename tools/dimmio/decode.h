// The decoded view of an SPD image, for a slot read now or a dump saved
// earlier (`dimmio decode FILE...`).
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "dimmio/spd.h"
#include "file_writer.h"

namespace dimmio::cli {

// The decoded listing of an image read from offset 0 (`facts`, decoded from
// `bytes`); for a module that is not decoded, its bytes follow as a hex dump.
void PrintSpdDecode(const SpdFacts& facts, std::span<const uint8_t> bytes, std::ostream& out);

// Decodes each file (a hex dump, i2cdump output or raw 128/256 bytes). A file
// that holds no image gives one line on `err` naming it and the problem; the
// others are still decoded. Exit code: 0, or 2 when any file was bad.
// `sideBySide`: the decoded files as one table, a column per file (with
// `json`: {"files": [...], "side_by_side": {...}}). `html`, when not empty:
// the decoded files as one HTML page written there through `writer` as well
// (exit 1 when it is not written).
int DecodeFiles(const std::vector<std::string>& files, bool json, bool sideBySide,
                const std::string& html, const FileWriter& writer, std::ostream& out,
                std::ostream& err);

}  // namespace dimmio::cli
