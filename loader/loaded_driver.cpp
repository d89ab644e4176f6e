#include "loader/loaded_driver.h"

#include <signal.h>
#include <strings.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "loader/imports.h"

namespace loader {

namespace {

// The image that is loaded, for the crash report.
std::atomic<const PeImage*> g_image{nullptr};

// A fault inside the image kills the test program; say where in the image it
// happened (an offset to look up in the image's disassembly) before it does.
void ReportCrash(int signal, siginfo_t* info, void* context) {
  const auto* uc = static_cast<const ucontext_t*>(context);
  const auto eip = static_cast<uint32_t>(uc->uc_mcontext.gregs[REG_EIP]);
  char text[160];
  int n;
  const PeImage* image = g_image.load();
  const auto base =
      image != nullptr ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(image->Base())) : 0;
  if (image != nullptr && eip >= base && eip - base < image->Size()) {
    n = std::snprintf(text, sizeof text,
                      "signal %d in the driver image at RVA 0x%X (preferred address 0x%X), "
                      "accessing 0x%X\n",
                      signal, eip - base, eip - base + image->PreferredBase(),
                      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info->si_addr)));
  } else {
    n = std::snprintf(text, sizeof text,
                      "signal %d outside the driver image at 0x%X, accessing 0x%X\n", signal, eip,
                      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info->si_addr)));
  }
  if (n > 0) (void)!write(2, text, static_cast<size_t>(n));
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void InstallCrashReport() {
  struct sigaction action {};
  action.sa_sigaction = &ReportCrash;
  action.sa_flags = SA_SIGINFO | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE}) sigaction(signal, &action, nullptr);
}

}  // namespace

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
  g_image.store(image_.get());
  InstallCrashReport();
  driver_.Type = ntlayout::kIoTypeDriver;
  driver_.Size = sizeof(nt::DriverObject);
  driver_.DriverStart = image_->Base();
  driver_.DriverSize = image_->Size();
  driver_.DriverName = {static_cast<uint16_t>(driverName_.size() * 2),
                        static_cast<uint16_t>(driverName_.size() * 2 + 2), driverName_.c_str()};
  driver_.DriverInit = image_->Base() + image_->EntryRva();
  for (nt::DispatchFn& routine : driver_.MajorFunction) routine = &Kernel::DefaultDispatch;
}

LoadedDriver::~LoadedDriver() {
  const PeImage* mine = image_.get();
  g_image.compare_exchange_strong(mine, nullptr);
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
