// Checks the driver image that the nt preset built: what kind of file it is,
// where it is entered, what it imports and how its sections are protected;
// and of the dimmio.exe beside it, what kind of program it is and what it
// needs of the machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dimmio_version.h"
#include "loader/pe_file.h"

namespace {

const std::string kImageDir = DIMMIO_NT_IMAGE_DIR;

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::string error;
  return peimage::ReadFile(path, &error);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The kernel and HAL calls the driver is allowed to make, with the module
// that exports each on 32-bit x86. Nothing else may be imported: no C
// runtime, no memcpy/memset (the compiler has emitted none so far; if it
// starts to, they are to be named here deliberately).
const std::map<std::string, std::string>& AllowedImports() {
  static const std::map<std::string, std::string> allowed = {
      // devices and requests
      {"RtlInitUnicodeString", "ntoskrnl.exe"},
      {"IoCreateDevice", "ntoskrnl.exe"},
      {"IoDeleteDevice", "ntoskrnl.exe"},
      {"IoCreateSymbolicLink", "ntoskrnl.exe"},
      {"IoDeleteSymbolicLink", "ntoskrnl.exe"},
      {"IofCompleteRequest", "ntoskrnl.exe"},
      {"ObOpenObjectByPointer", "ntoskrnl.exe"},  // the device's own security
      {"ZwSetSecurityObject", "ntoskrnl.exe"},
      {"IoAcquireCancelSpinLock", "ntoskrnl.exe"},  // cancelling a queued request
      {"IoReleaseCancelSpinLock", "ntoskrnl.exe"},
      // threads, events and locks
      {"PsCreateSystemThread", "ntoskrnl.exe"},
      {"ObReferenceObjectByHandle", "ntoskrnl.exe"},
      {"ObfDereferenceObject", "ntoskrnl.exe"},
      {"ZwClose", "ntoskrnl.exe"},
      {"KeInitializeEvent", "ntoskrnl.exe"},
      {"KeSetEvent", "ntoskrnl.exe"},
      {"KeClearEvent", "ntoskrnl.exe"},
      {"KeWaitForSingleObject", "ntoskrnl.exe"},
      {"KeWaitForMultipleObjects", "ntoskrnl.exe"},
      {"KeInitializeSpinLock", "ntoskrnl.exe"},
      {"KfAcquireSpinLock", "hal.dll"},
      {"KfReleaseSpinLock", "hal.dll"},
      // memory and time
      {"ExAllocatePoolWithTag", "ntoskrnl.exe"},
      {"ExFreePool", "ntoskrnl.exe"},
      {"MmMapIoSpace", "ntoskrnl.exe"},
      {"MmUnmapIoSpace", "ntoskrnl.exe"},
      {"KeDelayExecutionThread", "ntoskrnl.exe"},
      {"ExSetTimerResolution", "ntoskrnl.exe"},  // the fine clock while the SMBus is driven
      // hardware
      {"HalGetBusDataByOffset", "hal.dll"},
      {"HalSetBusDataByOffset", "hal.dll"},
      {"READ_PORT_UCHAR", "hal.dll"},
      {"READ_PORT_USHORT", "hal.dll"},
      {"WRITE_PORT_UCHAR", "hal.dll"},
      {"WRITE_PORT_USHORT", "hal.dll"},
      // debug output
      {"DbgPrint", "ntoskrnl.exe"},
  };
  return allowed;
}

// The address the linker gave a symbol, from its map file: lines of the form
// "0xADDRESS symbol" or "0xADDRESS symbol = .".
std::optional<uint32_t> MapAddress(const std::string& mapText, const std::string& symbol) {
  std::istringstream lines(mapText);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    if (w.size() >= 2 && w[0].rfind("0x", 0) == 0 && (w[1] == symbol || w[1] == "_" + symbol)) {
      return static_cast<uint32_t>(std::stoul(w[0], nullptr, 16));
    }
  }
  return std::nullopt;
}

class DriverImage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    bytes_ = new std::vector<uint8_t>(ReadFile(kImageDir + "/dimmio.sys"));
    map_ = new std::string();
    const std::vector<uint8_t> map = ReadFile(kImageDir + "/dimmio.map");
    map_->assign(map.begin(), map.end());
  }
  static void TearDownTestSuite() {
    delete bytes_;
    delete map_;
  }

  void SetUp() override {
    ASSERT_FALSE(bytes_->empty()) << kImageDir << "/dimmio.sys is missing: build the nt preset";
    std::string error;
    image_ = peimage::Parse(*bytes_, &error);
    ASSERT_TRUE(image_) << error;
  }

  static std::vector<uint8_t>* bytes_;
  static std::string* map_;
  std::optional<peimage::Image> image_;
};

std::vector<uint8_t>* DriverImage::bytes_ = nullptr;
std::string* DriverImage::map_ = nullptr;

TEST_F(DriverImage, IsNativePe32ForI386) {
  EXPECT_EQ(image_->Machine, peimage::kMachineI386);
  EXPECT_EQ(image_->Magic, peimage::kMagicPe32);
  EXPECT_EQ(image_->Subsystem, peimage::kSubsystemNative);
}

TEST_F(DriverImage, CarriesBaseRelocations) {
  EXPECT_EQ(image_->Characteristics & peimage::kFileRelocsStripped, 0);
  EXPECT_GT(image_->Directories[peimage::kDirBaseReloc].Size, 0u);
}

TEST_F(DriverImage, IsEnteredAtDriverEntry) {
  ASSERT_NE(image_->EntryPoint, 0u);
  const auto entry = MapAddress(*map_, "DriverEntry@8");
  ASSERT_TRUE(entry) << "no DriverEntry@8 in the link map";
  EXPECT_EQ(image_->EntryPoint, *entry - image_->ImageBase);
  const peimage::Section* text = image_->SectionAt(image_->EntryPoint);
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->Characteristics & peimage::kSectionExecute) << text->Name;
}

TEST_F(DriverImage, ImportsOnlyTheAllowedKernelCalls) {
  ASSERT_FALSE(image_->Imports.empty());
  for (const peimage::Import& import : image_->Imports) {
    const auto allowed = AllowedImports().find(import.Function);
    ASSERT_NE(allowed, AllowedImports().end()) << import.Dll << "!" << import.Function;
    EXPECT_EQ(Lower(import.Dll), allowed->second) << import.Function;
  }
}

// The request path, the worker and the hardware primitives all reach the
// kernel, so every call of the list is imported, except the spin lock's
// initialisation: on x86 the kernel's headers inline it as storing 0, which is
// all the exported routine does.
TEST_F(DriverImage, ImportsEveryKernelCallTheDriverMakes) {
  std::set<std::string> imported;
  for (const peimage::Import& import : image_->Imports) imported.insert(import.Function);
  for (const auto& [function, dll] : AllowedImports()) {
    if (function == "KeInitializeSpinLock") continue;
    EXPECT_TRUE(imported.count(function)) << function << " from " << dll << " is not imported";
  }
}

TEST_F(DriverImage, NoSectionIsWritableAndExecutable) {
  for (const peimage::Section& section : image_->Sections) {
    const uint32_t wx = peimage::kSectionWrite | peimage::kSectionExecute;
    EXPECT_NE(section.Characteristics & wx, wx) << section.Name;
  }
}

// Nothing of the image may be paged out: the queue's code runs under a spin
// lock, at raised IRQL, and the linker places code named for a pageable
// section ("PAGE...") into one.
TEST_F(DriverImage, HasNoPageableSection) {
  for (const peimage::Section& section : image_->Sections) {
    EXPECT_NE(section.Name.rfind("PAGE", 0), 0u) << section.Name;
  }
}

TEST_F(DriverImage, HasNoThreadLocalStorageAndNoStaticConstructors) {
  EXPECT_EQ(image_->Directories[peimage::kDirTls].Size, 0u);
  // Nothing runs constructors in the image: the lists must stay empty (each
  // is one -1 marker and one 0 terminator).
  const auto ctors = MapAddress(*map_, "__CTOR_LIST__");
  const auto dtors = MapAddress(*map_, "__DTOR_LIST__");
  ASSERT_TRUE(ctors && dtors);
  EXPECT_EQ(*dtors - *ctors, 8u);
}

TEST_F(DriverImage, CheckSumMatchesTheFile) {
  EXPECT_EQ(image_->CheckSum, image_->ComputedCheckSum);
}

// The reader itself refuses what is not an image, so a broken file cannot
// pass the checks above by being read as empty.
TEST_F(DriverImage, ReaderRefusesDamagedCopies) {
  struct Damage {
    const char* what;
    void (*apply)(std::vector<uint8_t>&);
  };
  const Damage damages[] = {
      {"truncated to the DOS header", [](std::vector<uint8_t>& b) { b.resize(0x40); }},
      {"MZ overwritten", [](std::vector<uint8_t>& b) { b[0] = 'X'; }},
      {"PE offset past the end", [](std::vector<uint8_t>& b) { b[0x3C] = b[0x3D] = 0xFF; }},
      {"cut inside the sections", [](std::vector<uint8_t>& b) { b.resize(b.size() / 2); }},
  };
  for (const Damage& damage : damages) {
    std::vector<uint8_t> copy = *bytes_;
    damage.apply(copy);
    std::string error;
    EXPECT_FALSE(peimage::Parse(copy, &error)) << damage.what;
  }
  std::vector<uint8_t> flipped = *bytes_;
  flipped[flipped.size() / 2] ^= 0x01;
  std::string error;
  const auto image = peimage::Parse(flipped, &error);
  ASSERT_TRUE(image) << error;
  EXPECT_NE(image->CheckSum, image->ComputedCheckSum) << "a flipped bit must change the checksum";
}

// dimmio.exe runs on a bare Windows machine: a 32-bit console program whose
// imports come from Windows' own DLLs only (the C and C++ runtimes linked
// in), among them the device and service calls of its Windows target.
TEST(ProgramImage, IsAConsolePe32ThatNeedsOnlySystemDlls) {
  const std::vector<uint8_t> bytes = ReadFile(kImageDir + "/dimmio.exe");
  ASSERT_FALSE(bytes.empty()) << kImageDir << "/dimmio.exe is missing: build the nt preset";
  std::string error;
  const auto image = peimage::Parse(bytes, &error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(image->Machine, peimage::kMachineI386);
  EXPECT_EQ(image->Magic, peimage::kMagicPe32);
  EXPECT_EQ(image->Subsystem, peimage::kSubsystemConsole);
  ASSERT_NE(image->EntryPoint, 0u);
  const peimage::Section* entry = image->SectionAt(image->EntryPoint);
  ASSERT_NE(entry, nullptr);
  EXPECT_TRUE(entry->Characteristics & peimage::kSectionExecute) << entry->Name;

  const std::set<std::string> systemDlls = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"};
  std::set<std::string> imported;
  for (const peimage::Import& import : image->Imports) {
    EXPECT_TRUE(systemDlls.count(Lower(import.Dll))) << import.Dll << "!" << import.Function;
    imported.insert(Lower(import.Dll) + "!" + import.Function);
  }
  for (const char* call : {"kernel32.dll!CreateFileA", "kernel32.dll!DeviceIoControl",
                           "advapi32.dll!CreateServiceA", "advapi32.dll!StartServiceA",
                           "advapi32.dll!ControlService", "advapi32.dll!DeleteService"}) {
    EXPECT_TRUE(imported.count(call)) << call << " is not imported";
  }
}

// Both files carry a version resource of the build's version, each naming
// itself: the driver as a system driver file, dimmio.exe as a program. A
// resource whose blocks do not nest, or without its fixed part, is refused.
TEST(VersionResource, BothFilesCarryTheBuildsVersionAndNameThemselves) {
  const std::array<uint16_t, 4> build{DIMMIO_VERSION_MAJOR, DIMMIO_VERSION_MINOR,
                                      DIMMIO_VERSION_PATCH, DIMMIO_VERSION_BUILD};
  const struct {
    std::string file;
    uint32_t type, subtype;
  } files[] = {{"dimmio.sys", peimage::kFileTypeDriver, peimage::kFileSubtypeSystemDriver},
               {"dimmio.exe", peimage::kFileTypeApp, 0}};
  for (const auto& f : files) {
    std::vector<uint8_t> bytes = ReadFile(kImageDir + "/" + f.file);
    std::string error;
    const auto image = peimage::Parse(bytes, &error);
    ASSERT_TRUE(image) << f.file << ": " << error;
    const auto info = peimage::ReadVersionInfo(bytes, *image, &error);
    ASSERT_TRUE(info) << f.file << ": " << error;
    EXPECT_EQ(info->FileVersion, build) << f.file;
    EXPECT_EQ(info->ProductVersion, build) << f.file;
    EXPECT_EQ(info->FileType, f.type) << f.file;
    EXPECT_EQ(info->FileSubtype, f.subtype) << f.file;
    std::map<std::string, std::string> strings = info->Strings;
    EXPECT_EQ(strings["FileVersion"], DIMMIO_VERSION_TEXT) << f.file;
    EXPECT_EQ(strings["ProductVersion"], DIMMIO_VERSION_TEXT) << f.file;
    EXPECT_EQ(strings["OriginalFilename"], f.file);
    EXPECT_EQ(strings["ProductName"], "dimmio");
    EXPECT_NE(strings["CompanyName"], "") << f.file;
    EXPECT_NE(strings["FileDescription"], "") << f.file;

    // The root block's length, then the fixed part's signature, broken.
    std::string key;  // the root block's, in UTF-16
    for (const char c : std::string("VS_VERSION_INFO")) key += {c, '\0'};
    const auto at = std::search(bytes.begin(), bytes.end(), key.begin(), key.end()) - bytes.begin();
    ASSERT_LT(static_cast<size_t>(at), bytes.size()) << f.file;
    for (const size_t offset : {size_t(at) - 6, size_t(at) + 34}) {
      std::vector<uint8_t> broken = bytes;
      broken[offset] ^= 0xFF;
      broken[offset + 1] ^= 0xFF;
      EXPECT_FALSE(peimage::ReadVersionInfo(broken, *image, &error)) << f.file << " at " << offset;
    }
  }
}

}  // namespace
