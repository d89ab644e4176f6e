#include "reader.h"

#include <exception>
#include <memory>

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
    auto report = GatherReport(client, {0, target.Locks.get(), target.PciIdsPaths});
    if (!report) {
      outcome.Error = "dimmio: the report failed: " + PrintableText(report.error().Text);
      return outcome;
    }
    outcome.Model = std::move(*report);
    outcome.Model.Target = "this machine";
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
