#include "loader/loaded_driver.h"

#include <strings.h>

#include "loader/imports.h"

namespace loader {

std::unique_ptr<LoadedDriver> LoadedDriver::Load(Kernel& kernel, const std::string& path,
                                                 std::string* error) {
  const std::vector<uint8_t> file = ReadFile(path, error);
  if (file.empty()) return nullptr;
  std::unique_ptr<PeImage> image = PeImage::Map(file, error);
  if (image == nullptr) {
    *error = path + ": " + *error;
    return nullptr;
  }
  std::string unknown;
  for (const ImportSlot& slot : image->Imports()) {
    const KnownImport* known = FindImport(slot.name);
    if (known == nullptr) {
      unknown += (unknown.empty() ? "" : ", ") + slot.name + " (" + slot.module + ")";
      continue;
    }
    // The kernel exports each call from one module; an image that expects it
    // elsewhere would not load on the platform either.
    if (strcasecmp(known->module, slot.module.c_str()) != 0) {
      unknown += (unknown.empty() ? "" : ", ") + slot.name + " (" + slot.module + ", exported by " +
                 known->module + ")";
      continue;
    }
    image->Bind(slot, known->function);
  }
  if (!unknown.empty()) {
    *error = path + ": imports the loader does not implement: " + unknown;
    return nullptr;
  }
  return std::unique_ptr<LoadedDriver>(new LoadedDriver(kernel, std::move(image)));
}

LoadedDriver::LoadedDriver(Kernel& kernel, std::unique_ptr<PeImage> image)
    : kernel_(kernel), image_(std::move(image)) {
  driverName_ = u"\\Driver\\dimmio";
  registryPath_ = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\dimmio";
  registryString_ = {static_cast<uint16_t>(registryPath_.size() * 2),
                     static_cast<uint16_t>(registryPath_.size() * 2 + 2), registryPath_.c_str()};
  driver_.Type = nt::kIoTypeDriver;
  driver_.Size = sizeof(nt::DriverObject);
  driver_.DriverStart = image_->Base();
  driver_.DriverSize = image_->Size();
  driver_.DriverName = {static_cast<uint16_t>(driverName_.size() * 2),
                        static_cast<uint16_t>(driverName_.size() * 2 + 2), driverName_.c_str()};
  driver_.DriverInit = image_->Base() + image_->EntryRva();
  for (nt::DispatchFn& routine : driver_.MajorFunction) routine = &Kernel::DefaultDispatch;
}

int32_t LoadedDriver::Start() {
  auto entry = reinterpret_cast<nt::DriverEntryFn>(image_->Base() + image_->EntryRva());
  const int32_t status = entry(&driver_, &registryString_);
  if (status == 0) kernel_.EntryReturned(&driver_);
  return status;
}

bool LoadedDriver::Unload() {
  if (driver_.DriverUnload == nullptr) return false;
  kernel_.WaitUntilNoHandleIsOpen();
  driver_.DriverUnload(&driver_);
  return true;
}

}  // namespace loader
