// The report model as one self-contained HTML page: no script and nothing
// fetched, readable on a phone and printable. The summary, the slot table,
// the modules side by side with the rows that differ marked, each module's
// decoded facts, timings and bytes (the checksum and CRC ranges shaded, the
// stored check bytes that fail marked), the SMBIOS and PCI sections. Every
// text from the hardware is escaped.
#pragma once

#include <ostream>
#include <string>

#include "file_writer.h"
#include "report_model.h"

namespace dimmio::cli {

void WriteReportHtml(const Report& report, std::ostream& out);

// The page written to `path` through `files`, in place of what it held; the
// tool's line when it is not written, else "".
std::string SaveReportHtml(const Report& report, const std::string& path, const FileWriter& files);

}  // namespace dimmio::cli
