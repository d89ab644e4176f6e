// dimmio.exe: the Windows command-line client of the driver.
#include <iostream>
#include <string>
#include <vector>

#include "dimmio/commands.h"
#include "windows/windows_transport.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "help" || args[0] == "-h" || args[0] == "--help") {
    std::cout << dimmio::CommandUsage("dimmio");
    return args.empty() ? 2 : 0;
  }
  std::string error;
  auto transport = dimmio::WindowsTransport::Open(&error);
  if (!transport) {
    std::cerr << error << '\n';
    return 1;
  }
  dimmio::Client client(*transport);
  return dimmio::RunCommand(client, args, std::cout, std::cerr);
}
