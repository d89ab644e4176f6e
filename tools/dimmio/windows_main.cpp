// dimmio.exe: the command line over the installed driver.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "windows_target.h"

int main(int argc, char** argv) {
  dimmio::cli::LoadDllsFromTheSystemFolderOnly();
  const std::vector<std::string> args(argv + 1, argv + argc);
  dimmio::cli::Target target = dimmio::cli::WindowsMachine();
  // The console's text mode would turn each 0x0A byte into 0x0D 0x0A.
  target.BinaryOutput = [] {
    std::cout.flush();
    _setmode(_fileno(stdout), _O_BINARY);
  };
  try {
    return dimmio::cli::Run(args, target, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "dimmio: " << e.what() << '\n';
    return dimmio::cli::kExitFailed;
  }
}
