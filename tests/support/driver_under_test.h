// The driver as the contract tests see it, whichever build runs it: the host
// build over the host I/O manager, or the shipped image in the loader. The
// tests load it on a simulated board, send device-control requests through
// its link, and unload it; every build watches the requests the same way
// (completed once, pending marked before the worker could see it, buffer
// untouched when refused, nothing touched after completion).
#pragma once

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/host/access_model.h"
#include "sim/machine.h"

namespace contract {

// What the caller of a request gets back.
struct Reply {
  int32_t status = 0;    // completion status
  int32_t returned = 0;  // what the entry routine returned
  uint32_t information = 0;
  std::vector<uint8_t> output;  // the first `information` bytes of the buffer
  std::vector<uint8_t> buffer;  // the whole system buffer at completion
  std::vector<uint8_t> sent;    // the system buffer as the driver got it
  uint64_t sequence = 0;        // completions numbered from 1, in order
};

// Platform calls of start-up that a test can make fail once.
enum class StartFailure {
  DeviceCreation,
  DeviceOpen,      // the driver's own handle to its device, to set its security
  DeviceSecurity,  // setting it
  ThreadCreation,
  ThreadReference,
  LinkCreation,
};

class DriverUnderTest {
 public:
  static constexpr uint8_t kDefaultFill = 0xEE;
  using Handle = size_t;  // a handle Open opened

  virtual ~DriverUnderTest() = default;

  virtual std::string Name() const = 0;
  // The nth call from now (1 = the next one) of the platform service behind
  // `failure` fails with `status`; Calls counts the calls made so far.
  virtual void FailNth(StartFailure failure, int32_t status, int nth) = 0;
  virtual uint64_t Calls(StartFailure failure) = 0;
  // The Windows version the kernel tells the driver it is (the loader's
  // kernel: PsGetVersion); the host build's kernel tells none.
  virtual void ReportKernelVersion(uint32_t major, uint32_t minor, uint32_t build) = 0;
  // A symbolic link with the driver's link name made by someone else.
  virtual void AddForeignLink() = 0;
  virtual void RemoveForeignLink() = 0;
  // Runs the entry point; on success the device is opened through its link,
  // as an administrator for reading and writing: the handle Submit uses.
  virtual int32_t Start() = 0;
  // Where in start-up an open is tried: as the driver goes to set its
  // device's security (the device made, nothing else yet), or as it creates
  // its link.
  enum class StartPoint { BeforeSecurity, AtLinkCreation };
  // Runs the entry point (which must succeed) and, at `point`, opens `name`
  // as `caller` for reading and writing: that open's status.
  virtual int32_t OpenWhileStarting(StartPoint point, const std::u16string& name,
                                    host::Caller caller) = 0;
  // The test's handles close (the one Start opened and those Open opened and
  // nothing closed yet), as when their process has ended, then the service
  // is stopped: the unload routine runs. False when the driver installed none.
  virtual bool Unload() = 0;
  virtual bool HasDevice() = 0;
  // The characteristics the driver created its device with.
  virtual uint32_t DeviceCharacteristics() = 0;
  virtual bool HasLink() = 0;

  using Ticket = size_t;
  // Sends a device-control request through the handle Start opened, its
  // system buffer holding `fill` past the input; returns once the entry
  // routine has.
  virtual Ticket Submit(uint32_t code, const std::vector<uint8_t>& input, uint32_t outputLength,
                        uint8_t fill = kDefaultFill) = 0;
  virtual Reply Wait(Ticket ticket) = 0;
  // Opens `name` (the link, the device's name, a name below it) as `caller`
  // asking for `access`; sets `handle` when the status is success.
  virtual int32_t Open(const std::u16string& name, host::Caller caller, uint32_t access,
                       Handle* handle) = 0;
  // Submit through that handle: the I/O manager checks the code's access bits.
  virtual Ticket SubmitOn(Handle handle, uint32_t code, const std::vector<uint8_t>& input,
                          uint32_t outputLength) = 0;
  // Closes the handle's last reference: cleanup, then close.
  virtual int32_t Close(Handle handle) = 0;
  // The process that opened these handles ends: the I/O manager cancels its
  // requests still outstanding, then closes every handle.
  virtual void EndProcess(const std::vector<Handle>& handles) = 0;
  // Device-control requests the driver's entry routine was handed so far.
  virtual uint64_t Dispatched() = 0;
  virtual std::vector<host::Ace> DeviceDacl() = 0;
  virtual bool Completed(Ticket ticket) = 0;
  // Returns once an unload running on another thread has told the worker to
  // stop.
  virtual void WaitUntilStopSignalled() = 0;

  // The kernel's fine clock as the driver asked for it since it was loaded:
  // requests made, and those not given back yet.
  struct FineClock {
    uint64_t made = 0;
    uint64_t outstanding = 0;
  };
  virtual FineClock FineClockRequests() = 0;

  // Everything found wrong so far (request checks, platform misuse, anything
  // left behind after unload or a failed start); empty when all is well.
  virtual std::vector<std::string> Problems() = 0;
};

// The build's driver under test, over `machine`; each test program links one.
std::unique_ptr<DriverUnderTest> MakeDriverUnderTest(sim::Machine& machine);

}  // namespace contract
