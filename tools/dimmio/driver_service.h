// The driver's life on a machine where the tool can install it: the `driver`
// command's four actions. Each gives what happened, or why not, in one line.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace dimmio::cli {

class DriverService {
 public:
  struct Outcome {
    bool Done;
    std::string Message;
  };

  virtual ~DriverService() = default;
  virtual Outcome Install() = 0;  // registers the driver file as a kernel service
  virtual Outcome Start() = 0;    // loads it: the device opens
  virtual Outcome Stop() = 0;     // unloads it
  virtual Outcome Remove() = 0;   // stops it if it runs, then unregisters it

  // The installed driver: its file and the version the file's resource holds.
  struct Installed {
    bool Service = false;  // the service is installed
    std::string File;      // its driver file, as the program opens it ("" when unknown)
    std::optional<std::array<uint16_t, 4>> Version;  // major, minor, patch, build
    std::string Problem;                             // why there is no version
  };
  virtual Installed InstalledDriver() = 0;
};

}  // namespace dimmio::cli
