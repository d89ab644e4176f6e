#include "file_writer.h"

#include <fstream>

#include "dimmio/spd.h"

namespace dimmio::cli {

FileWriter PlainFiles() {
  return [](const std::string& path, std::string_view bytes, WriteMode mode) -> WriteOutcome {
    if (mode == WriteMode::New && std::ifstream(path).is_open())
      return {WriteOutcome::Exists, "exists"};
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return file ? WriteOutcome{WriteOutcome::Written, ""}
                : WriteOutcome{WriteOutcome::Failed, "cannot be written"};
  };
}

std::string NotWritten(const std::string& path, const WriteOutcome& outcome) {
  if (outcome.Result == WriteOutcome::Written) return "";
  return "dimmio: " + PrintableText(path) + ": " +
         (outcome.Result == WriteOutcome::Failed ? std::string("cannot be written") : outcome.Why);
}

}  // namespace dimmio::cli
