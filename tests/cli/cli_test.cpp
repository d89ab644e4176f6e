// The dimmio tool end to end: the command entry point with the driver loaded
// on simulated boards, its facts checked against what the boards hold.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli.h"
#include "dimmio/client.h"
#include "dimmio/spd.h"
#include "host_target.h"
#include "inprocess/inprocess_transport.h"
#include "report.h"
#include "sim/board.h"

namespace {

using nlohmann::json;

struct Outcome {
  int exit;
  std::string out, err;
};

Outcome Dimmio(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int exit = dimmio::cli::Run(args, dimmio::cli::SimulatedBoards(), out, err);
  return {exit, out.str(), err.str()};
}

json DimmioJson(std::vector<std::string> args) {
  args.push_back("--json");
  const Outcome run = Dimmio(args);
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return json::parse(run.out);  // throws, and fails the test, on anything but JSON
}

const sim::Board& BoardNamed(const std::string& name) {
  const sim::Board* board = sim::FindBoard(name);
  if (board == nullptr) throw std::invalid_argument(name);
  return *board;
}

const sim::SpdSlotSpec* ModuleIn(const sim::Board& board, uint32_t segment, int slot) {
  if (!board.smbus) return nullptr;
  for (const sim::SpdSlotSpec& s : segment == 0 ? board.smbus->segment0 : board.smbus->segment1) {
    if (s.slot == slot) return &s;
  }
  return nullptr;
}

// What the driver counts from the board's SMBIOS content: sockets from the
// arrays, their devices, the controllers' slots or the module structures, in
// that order; modules from the installed module structures, else the
// populated devices.
uint8_t SlotsIn(const sim::SmbiosProfile& p) {
  unsigned arrays = 0, devices = 0;
  for (const sim::SmbiosMemoryArray& a : p.arrays) {
    arrays += a.deviceCount & 0xFF;
    devices += static_cast<unsigned>(a.devices.size());
  }
  for (unsigned n : {arrays, devices, unsigned{p.controllerSlots},
                     static_cast<unsigned>(p.modules.size())}) {
    if ((n & 0xFF) != 0) return static_cast<uint8_t>(n);
  }
  return 0;
}

uint8_t ModulesIn(const sim::SmbiosProfile& p) {
  unsigned installed = 0, populated = 0;
  for (const sim::SmbiosModuleSocket& m : p.modules) installed += m.installedSize < 0x7D || m.installedSize > 0x7F;
  for (const sim::SmbiosMemoryArray& a : p.arrays) {
    for (const sim::SmbiosMemoryDevice& d : a.devices) populated += d.sizeMb != 0 && d.sizeMb != 0xFFFF;
  }
  return static_cast<uint8_t>(installed != 0 ? installed : populated);
}

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

struct ReportCase {
  std::string board;
  uint32_t segment;
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.board << " segment " << c.segment; }

class ReportOnBoard : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportOnBoard, FactsAreWhatTheBoardHolds) {
  const ReportCase c = GetParam();
  const sim::Board& board = BoardNamed(c.board);
  const json r = DimmioJson({"report", "--board", c.board, "--segment", std::to_string(c.segment)});

  EXPECT_EQ(r["board"], c.board);
  EXPECT_EQ(r["segment"], c.segment);

  // Chipset and PCI functions.
  const sim::PciFunctionSpec* smbus = SmbusFunctionOf(board);
  ASSERT_NE(smbus, nullptr);
  EXPECT_EQ(r["chipset"]["vendor_id"], smbus->vendorId);
  EXPECT_EQ(r["chipset"]["device_id"], smbus->deviceId);
  EXPECT_EQ(r["chipset"]["device"], smbus->device);
  EXPECT_EQ(r["chipset"]["function"], smbus->function);
  EXPECT_EQ(r["pci_device_count"], board.pci.size());
  ASSERT_EQ(r["pci_devices"].size(), board.pci.size());
  for (size_t i = 0; i < board.pci.size(); ++i) {
    EXPECT_EQ(r["pci_devices"][i]["bus"], board.pci[i].bus);
    EXPECT_EQ(r["pci_devices"][i]["device"], board.pci[i].device);
    EXPECT_EQ(r["pci_devices"][i]["function"], board.pci[i].function);
    EXPECT_EQ(r["pci_devices"][i]["vendor_id"], board.pci[i].vendorId);
    EXPECT_EQ(r["pci_devices"][i]["device_id"], board.pci[i].deviceId);
  }

  // Every slot: present exactly where the board fits a module, with its facts.
  EXPECT_TRUE(r["controller_available"].get<bool>());
  ASSERT_EQ(r["slots"].size(), 8u);
  for (int slot = 0; slot < 8; ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    const json& s = r["slots"][slot];
    EXPECT_EQ(s["slot"], slot);
    EXPECT_EQ(s["address"], 0x50 + slot);
    const sim::SpdSlotSpec* module = ModuleIn(board, c.segment, slot);
    EXPECT_EQ(s["present"].get<bool>(), module != nullptr);
    if (module == nullptr) {
      EXPECT_FALSE(s.contains("spd"));
      EXPECT_EQ(s["status"]["code"], DIMMIO_ERROR_SPD_BLOCK_READ);
      continue;
    }
    const sim::DimmSpec& d = module->dimm;
    const json& spd = s["spd"];
    EXPECT_EQ(s["status"]["code"], 0);
    EXPECT_EQ(spd["type_byte"], static_cast<uint8_t>(d.type));
    EXPECT_EQ(spd["capacity_mb"], d.capacityMb);
    EXPECT_EQ(spd["speed_grade"], d.speedGrade);
    EXPECT_EQ(spd["data_width"], d.dataWidth);
    EXPECT_EQ(spd["manufacturer"], d.manufacturer);
    EXPECT_EQ(spd["jedec_bank"], d.jedecId.size());
    EXPECT_EQ(spd["jedec_code"], d.jedecId.back());
    EXPECT_EQ(spd["part_number"], d.partNumber);
    EXPECT_EQ(spd["serial_number"], d.serial);
    EXPECT_TRUE(spd["checksum_ok"].get<bool>());
  }

  // SMBIOS.
  const json& smbios = r["smbios"];
  EXPECT_EQ(smbios["memory_slots"]["count"], SlotsIn(board.smbios));
  EXPECT_EQ(smbios["memory_modules"]["count"], ModulesIn(board.smbios));
  if (board.smbios.present) {
    EXPECT_EQ(smbios["system"]["manufacturer"], board.smbios.system.manufacturer);
    EXPECT_EQ(smbios["system"]["product"], board.smbios.system.product);
    EXPECT_EQ(smbios["system"]["version"], board.smbios.system.version);
    EXPECT_EQ(smbios["system"]["serial_number"], board.smbios.system.serial);
    EXPECT_EQ(smbios["board"]["manufacturer"], board.smbios.board.manufacturer);
    EXPECT_EQ(smbios["board"]["product"], board.smbios.board.product);
    EXPECT_EQ(smbios["board"]["version"], board.smbios.board.version);
    EXPECT_EQ(smbios["board"]["serial_number"], board.smbios.board.serial);
  } else {
    EXPECT_NE(smbios["error"].get<std::string>().find("STATUS_UNSUCCESSFUL"), std::string::npos);
    EXPECT_EQ(smbios["memory_slots"]["status"]["code"], DIMMIO_ERROR_SMBIOS_NO_ENTRY_POINT);
  }
}

INSTANTIATE_TEST_SUITE_P(Boards, ReportOnBoard,
                         ::testing::Values(ReportCase{"ich5", 0}, ReportCase{"ich5", 1},
                                           ReportCase{"piix4", 0}, ReportCase{"piix4", 1},
                                           ReportCase{"ich4-mixed", 0}),
                         [](const auto& info) {
                           std::string name = info.param.board + "_segment" +
                                              std::to_string(info.param.segment);
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(Report, TextNamesEachModuleOnItsSlotLineAndTheEmptySlots) {
  const Outcome run = Dimmio({});  // the default command on the default board
  ASSERT_EQ(run.exit, 0) << run.err;
  const sim::Board& board = sim::DefaultBoard();
  EXPECT_NE(run.out.find(board.name), std::string::npos);
  std::istringstream lines(run.out);
  std::string line;
  int slotLines = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("  ", 0) != 0 || line.size() < 9 || line[8] != '0' || line[9] != 'x') continue;
    const int slot = line[2] - '0';
    ++slotLines;
    const sim::SpdSlotSpec* module = ModuleIn(board, 0, slot);
    if (module == nullptr) {
      EXPECT_NE(line.find("empty"), std::string::npos) << line;
      continue;
    }
    for (const std::string& fact :
         {module->dimm.partNumber, module->dimm.manufacturer, module->dimm.speedGrade,
          std::to_string(module->dimm.capacityMb) + " MB"}) {
      EXPECT_NE(line.find(fact), std::string::npos) << line << " lacks " << fact;
    }
  }
  EXPECT_EQ(slotLines, 8);
  EXPECT_NE(run.out.find(board.smbios.board.product), std::string::npos);
}

TEST(InProcessTransport, EveryRequestOfAReportPassesTheWatchOnEveryBoard) {
  for (const sim::Board& board : sim::Boards()) {
    std::string error;
    auto transport = dimmio::InProcessTransport::Open(board, &error);
    ASSERT_NE(transport, nullptr) << board.name << ": " << error;
    dimmio::Client client(*transport);
    for (uint32_t segment : {0u, 1u}) {
      EXPECT_TRUE(dimmio::cli::GatherReport(client, segment).ok()) << board.name;
    }
    EXPECT_TRUE(client.ProbeSpdWrite(0).ok());
    // A refused request: the completion status, by name.
    const auto refused = client.ReadPciConfig(0, 31, 0);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().Code, DIMMIO_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(refused.error().Text, "STATUS_INVALID_PARAMETER (0xC000000D)");
    EXPECT_EQ(transport->Close(), "") << board.name;
    EXPECT_FALSE(client.ChipsetInfo().ok()) << "a request after Close";
  }
}

TEST(Report, BoardWithoutSupportedSmbusSaysSoAndStillExitsZero) {
  const json r = DimmioJson({"report", "--board", "nosmbus"});
  EXPECT_TRUE(r["chipset"].is_null());
  EXPECT_FALSE(r["controller_available"].get<bool>());
  EXPECT_EQ(r["controller_status"]["code"], DIMMIO_ERROR_CONTROLLER_UNAVAILABLE);
  EXPECT_TRUE(r["slots"].empty());
  EXPECT_EQ(r["pci_device_count"], BoardNamed("nosmbus").pci.size());
}

TEST(Spd, RawBytesAreTheModulesImageAcrossTheWrap) {
  const struct {
    std::string board;
    uint32_t segment;
    int slot, offset, count;
  } cases[] = {
      {"ich5", 0, 3, 0, 256}, {"ich5", 1, 1, 0, 256}, {"piix4", 1, 0, 0xF0, 32},
      {"ich4-mixed", 0, 3, 0x49, 1},
  };
  for (const auto& c : cases) {
    const sim::Board& board = BoardNamed(c.board);
    const auto image = sim::BuildSpdImage(ModuleIn(board, c.segment, c.slot)->dimm);
    const Outcome run = Dimmio({"spd", "--board", c.board, "--segment", std::to_string(c.segment),
                            "--slot", std::to_string(c.slot), "--offset", std::to_string(c.offset),
                            "--count", std::to_string(c.count), "--raw"});
    ASSERT_EQ(run.exit, 0) << run.err;
    ASSERT_EQ(run.out.size(), static_cast<size_t>(c.count));
    for (int i = 0; i < c.count; ++i) {
      EXPECT_EQ(static_cast<uint8_t>(run.out[i]), image[(c.offset + i) & 0xFF]) << c.board << ' ' << i;
    }
  }
}

TEST(Spd, JsonAndHexDumpCarryTheSameBytes) {
  const auto image = sim::BuildSpdImage(ModuleIn(sim::DefaultBoard(), 0, 2)->dimm);
  const json j = DimmioJson({"spd", "--slot", "2", "--offset", "0x40", "--count", "20"});
  EXPECT_EQ(j["bytes_read"], 20);
  EXPECT_EQ(j["data"].get<std::vector<uint8_t>>(),
            std::vector<uint8_t>(image.begin() + 0x40, image.begin() + 0x54));
  const Outcome text = Dimmio({"spd", "--slot", "2", "--offset", "0x40", "--count", "20"});
  ASSERT_EQ(text.exit, 0);
  EXPECT_NE(text.out.find(dimmio::HexDump(std::span(image).subspan(0x40, 20), 0x40)),
            std::string::npos);

  // Past the last byte the read wraps to byte 0, and so do the dump's offsets.
  const Outcome wrapped = Dimmio({"spd", "--slot", "2", "--offset", "0xF8", "--count", "24"});
  ASSERT_EQ(wrapped.exit, 0);
  char line[64];
  std::snprintf(line, sizeof line, "\n0008: %02X %02X ", image[8], image[9]);
  EXPECT_NE(wrapped.out.find(line), std::string::npos) << wrapped.out;
}

TEST(Probe, SaysItWritesAndReportsWhatTheEepromDid) {
  const Outcome run = Dimmio({"probe", "--slot", "0"});
  EXPECT_NE(run.out.find("writes to the module"), std::string::npos);
  const json j = DimmioJson({"probe", "--slot", "0"});
  // The default board's modules are not write-protected.
  ASSERT_EQ(ModuleIn(sim::DefaultBoard(), 0, 0)->eeprom.writeProtect, sim::WriteProtect::Off);
  EXPECT_EQ(j["result"], DIMMIO_PROBE_WRITABLE);
  EXPECT_EQ(j["status"]["code"], 0);
  EXPECT_EQ(run.exit, 0);
}

TEST(Pci, DumpShowsTheFunctionsRegisters) {
  // The driver dumps devices 0-30 only: the PIIX4 board's SMBus function is
  // at 0:7.3.
  const sim::Board& board = BoardNamed("piix4");
  const sim::PciFunctionSpec* f = SmbusFunctionOf(board);
  const json j = DimmioJson({"pci", "0", std::to_string(f->device), std::to_string(f->function),
                             "--board", board.name});
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
  const json empty = DimmioJson({"pci", "0", "5", "0", "--board", board.name});
  EXPECT_FALSE(empty["present"].get<bool>());
}

TEST(Boards, OneLinePerBoardDefaultFirst) {
  const Outcome run = Dimmio({"boards"});
  ASSERT_EQ(run.exit, 0);
  std::istringstream lines(run.out);
  std::string line;
  size_t i = 0;
  for (; std::getline(lines, line); ++i) {
    ASSERT_LT(i, sim::Boards().size());
    EXPECT_EQ(line.rfind(sim::Boards()[i].name + ' ', 0), 0u) << line;
    EXPECT_NE(line.find(sim::Boards()[i].description), std::string::npos);
    EXPECT_EQ(line.find("(default)") != std::string::npos, i == 0) << line;
  }
  EXPECT_EQ(i, sim::Boards().size());
}

// A scratch directory for saved dumps, removed after the test.
class SavedDumps : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("dimmio-cli-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Save(const std::string& name, const std::string& contents) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }
  std::filesystem::path dir_;
};

// What `spd` printed or wrote, saved and decoded again: the same facts as
// the slot's own decode, in text and in JSON.
TEST_F(SavedDumps, DecodeGivesBackWhatSpdRead) {
  const struct {
    std::string board;
    int segment, slot;
    std::vector<std::string> save;  // the spd options whose output is saved
  } cases[] = {
      {"ich5", 0, 0, {"--raw"}},
      {"ich5", 0, 3, {}},
      {"ich5", 1, 1, {"--count", "128"}},
      {"piix4", 0, 0, {"--raw", "--count", "128"}},
      {"piix4", 1, 0, {}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.board + " slot " + std::to_string(c.slot));
    std::vector<std::string> spd = {"spd", "--board", c.board, "--segment", std::to_string(c.segment),
                                    "--slot", std::to_string(c.slot)};
    std::vector<std::string> saveArgs = spd;
    saveArgs.insert(saveArgs.end(), c.save.begin(), c.save.end());
    const Outcome saved = Dimmio(saveArgs);
    ASSERT_EQ(saved.exit, 0) << saved.err;
    const std::string file = Save("dump" + std::to_string(n++), saved.out);

    spd.push_back("--decode");
    const Outcome live = Dimmio(spd);
    const Outcome offline = Dimmio({"decode", file});
    ASSERT_EQ(offline.exit, 0) << offline.err;
    // Both end in the same listing, after their own first line.
    const std::string listing = live.out.substr(live.out.find('\n') + 1);
    EXPECT_EQ(offline.out.substr(offline.out.find('\n') + 1), listing);
    EXPECT_NE(offline.out.rfind(file + ": ", 0), std::string::npos) << offline.out;
    const sim::DimmSpec& dimm = ModuleIn(BoardNamed(c.board), c.segment, c.slot)->dimm;
    for (const std::string& fact : {dimm.partNumber, dimm.manufacturer, dimm.speedGrade}) {
      EXPECT_NE(listing.find(fact), std::string::npos) << fact;
    }

    spd.push_back("--json");
    const json liveJson = json::parse(Dimmio(spd).out);
    const json offlineJson = DimmioJson({"decode", file});
    ASSERT_EQ(offlineJson.size(), 1u);
    EXPECT_EQ(offlineJson[0]["spd"], liveJson["spd"]);
    EXPECT_EQ(offlineJson[0]["file"], file);
  }

  // i2cdump's layout of a module's bytes.
  const auto image = sim::BuildSpdImage(ModuleIn(sim::DefaultBoard(), 0, 2)->dimm);
  std::string i2cdump = "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n";
  for (int at = 0; at < 256; ++at) {
    char cell[8];
    if (at % 16 == 0) {
      std::snprintf(cell, sizeof cell, "%02x:", at);
      i2cdump += cell;
    }
    std::snprintf(cell, sizeof cell, " %02x", image[at]);
    i2cdump += cell;
    if (at % 16 == 15) i2cdump += "    ................\n";
  }
  const json fromI2c = DimmioJson({"decode", Save("i2cdump.txt", i2cdump)});
  EXPECT_EQ(fromI2c[0]["spd"], json::parse(Dimmio({"spd", "--slot", "2", "--json"}).out)["spd"]);
}

// A bad file: one line naming it and what is wrong, exit 2; the good files
// among them are still decoded.
TEST_F(SavedDumps, BadFilesAreNamedOneLineEach) {
  const std::string good = Save("good.bin", Dimmio({"spd", "--slot", "0", "--raw"}).out);
  const struct {
    std::string contents;
    const char* problem;
  } cases[] = {
      {"", "the file is empty"},
      {std::string(100, '\x80'), "neither a hex dump nor a raw SPD image of 128 or 256 bytes"},
      {"0000: 80 08 07\n", "bytes 0x03-0x7F are missing"},
      {"Samsung module, bought 2004\n", "no hex dump lines"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string bad = Save("bad" + std::to_string(n++) + "\x1B", c.contents);
    const Outcome run = Dimmio({"decode", good, bad});
    EXPECT_EQ(run.exit, dimmio::cli::kExitUsage);
    const std::string shown = dimmio::PrintableText(bad);
    EXPECT_EQ(run.err.rfind("dimmio: " + shown + ": " + c.problem, 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.out.find("M368L6423ETN-CCC"), std::string::npos);  // the good one
  }
}

// Every board again, its SMBIOS strings and its modules' part numbers made
// of what a broken BIOS or EEPROM may hold: control characters, bytes that
// are not UTF-8, quotes and backslashes, the longest string a field keeps.
const std::vector<sim::Board>& HostileBoards() {
  static const std::vector<sim::Board> boards = [] {
    const std::vector<std::string> texts = {
        "\x1B[2J\x07tab\there\r\nnext", "\xFF\xFE\xC3\x28 not UTF-8 \xE2\x82",
        "quote \" back\\slash \xC3\xA9t\xC3\xA9", std::string(127, '\x7F'),
        "\xED\xA0\x80\xF4\x90\x80\x80\xC0\xAF", "\x01"};
    std::vector<sim::Board> hostile = sim::Boards();
    size_t n = 0;
    const auto next = [&] { return texts[n++ % texts.size()]; };
    for (sim::Board& board : hostile) {
      for (sim::SmbiosText* t : {&board.smbios.system, &board.smbios.board}) {
        t->manufacturer = next(), t->product = next(), t->version = next(), t->serial = next();
      }
      if (!board.smbus) continue;
      for (auto* segment : {&board.smbus->segment0, &board.smbus->segment1}) {
        for (sim::SpdSlotSpec& slot : *segment) slot.dimm.partNumber = next().substr(0, 18);
      }
    }
    return hostile;
  }();
  return boards;
}

dimmio::cli::Target HostileTarget() {
  dimmio::cli::Target target;
  for (const sim::Board& board : HostileBoards()) target.Boards.push_back({board.name, board.description});
  target.Open = [](const std::string& name, std::string* error) -> std::unique_ptr<dimmio::Transport> {
    for (const sim::Board& board : HostileBoards()) {
      if (board.name == name) return dimmio::InProcessTransport::Open(board, error);
    }
    *error = "no board " + name;
    return nullptr;
  };
  return target;
}

// Every command, on every board with hostile strings: --json parses and
// carries the strings as the text output shows them; the text output holds no
// control character but its line ends.
TEST(Output, EveryCommandStaysWellFormedWithHostileStrings) {
  const dimmio::cli::Target target = HostileTarget();
  for (const sim::Board& board : HostileBoards()) {
    std::vector<std::vector<std::string>> commands = {
        {"report", "--segment", "0"}, {"report", "--segment", "1"}, {"pci", "0", "0", "0"},
        {"boards"}, {"probe", "--slot", "0"}};
    for (int slot = 0; slot < 8; ++slot) {
      commands.push_back({"spd", "--slot", std::to_string(slot), "--decode"});
      commands.push_back({"spd", "--slot", std::to_string(slot), "--segment", "1"});
    }
    for (std::vector<std::string> command : commands) {
      command.insert(command.end(), {"--board", board.name});
      std::string line = board.name;
      for (const std::string& arg : command) line += ' ' + arg;
      SCOPED_TRACE(line);
      for (const bool asJson : {false, true}) {
        std::vector<std::string> args = command;
        if (asJson) args.push_back("--json");
        std::ostringstream out, err;
        const int exit = dimmio::cli::Run(args, target, out, err);
        EXPECT_TRUE(exit == dimmio::cli::kExitDone || exit == dimmio::cli::kExitFailed) << err.str();
        for (const std::string& text : {out.str(), err.str()}) {
          EXPECT_TRUE(std::none_of(text.begin(), text.end(), [](char c) {
            return (static_cast<uint8_t>(c) < 0x20 && c != '\n') || c == '\x7F';
          })) << text;
        }
        if (!asJson) continue;
        json parsed;
        ASSERT_NO_THROW(parsed = json::parse(out.str())) << out.str();
        if (command[0] != "report" || !board.smbios.present) continue;
        // The strings as the text report shows them.
        const std::string shown = dimmio::PrintableText(board.smbios.system.manufacturer);
        EXPECT_EQ(parsed["smbios"]["system"]["manufacturer"], shown);
        std::ostringstream text, ignored;
        args.pop_back();
        dimmio::cli::Run(args, target, text, ignored);
        EXPECT_NE(text.str().find(shown), std::string::npos);
      }
    }
  }
}

// An exception nothing else caught: one line, exit 1.
TEST(Errors, AnExceptionEndsInOneLine) {
  dimmio::cli::Target target = dimmio::cli::SimulatedBoards();
  target.Open = [](const std::string&, std::string*) -> std::unique_ptr<dimmio::Transport> {
    throw std::runtime_error("broken\nin two lines \xFF");
  };
  std::ostringstream out, err;
  EXPECT_EQ(dimmio::cli::Run({"report"}, target, out, err), dimmio::cli::kExitFailed);
  EXPECT_EQ(err.str(), "dimmio: internal error: broken\\x0Ain two lines \\xFF\n");
}

TEST(Errors, OneLineNonZeroExitNothingOnStandardOutput) {
  const struct {
    std::vector<std::string> args;
    int exit;
    const char* message;
  } cases[] = {
      {{"spd", "--slot", "8"}, dimmio::cli::kExitUsage, "--slot: Value 8 not in range 0 to 7"},
      {{"probe", "--slot", "8"}, dimmio::cli::kExitUsage, "not in range 0 to 7"},
      {{"spd", "--slot", "0", "--count", "-1"}, dimmio::cli::kExitUsage, "--count: Value -1"},
      {{"spd", "--slot", "0", "--count", "0"}, dimmio::cli::kExitUsage, "--count"},
      {{"spd"}, dimmio::cli::kExitUsage, "--slot is required"},
      {{"report", "--board", "nope"}, dimmio::cli::kExitUsage, "nope not in {ich5,"},
      {{"frobnicate"}, dimmio::cli::kExitUsage, "unexpected argument: frobnicate"},
      {{"report", "--segment", "1", "2"}, dimmio::cli::kExitUsage, "unexpected argument: 2"},
      {{"report", "--segment", "2"}, dimmio::cli::kExitUsage, "--segment"},
      {{"spd", "--slot", "0", "--raw", "--json"}, dimmio::cli::kExitUsage, "--raw cannot be used with --json"},
      {{"spd", "--slot", "0", "--raw", "--decode"}, dimmio::cli::kExitUsage, "--raw cannot be used with --decode"},
      {{"spd", "--slot", "0", "--decode", "--offset", "1"}, dimmio::cli::kExitUsage, "--decode reads from offset 0"},
      {{"spd", "--slot", "0", "--decode", "--count", "127"}, dimmio::cli::kExitUsage, "at least 128 bytes"},
      {{"decode"}, dimmio::cli::kExitUsage, "FILE is required"},
      {{"decode", "/nonexistent/spd.bin"}, dimmio::cli::kExitUsage, "dimmio: /nonexistent/spd.bin: cannot be opened"},
      // Refused by the driver: its completion status by name.
      {{"pci", "0", "31", "0"}, dimmio::cli::kExitFailed, "STATUS_INVALID_PARAMETER (0xC000000D)"},
      {{"pci", "1", "0", "0"}, dimmio::cli::kExitFailed, "STATUS_INVALID_PARAMETER"},
      // Served, but the bus said no.
      {{"spd", "--slot", "5"}, dimmio::cli::kExitFailed, "slot 5: no module answered"},
      {{"spd", "--slot", "0", "--board", "nosmbus"}, dimmio::cli::kExitFailed,
       "no usable SMBus controller"},
      {{"probe", "--slot", "6"}, dimmio::cli::kExitFailed, "did not finish"},
  };
  for (const auto& c : cases) {
    std::string command;
    for (const std::string& a : c.args) command += a + ' ';
    const Outcome run = Dimmio(c.args);
    EXPECT_EQ(run.exit, c.exit) << command;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << command << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << command << ": " << run.err;
    EXPECT_EQ(run.err.rfind("dimmio: ", 0), 0u) << run.err;
    if (c.exit == dimmio::cli::kExitUsage) {
      EXPECT_EQ(run.out, "") << command;
    }
  }
}

}  // namespace
