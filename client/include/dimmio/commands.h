// The plain-text commands of the small Windows client, over any transport:
// "spd 0", "probe 1", "pci", "config 0 31 3", "sysinfo", ...
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "dimmio/client.h"

namespace dimmio {

// The usage text listing every command.
std::string CommandUsage(const std::string& program);

// Runs one command (`args` without the program name); writes the result to
// `out` and complaints to `err`. Returns the process exit code: 0 done,
// 1 the request failed, 2 the command line was not understood.
int RunCommand(Client& client, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);

}  // namespace dimmio
