// The driver's life on a machine where the tool can install it: the `driver`
// command's four actions. Each gives what happened, or why not, in one line.
#pragma once

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
};

}  // namespace dimmio::cli
