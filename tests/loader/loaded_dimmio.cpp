// The driver under test of the 32-bit tree: dimmio.sys itself, loaded into
// the loader's kernel over the simulated machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "driver/status.h"
#include "loader/kernel.h"
#include "loader/loaded_driver.h"
#include "support/driver_under_test.h"

namespace contract {

namespace {

const std::u16string kDevice = u"\\Device\\dimmio0";
const std::u16string kLink = u"\\??\\dimmio";

const char* ImportFor(StartFailure failure) {
  switch (failure) {
    case StartFailure::DeviceCreation: return "IoCreateDevice";
    case StartFailure::DeviceOpen: return "ObOpenObjectByPointer";
    case StartFailure::DeviceSecurity: return "ZwSetSecurityObject";
    case StartFailure::ThreadCreation: return "PsCreateSystemThread";
    case StartFailure::ThreadReference: return "ObReferenceObjectByHandle";
    case StartFailure::LinkCreation: return "IoCreateSymbolicLink";
  }
  return "";
}

class LoadedImage : public DriverUnderTest {
 public:
  explicit LoadedImage(sim::Machine& machine)
      : kernel_(std::make_unique<loader::Kernel>(machine)) {}
  LoadedImage(const LoadedImage&) = delete;
  LoadedImage& operator=(const LoadedImage&) = delete;

  std::string Name() const override { return "dimmio.sys in the loader"; }

  void FailNth(StartFailure failure, int32_t status, int nth) override {
    kernel_->FailImport(ImportFor(failure), status, nth);
  }

  uint64_t Calls(StartFailure failure) override { return kernel_->Calls(ImportFor(failure)); }

  void ReportKernelVersion(uint32_t major, uint32_t minor, uint32_t build) override {
    kernel_->version = {major, minor, build};
  }

  void AddForeignLink() override { kernel_->Names().AddLink(kLink, u"\\Device\\someone0"); }

  void RemoveForeignLink() override { kernel_->Names().Remove(kLink); }

  int32_t Start() override {
    std::string error;
    driver_ = loader::LoadedDriver::Load(*kernel_, DIMMIO_NT_IMAGE, &error);
    if (driver_ == nullptr) {
      ADD_FAILURE() << error;
      return -1;
    }
    const int32_t started = driver_->Start();
    if (started == STATUS_SUCCESS) {
      EXPECT_EQ(kernel_->Open(kLink, host::Caller::Administrator,
                              host::kGenericRead | host::kGenericWrite, &handle_),
                STATUS_SUCCESS);
    }
    return started;
  }

  int32_t OpenWhileStarting(StartPoint point, const std::u16string& name,
                            host::Caller caller) override {
    int32_t opened = STATUS_PENDING;
    const char* at =
        point == StartPoint::BeforeSecurity ? "ObOpenObjectByPointer" : "IoCreateSymbolicLink";
    kernel_->OnNextCall(at, [&, caller] {
      loader::Kernel::File file;
      opened = kernel_->Open(name, caller, host::kGenericRead | host::kGenericWrite, &file);
    });
    EXPECT_EQ(Start(), STATUS_SUCCESS);
    return opened;
  }

  bool Unload() override {
    if (driver_ == nullptr) return false;
    CloseAll();
    return driver_->Unload();
  }

  bool HasDevice() override { return kernel_->Names().Resolve(kDevice) != nullptr; }
  uint32_t DeviceCharacteristics() override {
    const nt::DeviceObject* device = kernel_->Names().Resolve(kDevice);
    return device != nullptr ? device->Characteristics : 0;
  }

  bool HasLink() override { return kernel_->Names().IsLink(kLink); }

  Ticket Submit(uint32_t code, const std::vector<uint8_t>& input, uint32_t outputLength,
                uint8_t fill) override {
    requests_.push_back(kernel_->DeviceControl(handle_, code, input, outputLength, fill));
    return requests_.size() - 1;
  }

  Reply Wait(Ticket ticket) override {
    const std::shared_ptr<loader::Request>& request = requests_.at(ticket);
    if (request == nullptr) {
      ADD_FAILURE() << "nothing answers to the link";
      return {};
    }
    const loader::Completion c = request->Wait();
    return Reply{c.status, c.dispatchStatus, c.information, c.output,
                 c.buffer, request->Sent(),  c.sequence};
  }

  int32_t Open(const std::u16string& name, host::Caller caller, uint32_t access,
               Handle* handle) override {
    loader::Kernel::File file;
    const int32_t status = kernel_->Open(name, caller, access, &file);
    if (status == 0) {
      files_.push_back(file);
      *handle = files_.size() - 1;
    }
    return status;
  }

  Ticket SubmitOn(Handle handle, uint32_t code, const std::vector<uint8_t>& input,
                  uint32_t outputLength) override {
    requests_.push_back(kernel_->DeviceControl(files_.at(handle), code, input, outputLength));
    return requests_.size() - 1;
  }

  int32_t Close(Handle handle) override {
    closed_.push_back(files_.at(handle).object);
    return kernel_->Close(files_.at(handle));
  }

  void EndProcess(const std::vector<Handle>& handles) override {
    std::vector<loader::Kernel::File> files;
    for (Handle h : handles) {
      files.push_back(files_.at(h));
      closed_.push_back(files_.at(h).object);
    }
    kernel_->EndProcess(files);
  }

  uint64_t Dispatched() override { return kernel_->Dispatched(); }
  std::vector<host::Ace> DeviceDacl() override { return kernel_->DeviceDacl(kDevice); }

  bool Completed(Ticket ticket) override {
    return requests_.at(ticket) != nullptr && requests_.at(ticket)->Done();
  }

  void WaitUntilStopSignalled() override {
    // Teardown sets the stop event and then waits for the worker's thread.
    while (kernel_->Calls("KeWaitForSingleObject") == 0) std::this_thread::yield();
  }

  FineClock FineClockRequests() override {
    const auto [made, outstanding] = kernel_->TimerRequests();
    return {made, outstanding};
  }

  std::vector<std::string> Problems() override {
    std::vector<std::string> problems = kernel_->Faults();
    if (driver_ != nullptr) {
      for (const std::string& left : kernel_->LeftBehind(driver_->Driver())) {
        problems.push_back("left behind: " + left);
      }
    }
    return problems;
  }

 private:
  // Declared first, so gone last: the kernel joins the image's threads
  // before the image goes away.
  std::unique_ptr<loader::LoadedDriver> driver_;
  std::unique_ptr<loader::Kernel> kernel_;
  std::vector<std::shared_ptr<loader::Request>> requests_;
  std::vector<loader::Kernel::File> files_;
  loader::Kernel::File handle_;  // opened at start; the one Submit sends through
  std::vector<void*> closed_;    // file objects of the handles closed

  // Closes the Start handle and every handle Open gave, unless closed already.
  void CloseAll() {
    std::vector<loader::Kernel::File> open = files_;
    open.push_back(handle_);
    for (const loader::Kernel::File& file : open) {
      if (file.object == nullptr ||
          std::find(closed_.begin(), closed_.end(), file.object) != closed_.end()) {
        continue;
      }
      closed_.push_back(file.object);
      kernel_->Close(file);
    }
  }
};

}  // namespace

std::unique_ptr<DriverUnderTest> MakeDriverUnderTest(sim::Machine& machine) {
  return std::make_unique<LoadedImage>(machine);
}

}  // namespace contract
