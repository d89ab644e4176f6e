// What the kernel's clock makes of dimmio.sys's waits: virtual milliseconds
// for one 256-byte SPD image on the default board (ich5) and for the requests
// of one `dimmio report` there, with the driver image in the loader under
// three clocks: every wait exact to the millisecond; Windows' default
// 15.625 ms tick (the driver's request for a finer one left unhonoured); and
// Windows' clock as the driver sets it while it drives the SMBus. Then, on
// ich5 whose first transfer hangs with SDA held until it is killed, the
// 2-byte request that meets the hang and the one after it. Last, a DDR4
// module's 512 bytes as two page requests on pch100, whose firmware left
// page 1 selected.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dimmio/client.h"
#include "dimmio/dimmio.h"
#include "loader/kernel.h"
#include "loader/loaded_driver.h"
#include "report.h"
#include "sim/board.h"
#include "sim/machine.h"

namespace {

const std::u16string kLink = u"\\??\\dimmio";

// The client's requests go straight to the loaded image's device.
class ImageTransport final : public dimmio::Transport {
 public:
  explicit ImageTransport(loader::Kernel& kernel) : kernel_(kernel) {}
  dimmio::ControlReply Control(uint32_t code, std::span<const uint8_t> input,
                               uint32_t outputLength) override {
    const loader::Completion c =
        kernel_.DeviceControl(kLink, code, {input.begin(), input.end()}, outputLength)->Wait();
    dimmio::ControlReply reply;
    reply.Completed = c.status == 0;
    reply.Error = static_cast<uint32_t>(c.status);
    reply.Output = c.output;
    return reply;
  }

 private:
  loader::Kernel& kernel_;
};

struct Figures {
  uint64_t imageMs = 0;
  uint64_t reportMs = 0;
  uint64_t ddr4Ms = 0;
  bool ok = false;
};

// Both pages of slot 0's module on pch100, ms; 0 when a page did not read.
uint64_t MeasureDdr4(loader::Kernel::Clock clock) {
  sim::Machine machine;
  sim::AttachScope attach(machine);
  [[maybe_unused]] const sim::BoardModels models = sim::Build(*sim::FindBoard("pch100"), machine);
  loader::Kernel kernel(machine);
  kernel.UseClock(clock);
  std::string error;
  auto driver = loader::LoadedDriver::Load(kernel, DIMMIO_NT_IMAGE, &error);
  if (driver == nullptr || driver->Start() != 0) return 0;
  const uint64_t start = machine.NowMs();
  bool read = true;
  for (uint8_t page : {0, 1}) {
    const loader::Completion c =
        kernel.DeviceControl(kLink, IOCTL_READ_SPD_PAGE, {0, page, 0}, 76 + 256)->Wait();
    read = read && c.information == 76 + 256;
  }
  const uint64_t ms = machine.NowMs() - start;
  driver->Unload();
  return read ? ms : 0;
}

// The hung request and the next one, ms each; the next must read.
struct HungFigures {
  uint64_t hungMs = 0;
  uint64_t nextMs = 0;
  bool nextRead = false;
};

HungFigures MeasureHung(loader::Kernel::Clock clock) {
  HungFigures figures;
  sim::Machine machine;
  sim::AttachScope attach(machine);
  sim::Board board = sim::DefaultBoard();
  board.smbus->firmware.hangsEveryMs = 1000000;
  [[maybe_unused]] const sim::BoardModels models = sim::Build(board, machine);
  loader::Kernel kernel(machine);
  kernel.UseClock(clock);
  std::string error;
  auto driver = loader::LoadedDriver::Load(kernel, DIMMIO_NT_IMAGE, &error);
  if (driver == nullptr || driver->Start() != 0) return figures;
  uint64_t start = machine.NowMs();
  kernel.DeviceControl(kLink, IOCTL_READ_SPD, {0, 0}, 76 + 2)->Wait();
  figures.hungMs = machine.NowMs() - start;
  start = machine.NowMs();
  const loader::Completion next =
      kernel.DeviceControl(kLink, IOCTL_READ_SPD, {0, 0}, 76 + 2)->Wait();
  figures.nextMs = machine.NowMs() - start;
  figures.nextRead = next.information == 76 + 2;
  driver->Unload();
  return figures;
}

Figures Measure(loader::Kernel::Clock clock) {
  Figures figures;
  sim::Machine machine;
  sim::AttachScope attach(machine);
  [[maybe_unused]] const sim::BoardModels models = sim::Build(sim::DefaultBoard(), machine);
  loader::Kernel kernel(machine);
  kernel.UseClock(clock);
  std::string error;
  auto driver = loader::LoadedDriver::Load(kernel, DIMMIO_NT_IMAGE, &error);
  if (driver == nullptr || driver->Start() != 0) {
    std::fprintf(stderr, "dimmio.sys does not load: %s\n", error.c_str());
    return figures;
  }
  uint64_t start = machine.NowMs();
  const loader::Completion image =
      kernel.DeviceControl(kLink, IOCTL_READ_SPD, {0, 0}, 76 + 256)->Wait();
  figures.imageMs = machine.NowMs() - start;

  ImageTransport transport(kernel);
  dimmio::Client client(transport);
  start = machine.NowMs();
  const auto report = dimmio::GatherReport(client, {});
  figures.reportMs = machine.NowMs() - start;

  driver->Unload();
  const std::vector<std::string> left = kernel.LeftBehind(driver->Driver());
  const std::vector<std::string> faults = kernel.Faults();
  figures.ddr4Ms = MeasureDdr4(clock);
  figures.ok = image.information == 76 + 256 && static_cast<bool>(report) && left.empty() &&
               faults.empty() && figures.ddr4Ms != 0;
  if (!figures.ok)
    std::fprintf(stderr, "the run went wrong (image, report, or the kernel's checks)\n");
  return figures;
}

}  // namespace

int main() {
  const struct {
    const char* what;
    loader::Kernel::Clock clock;
  } rows[] = {
      {"exact 1 ms waits", loader::Kernel::Clock::Exact},
      {"Windows, default 15.625 ms tick", loader::Kernel::Clock::WindowsDefaultTick},
      {"Windows, the driver's 1 ms request", loader::Kernel::Clock::Windows},
  };
  std::printf("%-38s %18s %18s %18s\n", "clock (dimmio.sys on ich5)", "ms per 256-B image",
              "ms per report", "ms, pch100 DDR4 512 B");
  bool ok = true;
  for (const auto& row : rows) {
    const Figures f = Measure(row.clock);
    ok = ok && f.ok;
    std::printf(
        "%-38s %18llu %18llu %18llu\n", row.what, static_cast<unsigned long long>(f.imageMs),
        static_cast<unsigned long long>(f.reportMs), static_cast<unsigned long long>(f.ddr4Ms));
  }
  const HungFigures hung = MeasureHung(loader::Kernel::Clock::Windows);
  std::printf("%-38s %18llu %18llu%s\n", "hung bus, the driver's 1 ms request",
              static_cast<unsigned long long>(hung.hungMs),
              static_cast<unsigned long long>(hung.nextMs),
              hung.nextRead ? "" : " (the next request did not read)");
  std::printf("%-38s %18s %18s\n", "", "ms, hung request", "ms, the next one");
  return ok ? 0 : 1;
}
