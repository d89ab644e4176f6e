// The driver's service through the Windows Service Control Manager: a kernel
// driver started on demand, its image the dimmio.sys beside the program.
#pragma once

#include <memory>
#include <string>

#include "driver_service.h"

namespace dimmio::cli {

// The service named "dimmio" whose image is `driverFile`.
std::unique_ptr<DriverService> WindowsDriverService(std::string driverFile);

}  // namespace dimmio::cli
