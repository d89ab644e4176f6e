// The simulated Windows machine behind the stand-in Win32 calls of
// <windows.h> (this folder): a program path, whether the user is an
// administrator, the service manager's record of the dimmio service, and,
// while the service runs, the driver loaded on a simulated board, its device
// open to CreateFileA and DeviceIoControl.
#pragma once

#include <memory>
#include <string>

#include "inprocess/inprocess_transport.h"
#include "sim/board.h"

namespace fakewin {

struct Machine {
  const sim::Board* Board = nullptr;
  bool Administrator = true;
  std::string ProgramPath;  // what GetModuleFileNameA gives

  // The service record, as CreateServiceA left it.
  bool Installed = false;
  std::string ImagePath;
  unsigned long ServiceType = 0, StartType = 0;
  bool MarkedForDelete = false;  // deleted while running: goes when it stops

  // The running driver; null while the service is stopped.
  std::unique_ptr<dimmio::InProcessTransport> Driver;
  // What the last unload's watch of the requests and leak check found ("" = all well).
  std::string UnloadFindings;
};

Machine& TheMachine();

// A fresh machine on `board`: nothing installed, nothing running.
void Reset(const sim::Board& board, const std::string& programPath);
// Loads and unloads the driver as starting and stopping its service does.
bool LoadDriver();
void UnloadDriver();

}  // namespace fakewin
