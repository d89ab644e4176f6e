// The driver under test of the host build: the core with the host binding,
// loaded by the host I/O manager.
#include <gtest/gtest.h>

#include <thread>
#include <utility>

#include "driver/device_extension.h"
#include "driver/driver_entry.h"
#include "platform/host/host_kernel.h"
#include "platform/host/io_manager.h"
#include "support/driver_under_test.h"

namespace contract {

namespace {

// The host kernel's fault point behind each start-up failure, in the
// order of StartFailure.
host::Fault FaultFor(StartFailure failure) {
  constexpr host::Fault kFaults[] = {host::Fault::CreateDevice,    host::Fault::OpenDevice,
                                     host::Fault::SetSecurity,     host::Fault::CreateThread,
                                     host::Fault::ReferenceThread, host::Fault::CreateLink};
  return kFaults[static_cast<int>(failure)];
}

class HostBuild : public DriverUnderTest {
 public:
  explicit HostBuild(sim::Machine&) : clockAtStart_(host::FineClockRequests()) {}
  ~HostBuild() override { host::ClearFaults(); }

  std::string Name() const override { return "host build"; }

  void FailNth(StartFailure failure, int32_t status, int nth) override {
    host::FailNext(FaultFor(failure), status, nth);
  }

  uint64_t Calls(StartFailure failure) override { return host::FaultPointCalls(FaultFor(failure)); }

  void ReportKernelVersion(uint32_t, uint32_t, uint32_t) override {}

  void AddForeignLink() override { io_.AddForeignLink(kLinkName, u"\\Device\\someone0"); }
  void RemoveForeignLink() override { io_.RemoveLink(kLinkName); }

  int32_t Start() override {
    const NtStatus status = io_.Load(&DriverEntry);
    if (status != STATUS_SUCCESS) return status;
    const host::IoManager::OpenResult opened = io_.Open(kLinkName);
    EXPECT_EQ(opened.Status, STATUS_SUCCESS);
    device_ = opened.Device;
    handle_ = opened.Handle;
    return status;
  }

  int32_t OpenWhileStarting(StartPoint point, const std::u16string& name,
                            host::Caller caller) override {
    int32_t opened = STATUS_PENDING;
    auto open = [&, caller] {
      opened = io_.Open(name, caller, host::kGenericRead | host::kGenericWrite).Status;
    };
    if (point == StartPoint::BeforeSecurity) {
      io_.OnNextSecurityChange(open);
    } else {
      io_.OnNextLinkCreation(open);
    }
    EXPECT_EQ(Start(), STATUS_SUCCESS);
    return opened;
  }

  bool Unload() override {
    if (!io_.Loaded()) return false;
    CloseAll();
    const bool installed = io_.Driver()->DriverUnload != nullptr;
    io_.Stop();
    return installed;
  }

  bool HasDevice() override { return io_.HasDevice(kDeviceName); }
  uint32_t DeviceCharacteristics() override { return device_->Characteristics; }
  bool HasLink() override { return io_.HasLink(kLinkName); }

  Ticket Submit(uint32_t code, const std::vector<uint8_t>& input, uint32_t outputLength,
                uint8_t fill) override {
    requests_.push_back(io_.Submit(handle_, code, input, outputLength, fill));
    return requests_.size() - 1;
  }

  Reply Wait(Ticket ticket) override {
    host::Request* request = requests_.at(ticket);
    const host::RequestResult r = io_.Wait(request);
    std::vector<uint8_t> sent(request->Original.begin(),
                              request->Original.begin() + request->BufferLength);
    std::vector<uint8_t> buffer(r.SystemBuffer.begin(),
                                r.SystemBuffer.begin() + request->BufferLength);
    return Reply{r.Status, r.Returned, r.Information, r.Output, buffer, sent, r.CompletionSequence};
  }

  bool Completed(Ticket ticket) override { return io_.Completed(requests_.at(ticket)); }

  int32_t Open(const std::u16string& name, host::Caller caller, uint32_t access,
               Handle* handle) override {
    const host::IoManager::OpenResult opened = io_.Open(name, caller, access);
    if (opened.Status == STATUS_SUCCESS) {
      files_.push_back(opened.Handle);
      *handle = files_.size() - 1;
    }
    return opened.Status;
  }

  Ticket SubmitOn(Handle handle, uint32_t code, const std::vector<uint8_t>& input,
                  uint32_t outputLength) override {
    requests_.push_back(io_.Submit(files_.at(handle), code, input, outputLength));
    return requests_.size() - 1;
  }

  int32_t Close(Handle handle) override { return io_.Close(Take(handle)); }

  void EndProcess(const std::vector<Handle>& handles) override {
    std::vector<host::IoManager::File*> files;
    for (Handle h : handles) files.push_back(Take(h));
    io_.EndProcess(files);
  }

  uint64_t Dispatched() override { return io_.Dispatched(); }
  std::vector<host::Ace> DeviceDacl() override { return io_.DeviceDacl(kDeviceName); }

  void WaitUntilStopSignalled() override {
    auto* extension = static_cast<DeviceExtension*>(device_->DeviceExtension);
    while (!host::EventSignalled(&extension->StopEvent)) std::this_thread::yield();
  }

  FineClock FineClockRequests() override {
    const host::FineClockCount now = host::FineClockRequests();
    return {now.Made - clockAtStart_.Made, now.Outstanding - clockAtStart_.Outstanding};
  }

  std::vector<std::string> Problems() override {
    std::vector<std::string> problems;
    if (host::FineClockRequests().Unmatched != clockAtStart_.Unmatched) {
      problems.push_back("a fine clock request released that was never made");
    }
    if (!io_.Loaded()) {
      if (FineClockRequests().outstanding != 0) problems.push_back("the fine clock left requested");
      const std::string verified = io_.Verify();
      if (!verified.empty()) problems.push_back(verified);
      if (host::LiveThreadObjects() != 0) problems.push_back("a worker thread was left behind");
      if (io_.DeviceCount() != 0) problems.push_back("a device was left behind");
      if (io_.LinkCount() != 0) problems.push_back("a link was left behind");
    }
    return problems;
  }

 private:
  const host::FineClockCount clockAtStart_;
  host::IoManager io_;
  KernelDevice* device_ = nullptr;
  host::IoManager::File* handle_ = nullptr;  // the one Submit sends through
  std::vector<host::Request*> requests_;
  std::vector<host::IoManager::File*> files_;  // null once closed

  // The handle's file, which the test closes now.
  host::IoManager::File* Take(Handle handle) { return std::exchange(files_.at(handle), nullptr); }

  // Closes the Start handle and every handle Open gave that is still open.
  void CloseAll() {
    if (handle_ != nullptr) io_.Close(std::exchange(handle_, nullptr));
    for (host::IoManager::File*& file : files_) {
      if (file != nullptr) io_.Close(std::exchange(file, nullptr));
    }
  }
};

}  // namespace

std::unique_ptr<DriverUnderTest> MakeDriverUnderTest(sim::Machine& machine) {
  return std::make_unique<HostBuild>(machine);
}

}  // namespace contract
