#include "reader.h"

#include <exception>
#include <memory>

#include "dimmio/spd.h"

namespace dimmio::gui {

namespace {

struct Job {
  const cli::Target* Where;
  HWND Window;
  UINT Message;
};

DWORD WINAPI ReadOnThread(void* param) {
  const std::unique_ptr<Job> job(static_cast<Job*>(param));
  auto outcome = std::make_unique<ReadOutcome>(ReadReport(*job->Where));
  if (PostMessageA(job->Window, job->Message, 0, reinterpret_cast<LPARAM>(outcome.get()))) {
    outcome.release();
  }
  return 0;
}

// The bytes past what the report read of each module that answered, to the
// end of its EEPROM's 256 bytes (a DDR4 module's 512 are all in the report).
Result<std::vector<std::vector<uint8_t>>> WholeImages(Client& client, const cli::Report& report,
                                                      cli::BusLocks* locks) {
  return cli::OnSmbus(locks, report.Segment, [&]() -> Result<std::vector<std::vector<uint8_t>>> {
    std::vector<std::vector<uint8_t>> images(cli::kSlots);
    for (const cli::SlotReport& slot : report.Slots) {
      std::vector<uint8_t>& image = images[slot.Slot];
      image = slot.Bytes;
      if (!slot.Answered || image.size() >= DIMMIO_SPD_SIZE) continue;
      const auto rest = client.ReadSpd(slot.Slot, static_cast<uint8_t>(image.size()),
                                       static_cast<uint32_t>(DIMMIO_SPD_SIZE - image.size()));
      if (!rest) return rest.error();
      image.insert(image.end(), rest->Bytes.begin(), rest->Bytes.end());
    }
    return images;
  });
}

}  // namespace

ReadOutcome ReadReport(const cli::Target& target) {
  ReadOutcome outcome;
  try {
    if (!target.Unusable.empty()) {
      outcome.Error = "dimmio: " + PrintableText(target.Unusable);
      return outcome;
    }
    std::string error;
    const std::unique_ptr<Transport> transport = target.Open("", &error);
    if (!transport) {
      outcome.NoDevice = true;
      outcome.Error = "dimmio: " + PrintableText(error);
      return outcome;
    }
    Client client(*transport);
    auto report = cli::GatherReport(client, 0, target.Locks.get());
    if (!report) {
      outcome.Error = "dimmio: the report failed: " + PrintableText(report.error().Text);
      return outcome;
    }
    const auto images = WholeImages(client, *report, target.Locks.get());
    if (!images) {
      outcome.Error = "dimmio: the SPD read failed: " + PrintableText(images.error().Text);
      return outcome;
    }
    outcome.Images = *images;
    outcome.Model = std::move(*report);
    cli::Report& r = outcome.Model;
    r.Target = "this machine";
    std::vector<cli::PciId> functions{{r.Chipset.VendorId, r.Chipset.DeviceId}};
    for (const PciDeviceRecord& f : r.Pci) functions.push_back({f.VendorId, f.DeviceId});
    r.Names = cli::PciNames::Load(target.PciIdsPaths, functions);
    outcome.Read = true;
  } catch (const std::exception& e) {
    outcome.Error = "dimmio: internal error: " + PrintableText(e.what());
  }
  return outcome;
}

bool StartReading(const cli::Target& target, HWND window, UINT message) {
  auto job = std::make_unique<Job>(Job{&target, window, message});
  const HANDLE thread = CreateThread(nullptr, 0, ReadOnThread, job.get(), 0, nullptr);
  if (thread == nullptr) return false;
  job.release();
  CloseHandle(thread);
  return true;
}

}  // namespace dimmio::gui
