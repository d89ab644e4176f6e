# Writes OUT, a source that gives the SHA-256 of IMAGE (the dimmio.sys this
# build made) to the program built with it: cmake -DIMAGE=... -DOUT=... -P.
file(SHA256 "${IMAGE}" hash)
file(WRITE "${OUT}" "// Made by cmake/embed_sha256.cmake from ${IMAGE}.\n"
                    "#include \"built_driver.h\"\n\n"
                    "const char* dimmio::cli::BuiltDriverSha256() { return \"${hash}\"; }\n")
