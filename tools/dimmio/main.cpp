// dimmio on the host: the command line over the driver loaded on a
// simulated board in this process.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "host_target.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return dimmio::cli::Run(args, dimmio::cli::SimulatedBoards(), std::cout, std::cerr);
  } catch (...) {
    // Run reports its own; this is what is left (the boards, the arguments).
    std::cerr << "dimmio: internal error before the command ran\n";
    return dimmio::cli::kExitFailed;
  }
}
