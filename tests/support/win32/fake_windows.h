// The simulated Windows machine behind the stand-in Win32 calls of
// <windows.h> (this folder): a program path, whether the user is an
// administrator, the service manager's record of the dimmio service, and,
// while the service runs, the driver loaded on a simulated board, its device
// open to CreateFileA and DeviceIoControl.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "inprocess/inprocess_transport.h"
#include "sim/board.h"

namespace fakewin {

struct Machine {
  const sim::Board* Board = nullptr;
  bool Administrator = true;
  std::string ProgramPath;  // what GetModuleFileNameA gives
  // What this Windows' kernel32 exports of the DLL search calls, and what
  // the program asked of them (0 / "unset" when it did not call them).
  bool HasSetDefaultDllDirectories = true, HasSetDllDirectory = true;
  unsigned long DefaultDllDirectories = 0;
  std::string DllDirectory = "unset";
  // Where the files below C:\windows\ are kept on this host (a folder of
  // its own for each process): the system folder, System32\drivers.
  std::string WindowsFolder;

  // The SHA-256 of the dimmio.sys the program was built with.
  std::string BuiltDriverSha256 = DIMMIO_STAND_IN_DRIVER_SHA256;

  // The service record, as CreateServiceA left it.
  bool Installed = false;
  std::string ImagePath;
  unsigned long ServiceType = 0, StartType = 0;
  bool MarkedForDelete = false;  // deleted while running: goes when it stops

  // Named mutexes by their full name ("Global\\..."). The program is the
  // one process that calls the stand-in; another program holds or abandons
  // one through the functions below.
  struct Mutex {
    bool ProgramHolds = false;
    int Recursion = 0;
    bool OtherHolds = false;
    bool Abandoned = false;  // its holder ended without releasing it
    int ProgramHandles = 0;
    // The security descriptor its maker gave it, self-relative (empty: none,
    // every access granted), checked at each open; the rights another
    // maker's descriptor denies everyone (a service that lets others only
    // wait, a program that keeps them out); and its maker's account.
    std::vector<uint8_t> Descriptor;
    unsigned long DeniedToAll = 0;
    std::string Maker = "WORKSTATION\\other";
    bool WaitFails = false;  // a wait on it fails outright (WAIT_FAILED)
  };
  std::map<std::string, Mutex> Mutexes;
  bool GlobalRefused = false;  // a user who may not create Global\ objects
  // Each wait that found a mutex held by another program: name and time-out.
  std::vector<std::pair<std::string, unsigned long>> BlockedWaits;

  // A link named dimmio that a user planted among the device names of the
  // program's session, to a device of theirs: "\\.\dimmio" opens it; and
  // the requests it was sent.
  bool PlantedLink = false;
  int PlantedRequests = 0;

  // The running driver; null while the service is stopped.
  std::unique_ptr<dimmio::InProcessTransport> Driver;
  // What the last unload's watch of the requests and leak check found ("" = all well).
  std::string UnloadFindings;
};

Machine& TheMachine();

// A fresh machine on `board`: nothing installed, nothing running.
void Reset(const sim::Board& board, const std::string& programPath);
// The host file of a path the program names: C:\windows\... is kept in the
// machine's WindowsFolder, anything else is the host's own path.
std::string HostPath(const std::string& path);
// Loads and unloads the driver as starting and stopping its service does.
bool LoadDriver();
void UnloadDriver();
// The program's account, the maker of the mutexes it creates.
constexpr char kProgramAccount[] = "WORKSTATION\\admin";

// Whether a program of a user (`administrator`: elevated, in the
// Administrators group) opening the mutex `name` for `access` gets it, as
// the system checks the mutex's DACL; false also for one that does not exist.
bool MayOpen(const std::string& name, unsigned long access, bool administrator);

// What the program leaves of the mutexes after a command ("" = nothing):
// one it still holds or a handle it did not close.
std::string MutexLeftovers();

}  // namespace fakewin
