// The kernel a loaded driver image runs on, in this process: its dispatcher
// objects (events, thread objects), spin locks, system threads, handles, the
// object namespace with devices and symbolic links, and the I/O manager that
// builds request packets, hands them to the driver and checks how the driver
// finishes them. Hardware, pool, clock and debug output are the simulated
// machine's.
//
// Anything the image does that a kernel would not accept (a request completed
// twice, a wait at raised IRQL, a spin lock released by a thread that does not
// hold it, a device left behind at unload, ...) is recorded as a fault; the
// tests require that none is recorded.
#pragma once

#include <stdint.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loader/nt_objects.h"
#include "platform/host/access_model.h"
#include "platform/host/object_namespace.h"
#include "platform/host/request_watch.h"
#include "sim/machine.h"

namespace loader {

using ObjectNamespace = host::ObjectNamespace<nt::DeviceObject>;

std::string Narrow(const std::u16string& text);
std::string Hex(uint32_t value);  // as 0x1A2B

// What the caller of a request gets back, and what the I/O manager saw.
struct Completion {
  int32_t dispatchStatus = 0;   // what the entry routine returned
  int32_t status = 0;           // IoStatus.Status at completion
  uint32_t information = 0;     // IoStatus.Information at completion
  uint64_t sequence = 0;        // 1 for the first request the kernel saw completed
  std::vector<uint8_t> output;  // the first `information` bytes of the buffer
  std::vector<uint8_t> buffer;  // the whole system buffer at completion
};

class Kernel;

// One request packet in flight, watched by the same rules as the host I/O
// manager's requests (platform/host/request_watch.h).
class Request {
 public:
  // Blocks until the driver has completed the request and its entry routine
  // has returned.
  Completion Wait();
  bool Done();
  // The system buffer as the driver got it.
  std::vector<uint8_t> Sent() const;

 private:
  friend class Kernel;
  friend struct Imports;
  host::RequestWatch watch_;
  std::string what_;  // the request, in reports
  nt::Irp* irp_ = nullptr;
  std::vector<uint8_t> memory_;  // packet and its one stack location
  std::vector<uint8_t> packetAtCompletion_;
  uint32_t outputLength_ = 0;
  bool pendingAtCompletion_ = false;
  Completion completion_;
};

class Kernel {
 public:
  explicit Kernel(sim::Machine& machine);
  ~Kernel();
  Kernel(const Kernel&) = delete;
  Kernel& operator=(const Kernel&) = delete;

  // The kernel the imports of the loaded image reach. One at a time.
  static Kernel& Current();
  sim::Machine& Machine() { return machine_; }

  // ---- what the tests look at and steer
  // Faults, and the broken rules of every request that is done.
  std::vector<std::string> Faults();
  void Fault(const std::string& what);
  uint64_t Calls(const std::string& import) const;
  // The next `nth` call (1 = the next one) of the import fails with `status`.
  void FailImport(const std::string& import, int32_t status, int nth = 1);
  // Runs `action` at the next call of the import, before the call goes on: a
  // test's way into the middle of start-up.
  void OnNextCall(const std::string& import, std::function<void()> action);
  ObjectNamespace& Names() { return names_; }
  // Whatever the driver left in the kernel: devices, links, thread objects,
  // handles, running threads, timer resolution requests. Empty when nothing.
  std::vector<std::string> LeftBehind(const nt::DriverObject* driver);

  // ---- the version PsGetVersion reports: Windows XP unless told otherwise,
  // set before the image starts
  struct Version {
    uint32_t major = 5, minor = 1, build = 2600;
  } version;

  // ---- the clock
  // Exact: a wait lasts its time to the millisecond. Windows (the default): a
  // relative wait ends on the first clock tick at or after its due time, and
  // the tick is kDefaultTick until someone asks for a finer one.
  // WindowsDefaultTick: the same, with every request answered but the tick
  // left at kDefaultTick (what a driver's waits cost before it asks).
  enum class Clock { Exact, Windows, WindowsDefaultTick };
  static constexpr uint32_t kDefaultTick = 156250;  // 100 ns units: 15.625 ms, 64 Hz
  static constexpr uint32_t kFinestTick = 9766;     // the 1024 Hz clock, as Windows rounds it
  void UseClock(Clock clock);
  // Timer resolution requests made, and those still outstanding.
  std::pair<uint64_t, uint64_t> TimerRequests() const;

  // ---- the I/O manager
  // Sends a device-control request to the device behind `name` (a device or
  // a link) with a buffered system buffer of max(input, output) bytes, which
  // holds `fill` past the input.
  std::shared_ptr<Request> DeviceControl(const std::u16string& name, uint32_t code,
                                         const std::vector<uint8_t>& input, uint32_t outputLength,
                                         uint8_t fill = host::kUnusedBufferFill);
  // A handle a caller opened: the device and the access it was granted.
  struct File {
    nt::DeviceObject* device = nullptr;
    uint32_t granted = 0;
    void* object = nullptr;  // the file object its requests carry
  };
  // An open of `name` (a link, a device, or a name below one) as `caller`
  // asking for `access`: refused while the device initialises, checked
  // against the device's security, then the create request to the driver.
  int32_t Open(const std::u16string& name, host::Caller caller, uint32_t access, File* file);
  // Through a handle: a code whose access bits ask for more than the handle
  // was granted is completed with access denied without reaching the driver.
  std::shared_ptr<Request> DeviceControl(const File& file, uint32_t code,
                                         const std::vector<uint8_t>& input, uint32_t outputLength,
                                         uint8_t fill = host::kUnusedBufferFill);
  // Closing the last handle of a file object: cleanup, then close.
  int32_t Close(const File& file);
  // The stop of the driver's service waits here until no handle opened
  // through Open is left open, as Windows defers an unload while its devices
  // are referenced.
  void WaitUntilNoHandleIsOpen();
  // What the kernel does to a request whose thread ends: under the cancel
  // lock, marks it cancelled and calls its cancel routine, if it has one. A
  // request completed already is left alone.
  void Cancel(Request& request);
  // A process ends with these handles open: the requests still outstanding
  // through them are cancelled, each must be completed by then (none may be
  // in service), then each handle is closed.
  void EndProcess(const std::vector<File>& files);
  // Device-control requests handed to the driver's entry routine so far.
  uint64_t Dispatched() const;
  // The DACL of the device of that name.
  std::vector<host::Ace> DeviceDacl(const std::u16string& name);
  // What the I/O manager does once a driver's entry routine succeeded: its
  // devices stop initialising.
  void EntryReturned(nt::DriverObject* driver);
  // The entry routine for request kinds the driver does not install.
  static int32_t NT_STDCALL DefaultDispatch(nt::DeviceObject* device, nt::Irp* irp);

  // ---- used by the imports
  // Counts the call; returns the injected failure status, or 0 when the
  // call should go ahead.
  int32_t Enter(const char* import);
  uint8_t AcquireSpinLock(void* lock);
  void ReleaseSpinLock(void* lock, uint8_t newIrql);
  void CompleteRequest(nt::Irp* irp);

 private:
  friend class Request;
  friend struct Imports;
  struct Event {
    uint32_t type;
    bool signalled;
  };
  struct Thread {
    std::thread thread;
    bool running = true;
    int references = 0;  // handles and object references
  };
  struct SpinLock {
    std::mutex mutex;
    std::thread::id owner;
    bool held = false;
  };
  struct DeviceRecord {
    std::unique_ptr<uint8_t[]> memory;
    std::u16string name;
    std::vector<uint8_t> security = host::DefaultDeviceDescriptor();
  };

  // Builds the packet of a request to `device` and hands it to the driver's
  // entry routine for `majorFunction`; device-control requests carry a
  // buffered system buffer of max(input, output) bytes holding `fill` past
  // the input.
  std::shared_ptr<Request> Send(nt::DeviceObject* device, uint8_t majorFunction, uint32_t code,
                                const std::vector<uint8_t>& input, uint32_t outputLength,
                                uint8_t fill, void* fileObject);

  sim::Machine& machine_;
  static thread_local uint8_t irql_;  // the calling thread's
  mutable std::mutex lock_;           // faults, counts, failures, requests, devices
  std::vector<std::string> faults_;
  std::map<std::string, uint64_t> calls_;
  std::map<std::string, std::pair<int, int32_t>> failures_;
  std::map<std::string, std::function<void()>> actions_;

  mutable std::mutex dispatcherLock_;
  std::condition_variable dispatcherChanged_;
  std::map<void*, Event> events_;
  std::map<void*, std::unique_ptr<Thread>> threads_;
  std::map<uint32_t, Thread*> handles_;
  uint32_t nextHandle_ = 0x80000004u;

  std::mutex spinLocksLock_;
  std::map<void*, std::unique_ptr<SpinLock>> spinLocks_;

  mutable std::mutex clockLock_;
  Clock clock_ = Clock::Windows;
  int64_t now_ = 0;       // 100 ns; never behind the machine's milliseconds
  int64_t tickBase_ = 0;  // when the tick last changed: ticks fall on base + k * tick
  uint32_t tick_ = kDefaultTick;
  std::vector<uint32_t> timerRequests_;
  uint64_t timerRequestsMade_ = 0;

  ObjectNamespace names_;
  std::map<nt::DeviceObject*, DeviceRecord> devices_;
  std::map<nt::Irp*, std::shared_ptr<Request>> requests_;
  std::map<uint32_t, File> objectHandles_;  // the image's handles to devices
  std::vector<std::unique_ptr<nt::FileObject>> fileObjects_;
  std::vector<std::unique_ptr<std::u16string>> fileNames_;  // what their FileName points at
  uint32_t cancelLock_ = 0;                                 // the kernel's cancel spin lock
  size_t openFiles_ = 0;                                    // under lock_
  std::condition_variable filesClosed_;
  uint64_t dispatched_ = 0;
};

}  // namespace loader
