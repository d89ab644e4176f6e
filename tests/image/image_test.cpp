// Checks the driver image that the nt preset built: what kind of file it is,
// where it is entered and how its sections are protected (what it imports,
// the loader binds by name or refuses, in the contract suite's run);
// and of dimmio.exe and dimmio-gui.exe beside it, what kind of program each
// is and what it needs of the machine.
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
#include <string_view>
#include <vector>

#include "dimmio_version.h"
#include "tools/pe/pe_file.h"

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

// The files the nt preset built, each read and parsed once.
struct Built {
  std::vector<uint8_t> bytes;
  std::optional<peimage::Image> image;
  std::string error;
};

const Built& BuiltFile(const std::string& name) {
  static std::map<std::string, Built> files;
  auto [it, added] = files.try_emplace(name);
  if (added) {
    it->second.bytes = ReadFile(kImageDir + "/" + name);
    it->second.image = peimage::Parse(it->second.bytes, &it->second.error);
  }
  return it->second;
}

// All are 32-bit x86 images entered in code: the driver a native image,
// dimmio.exe a console program, dimmio-gui.exe a window program.
TEST(BuiltImages, AreI386Pe32OfTheirSubsystemEnteredInCode) {
  constexpr uint16_t kSubsystemWindows = 2;
  for (const auto& [file, subsystem] : {std::pair{"dimmio.sys", peimage::kSubsystemNative},
                                        std::pair{"dimmio.exe", peimage::kSubsystemConsole},
                                        std::pair{"dimmio-gui.exe", kSubsystemWindows}}) {
    const Built& built = BuiltFile(file);
    ASSERT_TRUE(built.image) << kImageDir << "/" << file << ": " << built.error
                             << " (build the nt preset)";
    const peimage::Image& image = *built.image;
    EXPECT_EQ(image.Machine, peimage::kMachineI386) << file;
    EXPECT_EQ(image.Magic, peimage::kMagicPe32) << file;
    EXPECT_EQ(image.Subsystem, subsystem) << file;
    ASSERT_NE(image.EntryPoint, 0u) << file;
    const peimage::Section* entry = image.SectionAt(image.EntryPoint);
    ASSERT_NE(entry, nullptr) << file;
    EXPECT_TRUE(entry->Characteristics & peimage::kSectionExecute) << file << " " << entry->Name;
  }
}

// Built twice, from the same sources, the images are the same bytes: no link
// time in the file header (the linker writes the export directory's with it,
// the resource compiler none), and no path of the machine that built them
// (the source tree, which holds the build tree, and the build tree).
TEST(BuiltImages, CarryNoLinkTimeAndNoBuildPath) {
  const std::string sourceDir = DIMMIO_SOURCE_DIR;
  for (const char* file : {"dimmio.sys", "dimmio.exe", "dimmio-gui.exe"}) {
    const Built& built = BuiltFile(file);
    ASSERT_TRUE(built.image) << file << ": " << built.error << " (build the nt preset)";
    const peimage::Image& image = *built.image;
    EXPECT_EQ(image.TimeDateStamp, 0u) << file;
    const std::string_view bytes(reinterpret_cast<const char*>(built.bytes.data()),
                                 built.bytes.size());
    for (const std::string& path : {sourceDir, kImageDir}) {
      EXPECT_EQ(bytes.find(path), std::string_view::npos) << file << " holds " << path;
    }
  }
}

// The driver carries a checksum the file matches, runs no constructors and
// keeps no thread-local storage; no section is both writable and executable,
// and none pageable: the queue's code runs under a spin lock, at raised IRQL,
// and the linker places code named for a pageable section ("PAGE...") into
// one. (That it is entered at DriverEntry and can be loaded anywhere, the
// loader shows: it places it away from its base and calls its entry point.)
TEST(DriverImage, CarriesItsChecksumAndIsSafeToRunAtAnyIrql) {
  const Built& built = BuiltFile("dimmio.sys");
  ASSERT_TRUE(built.image) << built.error;
  const peimage::Image& image = *built.image;
  const std::vector<uint8_t> mapBytes = ReadFile(kImageDir + "/dimmio.map");
  const std::string map(mapBytes.begin(), mapBytes.end());
  EXPECT_EQ(image.CheckSum, image.ComputedCheckSum);
  EXPECT_EQ(image.Directories[peimage::kDirTls].Size, 0u);
  // Each constructor list is one -1 marker and one 0 terminator: empty.
  const auto ctors = MapAddress(map, "__CTOR_LIST__");
  const auto dtors = MapAddress(map, "__DTOR_LIST__");
  ASSERT_TRUE(ctors && dtors);
  EXPECT_EQ(*dtors - *ctors, 8u);
  for (const peimage::Section& section : image.Sections) {
    const uint32_t wx = peimage::kSectionWrite | peimage::kSectionExecute;
    EXPECT_NE(section.Characteristics & wx, wx) << section.Name;
    EXPECT_NE(section.Name.rfind("PAGE", 0), 0u) << section.Name;
  }
  // The reader refuses what is not an image, and a flipped bit changes the
  // checksum, so a broken file cannot pass these checks.
  const std::pair<const char*, void (*)(std::vector<uint8_t>&)> damages[] = {
      {"truncated to the DOS header", [](std::vector<uint8_t>& b) { b.resize(0x40); }},
      {"MZ overwritten", [](std::vector<uint8_t>& b) { b[0] = 'X'; }},
      {"PE offset past the end", [](std::vector<uint8_t>& b) { b[0x3C] = b[0x3D] = 0xFF; }},
      {"cut inside the sections", [](std::vector<uint8_t>& b) { b.resize(b.size() / 2); }},
  };
  for (const auto& [what, damage] : damages) {
    std::vector<uint8_t> copy = built.bytes;
    damage(copy);
    std::string why;
    EXPECT_FALSE(peimage::Parse(copy, &why)) << what;
  }
  std::vector<uint8_t> flipped = built.bytes;
  flipped[flipped.size() / 2] ^= 0x01;
  std::string error;
  const auto damaged = peimage::Parse(flipped, &error);
  ASSERT_TRUE(damaged) << error;
  EXPECT_NE(damaged->CheckSum, damaged->ComputedCheckSum);
}

// dimmio.exe runs on a bare Windows machine: its imports come from Windows'
// own DLLs only (the C and C++ runtimes linked in), among them the device and
// service calls of its Windows target.
TEST(ProgramImage, NeedsOnlySystemDlls) {
  const Built& built = BuiltFile("dimmio.exe");
  ASSERT_TRUE(built.image) << built.error;
  const std::set<std::string> systemDlls = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"};
  std::set<std::string> imported;
  for (const peimage::Import& import : built.image->Imports) {
    EXPECT_TRUE(systemDlls.count(Lower(import.Dll))) << import.Dll << "!" << import.Function;
    imported.insert(Lower(import.Dll) + "!" + import.Function);
  }
  for (const char* call : {"kernel32.dll!CreateFileA", "kernel32.dll!DeviceIoControl",
                           "advapi32.dll!CreateServiceA", "advapi32.dll!StartServiceA",
                           "advapi32.dll!ControlService", "advapi32.dll!DeleteService"}) {
    EXPECT_TRUE(imported.count(call)) << call << " is not imported";
  }
  // The DLL search calls newer than Windows XP are looked up by name at run
  // time, by both programs, never imported.
  for (const char* file : {"dimmio.exe", "dimmio-gui.exe"}) {
    const Built& program = BuiltFile(file);
    const std::string text(program.bytes.begin(), program.bytes.end());
    for (const std::string call : {"SetDefaultDllDirectories", "SetDllDirectoryA"}) {
      EXPECT_NE(text.find(call + '\0'), std::string::npos) << file << " does not look up " << call;
      EXPECT_FALSE(imported.count("kernel32.dll!" + call)) << file;
    }
  }
}

// dimmio-gui.exe runs on Windows XP and later: it imports only functions
// that XP's own DLLs export (the C and C++ runtimes linked in), and carries
// its manifest in its resources: administrator rights, the common controls'
// version 6 (visual styles), DPI awareness.
TEST(WindowImage, ImportsWhatWindowsXpExportsAndEmbedsItsManifest) {
  const Built& built = BuiltFile("dimmio-gui.exe");
  ASSERT_TRUE(built.image) << built.error << " (build the nt preset)";
  const std::map<std::string, std::string> xp = {
      {"advapi32.dll",
       "ChangeServiceConfigA CloseServiceHandle ControlService CreateServiceA DeleteService "
       "GetSecurityInfo LookupAccountSidA OpenSCManagerA OpenServiceA QueryServiceConfigA "
       "QueryServiceStatus StartServiceA"},
      {"comctl32.dll", "InitCommonControlsEx"},
      {"comdlg32.dll", "GetSaveFileNameA"},
      {"gdi32.dll", "GetDeviceCaps GetStockObject"},
      {"user32.dll",
       "CloseClipboard CreateWindowExA DefWindowProcA DispatchMessageA EmptyClipboard EnableWindow "
       "GetDC GetMessageA GetWindowLongA InvalidateRect IsDialogMessageA LoadCursorA LoadIconA "
       "MessageBoxA MoveWindow OpenClipboard PostMessageA PostQuitMessage RegisterClassExA "
       "ReleaseDC "
       "SendMessageA SetClipboardData SetWindowLongA SetWindowPos SetWindowTextA ShowWindow "
       "TranslateMessage"},
      {"kernel32.dll",
       "CloseHandle CopyFileA CreateFileA CreateFileW CreateHardLinkW CreateMutexA "
       "CreateSemaphoreW CreateThread DeleteCriticalSection DeleteFileW DeviceIoControl "
       "EnterCriticalSection FindFirstVolumeW FindNextVolumeW FindVolumeClose FormatMessageA "
       "FreeLibrary GetCurrentThreadId GetDiskFreeSpaceExW GetFileAttributesA GetFileAttributesW "
       "GetFileInformationByHandle GetFileSizeEx GetFileType GetFullPathNameW GetLastError "
       "GetModuleFileNameA GetModuleHandleA GetModuleHandleW GetProcAddress GetStartupInfoA "
       "GetSystemDirectoryA GetTempPathW GetVolumeInformationW GetWindowsDirectoryA GlobalAlloc "
       "GlobalFree GlobalLock GlobalUnlock InitializeCriticalSection IsDBCSLeadByteEx "
       "LeaveCriticalSection LoadLibraryA LoadLibraryW LocalFree MoveFileExW MulDiv "
       "MultiByteToWideChar OpenMutexA ReleaseMutex ReleaseSemaphore RemoveDirectoryW SetEndOfFile "
       "SetFilePointer SetLastError SetUnhandledExceptionFilter Sleep TlsAlloc TlsFree TlsGetValue "
       "TlsSetValue VirtualProtect VirtualQuery WaitForSingleObject WideCharToMultiByte WriteFile"},
      {"msvcrt.dll",
       "__argc __getmainargs __initenv __mb_cur_max __p___argv __p__acmdln __p__commode "
       "__p__fmode __set_app_type __setusermatherr _amsg_exit _cexit _close _errno _fdopen "
       "_filelengthi64 _fileno _findclose _fstat64 _get_osfhandle _initterm _iob _lseeki64 _onexit "
       "_read _telli64 _wchdir _wchmod _wfindfirst _wfindnext _wfopen _wfullpath _wgetcwd _wmkdir "
       "_wopen _write _wstat64 _wutime abort atoi calloc exit fclose fflush fgetpos fopen fprintf "
       "fputc fputs fread free fsetpos fwrite getc getenv getwc islower isspace isupper iswctype "
       "isxdigit localeconv malloc memchr memcmp memcpy memmove memset putc putwc realloc "
       "setlocale "
       "setvbuf signal strchr strcmp strcoll strerror strftime strlen strncmp strtoul strxfrm "
       "tolower towlower towupper ungetc ungetwc vfprintf wcscat wcscmp wcscoll wcscpy wcsftime "
       "wcslen wcsxfrm"},
  };
  std::set<std::string> allowed;
  for (const auto& [dll, names] : xp) {
    std::istringstream words(names);
    for (std::string name; words >> name;) allowed.insert(dll + "!" + name);
  }
  for (const peimage::Import& import : built.image->Imports) {
    EXPECT_TRUE(allowed.count(Lower(import.Dll) + "!" + import.Function))
        << import.Dll << "!" << import.Function;
  }

  // The manifest's text lies in the resource directory's bytes.
  const peimage::Image& image = *built.image;
  ASSERT_GT(image.Directories.size(), static_cast<size_t>(peimage::kDirResource));
  const peimage::DataDirectory& resources = image.Directories[peimage::kDirResource];
  const peimage::Section* section = image.SectionAt(resources.VirtualAddress);
  ASSERT_NE(section, nullptr) << "no resources";
  const size_t from = resources.VirtualAddress - section->VirtualAddress + section->RawOffset;
  ASSERT_LE(from + resources.Size, built.bytes.size());
  const std::string text(built.bytes.begin() + from, built.bytes.begin() + from + resources.Size);
  const size_t start = text.find("<assembly"), end = text.find("</assembly>");
  ASSERT_TRUE(start != std::string::npos && end != std::string::npos)
      << "no manifest among the resources";
  const std::string manifest = text.substr(start, end - start);
  for (const char* holds :
       {"level=\"requireAdministrator\"",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", ">true</dpiAware>"}) {
    EXPECT_NE(manifest.find(holds), std::string::npos) << holds;
  }
}

// Every file carries a version resource of the build's version, each naming
// itself: the driver as a system driver file, the two programs as programs. A
// resource whose blocks do not nest, or without its fixed part, is refused.
TEST(VersionResource, BothFilesCarryTheBuildsVersionAndNameThemselves) {
  const std::array<uint16_t, 4> build{DIMMIO_VERSION_MAJOR, DIMMIO_VERSION_MINOR,
                                      DIMMIO_VERSION_PATCH, DIMMIO_VERSION_BUILD};
  const struct {
    std::string file;
    uint32_t type, subtype;
  } files[] = {{"dimmio.sys", peimage::kFileTypeDriver, peimage::kFileSubtypeSystemDriver},
               {"dimmio.exe", peimage::kFileTypeApp, 0},
               {"dimmio-gui.exe", peimage::kFileTypeApp, 0}};
  for (const auto& f : files) {
    const Built& built = BuiltFile(f.file);
    ASSERT_TRUE(built.image) << f.file << ": " << built.error;
    const std::vector<uint8_t>& bytes = built.bytes;
    const auto& image = built.image;
    std::string error;
    const auto info = peimage::ReadVersionInfo(bytes, *image, &error);
    ASSERT_TRUE(info) << f.file << ": " << error;
    EXPECT_EQ(info->FileVersion, build) << f.file;
    EXPECT_EQ(info->ProductVersion, build) << f.file;
    EXPECT_EQ(info->FileType, f.type) << f.file;
    EXPECT_EQ(info->FileSubtype, f.subtype) << f.file;
    EXPECT_EQ(info->FileDate, 0u) << f.file << ": a build date in the version resource";
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
