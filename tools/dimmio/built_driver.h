// The driver image the build made beside the program: `driver install`
// installs that file and no other.
#pragma once

namespace dimmio::cli {

// Its SHA-256 as 64 lowercase hex digits, put into the program when it was
// built (cmake/embed_sha256.cmake).
const char* BuiltDriverSha256();

}  // namespace dimmio::cli
