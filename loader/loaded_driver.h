// A driver image loaded into the host kernel: mapped, relocated, every import
// bound, and given a driver object. Start() runs its entry point; Unload()
// its unload routine, after which nothing of it may remain in the kernel.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "loader/kernel.h"
#include "loader/pe_image.h"

namespace loader {

class LoadedDriver {
 public:
  // Null with `error` naming what is wrong: not an image the loader can
  // place, or an import it does not implement (by name and module).
  static std::unique_ptr<LoadedDriver> Load(Kernel& kernel, const std::string& path,
                                            std::string* error);

  // Calls the entry point as the platform's thread does, with the driver
  // object and a registry path.
  int32_t Start();
  // Calls the unload routine the driver installed, once no handle the kernel
  // opened is left open (the stop waits until then); false when it installed
  // none.
  bool Unload();

  nt::DriverObject* Driver() { return &driver_; }
  const PeImage& Image() const { return *image_; }

 private:
  LoadedDriver(Kernel& kernel, std::unique_ptr<PeImage> image);

  Kernel& kernel_;
  std::unique_ptr<PeImage> image_;
  nt::DriverObject driver_{};
  std::u16string registryPath_;
  nt::UnicodeString registryString_{};
  std::u16string driverName_;
};

}  // namespace loader
