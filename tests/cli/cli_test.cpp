// The dimmio tool end to end, through both of its targets: the host's, with
// the driver loaded on a simulated board in the tool's process, and the
// Windows one, whose device and service calls reach the same driver on the
// same board through the test bed's stand-in for Win32. Facts are checked
// against what the boards hold.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <iostream>
#include <set>
#include <sstream>

#include <unistd.h>

#include "cli.h"
#include "dimmio/client.h"
#include "dimmio/spd.h"
#include "dimmio_version.h"
#include "fake_windows.h"
#include "host_target.h"
#include "inprocess/inprocess_transport.h"
#include "report.h"
#include "save.h"
#include "sim/board.h"
#include "sim/boards/modules.h"
#include "client/ddr4_modules.h"
#include "support/i2cdump.h"
#include "windows/windows_transport.h"
#include "windows.h"  // the stand-in's
#include "windows_files.h"
#include "windows_target.h"

namespace {

using nlohmann::json;

enum class Via { Host, Windows };

// A few entries of the PCI ID database, in its format: a vendor with two of
// its devices, a subsystem line and a class section that name nothing. Some
// lines end in CR LF, as where the file was copied from Windows.
constexpr char kPciIds[] =
    "# PCI ID database excerpt\n"
    "8086  Intel Corporation\r\n"
    "\t2570  82865G/PE/P DRAM Controller/Host-Hub Interface\r\n"
    "\t24d3  82801EB/ER (ICH5/ICH5R) SMBus Controller\n"
    "\t\t1043 80a6  P4P800 Mainboard\n"
    "10de  NVIDIA Corporation\n"
    "C 0c  Serial bus controller\n"
    "\t05  SMBus\n";
constexpr char kIch5SmbusName[] = "Intel Corporation 82801EB/ER (ICH5/ICH5R) SMBus Controller";

// Every test process writes the same files into one shared directory while
// others read them: each file is written under a name of this process's own
// and renamed into place, so a reader sees the old file or the whole new one,
// never one cut short.
void WriteWhole(const std::filesystem::path& file, const std::string& content) {
  const std::filesystem::path part = file.string() + "." + std::to_string(::getpid());
  std::ofstream(part, std::ios::binary) << content;
  std::filesystem::rename(part, file);
}

std::string ReadWhole(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The directory the Windows target's program runs from, with the database
// and a driver image file beside it; the host target reads the same database.
const std::string& ProgramDirectory() {
  static const std::string directory = [] {
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "dimmio-cli";
    std::filesystem::create_directories(dir);
    WriteWhole(dir / "pci.ids", kPciIds);
    WriteWhole(dir / "dimmio.sys", DIMMIO_STAND_IN_DRIVER);  // the stand-in's build made it
    std::filesystem::create_directories(dir / "other");
    WriteWhole(dir / "other" / "dimmio.sys", DIMMIO_STAND_IN_DRIVER "\x90");  // and not this one
    return dir.string() + "/";
  }();
  return directory;
}

struct Outcome {
  int exit;
  std::string out, err;
};

const sim::Board& BoardNamed(const std::string& name) {
  const sim::Board* board = sim::FindBoard(name);
  if (board == nullptr) throw std::invalid_argument(name);
  return *board;
}

dimmio::cli::Target HostTarget() {
  dimmio::cli::Target target = dimmio::cli::SimulatedBoards();
  target.PciIdsPaths = {ProgramDirectory() + "pci.ids"};
  return target;
}

// Runs a command line on `target` as the machine stands.
Outcome RunOn(const std::vector<std::string>& args, const dimmio::cli::Target& target) {
  std::ostringstream out, err;
  const int exit = dimmio::cli::Run(args, target, out, err);
  return {exit, out.str(), err.str()};
}

Outcome OnWindows(const std::vector<std::string>& args) {
  return RunOn(args, dimmio::cli::WindowsMachine());
}

// Runs a command line with the driver on `board`: the host target (`host`,
// which knows the board) is told the board; on Windows the driver runs on
// it, loaded for this command and unloaded after it, every request watched
// and nothing leaked.
Outcome Dimmio(Via via, std::vector<std::string> args, const sim::Board& board,
               const dimmio::cli::Target& host) {
  if (via == Via::Host) {
    args.insert(args.end(), {"--board", board.name});
    return RunOn(args, host);
  }
  fakewin::Reset(board, ProgramDirectory() + "dimmio.exe");
  EXPECT_TRUE(fakewin::LoadDriver());
  Outcome run = OnWindows(args);
  fakewin::UnloadDriver();
  EXPECT_EQ(fakewin::TheMachine().UnloadFindings, "") << board.name;
  return run;
}

Outcome Dimmio(Via via, std::vector<std::string> args, const std::string& board = "ich5") {
  return Dimmio(via, std::move(args), BoardNamed(board), HostTarget());
}

json DimmioJson(Via via, std::vector<std::string> args, const std::string& board = "ich5") {
  args.push_back("--json");
  const Outcome run = Dimmio(via, args, board);
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return json::parse(run.out);  // throws, and fails the test, on anything but JSON
}

// The command line as one string, to name it when a check fails.
std::string CommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) line += a + ' ';
  return line;
}

// What every command line gives: `exit`, and `shown` `times` times on
// standard output with nothing on standard error when it exits 0, else in
// the one line on standard error, with nothing on standard output when the
// command line is wrong.
void ExpectGives(const Outcome& run, int exit, const std::string& shown, int times = 1) {
  EXPECT_EQ(run.exit, exit) << run.err;
  const std::string& stream = exit == dimmio::cli::kExitDone ? run.out : run.err;
  int found = 0;
  for (size_t at = stream.find(shown); at != std::string::npos; at = stream.find(shown, at + 1))
    ++found;
  EXPECT_EQ(found, times) << stream;
  if (exit == dimmio::cli::kExitDone) {
    EXPECT_EQ(run.err, "");
    return;
  }
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(run.err.rfind("dimmio: ", 0), 0u) << run.err;
  if (exit == dimmio::cli::kExitUsage) {
    EXPECT_EQ(run.out, "");
  }
}

class Tool : public ::testing::TestWithParam<Via> {};

INSTANTIATE_TEST_SUITE_P(Targets, Tool, ::testing::Values(Via::Host, Via::Windows),
                         [](const auto& info) {
                           return info.param == Via::Host ? "host" : "windows";
                         });

const sim::SpdSlotSpec* ModuleIn(const sim::Board& board, uint32_t segment, int slot) {
  if (!board.smbus) return nullptr;
  for (const sim::SpdSlotSpec& s : segment == 0 ? board.smbus->segment0 : board.smbus->segment1) {
    if (s.slot == slot) return &s;
  }
  return nullptr;
}

// The SMBIOS counts of the boards whose tables the counting rules were
// checked on (the rules themselves are the SMBIOS tests').
struct SmbiosCounts {
  uint8_t slots, modules;
};
const std::map<std::string, SmbiosCounts> kSmbiosCounts = {{"ich5", {8, 6}}, {"piix4", {4, 3}}};

// The board's SMBus function: the one whose base register holds the host's
// I/O base (with the I/O space bit).
const sim::PciFunctionSpec* SmbusFunctionOf(const sim::Board& board) {
  if (!board.smbus) return nullptr;
  for (const sim::PciFunctionSpec& f : board.pci) {
    for (const auto& [offset, value] : f.dwords) {
      if (value == (board.smbus->ioBase | 1u)) return &f;
    }
  }
  return nullptr;
}

// Each field of `expected` as `actual` holds it.
void ExpectFields(const json& actual, const json& expected) {
  for (const auto& [key, value] : expected.items()) EXPECT_EQ(actual[key], value) << key;
}

// The boards whose SMBus function holds the host's base in a base register:
// their reports are checked fact by fact. The pch100 boards' firmware left
// their DDR4 modules on page 1.
const std::set<std::string> kFactBoards = {
    "ich5",    "piix4",  "ich4-mixed", "amd756",  "nforce", "nforce2",        "via596a",
    "via686b", "vt8231", "ali1543",    "nosmbus", "pch100", "pch100-nosmbios"};

// A DDR4 module on a board whose firmware leaves no table saying so.
bool Unpaged(const sim::Board& board, const sim::DimmSpec& d) {
  return d.type == sim::MemoryType::Ddr4 && !board.smbios.present;
}

// A report (JSON, and its text) holds what the board holds, its strings as
// the text shows them.
void ExpectReportFacts(Via via, const json& r, const std::string& text, const sim::Board& board,
                       uint32_t segment) {
  if (via == Via::Host) {
    EXPECT_EQ(r["board"], board.name);
  }
  EXPECT_EQ(r["segment"], segment);
  // The hint about segment 1 where the board switches segments (the tool
  // knows the chipset, not the board: ich4-mixed is an ICH4 board without the
  // Super I/O switch that ICH4 boards can have).
  EXPECT_EQ(text.find("`dimmio report --segment 1`") != std::string::npos,
            (board.smbus && board.smbus->segmentSwitch != sim::SegmentSwitch::None) ||
                board.name == "ich4-mixed");

  // Chipset and PCI functions.
  const auto function = [](const sim::PciFunctionSpec& f) {
    return json{{"bus", f.bus},
                {"device", f.device},
                {"function", f.function},
                {"vendor_id", f.vendorId},
                {"device_id", f.deviceId}};
  };
  EXPECT_EQ(r["pci_device_count"], board.pci.size());
  ASSERT_EQ(r["pci_devices"].size(), board.pci.size());
  for (size_t i = 0; i < board.pci.size(); ++i)
    ExpectFields(r["pci_devices"][i], function(board.pci[i]));

  // Every slot: present exactly where the board fits a module, with its
  // facts; none at all where no SMBus controller is usable.
  const sim::PciFunctionSpec* smbus = SmbusFunctionOf(board);
  EXPECT_EQ(r["controller_available"].get<bool>(), smbus != nullptr);
  if (smbus == nullptr) {
    EXPECT_TRUE(r["chipset"].is_null());
    EXPECT_EQ(r["controller_status"]["code"], DIMMIO_ERROR_CONTROLLER_UNAVAILABLE);
  } else {
    ExpectFields(r["chipset"], function(*smbus));
  }
  ASSERT_EQ(r["slots"].size(), smbus == nullptr ? 0u : 8u);
  for (int slot = 0; slot < static_cast<int>(r["slots"].size()); ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    const json& s = r["slots"][slot];
    EXPECT_EQ(s["slot"], slot);
    EXPECT_EQ(s["address"], 0x50 + slot);
    const sim::SpdSlotSpec* module = ModuleIn(board, segment, slot);
    EXPECT_EQ(s["present"].get<bool>(), module != nullptr);
    if (module == nullptr) {
      EXPECT_FALSE(s.contains("spd"));
      EXPECT_EQ(s["status"]["code"], DIMMIO_ERROR_SPD_BLOCK_READ);
      continue;
    }
    const sim::DimmSpec& d = module->dimm;
    EXPECT_EQ(s["status"]["code"], 0);
    // With no SMBIOS table nothing says a module is DDR4: none has a page
    // selected, each is read as it shows.
    if (Unpaged(board, d)) {
      EXPECT_EQ(s["bytes_read"], 256);
      continue;
    }
    ExpectFields(s["spd"], {{"type_byte", static_cast<uint8_t>(d.type)},
                            {"capacity_mb", d.capacityMb},
                            {"speed_grade", d.speedGrade},
                            {"data_width", d.dataWidth},
                            {"manufacturer", d.manufacturer},
                            {"jedec_bank", d.jedecId.size()},
                            {"jedec_code", d.jedecId.back()},
                            {"part_number", dimmio::PrintableText(d.partNumber)},
                            {"serial_number", d.serial},
                            {"checksum_ok", true}});
    // The whole EEPROM: a DDR4 module's both pages, whatever page the board
    // left selected.
    EXPECT_EQ(s["bytes_read"], d.type == sim::MemoryType::Ddr4 ? 512 : 256);
    EXPECT_EQ(s["spd"]["xmp"].is_null(), d.xmp.empty());
  }
  // The text: a line per slot, each module's facts on its slot's line.
  std::istringstream lines(text);
  std::string line;
  size_t slotLines = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("  ", 0) != 0 || line.size() < 9 || line[8] != '0' || line[9] != 'x') continue;
    const sim::SpdSlotSpec* module = ModuleIn(board, segment, line[2] - '0');
    ++slotLines;
    if (module == nullptr) {
      EXPECT_NE(line.find("empty"), std::string::npos) << line;
      continue;
    }
    const sim::DimmSpec& d = module->dimm;
    if (Unpaged(board, d)) {
      EXPECT_NE(line.find("no SPD page was selected"), std::string::npos) << line;
      continue;
    }
    for (const std::string& fact : {dimmio::PrintableText(d.partNumber), d.manufacturer,
                                    d.speedGrade, std::to_string(d.capacityMb) + " MB"}) {
      EXPECT_NE(line.find(fact), std::string::npos) << line << " lacks " << fact;
    }
  }
  EXPECT_EQ(slotLines, r["slots"].size());

  // SMBIOS.
  const json& smbios = r["smbios"];
  if (const auto counts = kSmbiosCounts.find(board.name); counts != kSmbiosCounts.end()) {
    EXPECT_EQ(smbios["memory_slots"]["count"], counts->second.slots);
    EXPECT_EQ(smbios["memory_modules"]["count"], counts->second.modules);
  }
  EXPECT_EQ(smbios["table_found"], board.smbios.present);
  if (board.smbios.present) {
    for (const auto& [part, t] :
         {std::pair{"system", board.smbios.system}, {"board", board.smbios.board}}) {
      EXPECT_EQ(smbios[part], json({{"manufacturer", dimmio::PrintableText(t.manufacturer)},
                                    {"product", dimmio::PrintableText(t.product)},
                                    {"version", dimmio::PrintableText(t.version)},
                                    {"serial_number", dimmio::PrintableText(t.serial)}}));
    }
    for (const std::string& shown : {board.smbios.system.manufacturer, board.smbios.board.product})
      EXPECT_NE(text.find(dimmio::PrintableText(shown)), std::string::npos) << shown;
  } else {
    EXPECT_NE(smbios["error"].get<std::string>().find("no SMBIOS table found: STATUS_UNSUCCESSFUL"),
              std::string::npos);
    EXPECT_EQ(smbios["memory_slots"]["status"]["code"], DIMMIO_ERROR_SMBIOS_NO_ENTRY_POINT);
    // The text says so, and gives no count of 0 for want of a table.
    EXPECT_NE(text.find("no SMBIOS table found"), std::string::npos) << text;
    EXPECT_EQ(text.find("memory slots:"), std::string::npos) << text;
  }
}

// The host target on `boards`. (What each command left its machine with is
// checked where the same commands run on Windows: the stand-in unloads the
// driver after each.)
dimmio::cli::Target TargetOn(const std::vector<sim::Board>& boards) {
  dimmio::cli::Target target = HostTarget();
  target.Boards.clear();
  for (const sim::Board& board : boards) target.Boards.push_back({board.name, board.description});
  target.Open = [&boards](const std::string& name,
                          std::string* error) -> std::unique_ptr<dimmio::Transport> {
    for (const sim::Board& board : boards) {
      if (board.name == name) return dimmio::InProcessTransport::Open(board, error);
    }
    *error = "no board " + name;
    return nullptr;
  };
  return target;
}

// A request the driver refuses comes back as its completion status by name
// through either transport (Windows hands the program a Windows error, which
// the transport turns back), and no request outlives the driver.
TEST_P(Tool, RefusedRequestsGiveTheDriversStatus) {
  std::unique_ptr<dimmio::Transport> transport;
  std::string error;
  unsigned long windowsError = 0;
  if (GetParam() == Via::Host) {
    transport = dimmio::InProcessTransport::Open(sim::DefaultBoard(), &error);
  } else {
    fakewin::Reset(sim::DefaultBoard(), ProgramDirectory() + "dimmio.exe");
    ASSERT_TRUE(fakewin::LoadDriver());
    transport = dimmio::WindowsTransport::Open(&error, &windowsError);
  }
  ASSERT_NE(transport, nullptr) << error;
  dimmio::Client client(*transport);
  // Device 31: the driver's bounds are the contract tests'.
  const auto refused = client.ReadPciConfig(0, 31, 0);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().Code, DIMMIO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(refused.error().Text, "STATUS_INVALID_PARAMETER (0xC000000D)");
  if (GetParam() == Via::Host) {
    EXPECT_EQ(static_cast<dimmio::InProcessTransport&>(*transport).Close(), "");
  } else {
    transport.reset();
    fakewin::UnloadDriver();
    EXPECT_EQ(fakewin::TheMachine().UnloadFindings, "");
  }
}

TEST_P(Tool, PciDumpShowsTheFunctionsRegistersAndName) {
  // The driver dumps devices 0-30 only: the PIIX4 board's SMBus function is
  // at 0:7.3.
  const sim::Board& board = BoardNamed("piix4");
  const sim::PciFunctionSpec* f = SmbusFunctionOf(board);
  const json j = DimmioJson(
      GetParam(), {"pci", "0", std::to_string(f->device), std::to_string(f->function)}, board.name);
  EXPECT_TRUE(j["present"].get<bool>());
  EXPECT_EQ(j["vendor_id"], f->vendorId);
  EXPECT_EQ(j["device_id"], f->deviceId);
  EXPECT_EQ(j["class_code"], f->classCode);
  const auto config = j["config"].get<std::vector<uint8_t>>();
  ASSERT_EQ(config.size(), 256u);
  for (const auto& [offset, value] : f->dwords) {
    const uint32_t read = config[offset] | config[offset + 1] << 8 | config[offset + 2] << 16 |
                          static_cast<uint32_t>(config[offset + 3]) << 24;
    EXPECT_EQ(read, value) << offset;
  }
  EXPECT_FALSE(DimmioJson(GetParam(), {"pci", "0", "5", "0"}, board.name)["present"].get<bool>());
}

// A scratch directory for saved dumps, removed after the test: the test's
// and the process's own, as the same test runs in other builds at once.
class SavedDumps : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("dimmio-cli-dumps-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  // The file's path; `contents` text or a module's image.
  template <typename Bytes>
  std::string Save(const std::string& name, const Bytes& contents) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << std::string(contents.begin(), contents.end());
    return path;
  }
  std::filesystem::path dir_;
};

// The bytes raw, in JSON and in the hex dump are the module's image, past
// its last byte wrapped to byte 0, the dump's offsets too. Saved and decoded
// again, raw, as printed or as i2cdump prints them (a DDR4 module's rows
// past f0:), they give the same bytes and facts as the slot's own decode,
// in text and in JSON.
TEST_F(SavedDumps, SpdBytesAreTheModulesImageAndDecodeAgain) {
  const struct {
    std::string board;
    uint32_t segment;
    int slot, offset, count;
    const char* line = "";  // a line the dump holds, or the decode's
  } cases[] = {
      {"ich5", 0, 3, 0, 256},
      {"ich5", 1, 1, 0, 256},
      {"piix4", 0, 0, 0, 128},
      {"piix4", 1, 0, 0xF0, 32},
      {"ich4-mixed", 0, 3, 0x49, 1},
      {"ich5", 0, 2, 0x40, 20},
      {"ich5", 0, 2, 0xF8, 24, "\n0008: "},
      {"pch100", 0, 0, 0, 512, "checksum, page 0 top: ok"},
      {"pch100", 0, 3, 0x1F0, 32, "\n0000: "},
      {"pch100", 0, 1, 0xF8, 24, "\n0108: "},
  };
  // clang-format on
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.board + " slot " + std::to_string(c.slot) + " offset " +
                 std::to_string(c.offset));
    const sim::DimmSpec& dimm = ModuleIn(BoardNamed(c.board), c.segment, c.slot)->dimm;
    const std::vector<uint8_t> image = sim::BuildSpdContents(dimm);
    std::vector<uint8_t> want;
    for (int i = 0; i < c.count; ++i) want.push_back(image[(c.offset + i) % image.size()]);
    const std::vector<std::string> spd = {"spd", "--segment", std::to_string(c.segment), "--slot",
                                          std::to_string(c.slot)};
    std::vector<std::string> args = spd;
    args.insert(args.end(),
                {"--offset", std::to_string(c.offset), "--count", std::to_string(c.count)});
    std::vector<std::string> rawArgs = args;
    rawArgs.push_back("--raw");
    const Outcome raw = Dimmio(Via::Host, rawArgs, c.board),
                  text = Dimmio(Via::Host, args, c.board);
    ASSERT_EQ(raw.exit + text.exit, 0) << raw.err << text.err;
    EXPECT_EQ(std::vector<uint8_t>(raw.out.begin(), raw.out.end()), want);
    const json j = DimmioJson(Via::Host, args, c.board);
    EXPECT_EQ(j["bytes_read"], c.count);
    EXPECT_EQ(j["data"].get<std::vector<uint8_t>>(), want);
    EXPECT_NE(text.out.find(dimmio::HexDump(want, c.offset, static_cast<uint32_t>(image.size()))),
              std::string::npos)
        << text.out;
    if (c.offset != 0 || c.count < 128) {
      EXPECT_NE(text.out.find(c.line), std::string::npos) << text.out;
      continue;
    }

    std::vector<std::string> decode = spd;
    decode.push_back("--decode");
    const Outcome live = Dimmio(Via::Host, decode, c.board);
    const std::string listing = live.out.substr(live.out.find('\n') + 1);  // after its first line
    for (const std::string& fact :
         {dimm.partNumber, dimm.manufacturer, dimm.speedGrade, std::string(c.line)}) {
      EXPECT_NE(listing.find(fact), std::string::npos) << fact;
    }
    decode.push_back("--json");
    const json liveJson = json::parse(Dimmio(Via::Host, decode, c.board).out);
    for (const std::string& saved : {raw.out, text.out, testsupport::I2cdumpText(want)}) {
      const std::string file = Save("dump" + std::to_string(n++), saved);
      const Outcome offline = Dimmio(Via::Host, {"decode", file});
      ASSERT_EQ(offline.exit, 0) << offline.err;
      EXPECT_EQ(offline.out.substr(offline.out.find('\n') + 1), listing);
      EXPECT_EQ(offline.out.rfind(file + ": ", 0), 0u) << offline.out;
      EXPECT_NE(offline.out.find(", " + std::to_string(c.count) + " bytes\n"), std::string::npos);
      const json offlineJson = DimmioJson(Via::Host, {"decode", file});
      ASSERT_EQ(offlineJson.size(), 1u);
      ExpectFields(offlineJson[0], {{"spd", liveJson["spd"]}, {"file", file}, {"bytes", c.count}});
      EXPECT_EQ(offlineJson[0]["data"].get<std::vector<uint8_t>>(), want);
    }
  }
}

// Saved images decoded in JSON as their bytes say, several files at once:
// numbers as numbers, null where the type states nothing. A DDR image
// edited: byte 40 adds 0.5 ns to tRC and 0.33 + 256 ns to tRFC, and a week
// byte that is no BCD week makes the date null, the bytes staying.
TEST_F(SavedDumps, ImagesDecodeInJsonAsTheirBytesSay) {
  auto edited = sim::BuildSpdImage(ModuleIn(sim::DefaultBoard(), 0, 2)->dimm);
  const auto ddr = edited;
  edited[40] = 0x35;
  edited[94] = 0x5A;
  edited[63] = sim::SpdChecksum(edited);
  const std::vector<uint8_t> images[] = {
      {edited.begin(), edited.end()},
      sim::BuildSpdContents(sim::boards::Ddr2(2048, 2, "PC2-6400", "Samsung", sim::boards::kSamsung,
                                              "M378T5663QZ3-CF7", 1)),
      sim::BuildSpdContents(sim::boards::Ddr3(2048, 2, "PC3-10600", "Kingston",
                                              sim::boards::kKingston, "KVR1333D3N9/2G", 2)),
      sim::BuildSpdContents(testsupport::Ddr4Modules()[2].dimm),
      sim::BuildSpdContents(testsupport::Ddr4Modules()[8].dimm)};
  const auto word = [](const std::vector<uint8_t>& image, size_t at) {
    return image[at] | image[at + 1] << 8;
  };
  enum { Edited, Ddr2, Ddr3, Ddr4, Xmp };
  const struct {
    size_t file;
    std::string at;  // where in the file's "spd" the fields are
    json fields;
    // clang-format off
  } rows[] = {
      {Edited, "", {{"checksum_ok", true}, {"trc_ps", ddr[41] * 1000 + 500},
                    {"trfc_ps", (ddr[42] + 256) * 1000 + 330}, {"manufacturing_year", nullptr},
                    {"manufacturing_week", nullptr}, {"manufacturing_year_byte", ddr[93]},
                    {"manufacturing_week_byte", 0x5A}, {"speed_grade", "PC2700"},
                    {"address_setup_ps", 600}, {"data_hold_ps", 400}}},
      {Edited, "/timings/0", {{"tac_ps", 700}}},  // PC2700: 0x70 at 6 ns
      {Ddr3, "", {{"checksum_rule", "CRC-16 of bytes 0-116"}, {"checksum_ok", true},
                  {"crc_stored", word(images[Ddr3], 126)}, {"capacity_mb", 2048},
                  {"module_type", "UDIMM"}, {"voltages_mv", {1500}}, {"taa_ps", 13500},
                  {"tfaw_ps", 30000}, {"temperature_max_c", 85}, {"thermal_sensor", false},
                  {"address_setup_ps", nullptr}, {"refresh", nullptr},
                  {"max_cycle_time_ps", nullptr}}},
      {Ddr3, "/dram_manufacturer", {{"name", "Kingston"}}},
      {Ddr3, "/standard_speeds/0", {{"chip_speed", "DDR3-1333"}, {"trcd_clocks", 9}}},
      {Ddr2, "", {{"checksum_rule", "sum of bytes 0-62"}, {"voltages_mv", {1800}},
                  {"twr_ps", 15000}, {"taa_ps", nullptr}, {"tfaw_ps", nullptr},
                  {"temperature_max_c", nullptr}, {"thermal_sensor", nullptr},
                  {"dram_manufacturer", nullptr}, {"crc_stored", nullptr}, {"package", nullptr},
                  {"crc2_ok", nullptr}}},
      {Ddr2, "/standard_speeds/0", {{"cas_latency", "CL6"}}},
      {Ddr4, "", {{"capacity_mb", testsupport::Ddr4Modules()[2].dimm.capacityMb},
                  {"module_type", "RDIMM"}, {"package", "monolithic"}, {"crc2_ok", true},
                  {"crc2_stored", word(images[Ddr4], 254)}, {"trfc2_ps", 260000},
                  {"xmp", nullptr}}},
      {Xmp, "/xmp", {{"revision", "2.0"}}},
      {Xmp, "/xmp/profiles/1", {{"profile", 2}, {"chip_speed", "DDR4-3200"},
                                {"cas_latency", "CL16"}, {"trcd_clocks", 18}, {"tras_clocks", 38},
                                {"voltage_mv", 1350}, {"cycle_time_ps", 625}, {"taa_ps", 10000},
                                {"tcwl_ps", nullptr}}},
  };
  // clang-format on
  std::vector<std::string> args = {"decode"};
  for (const std::vector<uint8_t>& image : images) {
    args.push_back(Save("image" + std::to_string(args.size()) + ".bin", image));
  }
  const json decoded = DimmioJson(Via::Host, args);
  ASSERT_EQ(decoded.size(), std::size(images));
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.file) + row.at);
    ExpectFields(decoded[row.file]["spd"][json::json_pointer(row.at)], row.fields);
  }
  EXPECT_EQ(decoded[Xmp]["spd"]["xmp"]["profiles"].size(), 2u);
}

// Several modules side by side, the rows that differ marked; modules of
// each type, each with lines the others lack, in every order: every column
// holds its module's listing in the listing's own order.
TEST_F(SavedDumps, SideBySideColumnsHoldEachModulesListing) {
  sim::DimmSpec dimm = sim::boards::Ddr3(2048, 2, "PC3-10600", "Kingston", sim::boards::kKingston,
                                         "KVR1333D3N9/2G", 2);
  const std::string ddr3a = Save("ddr3a.bin", sim::BuildSpdImage(dimm));
  dimm.serial = 3;
  const std::string ddr3b = Save("ddr3b.bin", sim::BuildSpdImage(dimm));
  const Outcome files = Dimmio(Via::Host, {"decode", "--side-by-side", ddr3a, ddr3b});
  ASSERT_EQ(files.exit, 0) << files.err;
  EXPECT_NE(files.out.find("\n  * serial number:  "), std::string::npos) << files.out;
  EXPECT_NE(files.out.find("\n    manufacturing place:  "), std::string::npos) << files.out;
  const json sideBySide = DimmioJson(Via::Host, {"report", "--side-by-side"})["side_by_side"];
  EXPECT_EQ(sideBySide["columns"].size(), 4u);
  std::map<std::string, bool> differ;
  for (const json& row : sideBySide["rows"]) differ[row["field"]] = row["differ"];
  EXPECT_FALSE(differ.at("memory type:"));
  EXPECT_TRUE(differ.at("serial number:"));

  std::vector<std::pair<std::string, std::vector<uint8_t>>> modules = {
      {"", sim::BuildSpdContents(dimm)},
      {"", sim::BuildSpdContents(sim::boards::Sdr(256, 2, "PC133", "Micron", sim::boards::kMicron,
                                                  "MT16LSDT3264AG", 4))},
      {"", sim::BuildSpdContents(sim::boards::Ddr2(2048, 2, "PC2-6400", "Samsung",
                                                   sim::boards::kSamsung, "M378T5663QZ3-CF7", 1))},
      {"", sim::BuildSpdContents(testsupport::Ddr4Modules()[2].dimm)}};
  for (size_t m = 0; m < modules.size(); ++m) {
    modules[m].first = Save("module" + std::to_string(m), modules[m].second);
  }
  do {
    std::vector<std::string> args{"decode", "--side-by-side"};
    for (const auto& module : modules) args.push_back(module.first);
    SCOPED_TRACE(args[2] + ' ' + args[3] + ' ' + args[4] + ' ' + args[5]);
    const json rows = DimmioJson(Via::Host, args)["side_by_side"]["rows"];
    for (size_t c = 0; c < modules.size(); ++c) {
      std::vector<std::string> listed, column;
      for (const dimmio::SpdLine& line :
           dimmio::SpdDecodeLines(dimmio::DecodeSpd(modules[c].second))) {
        listed.push_back(line.Value);
      }
      for (const json& row : rows) {
        if (row["values"][c] != "-") column.push_back(row["values"][c]);
      }
      EXPECT_EQ(column, listed) << "column " << c;
    }
  } while (std::next_permutation(modules.begin(), modules.end()));
}

// A bad file: one line naming it and what is wrong, exit 2; the good files
// among them are still decoded.
TEST_F(SavedDumps, BadFilesAreNamedOneLineEach) {
  const std::string good = Save("good.bin", Dimmio(Via::Host, {"spd", "--slot", "0", "--raw"}).out);
  const struct {
    std::string contents;
    const char* problem;
    // clang-format off
  } cases[] = {
      {"", "the file is empty"},
      {"0000: 80 08 07\n", "bytes 0x03-0x7F are missing"},
      {"Samsung module, bought 2004\n", "no hex dump lines"},
      // 512 bytes only for a DDR4 module, and none past them.
      {std::string(512, '\x80'),
       "neither a hex dump nor a raw SPD image of 128 or 256 bytes "
       "(it has 512 bytes; 512 only for a DDR4 module)"},
      {testsupport::I2cdumpText(std::vector<uint8_t>(528, 0x0C)),
       "offset 0x200 is beyond a DDR4 SPD EEPROM's 512 bytes"},
  };
  // clang-format on
  int n = 0;
  for (const auto& c : cases) {
    const std::string bad = Save("bad" + std::to_string(n++) + "\x1B", c.contents);
    const Outcome run = Dimmio(Via::Host, {"decode", good, bad});
    EXPECT_EQ(run.exit, dimmio::cli::kExitUsage);
    const std::string shown = dimmio::PrintableText(bad);
    EXPECT_EQ(run.err.rfind("dimmio: " + shown + ": " + c.problem, 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.out.find("M368L6423ETN-CCC"), std::string::npos);  // the good one
  }
}

// Every board, its SMBIOS strings and modules' part numbers made of what a
// broken BIOS or EEPROM may hold: control characters, bytes that are not
// UTF-8, quotes and backslashes, the longest string a field keeps. Each
// field of board b holds text b + its place, so that every text comes into
// every field on one board or another.
const std::vector<sim::Board>& HostileBoards() {
  static const std::vector<sim::Board> boards = [] {
    // clang-format off
    const std::vector<std::string> texts = {
        "\x1B[2J\x07tab\there\r\nnext", "\xFF\xFE\xC3\x28 not UTF-8 \xE2\x82",
        "quote \" back\\slash \xC3\xA9t\xC3\xA9", std::string(127, '\x7F'),
        "\xED\xA0\x80\xF4\x90\x80\x80\xC0\xAF", "\x01"};
    // clang-format on
    std::vector<sim::Board> hostile = sim::Boards();
    for (size_t b = 0; b < hostile.size(); ++b) {
      size_t place = b;
      const auto next = [&] { return texts[place++ % texts.size()]; };
      for (sim::SmbiosText* t : {&hostile[b].smbios.system, &hostile[b].smbios.board}) {
        t->manufacturer = next(), t->product = next(), t->version = next(), t->serial = next();
      }
      if (!hostile[b].smbus) continue;
      for (auto* segment : {&hostile[b].smbus->segment0, &hostile[b].smbus->segment1}) {
        for (sim::SpdSlotSpec& slot : *segment) slot.dimm.partNumber = next().substr(0, 18);
      }
    }
    return hostile;
  }();
  return boards;
}

// Every command that reaches the modules, on every board whose modules are
// SDR to DDR3: a write to 0x30-0x37 there is a write-protect command (the
// permanent one of the modules in slots 6 and 7 at 0x36 and 0x37), so no
// module may end protected and the EEPROM models record none. Every command
// on the boards whose reports are checked fact by fact: --json parses, the
// reports hold what the board holds, the strings as the text output shows
// them; the text output holds no control character but its line ends. No
// machine is harmed, nothing leaks (as each command's unload on Windows
// finds).
TEST_P(Tool, NoCommandHarmsAModuleAndEachStaysWellFormed) {
  const dimmio::cli::Target host = TargetOn(HostileBoards());
  size_t beforeDdr4 = 0;
  for (const sim::Board& board : HostileBoards()) {
    const bool facts = kFactBoards.count(board.name) != 0;
    std::vector<std::vector<std::string>> commands = {{"report", "--segment", "0"}};
    if (facts) {
      commands.insert(commands.end(), {{"report", "--segment", "1"},
                                       {"pci", "0", "0", "0"},
                                       {"probe", "--slot", "0", "--yes"}});
      if (GetParam() == Via::Host) commands.push_back({"boards"});
      for (int slot = 0; slot < 8; ++slot) {
        commands.push_back({"spd", "--slot", std::to_string(slot), "--decode"});
        commands.push_back({"spd", "--slot", std::to_string(slot), "--segment", "1"});
      }
    }
    const auto& modules = board.smbus ? board.smbus->segment0 : std::vector<sim::SpdSlotSpec>{};
    if (!modules.empty() && std::none_of(modules.begin(), modules.end(), [](const auto& m) {
          return m.dimm.type == sim::MemoryType::Ddr4;
        })) {
      ++beforeDdr4;
      // The populated slots and an empty one.
      std::set<uint8_t> slots;
      for (const sim::SpdSlotSpec& m : modules) slots.insert(m.slot);
      for (uint8_t empty = 0; empty < 8; ++empty) {
        if (slots.insert(empty).second) break;
      }
      for (const uint8_t slot : slots) {
        commands.push_back({"spd", "--slot", std::to_string(slot)});
        commands.push_back({"probe", "--slot", std::to_string(slot), "--yes"});
      }
    }
    for (const std::vector<std::string>& command : commands) {
      std::string line = board.name;
      for (const std::string& arg : command) line += ' ' + arg;
      SCOPED_TRACE(line);
      // On the other boards the Windows run's unload is what is checked.
      if (!facts && GetParam() == Via::Host) continue;
      std::vector<std::string> args = command;
      const Outcome text = Dimmio(GetParam(), args, board, host);
      if (!facts) continue;
      args.push_back("--json");
      const Outcome asJson = Dimmio(GetParam(), args, board, host);
      for (const Outcome* run : {&text, &asJson}) {
        // The report and the dump are served on every board, both segments.
        const bool served = command[0] == "report" || command[0] == "pci" || command[0] == "boards";
        EXPECT_TRUE(run->exit == dimmio::cli::kExitDone ||
                    (!served && run->exit == dimmio::cli::kExitFailed))
            << run->err;
        for (const std::string& out : {run->out, run->err}) {
          EXPECT_TRUE(std::none_of(out.begin(), out.end(), [](char c) {
            return (static_cast<uint8_t>(c) < 0x20 && c != '\n') || c == '\x7F';
          })) << out;
        }
      }
      json parsed;
      ASSERT_NO_THROW(parsed = json::parse(asJson.out)) << asJson.out;
      const uint32_t segment = command[0] == "report" ? std::stoul(command[2]) : 0;
      if (command[0] == "report" && (segment == 0 || !board.smbus->segment1.empty())) {
        ExpectReportFacts(GetParam(), parsed, text.out, board, segment);
      }
    }
  }
  EXPECT_GE(beforeDdr4, 20u);
}

// The driver on a board, but the requests with code `failing` (every one
// for 0) fail with the system's message as given.
class FailingTransport final : public dimmio::Transport {
 public:
  FailingTransport(std::unique_ptr<dimmio::Transport> driver, uint32_t failing, std::string text)
      : driver_(std::move(driver)), failing_(failing), text_(std::move(text)) {}
  dimmio::ControlReply Control(uint32_t code, std::span<const uint8_t> input,
                               uint32_t outputLength) override {
    if (failing_ != 0 && code != failing_) return driver_->Control(code, input, outputLength);
    dimmio::ControlReply reply;
    reply.Error = 31;
    reply.ErrorText = text_;
    return reply;
  }

 private:
  std::unique_ptr<dimmio::Transport> driver_;
  uint32_t failing_;
  std::string text_;
};

// Text from below the tool (an exception nothing else caught, the reason a
// transport did not open, a request's error text, the command line itself):
// one line, control characters and bytes that are not UTF-8 escaped.
TEST(Errors, TextFromBelowComesOutInOneEscapedLine) {
  const std::string hostile = "gone\r\n\x1B[2J\xFF";
  const std::string escaped = "gone\\x0D\\x0A\\x1B[2J\\xFF";
  enum class Fault { Throw, NoTransport, EveryRequest, SystemInfo, None };
  const struct {
    Fault fault;
    std::vector<std::string> args;
    int exit;
    std::string shown;  // the line on standard error; on standard output when it exits 0
    // clang-format off
  } cases[] = {
      {Fault::Throw, {"report"}, 1, "dimmio: internal error: broken\\x0Ain two lines \\xFF\n"},
      {Fault::NoTransport, {"report"}, 1, "dimmio: " + escaped + "\n"},
      {Fault::EveryRequest, {"report"}, 1, "dimmio: the report failed: " + escaped + "\n"},
      {Fault::SystemInfo, {"report"}, 0,
       "the system information request failed with " + escaped + ",\n"},
      {Fault::SystemInfo, {"report", "--json"}, 0,
       "\"error\": \"no SMBIOS table found: gone\\\\x0D"},
      {Fault::None, {"report", hostile}, 2, "dimmio: unexpected argument: " + escaped + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + std::to_string(static_cast<int>(c.fault)));
    dimmio::cli::Target target = dimmio::cli::SimulatedBoards();
    const auto driver = target.Open;
    target.Open = [&](const std::string& board,
        std::string* error) -> std::unique_ptr<dimmio::Transport> {
      if (c.fault == Fault::Throw) throw std::runtime_error("broken\nin two lines \xFF");
      if (c.fault == Fault::NoTransport) {
        *error = hostile;
        return nullptr;
      }
      return std::make_unique<FailingTransport>(
          driver(board, error), c.fault == Fault::SystemInfo ? IOCTL_GET_SYSTEM_INFO : 0, hostile);
    };
    // clang-format on
    const Outcome run = RunOn(c.args, target);
    ExpectGives(run, c.exit, c.shown);
    if (c.exit != 0) {
      EXPECT_EQ(run.err, c.shown);
    }
  }
}

// On Windows the tool installs, starts, stops and removes the driver through
// the Service Control Manager; each step on the machine as the ones before
// left it.
TEST(WindowsDriver, LifeThroughTheServiceControlManager) {
  const std::string sys = ProgramDirectory() + "dimmio.sys";
  const std::string installed = "C:\\windows\\system32\\drivers\\dimmio.sys";
  const std::string elsewhere = ::testing::TempDir() + "dimmio-cli-nosys/dimmio.exe";
  const std::string hostile = ::testing::TempDir() + "dimmio-cli-\x1B\xFF/dimmio.exe";
  // Too long for the system to give whole: nothing is looked for elsewhere.
  const std::string tooLong = ProgramDirectory() + std::string(250, 'd') + "/dimmio.exe";
  const struct {
    std::vector<std::string> args;
    bool administrator;
    std::string program;  // where dimmio.exe runs from
    int exit;
    std::string message;         // on standard output when it exits 0, else on standard error
    bool installed, running;     // afterwards
    std::string pointedAt = "";  // the service's image path before the step ("" as left)
    bool planted = false;        // a user's link named dimmio among the session's device names
    // clang-format off
  } steps[] = {
      {{"report"}, true, "", 1, "the dimmio driver is not running", false, false},
      {{"--version"}, false, "", 0, "dimmio " DIMMIO_VERSION_TEXT "\ndriver: not installed", false,
       false},
      {{"driver", "start"}, true, "", 1, "the driver is not installed", false, false},
      {{"driver", "install"}, true, elsewhere, 1, "the driver file is missing", false, false},
      // The path as the system gives it, escaped in the one line.
      {{"driver", "install"}, true, hostile, 1, "dimmio-cli-\\x1B\\xFF/dimmio.sys", false, false},
      {{"driver", "install"}, false, "", 1, "not an administrator", false, false},
      {{"driver", "install"}, true, tooLong, 1,
       "the path of this program is 260 characters or longer", false, false},
      // Another file of the name beside it: refused, nothing copied.
      {{"driver", "install"}, true, ProgramDirectory() + "other/dimmio.exe", 1,
       "cannot install the driver: " + ProgramDirectory() +
           "other/dimmio.sys is not the dimmio.sys this "
       "program was built with (its SHA-256 is ", false, false},
      {{"report", "--json"}, true, tooLong, 1,
       "dimmio.sys and pci.ids are looked for beside it only", false, false},
      {{"driver", "install"}, true, "", 0, "installed the driver", true, false},
      {{"driver", "install"}, true, "", 1, "already installed", true, false},
      {{"--version"}, false, "", 0, "driver: " + installed, true, false},
      // A service that loads a file other users may replace: refused, repaired.
      {{"driver", "start"}, true, "", 1, "`dimmio driver install` beside dimmio.sys repairs it",
       true,
       false, sys},
      {{"driver", "install"}, true, "", 0, "repaired the service dimmio: it loaded " + sys, true,
       false, sys},
      {{"spd", "--slot", "0"}, true, "", 1, "`dimmio driver start`", true, false},
      {{"driver", "start"}, false, "", 1, "not an administrator", true, false},
      {{"driver", "start"}, true, "", 0, "the driver is running", true, true},
      {{"driver", "start"}, true, "", 0, "already running", true, true},
      {{"spd", "--slot", "0", "--count", "1"}, false, "", 0, "1 of 1 bytes read", true, true},
      {{"spd", "--slot", "0", "--count", "1"}, true, "", 0, "1 of 1 bytes read", true, true, "",
       true},
      {{"driver", "stop"}, true, "", 0, "the driver is stopped", true, false},
      {{"report", "--json"}, true, "", 1, "the dimmio driver is not running", true, false},
      {{"driver", "stop"}, true, "", 0, "the driver is not running", true, false},
      {{"driver", "start", "--json"}, true, "", 0, "\"done\": true", true, true},
      {{"driver", "remove"}, false, "", 1, "not an administrator", true, true},
      {{"driver", "remove"}, true, "", 0, "stopped the driver and removed the service", false,
       false},
      {{"driver", "remove"}, true, "", 1, "the driver is not installed", false, false},
      {{"driver", "restart"}, true, "", 2, "restart not in {install,start,stop,remove}", false,
       false},
  };
  // clang-format on
  fakewin::Reset(sim::DefaultBoard(), "");
  for (const auto& step : steps) {
    SCOPED_TRACE(CommandLine(step.args));
    fakewin::Machine& m = fakewin::TheMachine();
    m.Administrator = step.administrator;
    m.ProgramPath = step.program.empty() ? ProgramDirectory() + "dimmio.exe" : step.program;
    if (!step.pointedAt.empty()) m.ImagePath = step.pointedAt;
    m.PlantedLink = step.planted;
    const Outcome run = OnWindows(step.args);
    EXPECT_EQ(m.PlantedRequests, 0);
    ExpectGives(run, step.exit, step.message);
    EXPECT_EQ(m.Installed, step.installed);
    if (step.args == std::vector<std::string>{"driver", "install"} && !m.Installed) {
      EXPECT_FALSE(std::filesystem::exists(fakewin::HostPath(installed)));
    }
    EXPECT_EQ(m.Driver != nullptr, step.running);
    if (m.Installed) {
      // The copy in System32\drivers, which only administrators may write.
      EXPECT_EQ(m.ImagePath,
                step.exit != 0 && !step.pointedAt.empty() ? step.pointedAt : installed);
      EXPECT_EQ(ReadWhole(fakewin::HostPath(installed)), ReadWhole(sys));
      EXPECT_EQ(m.ServiceType, static_cast<unsigned long>(SERVICE_KERNEL_DRIVER));
      EXPECT_EQ(m.StartType, static_cast<unsigned long>(SERVICE_DEMAND_START));
    }
  }
  EXPECT_EQ(fakewin::TheMachine().UnloadFindings, "");
}

// --version: the tool's; on Windows also that of the driver file the service
// was installed from, read from its resource (the nt tree's dimmio.sys, and a
// copy of it one major version newer), wherever the image path puts it.
TEST(Version, OfTheToolAndOfTheInstalledDriverFile) {
  EXPECT_EQ(RunOn({"--version"}, HostTarget()).out, "dimmio " DIMMIO_VERSION_TEXT "\n");
  EXPECT_EQ(json::parse(RunOn({"--version", "--json"}, HostTarget()).out),
            json({{"version", DIMMIO_VERSION_TEXT}}));

  const std::string built = DIMMIO_NT_IMAGE_DIR "/dimmio.sys",
                    newer = ProgramDirectory() + "newer.sys";
  std::ifstream in(built, std::ios::binary);
  std::string image{std::istreambuf_iterator<char>(in), {}};
  const size_t fixed = image.find("\xBD\x04\xEF\xFE");  // the fixed part's signature
  ASSERT_NE(fixed, std::string::npos) << built << " has no version resource: build the nt preset";
  image[fixed + 10] = static_cast<char>(DIMMIO_VERSION_MAJOR + 1);  // FileVersionMS's high word
  WriteWhole(newer, image);
  const std::string version = DIMMIO_VERSION_TEXT,
                    windows = "C:\\Windows\\System32\\drivers\\dimmio.sys";
  const struct {
    std::string imagePath, file, version;  // the service's; the file and its version ("" none)
    std::string line;                      // in the text
    // clang-format off
  } cases[] = {
      {built, built, version, "driver: " + version + " (" + built + ")\n"},
      {newer, newer, std::to_string(DIMMIO_VERSION_MAJOR + 1) + version.substr(version.find('.')),
       "is not this program's (" + version + ")"},
      {"\\??\\C:\\dimmio.sys", "C:\\dimmio.sys", "", "driver: C:\\dimmio.sys: cannot be read\n"},
      {"\\SystemRoot\\System32\\drivers\\dimmio.sys", windows, "", windows},
      {"System32\\drivers\\dimmio.sys", windows, "", windows},
  };
  // clang-format on
  for (const auto& c : cases) {
    fakewin::Reset(sim::DefaultBoard(), ProgramDirectory() + "dimmio.exe");
    fakewin::TheMachine().Installed = true;
    fakewin::TheMachine().ImagePath = c.imagePath;
    const Outcome run = OnWindows({"--version"}), runJson = OnWindows({"--version", "--json"});
    EXPECT_EQ(run.exit + runJson.exit, 0) << c.imagePath;
    EXPECT_NE(run.out.find(c.line), std::string::npos) << run.out;
    const json driver = json::parse(runJson.out)["driver"];
    EXPECT_EQ(driver["file"], c.file);
    if (c.version.empty()) {
      EXPECT_TRUE(driver["version"].is_null()) << driver;
    } else {
      EXPECT_EQ(driver["version"], c.version);
      EXPECT_EQ(driver["same_as_tool"], c.version == version);
    }
  }
}

// dimmio.exe shares the buses through the named mutexes of the hardware
// tools: one another program holds makes the commands that need it wait the
// bounded time and fail in one line, and the same command succeeds once it
// lets go; commands that need another mutex go ahead. A mutex whose holder
// died and one whose maker lets others only wait on it work. One that cannot
// be had (made to keep others out, not to be created, not to be waited on)
// stops the commands that need it, naming it: never a lock elsewhere or none.
TEST(WindowsBusLocks, AnotherToolsMutexHoldsBackTheCommandsThatNeedIt) {
  const std::string smbus = "Global\\Access_SMBUS.HTP.Method", pci = "Global\\Access_PCI",
                    isa = "Global\\Access_ISABUS.HTP.Method";
  enum Other { Holds, Abandoned, LetsOthersOnlyWait, Squats, SquatsUnread, WaitFails, Refused };
  const std::string squatted = " exists but refuses this program the right to wait on it (made by ";
  const struct {
    std::vector<std::string> args;
    std::string mutex;
    Other other;
    std::string error;          // "" when the command goes ahead
    std::string alsoHeld = "";  // a second mutex the other program holds
    // clang-format off
  } rows[] = {
      {{"spd", "--slot", "0"}, smbus, Holds,
       "the SPD read failed: another hardware tool is using the SMBus"},
      {{"probe", "--slot", "1", "--yes"}, smbus, Holds,
       "the write probe failed: another hardware tool is using the SMBus"},
      {{"report"}, smbus, Holds, "the report failed: another hardware tool is using the SMBus"},
      {{"report"}, pci, Holds,
       "the report failed: another hardware tool is using PCI configuration space"},
      {{"pci", "0", "0", "0"}, pci, Holds,
       "the configuration dump failed: another hardware tool is using PCI configuration space"},
      {{"spd", "--slot", "0", "--segment", "1"}, isa, Holds,
       "the SPD read failed: another hardware tool is using the Super I/O and board ports"},
      {{"report", "--segment", "1"}, isa, Holds,
       "the report failed: another hardware tool is using the Super I/O and board ports"},
      {{"spd", "--slot", "0"}, isa, Holds, ""},  // segment 0 switches nothing
      {{"pci", "0", "0", "0"}, smbus, Holds, ""},
      {{"spd", "--slot", "0"}, smbus, Abandoned, ""},
      {{"report", "--segment", "1"}, isa, LetsOthersOnlyWait, ""},
      // Both held: the SMBus is waited on first, as every tool sharing them
      // does, so that two of them never each hold one and wait on the other.
      {{"spd", "--slot", "0", "--segment", "1"}, smbus, Holds,
       "the SPD read failed: another hardware tool is using the SMBus", isa},
      {{"probe", "--slot", "0", "--segment", "1", "--yes"}, smbus, Holds,
       "the write probe failed: another hardware tool is using the SMBus", isa},
      // Made first by a user to keep dimmio out: its maker named where it may be read.
      {{"spd", "--slot", "0"}, smbus, Squats,
       "the SPD read failed: the lock " + smbus + squatted +
           "WORKSTATION\\mallory): no request is sent to the SMBus until that program ends and "
           "the lock goes"},
      {{"report"}, pci, SquatsUnread,
       "the report failed: the lock " + pci + squatted +
           "an account it does not name): no request is sent to "
       "PCI configuration space until that program ends and the lock goes"},
      {{"report", "--segment", "1"}, isa, Squats, "the report failed: the lock " + isa + squatted},
      {{"spd", "--slot", "0"}, smbus, WaitFails,
       "the SPD read failed: the lock " + smbus +
           " cannot be waited on (Windows error 6): no request is sent to the SMBus without it"},
      // Global objects refused: no lock in the session's own namespace instead.
      {{"spd", "--slot", "0"}, smbus, Refused,
       "the SPD read failed: the lock " + smbus +
           " cannot be created (Windows error 5: Access is denied): "
       "no request is sent to the SMBus without it"},
  };
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mutex + ": " + CommandLine(row.args));
    fakewin::Reset(sim::DefaultBoard(), ProgramDirectory() + "dimmio.exe");
    ASSERT_TRUE(fakewin::LoadDriver());
    fakewin::Machine& m = fakewin::TheMachine();
    m.GlobalRefused = row.other == Refused;
    if (row.other != Refused) {
      fakewin::Machine::Mutex& mutex = m.Mutexes[row.mutex];
      mutex.OtherHolds = row.other == Holds;
      mutex.Abandoned = row.other == Abandoned;
      if (row.other == LetsOthersOnlyWait) mutex.DeniedToAll = MUTEX_ALL_ACCESS & ~SYNCHRONIZE;
      mutex.WaitFails = row.other == WaitFails;
      if (row.other == Squats || row.other == SquatsUnread) {
        mutex.Maker = "WORKSTATION\\mallory";
        mutex.DeniedToAll = SYNCHRONIZE | (row.other == SquatsUnread ? READ_CONTROL : 0);
      }
    }
    if (!row.alsoHeld.empty()) m.Mutexes[row.alsoHeld].OtherHolds = true;
    std::ostringstream notes;
    std::streambuf* const cerr = std::cerr.rdbuf(notes.rdbuf());
    const Outcome first = OnWindows(row.args);
    std::cerr.rdbuf(cerr);
    EXPECT_EQ(notes.str(), "");
    if (row.error.empty()) {
      EXPECT_EQ(first.exit, 0) << first.err;
      EXPECT_TRUE(m.BlockedWaits.empty());
    } else {
      const std::string said =
          row.other == Holds ? row.error + ": try again once it has finished" : row.error;
      EXPECT_EQ(first.err.substr(0, std::min(first.err.size(), said.size() + 8)),
                "dimmio: " + said);
      ExpectGives(first, 1, said);
      using Waits = std::vector<std::pair<std::string, unsigned long>>;
      EXPECT_EQ(m.BlockedWaits,
                (row.other == Holds ? Waits{{row.mutex, dimmio::kBusWaitMs}} : Waits{}));
    }
    EXPECT_EQ(fakewin::MutexLeftovers(), "");
    // The other program lets go, or ends and its mutex goes.
    if (row.other == Squats || row.other == SquatsUnread) {
      m.Mutexes.erase(row.mutex);
    } else {
      m.Mutexes[row.mutex].OtherHolds = m.Mutexes[row.mutex].WaitFails = false;
    }
    m.GlobalRefused = false;
    if (!row.alsoHeld.empty()) m.Mutexes[row.alsoHeld].OtherHolds = false;
    const Outcome next = OnWindows(row.args);
    EXPECT_EQ(next.exit, 0) << next.err;
    fakewin::UnloadDriver();
    EXPECT_EQ(m.UnloadFindings, "");
  }

  // The mutexes dimmio makes: a monitor running unelevated may wait on each
  // and release it, and do nothing else with it; administrators may do all.
  fakewin::Reset(sim::DefaultBoard(), ProgramDirectory() + "dimmio.exe");
  ASSERT_TRUE(fakewin::LoadDriver());
  ASSERT_EQ(OnWindows({"report", "--segment", "1"}).exit, 0);
  for (const std::string& name : {smbus, pci, isa}) {
    EXPECT_TRUE(fakewin::MayOpen(name, SYNCHRONIZE | MUTEX_MODIFY_STATE, false)) << name;
    EXPECT_FALSE(fakewin::MayOpen(name, READ_CONTROL, false)) << name;
    EXPECT_FALSE(fakewin::MayOpen(name, MUTEX_ALL_ACCESS, false)) << name;
    EXPECT_TRUE(fakewin::MayOpen(name, MUTEX_ALL_ACCESS, true)) << name;
    EXPECT_EQ(fakewin::TheMachine().Mutexes[name].Maker, fakewin::kProgramAccount) << name;
  }
  fakewin::UnloadDriver();
}

// The files the elevated tool writes where a user may control the folder:
// `report --html` and the window's saves. A name that is a link, or a file
// with a second name, is refused whatever it leads to, and the file it leads
// to keeps its bytes; a module's file (a name derived from the chosen one)
// is made new, and one already there replaced only when the user says so.
TEST(WindowsFiles, ALinkOrASecondNameIsRefusedAndADerivedNameIsAskedFor) {
  enum At { Nothing, Plain, Symlink, Dangling, Hardlink };
  enum How { ReportHtml, WindowText, WindowDumps };
  const struct {
    How how;
    At at;
    bool answer;        // to "replace it?"
    std::string error;  // "" when written
    int asked = 0;
    // clang-format off
  } rows[] = {
      {ReportHtml, Nothing, false, ""},
      {ReportHtml, Plain, false, ""},
      {ReportHtml, Symlink, false, ": not written: the name is a link (a reparse point"},
      {ReportHtml, Hardlink, false,
       ": not written: the file has 2 names (hard links), and the others would change"},
      {WindowText, Hardlink, false, ": not written: the file has 2 names"},
      {WindowText, Plain, false, ""},
      {WindowDumps, Nothing, false, ""},
      {WindowDumps, Plain, false, "-slot0.txt: exists: not replaced", 1},
      {WindowDumps, Plain, true, "", 1},
      {WindowDumps, Symlink, true, "-slot0.txt: not written: the name is a link", 1},
      {WindowDumps, Dangling, true, "-slot0.txt: not written: the name is a link", 1},
      {WindowDumps, Hardlink, true, "-slot0.txt: not written: the file has 2 names", 1},
  };
  // clang-format on
  const std::filesystem::path dir =
      std::filesystem::path(::testing::TempDir()) / ("dimmio-files-" + std::to_string(::getpid()));
  const std::vector<uint8_t> module = {0x80, 0x08, 0x07, 0x0D, 0x0A};
  dimmio::Report report;
  report.Target = "this machine";
  report.Slots.resize(1);
  report.Slots[0].Bytes = module;
  int number = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(number++);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::filesystem::path victim = dir / "victim.dll", chosen = dir / "saved.txt";
    WriteWhole(victim, "precious");
    const std::filesystem::path named = row.how == WindowDumps ? dir / "saved-slot0.txt" : chosen;
    if (row.at == Plain) WriteWhole(named, "old");
    if (row.at == Symlink) std::filesystem::create_symlink(victim, named);
    if (row.at == Dangling) std::filesystem::create_symlink(dir / "made.dll", named);
    if (row.at == Hardlink) std::filesystem::create_hard_link(victim, named);
    std::string error;
    int asked = 0;
    if (row.how == ReportHtml) {
      const Outcome run = Dimmio(Via::Windows, {"report", "--html", chosen.string()});
      error = run.err;
      EXPECT_EQ(run.exit, row.error.empty() ? 0 : 1);
    } else {
      error = dimmio::gui::Save(
          report,
          row.how == WindowText ? dimmio::gui::SaveKind::Text : dimmio::gui::SaveKind::I2cdump,
          chosen.string(), dimmio::cli::GuardedFiles(), [&](const std::string& file) {
            EXPECT_EQ(file, named.string());
            ++asked;
            return row.answer;
          });
    }
    EXPECT_EQ(asked, row.asked);
    if (row.error.empty()) {
      EXPECT_EQ(error, "");
      const std::string saved = ReadWhole(named.string());
      EXPECT_NE(saved.find(row.how == ReportHtml   ? "</html>"
                           : row.how == WindowText ? "\r\n"
                                                   : "00: 80 08 07 0d 0a"),
                std::string::npos)
          << saved;
    } else {
      EXPECT_EQ(error.rfind("dimmio: " + dir.string() + "/saved", 0), 0u) << error;
      EXPECT_NE(error.find(row.error), std::string::npos) << error;
      if (row.at == Plain) {
        EXPECT_EQ(ReadWhole(named.string()), "old");
      }
    }
    EXPECT_EQ(ReadWhole(victim.string()), "precious");
    EXPECT_FALSE(std::filesystem::exists(dir / "made.dll"));
  }
  std::filesystem::remove_all(dir);
}

// The programs' first call: DLLs from the system folder only, by what this
// Windows' kernel32 has.
TEST(WindowsStart, DllsComeFromTheSystemFolderOnly) {
  const struct {
    bool hasDefault, hasDirectory;
    unsigned long flags;
    std::string directory;
    // clang-format off
  } rows[] = {
      {true, true, 0x800, "unset"},  // LOAD_LIBRARY_SEARCH_SYSTEM32
      {false, true, 0, ""},          // Windows XP SP1 to Windows 7 without the update
      {false, false, 0, "unset"},    // Windows XP as first shipped
  };
  // clang-format on
  for (const auto& row : rows) {
    fakewin::Reset(sim::DefaultBoard(), ProgramDirectory() + "dimmio.exe");
    fakewin::Machine& m = fakewin::TheMachine();
    m.HasSetDefaultDllDirectories = row.hasDefault;
    m.HasSetDllDirectory = row.hasDirectory;
    dimmio::cli::LoadDllsFromTheSystemFolderOnly();
    EXPECT_EQ(m.DefaultDllDirectories, row.flags) << row.hasDefault << row.hasDirectory;
    EXPECT_EQ(m.DllDirectory, row.directory) << row.hasDefault << row.hasDirectory;
  }
}

// Command lines and what they give: on exit 0 `shown` on standard output,
// nothing on standard error; else one line there holding it, and nothing on
// standard output when the command line is wrong. Some are of one target
// only: boards where there are boards, the driver's service where the tool
// can install it (those rows name no board).
TEST_P(Tool, EachCommandLineGivesItsLinesAndExit) {
  const std::string ich5Smbus = "00:1F.3  8086:24D3  " + std::string(kIch5SmbusName);
  const struct {
    std::vector<std::string> args;
    int exit;
    std::string shown;
    std::string board = "ich5";
    int times = 1;  // `shown` this many times
    std::optional<Via> only{};
    // clang-format off
  } cases[] = {
      // Functions are named from the PCI ID database, the chipset's too.
      {{"report"}, dimmio::cli::kExitDone, ich5Smbus},
      {{"report"}, dimmio::cli::kExitDone,
       "01:00.0     10DE:0322      NVIDIA Corporation Device 0322"},
      {{"pci", "0", "0", "0"}, dimmio::cli::kExitDone,
       "Intel Corporation 82865G/PE/P DRAM Controller/Host-Hub Interface\n"},
      {{"pci", "0:1d.1"}, dimmio::cli::kExitDone, "\nIntel Corporation Device 24D4\n"},
      // The forms lspci and the report print: hex when the bus has two digits
      // or a part has a letter, else decimal.
      {{"pci", "00:1d.1"}, dimmio::cli::kExitDone, "of 00:1D.1 (bus"},
      {{"pci", "0:29.1"}, dimmio::cli::kExitDone, "of 00:1D.1 (bus"},
      {{"pci", "00:10.0"}, dimmio::cli::kExitDone, "of 00:10.0 (bus"},
      {{"pci", "0:10.0"}, dimmio::cli::kExitDone, "of 00:0A.0 (bus"},
      {{"pci", "0:7.3"}, dimmio::cli::kExitDone, "of 00:07.3 (bus"},
      {{"report", "--side-by-side"}, dimmio::cli::kExitDone, "slot 3 (0x53)"},
      {{"report", "--side-by-side"}, dimmio::cli::kExitDone, "\n  * serial number:  "},
      {{"report", "--side-by-side"}, dimmio::cli::kExitDone,
       "  slot 4 (0x54): empty: no module answered"},
      // The probe writes to the module only when told so, and says what the EEPROM did.
      {{"probe", "--slot", "0", "--yes"}, dimmio::cli::kExitDone, "writes to the module"},
      {{"probe", "--slot", "0", "--yes", "--json"}, dimmio::cli::kExitDone, "\"result\": 1,"},
      {{"probe", "--slot", "0", "--yes"}, dimmio::cli::kExitDone,
       "not writable: the chipset blocks SPD writes", "pch8-spdwd"},
      {{"probe", "--slot", "1"}, dimmio::cli::kExitUsage, "changes byte 74"},
      {{"report", "--board", "nope"}, dimmio::cli::kExitUsage, "nope not in {ich5,", "", 1,
       Via::Host},
      {{"driver", "start"}, dimmio::cli::kExitUsage, "unexpected arguments: driver start", "", 1,
       Via::Host},
      // A line per board, the default first, the last with its description.
      {{"boards"}, dimmio::cli::kExitDone, "(default)", "", 1, Via::Host},
      {{"boards"}, dimmio::cli::kExitDone, sim::Boards()[0].description + "  (default)\n", "", 1,
       Via::Host},
      {{"boards"}, dimmio::cli::kExitDone, "\n" + sim::Boards().back().name + ' ', "", 1,
       Via::Host},
      {{"boards"}, dimmio::cli::kExitDone, sim::Boards().back().description + "\n", "", 1,
       Via::Host},
      {{"boards"}, dimmio::cli::kExitUsage, "unexpected argument: boards", "", 1, Via::Windows},
      {{"report", "--board", "ich5"}, dimmio::cli::kExitUsage, "unexpected arguments: --board ich5",
       "", 1, Via::Windows},
      {{"spd", "--slot", "8"}, dimmio::cli::kExitUsage, "--slot: Value 8 not in range 0 to 7"},
      {{"probe", "--slot", "8"}, dimmio::cli::kExitUsage, "not in range 0 to 7"},
      {{"spd", "--slot", "0", "--count", "-1"}, dimmio::cli::kExitUsage, "--count: Value -1"},
      {{"spd", "--slot", "0", "--count", "0"}, dimmio::cli::kExitUsage, "--count"},
      // Past byte 255 only on a DDR4 module; 511 is a DDR4 module's last.
      {{"spd", "--slot", "0", "--offset", "256"}, dimmio::cli::kExitUsage,
       "--offset: Value 256 not in range 0 to 255"},
      {{"spd", "--slot", "0", "--count", "257"}, dimmio::cli::kExitUsage,
       "--count: Value 257 not in range 1 to 256"},
      {{"spd", "--slot", "0", "--offset", "512"}, dimmio::cli::kExitUsage,
       "--offset: Value 512 not in range 0 to 511", "pch100"},
      {{"spd"}, dimmio::cli::kExitUsage, "--slot is required"},
      {{"frobnicate"}, dimmio::cli::kExitUsage, "unexpected argument: frobnicate"},
      {{"report", "--segment", "1", "2"}, dimmio::cli::kExitUsage, "unexpected argument: 2"},
      {{"report", "--segment", "2"}, dimmio::cli::kExitUsage, "--segment"},
      {{"spd", "--slot", "0", "--raw", "--json"}, dimmio::cli::kExitUsage,
       "--raw cannot be used with --json"},
      {{"spd", "--slot", "0", "--raw", "--decode"}, dimmio::cli::kExitUsage,
       "--raw cannot be used with --decode"},
      {{"spd", "--slot", "0", "--decode", "--offset", "1"}, dimmio::cli::kExitUsage,
       "--decode reads from offset 0"},
      {{"spd", "--slot", "0", "--decode", "--count", "127"}, dimmio::cli::kExitUsage,
       "at least 128 bytes"},
      {{"decode"}, dimmio::cli::kExitUsage, "FILE is required"},
      {{"decode", "/nonexistent/spd.bin"}, dimmio::cli::kExitUsage,
       "dimmio: /nonexistent/spd.bin: cannot be opened"},
      // What the driver would refuse is not sent.
      {{"pci", "0", "31", "0"}, dimmio::cli::kExitUsage,
       "devices 0-30 (00-1E) and functions 0-6 only: not 00:1F.0"},
      {{"pci", "1", "0", "0"}, dimmio::cli::kExitUsage, "not 01:00.0"},
      {{"pci", "0", "0", "7"}, dimmio::cli::kExitUsage, "not 00:00.7"},
      {{"pci", "0", "32", "0"}, dimmio::cli::kExitUsage, "DEV: Value 32 not in range 0 to 31"},
      {{"pci", "256", "0", "0"}, dimmio::cli::kExitUsage, "BUS: Value 256 not in range 0 to 255"},
      {{"pci", "00:31.3"}, dimmio::cli::kExitUsage,
       "not a PCI address: 00:31.3: give BUS:DEV.FN, hex"},
      {{"pci", "0:1g.3"}, dimmio::cli::kExitUsage, "not a PCI address: 0:1g.3"},
      {{"pci", "0:1f.8"}, dimmio::cli::kExitUsage, "not a PCI address"},
      {{"pci", "0:1f.3", "3"}, dimmio::cli::kExitUsage, "not a PCI address"},
      {{"pci", "0", "31"}, dimmio::cli::kExitUsage, "or the three numbers BUS DEV FN"},
      // Served, but the bus said no.
      {{"spd", "--slot", "5"}, dimmio::cli::kExitFailed, "slot 5: no module answered"},
      {{"spd", "--slot", "0"}, dimmio::cli::kExitFailed, "no usable SMBus controller", "nosmbus"},
      {{"probe", "--slot", "6", "--yes"}, dimmio::cli::kExitFailed, "did not finish"},
  };
  // clang-format on
  for (const auto& c : cases) {
    if (c.only && c.only != GetParam()) continue;
    SCOPED_TRACE(CommandLine(c.args) + c.board);
    Outcome run;
    if (!c.board.empty()) {
      run = Dimmio(GetParam(), c.args, c.board);
    } else if (GetParam() == Via::Host) {
      run = RunOn(c.args, HostTarget());
    } else {
      fakewin::Reset(sim::DefaultBoard(), ProgramDirectory() + "dimmio.exe");
      run = OnWindows(c.args);
    }
    ExpectGives(run, c.exit, c.shown, c.times);
  }
}

}  // namespace
