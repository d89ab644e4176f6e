// The release archive a user downloads, packed by `make dist`'s own command
// from the nt tree's images, unpacked with unzip as a user would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dimmio_version.h"

namespace {

namespace fs = std::filesystem;

const std::string kNtTree = DIMMIO_NT_IMAGE_DIR;
const std::string kSourceDir = DIMMIO_SOURCE_DIR;
const std::string kOut = DIMMIO_RELEASE_OUT;
const std::string kFolder = std::string("dimmio-") + DIMMIO_VERSION_TEXT + "-x86";

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int Shell(const std::string& command) {
  return std::system((command + " >/dev/null").c_str());
}

// Packs the archive with the current directory `from` into `to`, as
// `make dist` does; SOURCE_DATE_EPOCH unset. Returns the archive's bytes.
std::string Pack(const std::string& from, const std::string& to) {
  fs::create_directories(from);
  EXPECT_EQ(Shell("cd " + from + " && env -u SOURCE_DATE_EPOCH " + kSourceDir +
                  "/scripts/dist.py " + kNtTree + " " + to),
            0)
      << "packing into " << to;
  return Slurp(to + "/" + kFolder + ".zip");
}

uint32_t Le(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b.at(at + i));
  return v;
}

struct Entry {
  std::string Name;
  uint32_t MadeBy, Method, Time, Date, ExternalAttributes;
};

// The central directory, from the end record at the end of the archive.
std::vector<Entry> CentralDirectory(const std::string& zip) {
  std::vector<Entry> entries;
  const size_t end = zip.rfind(std::string("PK\5\6"));
  if (end == std::string::npos || end + 22 > zip.size()) return entries;
  size_t at = Le(zip, end + 16, 4);
  for (uint32_t i = 0, count = Le(zip, end + 10, 2); i < count && Le(zip, at, 4) == 0x02014B50;
       ++i) {
    entries.push_back({zip.substr(at + 46, Le(zip, at + 28, 2)), Le(zip, at + 4, 2),
                       Le(zip, at + 10, 2), Le(zip, at + 12, 2), Le(zip, at + 14, 2),
                       Le(zip, at + 38, 4)});
    at += 46 + Le(zip, at + 28, 2) + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
  }
  return entries;
}

class ReleaseArchive : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::remove_all(kOut);
    first_ = Pack(kOut + "/here", kOut + "/here/dist");
    second_ = Pack(kOut + "/elsewhere/and/deeper", kOut + "/second-copy");
    fs::create_directories(kOut + "/unpacked");
    unpacked_ =
        Shell("unzip -q -d " + kOut + "/unpacked " + kOut + "/here/dist/" + kFolder + ".zip") == 0;
  }
  static std::string Unpacked(const std::string& name) {
    return Slurp(kOut + "/unpacked/" + kFolder + "/" + name);
  }

  static inline std::string first_, second_;
  static inline bool unpacked_ = false;
};

TEST_F(ReleaseArchive, PackedTwiceInOtherFoldersIsTheSameBytes) {
  ASSERT_GT(first_.size(), 1000000u);
  EXPECT_TRUE(first_ == second_) << "the archives differ: " << first_.size() << " and "
                                 << second_.size() << " bytes";
}

// The files in their order in one folder, each deflated, made on Unix with
// mode 644 and dated 1980-01-01 00:00 (DOS date 0x0021, time 0), neither the
// day it was packed nor the files' own times. sha256sum checks every file
// against SHA256SUMS, which names each other entry once; the images are the
// nt tree's, byte for byte.
TEST_F(ReleaseArchive, HoldsTheListedFilesAlikeWithSumsThatVerify) {
  ASSERT_TRUE(unpacked_);
  std::vector<std::string> names;
  for (const Entry& e : CentralDirectory(first_)) {
    EXPECT_EQ(e.Name.substr(0, kFolder.size() + 1), kFolder + "/");
    names.push_back(e.Name.substr(kFolder.size() + 1));
    EXPECT_EQ(
        std::vector<uint32_t>({e.MadeBy >> 8, e.ExternalAttributes, e.Method, e.Date, e.Time}),
        std::vector<uint32_t>({3, 0100644u << 16, 8, 0x0021, 0}))
        << e.Name;
  }
  EXPECT_EQ(names, std::vector<std::string>(
                       {"README.txt", "dimmio.sys", "dimmio.exe", "dimmio-gui.exe", "pci.ids",
                        "licences/gcc-runtime.txt", "licences/GPL-3.txt",
                        "licences/mingw-w64-runtime.txt", "licences/pci.ids.txt", "SHA256SUMS"}));
  EXPECT_EQ(
      Shell("cd " + kOut + "/unpacked/" + kFolder + " && sha256sum --quiet --strict -c SHA256SUMS"),
      0);
  std::istringstream sums(Unpacked("SHA256SUMS"));
  std::vector<std::string> summed;
  for (std::string hash, name; sums >> hash >> name;) summed.push_back(name);
  summed.push_back("SHA256SUMS");
  EXPECT_EQ(summed, names);
  for (const char* image : {"dimmio.sys", "dimmio.exe", "dimmio-gui.exe", "pci.ids"}) {
    EXPECT_TRUE(Unpacked(image) == Slurp(kNtTree + "/" + image)) << image;
  }
}

// What the README quotes the tool saying, the tool says: each message as the
// source holds it (a C string literal's text), found in the README with its
// lines joined.
TEST_F(ReleaseArchive, ReadmeQuotesTheToolsOwnMessages) {
  ASSERT_TRUE(unpacked_);
  std::string readme;
  for (const char c : Unpacked("README.txt")) {
    const bool space = c == '\n' || c == '\r' || c == ' ';
    if (!space || (!readme.empty() && readme.back() != ' ')) readme += space ? ' ' : c;
  }
  EXPECT_NE(readme.find(std::string("dimmio ") + DIMMIO_VERSION_TEXT), std::string::npos);
  const char* const kService = "tools/dimmio/windows_service.cpp";
  const char* const kTarget = "tools/dimmio/windows_target.cpp";
  // clang-format off
  const std::pair<const char*, const char*> quoted[] = {
      {"tools/dimmio/report.cpp", "none recognised: the driver found no SMBus host it supports"},
      {"client/status_text.cpp",
       "no usable SMBus controller on this machine; nothing was sent on the bus"},
      {kService, "installed the driver as the kernel service dimmio from "},
      {kService, "the driver is running: programs can open "},
      {kService, "not an administrator: run dimmio from a command prompt started with \\\"Run as "
                 "administrator\\\""},
      {kTarget, "the dimmio driver is not running ("},
      {kTarget, "): start it as administrator with `dimmio driver start` (once installed with "},
      {kTarget, "`dimmio driver install`) or `sc start dimmio`"},
  };
  // clang-format on
  for (const auto& [file, literal] : quoted) {
    EXPECT_NE(Slurp(kSourceDir + "/" + file).find(literal), std::string::npos)
        << file << ": " << literal;
    std::string text(literal);
    std::erase(text, '\\');
    EXPECT_NE(readme.find(text), std::string::npos) << "README.txt: " << text;
  }
}

}  // namespace
