// The Windows tool's way of writing the files a user names (file_writer.h).
#pragma once

#include "file_writer.h"

namespace dimmio::cli {

// Opens each name as itself, refuses a link or a file with more than one
// name, and replaces what a file held only then.
FileWriter GuardedFiles();

}  // namespace dimmio::cli
