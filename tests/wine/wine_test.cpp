// dimmio.exe under 64-bit Wine: the tool's Windows code (C runtime, console,
// kernel32, advapi32 and the service manager) on a real Win32 runtime. The
// program is the nt64 tree's build of the same sources as the shipped 32-bit
// dimmio.exe; without a driver every command that needs the device meets
// the missing device. Each run is held against the host tool and against the
// Windows target over the test bed's stand-in for Win32 (support/win32).
// Then the nt64 tree's test-only x86-64 dimmio.sys runs on Wine's kernel,
// its hardware a simulated board this process serves (sim/bridge_server.h).
//
// Line ends: dimmio.exe writes its text through the C runtime's text mode,
// so on Windows every line ends in CR LF; with that one difference its
// output is the host tool's byte for byte. Texts the system supplies (the
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

const fs::path kScratch = DIMMIO_WINE_SCRATCH;  // the prefix and the files of one run
const fs::path kPrefix = kScratch / "prefix";
const fs::path kWork = kScratch / "work";  // the current directory of every run
const std::string kWineServer = (fs::path(DIMMIO_WINE64).parent_path() / "wineserver").string();

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

// Starts a program in the current directory, standard input empty, its
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
  if (posix_spawn(&pid, args[0], &files, nullptr, args.data(), environ) != 0) pid = 0;
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

// Runs a program and collects what it wrote and its exit code.
Outcome Spawn(const std::vector<std::string>& argv, int seconds = 120) {
  const fs::path out = kScratch / "stdout", err = kScratch / "stderr";
  Outcome run;
  run.exit = Finish(Start(argv, out, err), seconds);
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  return run;
}

Outcome OnWine(const std::vector<std::string>& args, const std::string& exe = DIMMIO_NT64_EXE,
               int seconds = 120) {
  std::vector<std::string> argv{DIMMIO_WINE64, exe};
  argv.insert(argv.end(), args.begin(), args.end());
  return Spawn(argv, seconds);
}

std::string LockHolderExe() {
  return (fs::path(DIMMIO_NT64_EXE).parent_path() / "lock_holder.exe").string();
}

// The tick (ms) of a step lock_holder.exe printed, from its whole lines (its
// output may be read mid-line); -1 when it has not printed it.
int64_t HolderTick(const std::string& text, const std::string& step) {
  const std::regex line("(^|\n)" + step + " ([0-9]+)\r?\n");
  std::smatch found;
  return std::regex_search(text, found, line) ? std::stoll(found[2]) : -1;
}

// lock_holder.exe started with `args` (wait ms, hold ms, [--die-holding]),
// returned once it holds the SMBus mutex; 0 when it does not start.
pid_t StartHolding(const std::vector<std::string>& args) {
  const fs::path out = kScratch / "holder.out";
  fs::remove(out);
  std::vector<std::string> argv{DIMMIO_WINE64, LockHolderExe()};
  argv.insert(argv.end(), args.begin(), args.end());
  const pid_t pid = Start(argv, out, kScratch / "holder.err");
  for (int i = 0; pid != 0 && i < 3000 && HolderTick(ReadFile(out), "took") < 0; ++i) usleep(20000);
  return pid;
}

// Where a Unix path is for a Windows program under Wine: the drive Z: is the root.
std::string WinePath(const fs::path& path) {
  std::string text = "Z:" + path.string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
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

// The Windows target over the stand-in, as dimmio.exe at `program` on a
// machine without the driver installed.
Outcome OnStandIn(const std::vector<std::string>& args, const std::string& program) {
  fakewin::Reset(sim::DefaultBoard(), program);
  std::ostringstream out, err;
  const int exit = dimmio::cli::Run(args, dimmio::cli::WindowsMachine(), out, err);
  return {exit, WithoutSystemText(out.str()), WithoutSystemText(err.str())};
}

// A fresh prefix for the run, booted once and shared by every case; the
// saved dumps in the directory the runs start in. Its wine server is ended
// at the close.
class WinePrefix : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("WINEPREFIX", kPrefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);  // no mono, no gecko
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    ASSERT_TRUE(fs::exists(DIMMIO_WINE64)) << "64-bit Wine is missing: " DIMMIO_WINE64;
    ASSERT_TRUE(fs::exists(DIMMIO_NT64_EXE)) << "build the nt64 preset: " DIMMIO_NT64_EXE;
    ASSERT_TRUE(fs::exists(DIMMIO_NT64_SYS)) << "build the nt64 preset: " DIMMIO_NT64_SYS;
    ASSERT_TRUE(fs::exists(DIMMIO_NT64_REQUESTS)) << "build the nt64 preset: " DIMMIO_NT64_REQUESTS;
    fs::remove_all(kScratch);
    fs::create_directories(kWork);
    fs::create_directories(kPrefix);
    fs::current_path(kWork);
    // A server that stays up until the close. Debian's starts with -p0 and
    // ends as each program does: then a service created by one run is not
    // there for the next.
    ASSERT_EQ(Spawn({kWineServer, "-p"}).exit, 0);
    // The first program creates and boots the prefix. Not `wineboot --init`:
    // that boots it a second time, and then two service managers answer in
    // turn, each with its own services.
    const Outcome boot = Spawn({DIMMIO_WINE64, "cmd", "/c", "exit"});
    ASSERT_EQ(boot.exit, 0) << boot.err;

    const Outcome hex = OnHost({"spd", "--slot", "0"});
    const Outcome raw = OnHost({"spd", "--slot", "2", "--raw"});
    ASSERT_EQ(hex.exit, 0);
    ASSERT_EQ(raw.exit, 0);
    WriteFile("hex.txt", hex.out);
    WriteFile("raw.bin", raw.out);
    const std::string& bytes = raw.out;
    WriteFile("i2cdump.txt", testsupport::I2cdumpText(
                                 {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}));
    WriteFile("bad.txt", "Samsung module, bought 2004\n");
    board = std::make_unique<sim::BridgeServer>(kPrefix / "drive_c" / DIMMIO_BRIDGE_DIRECTORY);
  }
  void TearDown() override {
    Spawn({kWineServer, "-k"});
    board.reset();
  }

  // What the x86-64 driver image's hardware primitives reach.
  static inline std::unique_ptr<sim::BridgeServer> board;
};

[[maybe_unused]] const auto* const kPrefixEnvironment = ::testing::AddGlobalTestEnvironment(new WinePrefix);

bool WantsJson(const std::vector<std::string>& args) {
  return std::find(args.begin(), args.end(), "--json") != args.end();
}

std::string CommandLine(const std::vector<std::string>& args) {
  std::string line = "dimmio";
  for (const std::string& a : args) line += ' ' + a;
  return line;
}

// Each command line under Wine: the same output and exit code as the
// Windows target over the stand-in and, where the command does not depend
// on the target, as the host tool.
TEST(WineDimmioExe, SameOutputAsTheHostToolAndTheStandIn) {
  enum class Like { HostTool, StandInOnly };
  constexpr char kNotRunning[] = "the dimmio driver is not running (cannot open \\\\.\\Global\\dimmio";
  const struct {
    std::vector<std::string> args;
    Like like;
    int exit;
    const char* says = "";  // on standard error
  } cases[] = {
      // The host tool's help has --board and boards, the Windows one driver.
      {{"--help"}, Like::StandInOnly, 0},
      {{"spd", "--help"}, Like::StandInOnly, 0},
      {{"decode", "--help"}, Like::StandInOnly, 0},
      {{"frobnicate"}, Like::HostTool, 2, "dimmio: unexpected argument: frobnicate"},
      {{"spd", "--slot", "9"}, Like::HostTool, 2, "--slot: Value 9 not in range 0 to 7"},
      {{"decode", "hex.txt"}, Like::HostTool, 0},
      {{"decode", "i2cdump.txt"}, Like::HostTool, 0},
      {{"decode", "raw.bin"}, Like::HostTool, 0},
      {{"decode", "hex.txt", "i2cdump.txt", "raw.bin", "--json"}, Like::HostTool, 0},
      {{"decode", "raw.bin", "bad.txt"}, Like::HostTool, 2, "dimmio: bad.txt: no hex dump lines"},
      {{"decode", "missing.bin"}, Like::HostTool, 2, "dimmio: missing.bin: cannot be opened"},
      {{"pci", "00:1f"}, Like::HostTool, 2, "dimmio: not a PCI address: 00:1f: give BUS:DEV.FN"},
      {{"--version", "--json"}, Like::StandInOnly, 0},
      // Everything that needs the device.
      {{}, Like::StandInOnly, 1, kNotRunning},
      {{"report", "--json"}, Like::StandInOnly, 1, kNotRunning},
      {{"spd", "--slot", "0"}, Like::StandInOnly, 1, kNotRunning},
      {{"spd", "--slot", "0", "--raw"}, Like::StandInOnly, 1, kNotRunning},
      {{"spd", "--slot", "1", "--decode", "--json"}, Like::StandInOnly, 1, kNotRunning},
      {{"probe", "--slot", "0", "--yes"}, Like::StandInOnly, 1, kNotRunning},
      {{"pci", "0", "0", "0"}, Like::StandInOnly, 1, kNotRunning},
      // The nt64 tree has no driver image beside dimmio.exe.
      {{"driver", "install"}, Like::StandInOnly, 1, "the driver file is missing: "},
      {{"driver", "install", "--json"}, Like::StandInOnly, 1, "the driver file is missing: "},
  };
  const std::string program = WinePath(DIMMIO_NT64_EXE);
  for (const auto& c : cases) {
    const std::string command = CommandLine(c.args);
    const Outcome wine = Comparable(OnWine(c.args), command);
    EXPECT_EQ(wine.exit, c.exit) << command << ": " << wine.err;
    EXPECT_NE(wine.err.find(c.says), std::string::npos) << command << ": " << wine.err;
    if (c.exit != 0) {
      EXPECT_EQ(std::count(wine.err.begin(), wine.err.end(), '\n'), 1) << command;
    }
    if (WantsJson(c.args) && !wine.out.empty()) {
      EXPECT_TRUE(nlohmann::json::accept(wine.out)) << command << ": " << wine.out;
    }

    const Outcome standIn = OnStandIn(c.args, program);
    EXPECT_EQ(wine.exit, standIn.exit) << command;
    EXPECT_EQ(wine.out, standIn.out) << command;
    EXPECT_EQ(wine.err, standIn.err) << command;
    if (c.like == Like::HostTool) {
      const Outcome host = OnHost(c.args);
      EXPECT_EQ(wine.exit, host.exit) << command;
      EXPECT_EQ(wine.out, host.out) << command;
      EXPECT_EQ(wine.err, host.err) << command;
    }
  }
}

// The driver's service through Wine's service manager, with a file beside
// dimmio.exe that has the driver's name but is not the driver the program
// was built with: install refuses it, copies nothing and creates no service.
TEST(WineDimmioExe, DriverServiceThroughWinesServiceManager) {
  // Where install puts the driver file, and the service's image path names it.
  const std::string kInstalled = "C:\\windows\\system32\\drivers\\dimmio.sys";
  const fs::path dir = kScratch / "with-sys";
  fs::create_directories(dir);
  fs::copy_file(DIMMIO_NT64_EXE, dir / "dimmio.exe", fs::copy_options::overwrite_existing);
  WriteFile(dir / "dimmio.sys", "MZ");
  const std::string sys = WinePath(dir / "dimmio.sys");
  const struct {
    std::vector<std::string> args;
    int exit;
    std::string says;  // on standard output when it exits 0, else on standard error
  } steps[] = {
      {{"driver", "install"}, 1,
       "dimmio: cannot install the driver: " + sys + " is not the dimmio.sys this program was built with"},
      {{"driver", "install", "--json"}, 1, "is not the dimmio.sys this program was built with"},
      {{"--version"}, 0, "driver: not installed"},
      {{"spd", "--slot", "0"}, 1, "the dimmio driver is not running"},
      {{"driver", "remove"}, 1, "cannot remove the driver: the driver is not installed"},
      {{"driver", "start"}, 1, "cannot start the driver: the driver is not installed"},
  };
  for (const auto& step : steps) {
    const std::string command = CommandLine(step.args);
    const Outcome run = Comparable(OnWine(step.args, (dir / "dimmio.exe").string()), command);
    EXPECT_EQ(run.exit, step.exit) << command << ": " << run.out << run.err;
    const std::string& shown = step.exit == 0 ? run.out : run.err;
    EXPECT_NE(shown.find(step.says), std::string::npos) << command << ": " << shown;
    if (WantsJson(step.args)) {
      EXPECT_TRUE(nlohmann::json::accept(run.out)) << command << ": " << run.out;
    }
    EXPECT_FALSE(fs::exists(kPrefix / "drive_c/windows/system32/drivers/dimmio.sys")) << command;
  }
}

// Another hardware tool (lock_holder.exe, nt64 tree: dimmio.exe's own
// named-mutex code) that waits for the SMBus mutex past its bound while a
// first one holds it gives up; dimmio.exe's own waits are in WineKernel.
TEST(WineDimmioExe, AToolGivesUpOnTheSmbusMutexPastItsBound) {
  const std::string holder = LockHolderExe();
  ASSERT_TRUE(fs::exists(holder)) << "build the nt64 preset: " << holder;
  const pid_t first = StartHolding({"10000", "1500"});
  ASSERT_NE(first, 0);
  const Outcome second = OnWine({"200", "0"}, holder);
  EXPECT_EQ(Finish(first), 0);
  EXPECT_EQ(second.exit, 3) << second.out << second.err;
  EXPECT_GE(HolderTick(second.out, "busy"), 0) << second.out;
}

}  // namespace

namespace driver_on_wine {

using testsupport::Words;

const fs::path kRequestsExe = DIMMIO_NT64_REQUESTS;

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

// The test-only x86-64 dimmio.sys under Wine's kernel, installed and started
// with dimmio.exe through Wine's service manager, its hardware the board the
// bridge serves. Every command and every request of the contract's checks
// table must answer as the host build answers on the same board; then the
// service stops, its device and link go, and it starts again.
class WineKernel : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    board_ = sim::FindBoard(GetParam());
    ASSERT_NE(board_, nullptr);
    models_ = sim::Build(*board_, machine_);
    WinePrefix::board->Serve(&machine_);
    dir_ = kScratch / ("driver-" + GetParam());
    fs::create_directories(dir_);
    for (const fs::path& from : {fs::path(DIMMIO_NT64_EXE), fs::path(DIMMIO_NT64_SYS),
                                fs::path(DIMMIO_NT64_EXE).parent_path() / "pci.ids"}) {
      fs::copy_file(from, dir_ / from.filename(), fs::copy_options::overwrite_existing);
    }
    fakewin::Reset(*board_, Exe());
    // The stand-in's program was built with the image Wine runs.
    const std::string image = ReadFile(DIMMIO_NT64_SYS);
    fakewin::TheMachine().BuiltDriverSha256 =
        dimmio::cli::Sha256Hex({reinterpret_cast<const uint8_t*>(image.data()), image.size()});
  }
  void TearDown() override {
    OnWine({"driver", "remove"}, Exe());
    WinePrefix::board->Serve(nullptr);
  }

  std::string Exe() const { return (dir_ / "dimmio.exe").string(); }

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
    const std::string windows = WinePath(dir_) + '\\', unix = dir_.string() + '/';
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

  // dimmio.exe runs started together while another hardware tool holds the
  // SMBus mutex for `holdMs`: each waits for it, then they take it in
  // turn, and each answers as the host build does. A report on the second
  // bank beside an SPD read on the first shows the turns whole: the other's
  // switch back to the first bank between the report's slots would put the
  // first bank's modules in it. The runs end no sooner than the holder
  // lets go (a margin for this side seeing it take the mutex late).
  void ExpectTurnsOnTheSmbus(const std::vector<std::string>& holding, int holdMs,
                             const std::vector<std::vector<std::string>>& runs) {
    const pid_t holder = StartHolding(holding);
    ASSERT_NE(holder, 0);
    const auto since = std::chrono::steady_clock::now();
    std::vector<pid_t> pids;
    for (size_t i = 0; i < runs.size(); ++i) {
      std::vector<std::string> argv{DIMMIO_WINE64, Exe()};
      argv.insert(argv.end(), runs[i].begin(), runs[i].end());
      pids.push_back(Start(argv, RunFile(i, "out"), RunFile(i, "err")));
    }
    for (size_t i = 0; i < runs.size(); ++i) {
      Outcome run;
      run.exit = Finish(pids[i]);
      const auto took = std::chrono::steady_clock::now() - since;
      EXPECT_GE(took, std::chrono::milliseconds(holdMs - 500)) << CommandLine(runs[i]) << " did not wait";
      run.out = ReadFile(RunFile(i, "out"));
      run.err = ReadFile(RunFile(i, "err"));
      EXPECT_EQ(ExpectSameAsHostBuild(runs[i], run), 0) << CommandLine(runs[i]);
    }
    EXPECT_EQ(Finish(holder), 0);
  }
  fs::path RunFile(size_t run, const char* what) const {
    return kScratch / ("run" + std::to_string(run) + "." + what);
  }

  // The service has stopped in time, and its device and link are gone. The
  // keeper driver holds Wine's driver host of the group open, so what
  // dimmio.sys left behind would still be found.
  void ExpectGone() {
    const Outcome gone = OnWine({"gone"}, kRequestsExe.string(), 30);
    EXPECT_EQ(gone.out, "stopped c0000034 c0000034\r\n") << "service, device, link";
  }
  // The same check while the driver runs finds the service, its device and
  // its link: the check sees what it looks for.
  void ExpectThere() {
    const Outcome there = OnWine({"gone", "0"}, kRequestsExe.string(), 30);
    EXPECT_EQ(there.out, "running 00000000 00000000\r\n") << "service, device, link";
  }

  // The requests through the request sender's handle, one answer line each.
  std::string SendOnWine(const std::string& how, const std::vector<contract::CheckRow>& rows) {
    std::string script;
    for (const contract::CheckRow& row : rows) {
      char code[16];
      std::snprintf(code, sizeof code, "%08x", row.code);
      script += std::string(code) + ' ' + Hex(row.input) + ' ' +
                std::to_string(row.outputLength) + '\n';
    }
    WriteFile(dir_ / "requests.txt", script);
    const Outcome sent = OnWine({how, WinePath(dir_ / "requests.txt")}, kRequestsExe.string());
    EXPECT_EQ(sent.exit, 0) << how << ": " << sent.out;
    return FromWindows(sent.out, how);
  }

  const sim::Board* board_ = nullptr;
  sim::Machine machine_;
  sim::BoardModels models_;
  fs::path dir_;
};

TEST_P(WineKernel, AnswersAsTheHostBuildAndUnloads) {
  ASSERT_EQ(ExpectSameAsHostBuild({"driver", "install"}), 0);
  ASSERT_EQ(OnWine({"keep", WinePath(DIMMIO_NT64_KEEPER)}, kRequestsExe.string()).out, "kept\r\n");
  ASSERT_EQ(ExpectSameAsHostBuild({"driver", "start"}), 0) << "the service did not start";
  ExpectThere();
  const std::vector<std::vector<std::string>> commands = {
      {"report"}, {"report", "--json"}, {"report", "--segment", "1"},
      {"report", "--segment", "1", "--json"}, {"spd", "--slot", "0", "--decode"},
      {"spd", "--slot", "1", "--decode", "--json"},
      {"spd", "--slot", "2", "--offset", "64", "--count", "9"},
      {"spd", "--slot", "0", "--segment", "1", "--json"}, {"spd", "--slot", "6"},
      {"probe", "--slot", "0", "--yes"}, {"probe", "--slot", "1", "--yes", "--json"},
      {"probe", "--slot", "7", "--yes"}, {"pci", "0", "0", "0"}, {"pci", "0", "30", "6", "--json"},
  };
  for (const auto& args : commands) ExpectSameAsHostBuild(args);
  {
    SCOPED_TRACE("two dimmio.exe waiting for another tool, then for each other");
    ExpectTurnsOnTheSmbus({"10000", "2000"}, 2000,
                          {{"report", "--segment", "1", "--json"}, {"spd", "--slot", "0"}});
  }
  {
    SCOPED_TRACE("a holder that ended holding the mutex");
    ExpectTurnsOnTheSmbus({"10000", "1000", "--die-holding"}, 1000, {{"spd", "--slot", "0", "--decode"}});
  }
  EXPECT_EQ(ExpectSameAsHostBuild({"driver", "stop"}), 0);
  ExpectGone();

  // A second start loads the image afresh: the checks table's requests, each
  // held against the host build's answer after a fresh load on the board.
  const Outcome start = OnWine({"driver", "start"}, Exe());
  ASSERT_EQ(start.exit, 0) << "the service did not start again: " << start.err;
  const std::vector<contract::CheckRow> rows = contract::CheckRows();
  std::istringstream answers(SendOnWine("send", rows));
  {
    sim::Machine machine;
    sim::AttachScope attach(machine);
    [[maybe_unused]] const sim::BoardModels models = sim::Build(*board_, machine);
    const std::unique_ptr<contract::DriverUnderTest> host = contract::MakeDriverUnderTest(machine);
    ASSERT_EQ(host->Start(), STATUS_SUCCESS);
    for (const contract::CheckRow& row : rows) {
      std::string answer;
      std::getline(answers, answer);
      EXPECT_EQ(answer, AnswerLine(host->Wait(host->Submit(row.code, row.input, row.outputLength))))
          << row.what;
    }
    EXPECT_TRUE(host->Unload());
  }

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
  std::istringstream refusals(SendOnWine("send-read", readOnly));
  for (const contract::CheckRow& row : readOnly) {
    std::string answer;
    std::getline(refusals, answer);
    if (row.status == kDenied) {
      EXPECT_EQ(answer, "c0000022 0 -") << row.what;
    } else {
      EXPECT_NE(answer.substr(0, 8), "c0000022") << row.what;
    }
  }

  ExpectThere();
  const Outcome stop = OnWine({"driver", "stop"}, Exe());
  EXPECT_EQ(stop.exit, 0) << stop.err;
  ExpectGone();
}

// The default board and one of another family (VIA, its second bank behind
// the south bridge's output port).
INSTANTIATE_TEST_SUITE_P(Boards, WineKernel, ::testing::Values("ich5", "via686b"));

// A virtual X display for the window (Xvfb), ended with the object.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    const fs::path number = kScratch / "display";
    pid_ = Start({DIMMIO_XVFB, "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, number,
                 kScratch / "xvfb.err");
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

// dimmio-gui.exe under Wine on a virtual display, over the board the driver
// serves: its slot list has a row for each module the tool's report finds,
// showing the module's part number; the HTML report and the dumps it saves
// once it has read are what dimmio.exe writes; it closes when asked. Its
// screenshot is left in the build tree (tests/wine/dimmio-gui.xwd).
class WineWindow : public WineKernel {};

TEST_P(WineWindow, ListsTheModulesSavesWhatTheToolWritesAndCloses) {
  ASSERT_TRUE(fs::exists(DIMMIO_NT64_GUI)) << "build the nt64 preset: " DIMMIO_NT64_GUI;
  ASSERT_TRUE(fs::exists(DIMMIO_XVFB)) << "Xvfb is missing: run scripts/setup.sh";
  ASSERT_EQ(OnWine({"driver", "install"}, Exe()).exit, 0);
  ASSERT_EQ(OnWine({"driver", "start"}, Exe()).exit, 0);
  const fs::path gui = dir_ / "dimmio-gui.exe";
  fs::copy_file(DIMMIO_NT64_GUI, gui, fs::copy_options::overwrite_existing);
  {
    const VirtualDisplay display;
    ASSERT_FALSE(display.Name().empty()) << ReadFile(kScratch / "xvfb.err");
    setenv("DISPLAY", display.Name().c_str(), 1);
    const pid_t window = Start({DIMMIO_WINE64, gui.string(), "--save", "html", WinePath(dir_ / "gui.html"),
                                "--save", "bin", WinePath(dir_ / "gui.bin"), "--save", "i2cdump",
                                WinePath(dir_ / "gui.txt")},
                               kScratch / "gui.out", kScratch / "gui.err");
    const Outcome rows = OnWine({"rows"}, DIMMIO_NT64_GUI_PROBE, 90);
    Spawn({DIMMIO_XWD, "-root", "-silent", "-display", display.Name(), "-out", DIMMIO_GUI_SCREENSHOT});
    EXPECT_EQ(OnWine({"close"}, DIMMIO_NT64_GUI_PROBE).exit, 0);
    EXPECT_EQ(Finish(window, 30), 0) << "the window's saves or its read failed";
    unsetenv("DISPLAY");
    ASSERT_EQ(rows.exit, 0) << rows.out;

    // The list control's rows: its part column against the tool's report.
    std::vector<std::vector<std::string>> lines;
    std::istringstream text(FromWindows(rows.out, "dimmio-gui-probe"));
    for (std::string line; std::getline(text, line);) {
      std::vector<std::string> cells;
      std::istringstream cut(line);
      for (std::string cell; std::getline(cut, cell, '\t');) cells.push_back(cell);
      lines.push_back(cells);
    }
    ASSERT_FALSE(lines.empty());
    const auto part = std::find(lines[0].begin(), lines[0].end(), "part") - lines[0].begin();
    ASSERT_LT(part, static_cast<long>(lines[0].size())) << rows.out;
    const Outcome report = OnWine({"report", "--json", "--html", WinePath(dir_ / "tool.html")}, Exe());
    ASSERT_EQ(report.exit, 0) << report.err;
    std::vector<std::string> parts;
    std::vector<int> present;
    const nlohmann::json tool = nlohmann::json::parse(report.out);
    for (const auto& slot : tool["slots"]) {
      if (!slot["present"].get<bool>()) continue;
      present.push_back(slot["slot"].get<int>());
      parts.push_back(slot["spd"]["part_number"].get<std::string>());
    }
    ASSERT_EQ(lines.size() - 1, parts.size()) << "a row for each module: " << rows.out;
    for (size_t row = 0; row < parts.size(); ++row) {
      EXPECT_EQ(lines[row + 1].at(part), parts[row]) << "row " << row;
    }
    EXPECT_EQ(ReadFile(dir_ / "gui.html"), ReadFile(dir_ / "tool.html"));

    // Each module's dumps: the bytes spd --raw gives, as binary and as the
    // i2cdump text the decoder reads back.
    for (const int slot : present) {
      const std::string n = std::to_string(slot);
      const Outcome raw = OnWine({"spd", "--slot", n, "--raw"}, Exe());
      EXPECT_EQ(ReadFile(dir_ / ("gui-slot" + n + ".bin")), raw.out) << "slot " << n;
      const Outcome decoded = OnHost({"decode", "--json", (dir_ / ("gui-slot" + n + ".txt")).string()});
      ASSERT_EQ(decoded.exit, 0) << decoded.err;
      EXPECT_EQ(nlohmann::json::parse(decoded.out)[0]["data"],
                nlohmann::json(std::vector<uint8_t>(raw.out.begin(), raw.out.end())))
          << "slot " << n;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Board, WineWindow, ::testing::Values("ich5"));

}  // namespace driver_on_wine
