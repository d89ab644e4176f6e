// A second hardware tool for the wine tests: takes the SMBus lock through the
// same named-mutex code as dimmio.exe, holds it, and lets go (or ends while
// holding it). Prints the system's tick count (ms) at each step:
//   started S / took T (or busy T) / released R
//   lock_holder WAIT_MS HOLD_MS [--die-holding]
// Exit 0 when it took the lock, 3 when another held it throughout.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "windows_bus_locks.h"

namespace {

void Say(const char* what) {
  std::printf("%s %lu\n", what, static_cast<unsigned long>(GetTickCount()));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const auto waitMs = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10));
  const auto holdMs = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
  const bool die = argc > 3 && std::strcmp(argv[3], "--die-holding") == 0;
  const auto locks = dimmio::cli::NamedMutexBusLocks(waitMs);
  Say("started");
  {
    dimmio::BusHold hold(locks.get(), {dimmio::Bus::Smbus});
    Say(hold.Held() ? "took" : "busy");
    if (!hold.Held()) return 3;
    Sleep(holdMs);
    if (die) ExitProcess(0);  // the system abandons the mutex
  }
  Say("released");
  return 0;
}
