// dimmio.exe under Wine: the tool's Windows code (C runtime, console,
// kernel32, advapi32 and the service manager) on a real Win32 runtime, for
// two image sets: the nt64 tree's 64-bit build of the same sources under
// 64-bit Wine, and the shipped 32-bit dimmio.exe, dimmio-gui.exe and
// dimmio.sys, from the release archive, under 32-bit Wine. Each run is held
// against the Windows target over the test bed's stand-in for Win32
// (support/win32), whose driver is the host build. Each set's dimmio.sys runs
// on its Wine's kernel: a test image whose hardware is a simulated board
// this process serves (sim/bridge_server.h), and the shipped i386 image on
// no board at all.
//
// Line ends: dimmio.exe writes its text through the C runtime's text mode,
// so on Windows every line ends in CR LF; with that one difference its
// output is the stand-in's byte for byte. Texts the system supplies (the
// message after "Windows error N") are Wine's own and are not compared.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli.h"
#include "dimmio_version.h"
#include "fake_windows.h"
#include "host_target.h"
#include "sim/board.h"
#include "platform/nt/bridge_wire.h"
#include "sim/bridge_server.h"
#include "check_rows.h"
#include "support/driver_under_test.h"
#include "support/i2cdump.h"
#include "sha256.h"
#include "windows_target.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exit = -1;
  std::string out, err;
};

// The prefixes and the files of one run; a run of its own (CTest runs the
// two image sets side by side) names another.
const fs::path kScratch =
    getenv("DIMMIO_WINE_SCRATCH") ? getenv("DIMMIO_WINE_SCRATCH") : DIMMIO_WINE_SCRATCH;
const fs::path kWork = kScratch / "work";  // the current directory of every run
const std::string kWineServer = (fs::path(DIMMIO_WINE64).parent_path() / "wineserver").string();

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

// Starts a program (found on the PATH) in the current directory, standard input empty, its
// output into `out` and `err`; 0 when it does not start.
pid_t Start(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], &files, nullptr, args.data(), environ) != 0) pid = 0;
  posix_spawn_file_actions_destroy(&files);
  return pid;
}

// The exit code of a started program, once it has ended; -1 when it did not.
// A program still running after `seconds` is killed and counts as exit -1.
int Finish(pid_t pid, int seconds = 120) {
  if (pid == 0) return -1;
  int status = 0;
  for (int tenths = 0; waitpid(pid, &status, WNOHANG) == 0; ++tenths) {
    if (tenths == seconds * 10) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "a program still running after " << seconds << " s";
      return -1;
    }
    usleep(100000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A started program's exit code and what it wrote, once it has ended.
Outcome Collect(pid_t pid, const fs::path& out, const fs::path& err, int seconds = 120) {
  const int exit = Finish(pid, seconds);
  return {exit, ReadFile(out), ReadFile(err)};
}

// Runs a program and collects what it wrote and its exit code.
Outcome Spawn(const std::vector<std::string>& argv, int seconds = 120) {
  const fs::path out = kScratch / "stdout", err = kScratch / "stderr";
  return Collect(Start(argv, out, err), out, err, seconds);
}

// One set of Windows images and the Wine that runs them, in a prefix of its
// own: the nt64 tree's x86-64 programs and test image under 64-bit Wine, and
// the i386 images users install, from the release archive unpacked, under
// 32-bit Wine (a prefix of WINEARCH win32: Wine's i386 kernel and service
// manager). Each prefix is booted when a case first uses it.
struct ImageSet {
  std::string name;
  std::string wine;   // the loader
  const char* arch;   // WINEARCH of the prefix
  fs::path programs;  // dimmio.exe, dimmio-gui.exe and pci.ids; where install takes dimmio.sys from
  fs::path installs;  // the dimmio.sys `driver install` takes (the built one the exe holds to)
  fs::path testImage;   // the image over the simulated board
  fs::path tools;       // the test programs of the same architecture
  std::string missing;  // why this set cannot run here; empty while it can
  bool booted = false;
  std::unique_ptr<sim::BridgeServer> board;  // what the test image's hardware primitives reach

  fs::path Prefix() const { return kScratch / ("prefix-" + name); }
  fs::path Tool(const char* file) const { return tools / file; }
};

// The i386 set's files: the archive scripts/dist.py packs from the nt tree,
// unzipped as a user would; the simulated-board image and the test programs
// from the nt tree, as they are not in the archive.
std::string UnpackRelease(const fs::path& into) {
  const fs::path dist = into / "dist";
  fs::create_directories(dist);
  const Outcome pack = Spawn({DIMMIO_SOURCE_DIR "/scripts/dist.py", DIMMIO_NT_DIR, dist.string()});
  if (pack.exit != 0) return "scripts/dist.py failed: " + pack.out + pack.err;
  for (const auto& zip : fs::directory_iterator(dist)) {
    const std::string file = zip.path().string();
    if (Spawn({"unzip", "-q", "-o", "-d", (into / "unpacked").string(), file}).exit != 0)
      return "unzip failed on " + file;
  }
  return "";
}

std::vector<ImageSet>& ImageSets() {
  static std::vector<ImageSet> sets = [] {
    const fs::path nt64 = fs::path(DIMMIO_NT64_EXE).parent_path();
    const fs::path wine32 = fs::path(DIMMIO_WINE64).parent_path() / "wine";
    std::vector<ImageSet> made(2);
    // clang-format off
    made[0] = {"x86_64", DIMMIO_WINE64, "win64", nt64, DIMMIO_NT64_SYS, DIMMIO_NT64_SYS, nt64,
               "", false, {}};
    made[1] = {"i386", wine32.string(), "win32", kScratch / "release", DIMMIO_NT_DIR "/dimmio.sys",
               DIMMIO_NT_DIR "/simulated-board/dimmio.sys", DIMMIO_NT_DIR "/wine-tools",
               "", false, {}};
    // clang-format on
    if (!fs::exists(wine32)) {
      const std::string why = ReadFile(DIMMIO_SOURCE_DIR "/build/wine32-missing");
      made[1].missing =
          "no 32-bit Wine: " +
          (why.empty() ? "Debian's wine32 is not installed (scripts/setup.sh)\n" : why);
    }
    return made;
  }();
  return sets;
}

ImageSet* current = nullptr;  // the set later runs use

// Boots the set's prefix the first time: a wine server that stays up until
// the close (Debian's starts with -p0 and ends as each program does: then a
// service created by one run is not there for the next), then one program
// that creates and boots the prefix. Not `wineboot --init`: that boots it a
// second time, and then two service managers answer in turn, each with its
// own services. Later runs go to this set's Wine and prefix.
void Use(ImageSet& set) {
  current = &set;
  setenv("WINEPREFIX", set.Prefix().c_str(), 1);
  setenv("WINEARCH", set.arch, 1);
  if (set.booted) return;
  set.booted = true;
  ASSERT_TRUE(fs::exists(set.wine)) << set.name << " Wine is missing: " << set.wine;
  if (&set == &ImageSets()[1]) {  // the i386 set, from the release archive
    ASSERT_EQ(UnpackRelease(kScratch / "release"), "");
    for (const auto& folder : fs::directory_iterator(kScratch / "release" / "unpacked"))
      set.programs = folder.path();
    set.installs = set.programs / "dimmio.sys";
    ASSERT_TRUE(fs::exists(set.programs / "dimmio.exe")) << set.programs;
  }
  for (const fs::path& file :
       {set.testImage, set.Tool("dimmio-requests.exe"), set.Tool("dimmio-keeper.sys")}) {
    ASSERT_TRUE(fs::exists(file)) << "build the nt and nt64 presets: " << file;
  }
  fs::create_directories(set.Prefix());
  ASSERT_EQ(Spawn({kWineServer, "-p"}).exit, 0);
  const Outcome boot = Spawn({set.wine, "cmd", "/c", "exit"});
  ASSERT_EQ(boot.exit, 0) << boot.err;
  // A win32 prefix has one system folder, of i386 programs, and its kernel is i386.
  ASSERT_EQ(fs::exists(set.Prefix() / "drive_c/windows/syswow64"), std::string(set.arch) == "win64")
      << set.name;
  set.board =
      std::make_unique<sim::BridgeServer>(set.Prefix() / "drive_c" / DIMMIO_BRIDGE_DIRECTORY);
}

Outcome OnWine(const std::vector<std::string>& args, const std::string& exe = DIMMIO_NT64_EXE,
               int seconds = 120) {
  std::vector<std::string> argv{current->wine, exe};
  argv.insert(argv.end(), args.begin(), args.end());
  return Spawn(argv, seconds);
}

std::string RequestsExe() {
  return current->Tool("dimmio-requests.exe").string();
}

// The request sender holding the SMBus mutex for `holdMs` (waiting 10 s for
// it), returned once it holds it; 0 when it does not start.
pid_t StartHolding(int holdMs) {
  const fs::path out = kScratch / "holder.out";
  fs::remove(out);
  const pid_t pid = Start({current->wine, RequestsExe(), "hold", "10000", std::to_string(holdMs)},
                          out, kScratch / "holder.err");
  for (int i = 0; pid != 0 && i < 3000 && ReadFile(out) != "took\r\n"; ++i) usleep(20000);
  return pid;
}

// Where a Unix path is for a Windows program under Wine: the drive Z: is the root.
std::string WinePath(const fs::path& path) {
  std::string text = "Z:" + path.string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

// A text's lines without their line ends, or its pieces between `end`s.
std::vector<std::string> Lines(const std::string& text, char end = '\n') {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line, end);) lines.push_back(line);
  return lines;
}

// A text dimmio.exe wrote, with its CR LF line ends as LF; a line end
// without its CR fails the test.
std::string FromWindows(const std::string& text, const std::string& what) {
  std::string unix;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      ADD_FAILURE() << what << ": a line ends in LF alone at byte " << i;
    }
    unix += text[i];
  }
  return unix;
}

// The system's message after "Windows error N" goes: Wine words it its own way.
std::string WithoutSystemText(const std::string& text) {
  static const std::regex message("(Windows error [0-9]+): [^)\n]*");
  return std::regex_replace(text, message, "$1");
}

Outcome Comparable(Outcome run, const std::string& what) {
  run.out = WithoutSystemText(FromWindows(run.out, what + " (stdout)"));
  run.err = WithoutSystemText(FromWindows(run.err, what + " (stderr)"));
  return run;
}

Outcome OnHost(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int exit = dimmio::cli::Run(args, dimmio::cli::SimulatedBoards(), out, err);
  return {exit, out.str(), err.str()};
}

// Fresh prefixes for the run, each booted once and shared by every case;
// the saved dumps in the directory the runs start in. Their wine servers are
// ended at the close.
class WinePrefix : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);  // no mono, no gecko
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    ASSERT_TRUE(fs::exists(DIMMIO_WINE64)) << "64-bit Wine is missing: " DIMMIO_WINE64;
    ASSERT_TRUE(fs::exists(DIMMIO_NT64_EXE)) << "build the nt64 preset: " DIMMIO_NT64_EXE;
    ASSERT_TRUE(fs::exists(DIMMIO_NT64_SYS)) << "build the nt64 preset: " DIMMIO_NT64_SYS;
    fs::remove_all(kScratch);
    fs::create_directories(kWork);
    fs::current_path(kWork);

    const Outcome hex = OnHost({"spd", "--slot", "0"});
    const Outcome raw = OnHost({"spd", "--slot", "2", "--raw"});
    ASSERT_EQ(hex.exit, 0);
    ASSERT_EQ(raw.exit, 0);
    WriteFile("hex.txt", hex.out);
    WriteFile("raw.bin", raw.out);
    const std::string& bytes = raw.out;
    WriteFile("i2cdump.txt", testsupport::I2cdumpText(
                                 {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}));
  }
  void TearDown() override {
    for (ImageSet& set : ImageSets()) {
      if (!set.booted) continue;
      setenv("WINEPREFIX", set.Prefix().c_str(), 1);
      Spawn({kWineServer, "-k"});
      set.board.reset();
    }
  }
};

[[maybe_unused]] const auto* const kPrefixEnvironment =
    ::testing::AddGlobalTestEnvironment(new WinePrefix);

std::string CommandLine(const std::vector<std::string>& args) {
  std::string line = "dimmio";
  for (const std::string& a : args) line += ' ' + a;
  return line;
}

using testsupport::Words;

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char two[3];
  for (uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02x", b);
    text += two;
  }
  return text.empty() ? "-" : text;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A text as it stands between the quotes of a JSON string.
std::string JsonInside(const std::string& text) {
  const std::string quoted = nlohmann::json(text).dump();
  return quoted.substr(1, quoted.size() - 2);
}

// The answer line the request sender prints, from the host build's reply.
std::string AnswerLine(const contract::Reply& reply) {
  char head[32];
  std::snprintf(head, sizeof head, "%08x %u ", static_cast<uint32_t>(reply.status),
                reply.information);
  return head + Hex(reply.output);
}

// The host build's answer lines to `rows`, loaded afresh on `machine`.
std::vector<std::string> HostAnswers(sim::Machine& machine,
                                     const std::vector<contract::CheckRow>& rows) {
  sim::AttachScope attach(machine);
  const std::unique_ptr<contract::DriverUnderTest> host = contract::MakeDriverUnderTest(machine);
  std::vector<std::string> answers;
  if (host->Start() != STATUS_SUCCESS) return answers;
  for (const contract::CheckRow& row : rows)
    answers.push_back(AnswerLine(host->Wait(host->Submit(row.code, row.input, row.outputLength))));
  EXPECT_TRUE(host->Unload());
  return answers;
}

// Each row's answer on Wine against the host build's.
void ExpectAnswers(const std::vector<std::string>& wine, const std::vector<std::string>& host,
                   const std::vector<contract::CheckRow>& rows) {
  ASSERT_EQ(host.size(), rows.size()) << "the host build did not start";
  ASSERT_EQ(wine.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(wine[i], host[i]) << rows[i].what;
}

// A case of the driver under Wine's kernel: the image set and the board.
struct KernelCase {
  int set;  // ImageSets()[set]
  const char* board;
};

std::string CaseName(const ::testing::TestParamInfo<KernelCase>& info) {
  return ImageSets()[info.param.set].name + "_" + info.param.board;
}

// A virtual X display for the window (Xvfb), ended with the object.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    const fs::path number = kScratch / "display";
    pid_ =
        Start({DIMMIO_XVFB, "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
              number, kScratch / "xvfb.err");
    for (int i = 0; pid_ != 0 && i < 200 && name_.empty(); ++i) {
      const std::string text = ReadFile(number);
      if (text.find('\n') != std::string::npos) name_ = ":" + text.substr(0, text.find('\n'));
      usleep(50000);
    }
  }
  ~VirtualDisplay() {
    if (pid_ == 0) return;
    kill(pid_, SIGTERM);
    Finish(pid_, 10);
  }
  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = 0;
  std::string name_;
};

// A set's dimmio.sys under Wine's kernel, installed and started with the
// set's dimmio.exe through Wine's service manager. The test image's hardware
// is the board the bridge serves. dimmio.exe installs only the dimmio.sys it
// was built with: the x86-64 set's is its test image; the i386 set's is the
// shipped image, and, as an administrator may replace a driver file, the
// test then puts the simulated-board image in System32\drivers in its place
// before the service starts. On the default board the commands that need no
// driver, and those that meet its missing service and device, come first.
// Every command and every request of the contract's checks table must answer
// as the host build answers on the same board, and on the default board the
// window lists what it read; then the service stops, its device and link go,
// and it starts again.
class WineKernel : public ::testing::TestWithParam<KernelCase> {
 protected:
  void SetUp() override {
    ImageSet& set = ImageSets()[GetParam().set];
    if (!set.missing.empty()) GTEST_SKIP() << set.missing;
    ASSERT_NO_FATAL_FAILURE(Use(set));
    dir_ = kScratch / ("driver-" + CaseName({GetParam(), 0}));
    fs::create_directories(dir_);
    programs_ = set.programs;
    if (GetParam().set == 0) {  // the x86-64 set
      programs_ = dir_;
      for (const fs::path& from : {fs::path(DIMMIO_NT64_EXE), set.installs,
                                   set.programs / "pci.ids", set.programs / "dimmio-gui.exe"}) {
        fs::copy_file(from, dir_ / from.filename(), fs::copy_options::overwrite_existing);
      }
    }
    board_ = sim::FindBoard(GetParam().board);
    ASSERT_NE(board_, nullptr);
    models_ = sim::Build(*board_, machine_);
    current->board->Serve(&machine_);
    fakewin::Reset(*board_, Exe());
    // The stand-in's program was built with the image install takes.
    const std::string image = ReadFile(set.installs);
    fakewin::TheMachine().BuiltDriverSha256 =
        dimmio::cli::Sha256Hex({reinterpret_cast<const uint8_t*>(image.data()), image.size()});
  }
  void TearDown() override {
    if (current == nullptr || IsSkipped()) return;
    OnWine({"driver", "remove"}, Exe());
    current->board->Serve(nullptr);
  }

  std::string Exe() const { return (programs_ / "dimmio.exe").string(); }

  // `driver install`, as the host build's stand-in says it, and the keeper
  // in the service's group. Where install took the shipped image, that image
  // runs first; then the test image takes the installed file's place.
  void Install() {
    ASSERT_EQ(ExpectSameAsHostBuild({"driver", "install"}), 0);
    const fs::path installed = current->Prefix() / "drive_c/windows/system32/drivers/dimmio.sys";
    ASSERT_EQ(ReadFile(installed), ReadFile(current->installs)) << "install copied another file";
    ASSERT_EQ(OnWine({"keep", WinePath(current->Tool("dimmio-keeper.sys"))}, RequestsExe()).out,
              "kept\r\n");
    if (current->installs != current->testImage) ExpectTheShippedImageOnNoBoard();
    fs::copy_file(current->testImage, installed, fs::copy_options::overwrite_existing);
  }

  // The shipped i386 dimmio.sys itself, from the unpacked archive, under
  // 32-bit Wine's kernel, which reaches no hardware: every PCI register reads
  // all ones and the BIOS area cannot be mapped. It starts; each request
  // answers as the host build answers on a machine with nothing on it whose
  // BIOS area fails to map (after a fresh load, as the SMBIOS fill's failure
  // goes to the first query alone), and the tool reads its version; it stops
  // and unloads, its device and link gone.
  void ExpectTheShippedImageOnNoBoard() {
    SCOPED_TRACE("the shipped image");
    const Outcome start = OnWine({"driver", "start"}, Exe());
    ASSERT_EQ(start.exit, 0) << start.out << start.err;
    ExpectService(true);
    const std::vector<contract::CheckRow> requests = contract::CheckRows();
    sim::Machine empty;
    empty.FailMapAt(0xF0000);
    ExpectAnswers(SendOnWine("send", requests), HostAnswers(empty, requests), requests);
    // The version the i386 tool reads from the installed image's resources.
    const Outcome version = Comparable(OnWine({"--version"}, Exe()), "dimmio --version");
    EXPECT_NE(version.out.find("driver: " DIMMIO_VERSION_TEXT
                               " (C:\\windows\\system32\\drivers\\dimmio.sys)"),
              std::string::npos)
        << version.out << version.err;
    ASSERT_EQ(OnWine({"driver", "stop"}, Exe()).exit, 0);
    ExpectService(false);
  }

  // The same command on Wine and over the stand-in, whose driver is the host
  // build on the same board and keeps running between commands; the exit
  // code it returns.
  int ExpectSameAsHostBuild(const std::vector<std::string>& args) {
    return ExpectSameAsHostBuild(args, OnWine(args, Exe()));
  }
  // The same for a run on Wine already done.
  int ExpectSameAsHostBuild(const std::vector<std::string>& args, const Outcome& run) {
    const std::string command = CommandLine(args);
    Outcome wine = Comparable(run, command);
    // The stand-in's program is in the same folder, named the Unix way.
    const std::string windows = WinePath(programs_) + '\\', unix = programs_.string() + '/';
    for (std::string* text : {&wine.out, &wine.err}) {
      *text = Replaced(Replaced(*text, windows, unix), JsonInside(windows), JsonInside(unix));
    }
    std::ostringstream out, err;
    const int standIn = dimmio::cli::Run(args, dimmio::cli::WindowsMachine(), out, err);
    EXPECT_EQ(wine.exit, standIn) << command << ": " << wine.err;
    EXPECT_EQ(wine.out, WithoutSystemText(out.str())) << command;
    EXPECT_EQ(wine.err, WithoutSystemText(err.str())) << command;
    return wine.exit;
  }

  fs::path RunFile(size_t run, const char* what) const {
    return kScratch / ("run" + std::to_string(run) + "." + what);
  }

  // Stopped in time, its device and link gone; or, while it runs, the
  // service, its device and its link found (the check sees what it looks
  // for). The keeper driver holds Wine's driver host of the group open, so
  // what dimmio.sys left behind would still be found.
  void ExpectService(bool running) {
    const Outcome seen = OnWine({"gone", running ? "0" : "20"}, RequestsExe(), 30);
    EXPECT_EQ(seen.out, running ? "running 00000000 00000000\r\n" : "stopped c0000034 c0000034\r\n")
        << "service, device, link";
  }

  // The requests through the request sender's handle, one answer line each.
  std::vector<std::string> SendOnWine(const std::string& how,
                                      const std::vector<contract::CheckRow>& rows) {
    std::string script;
    for (const contract::CheckRow& row : rows) {
      char code[16];
      std::snprintf(code, sizeof code, "%08x", row.code);
      script +=
          std::string(code) + ' ' + Hex(row.input) + ' ' + std::to_string(row.outputLength) + '\n';
    }
    WriteFile(dir_ / "requests.txt", script);
    const Outcome sent = OnWine({how, WinePath(dir_ / "requests.txt")}, RequestsExe());
    EXPECT_EQ(sent.exit, 0) << how << ": " << sent.out;
    return Lines(FromWindows(sent.out, how));
  }

  // dimmio-gui.exe under Wine on a virtual display, over the board the driver
  // serves: its slot list has a row for each module of the first bank,
  // showing the module's part number; the HTML report and the dumps it saves
  // once it has read are what dimmio.exe writes; it closes when asked. Its
  // screenshot is left in the build tree (tests/wine/dimmio-gui-SET.xwd).
  void ExpectTheWindow() {
    SCOPED_TRACE("the window");
    const fs::path gui = programs_ / "dimmio-gui.exe";
    ASSERT_TRUE(fs::exists(gui)) << "build the nt and nt64 presets: " << gui;
    ASSERT_TRUE(fs::exists(DIMMIO_XVFB)) << "Xvfb is missing: run scripts/setup.sh";
    const VirtualDisplay display;
    ASSERT_FALSE(display.Name().empty()) << ReadFile(kScratch / "xvfb.err");
    setenv("DISPLAY", display.Name().c_str(), 1);
    const pid_t window =
        Start({current->wine, gui.string(), "--save", "html", WinePath(dir_ / "gui.html"), "--save",
               "bin", WinePath(dir_ / "gui.bin"), "--save", "i2cdump", WinePath(dir_ / "gui.txt")},
              kScratch / "gui.out", kScratch / "gui.err");
    const Outcome rows = OnWine({"window-rows"}, RequestsExe(), 90);
    Spawn({DIMMIO_XWD, "-root", "-silent", "-display", display.Name(), "-out",
           DIMMIO_GUI_SCREENSHOTS "/dimmio-gui-" + current->name + ".xwd"});
    EXPECT_EQ(OnWine({"window-close"}, RequestsExe()).exit, 0);
    EXPECT_EQ(Finish(window, 30), 0) << "the window's saves or its read failed";
    unsetenv("DISPLAY");
    ASSERT_EQ(rows.exit, 0) << rows.out;

    // The list control's rows: its part column against the board's modules.
    std::vector<std::vector<std::string>> lines;
    for (const std::string& line : Lines(FromWindows(rows.out, "dimmio-requests window-rows")))
      lines.push_back(Lines(line, '\t'));
    ASSERT_FALSE(lines.empty());
    const auto part = std::find(lines[0].begin(), lines[0].end(), "part") - lines[0].begin();
    ASSERT_LT(part, static_cast<long>(lines[0].size())) << rows.out;
    const std::vector<sim::SpdSlotSpec>& modules = board_->smbus->segment0;
    ASSERT_EQ(lines.size() - 1, modules.size()) << "a row for each module: " << rows.out;
    for (size_t row = 0; row < modules.size(); ++row) {
      EXPECT_EQ(lines[row + 1].at(part), modules[row].dimm.partNumber) << "row " << row;
    }
    const Outcome report = OnWine({"report", "--html", WinePath(dir_ / "tool.html")}, Exe());
    ASSERT_EQ(report.exit, 0) << report.err;
    EXPECT_EQ(ReadFile(dir_ / "gui.html"), ReadFile(dir_ / "tool.html"));

    // Each module's dumps: the bytes spd --raw gives, as binary and as the
    // i2cdump text the decoder reads back.
    for (const sim::SpdSlotSpec& module : modules) {
      const std::string n = std::to_string(module.slot);
      const Outcome raw = OnWine({"spd", "--slot", n, "--raw"}, Exe());
      EXPECT_EQ(ReadFile(dir_ / ("gui-slot" + n + ".bin")), raw.out) << "slot " << n;
      const Outcome decoded =
          OnHost({"decode", "--json", (dir_ / ("gui-slot" + n + ".txt")).string()});
      ASSERT_EQ(decoded.exit, 0) << decoded.err;
      EXPECT_EQ(nlohmann::json::parse(decoded.out)[0]["data"],
                nlohmann::json(std::vector<uint8_t>(raw.out.begin(), raw.out.end())))
          << "slot " << n;
    }
  }

  // The host build's answers after a fresh load on the case's board.
  std::vector<std::string> BoardAnswers(const std::vector<contract::CheckRow>& rows) {
    sim::Machine machine;
    [[maybe_unused]] const sim::BoardModels models = sim::Build(*board_, machine);
    return HostAnswers(machine, rows);
  }

  const sim::Board* board_ = nullptr;
  sim::Machine machine_;
  sim::BoardModels models_;
  fs::path dir_;       // the case's own files
  fs::path programs_;  // where dimmio.exe runs from
};

TEST_P(WineKernel, AnswersAsTheHostBuildAndUnloads) {
  if (board_ == &sim::DefaultBoard()) {
    SCOPED_TRACE("before the driver is installed");
    // `driver remove` leaves the file an earlier case installed: none is there now.
    fs::remove(current->Prefix() / "drive_c/windows/system32/drivers/dimmio.sys");
    const std::vector<std::vector<std::string>> withoutTheDriver = {
        // No device needed: the C runtime's console, files and exit codes.
        {"--help"},
        {"frobnicate"},
        {"decode", "hex.txt", "i2cdump.txt", "raw.bin"},
        {"decode", "missing.bin"},
        // The service manager has no service dimmio, the kernel no device.
        {"--version"},
        {"driver", "start"},
        {"driver", "remove"},
        {},
    };
    for (const auto& args : withoutTheDriver) ExpectSameAsHostBuild(args);
  }
  ASSERT_NO_FATAL_FAILURE(Install());
  ASSERT_EQ(ExpectSameAsHostBuild({"driver", "start"}), 0) << "the service did not start";
  ExpectService(true);
  // Each request the tool sends, through DeviceIoControl, answered or refused.
  const std::vector<std::vector<std::string>> commands = {
      {"report"},
      {"spd", "--slot", "2", "--offset", "64", "--count", "9"},
      {"spd", "--slot", "6"},
      {"probe", "--slot", "1", "--yes", "--json"},
      {"pci", "0", "30", "6", "--json"},
  };
  for (const auto& args : commands) ExpectSameAsHostBuild(args);
  if (board_ == &sim::DefaultBoard()) ExpectTheWindow();

  // Two dimmio.exe started together while another hardware tool holds the
  // SMBus mutex for 2 s: each waits for it, then they take it in turn, and
  // each answers as the host build does. A report on the second bank beside
  // an SPD read on the first shows the turns whole: the other's switch back
  // to the first bank between the report's slots would put the first bank's
  // modules in it. The runs end no sooner than the holder lets go (a margin
  // for this side seeing it take the mutex late).
  const pid_t holder = StartHolding(2000);
  ASSERT_NE(holder, 0);
  const auto since = std::chrono::steady_clock::now();
  const std::vector<std::vector<std::string>> runs = {{"report", "--segment", "1", "--json"},
                                                      {"spd", "--slot", "0"}};
  std::vector<pid_t> pids;
  for (size_t i = 0; i < runs.size(); ++i) {
    std::vector<std::string> argv{current->wine, Exe()};
    argv.insert(argv.end(), runs[i].begin(), runs[i].end());
    pids.push_back(Start(argv, RunFile(i, "out"), RunFile(i, "err")));
  }
  for (size_t i = 0; i < runs.size(); ++i) {
    const Outcome run = Collect(pids[i], RunFile(i, "out"), RunFile(i, "err"));
    EXPECT_GE(std::chrono::steady_clock::now() - since, std::chrono::milliseconds(1500))
        << CommandLine(runs[i]) << " did not wait";
    EXPECT_EQ(ExpectSameAsHostBuild(runs[i], run), 0) << CommandLine(runs[i]);
  }
  EXPECT_EQ(Finish(holder), 0);
  EXPECT_EQ(ExpectSameAsHostBuild({"driver", "stop"}), 0);
  ExpectService(false);

  // A second start loads the image afresh: the checks table's requests, each
  // held against the host build's answer after a fresh load on the board.
  const Outcome start = OnWine({"driver", "start"}, Exe());
  ASSERT_EQ(start.exit, 0) << "the service did not start again: " << start.err;
  const std::vector<contract::CheckRow> rows = contract::CheckRows();
  ExpectAnswers(SendOnWine("send", rows), BoardAnswers(rows), rows);

  // Who may send what: through a handle opened for reading alone the kernel
  // passes the read requests to the driver and refuses the others, by the
  // access bits of their codes.
  const int32_t kDenied = static_cast<int32_t>(0xC0000022);  // STATUS_ACCESS_DENIED
  const std::vector<contract::CheckRow> readOnly = {
      {"spd", IOCTL_READ_SPD, {0, 0}, 80, STATUS_SUCCESS, 0},
      {"slots", IOCTL_GET_MEMORY_SLOT_COUNT, {}, 80, STATUS_SUCCESS, 0},
      {"modules", IOCTL_GET_MEMORY_MODULE_COUNT, {}, 80, STATUS_SUCCESS, 0},
      {"chipset", IOCTL_GET_CHIPSET_INFO, {}, 24, STATUS_SUCCESS, 0},
      {"count", IOCTL_GET_PCI_DEVICE_COUNT, {}, 4, STATUS_SUCCESS, 0},
      {"system info", IOCTL_GET_SYSTEM_INFO, {}, 1024, STATUS_SUCCESS, 0},
      {"segment", IOCTL_SET_SEGMENT, Words({0}), 76, kDenied, 0},
      {"probe", IOCTL_PROBE_SPD_WRITE, {0}, 80, kDenied, 0},
      {"table", IOCTL_GET_PCI_DEVICE_TABLE, Words({1}), 24, kDenied, 0},
      {"config", IOCTL_READ_PCI_CONFIG, Words({0, 0, 0, 0, 0, 0}), 256, kDenied, 0},
  };
  const std::vector<std::string> refusals = SendOnWine("send-read", readOnly);
  ASSERT_EQ(refusals.size(), readOnly.size());
  for (size_t i = 0; i < readOnly.size(); ++i) {
    EXPECT_EQ(refusals[i] == "c0000022 0 -", readOnly[i].status == kDenied)
        << readOnly[i].what << ": " << refusals[i];
  }

  // SPD reads started at once and cancelled: each ends, served as the host
  // build serves it or cancelled with nothing written, and at least the last
  // in the queue is cancelled. Then reads left pending on a handle closed
  // under them: the driver serves on, and stops and unloads below.
  const std::vector<contract::CheckRow> reads(
      12, {"spd", IOCTL_READ_SPD, {0, 0}, 80, STATUS_SUCCESS, 0});
  const std::vector<std::string> served = BoardAnswers(reads);
  ASSERT_EQ(served.size(), reads.size()) << "the host build did not start";
  const std::vector<std::string> cancelled = SendOnWine("cancel", reads);
  ASSERT_EQ(cancelled.size(), reads.size());
  for (size_t i = 0; i < reads.size(); ++i) {
    EXPECT_TRUE(cancelled[i] == served[i] || cancelled[i] == "c0000120 0 -")
        << "request " << i << ": " << cancelled[i];
  }
  EXPECT_EQ(cancelled.back(), "c0000120 0 -") << "the last in the queue";
  EXPECT_EQ(SendOnWine("close", reads), std::vector<std::string>{"closed"});
  EXPECT_EQ(SendOnWine("send", {reads[0]}), std::vector<std::string>{served[0]});

  ExpectService(true);
  const Outcome stop = OnWine({"driver", "stop"}, Exe());
  EXPECT_EQ(stop.exit, 0) << stop.err;
  ExpectService(false);
}

// The x86-64 image, built here alone, on the default board, one of another
// family (VIA, its second bank behind the south bridge's output port) and
// one with DDR4 modules behind their page commands; the i386 image, which
// the 32-bit loader runs on every board, on the default board, under the
// i386 kernel.
INSTANTIATE_TEST_SUITE_P(Boards, WineKernel,
                         ::testing::Values(KernelCase{0, "ich5"}, KernelCase{0, "via686b"},
                                           KernelCase{0, "pch100"}, KernelCase{1, "ich5"}),
                         CaseName);

}  // namespace
