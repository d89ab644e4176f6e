// DDR4 modules of every form, die density, width, 3DS stack and grade, as
// the builder makes their images: the decoder, decode-dimms and the tool are
// held against the facts of each.
#pragma once

#include <string>
#include <vector>

#include "sim/boards/modules.h"

namespace testsupport {

struct Ddr4Module {
  std::string name;
  sim::DimmSpec dimm;
};

inline std::vector<Ddr4Module> Ddr4Modules() {
  using sim::ModuleForm;
  const auto make = [](uint32_t mb, uint8_t ranks, uint8_t width, const char* grade,
                       ModuleForm form, const char* maker, std::vector<uint8_t> jedec,
                       const char* part, uint32_t serial) {
    sim::DimmSpec d = sim::boards::Ddr(mb, ranks, grade, maker, std::move(jedec), part, serial);
    d.type = sim::MemoryType::Ddr4;
    d.deviceWidth = width;
    d.form = form;
    return d;
  };
  // clang-format off
  std::vector<Ddr4Module> m = {
      {"udimm-1rx8-2400", make(8192, 1, 8, "PC4-19200", ModuleForm::Udimm, "Kingston", {0x7F,
       0x98}, "KVR24N17S8/8", 0x1A2B3C4D)},
      {"sodimm-1rx16-3200", make(4096, 1, 16, "PC4-25600", ModuleForm::SoDimm, "Micron", {0x2C},
       "MTA4ATF51264HZ-3G2J1", 0x0000BEEF)},
      {"rdimm-2rx4-2666", make(32768, 2, 4, "PC4-21300", ModuleForm::Rdimm, "Samsung", {0xCE},
       "M393A4K40CB2-CTD", 0x31415926)},
      {"lrdimm-3ds-2933", make(65536, 2, 4, "PC4-23400", ModuleForm::Lrdimm, "Hynix", {0xAD},
       "HMAA8GL7CPR4N-WM", 0x27182818)},
      {"ecc-sodimm-2rx8-2133", make(16384, 2, 8, "PC4-17000", ModuleForm::SoUdimm72, "Micron",
       {0x2C}, "MTA18ASF2G72HZ-2G1", 7)},
      {"rdimm-3ds-4h-3200", make(131072, 2, 4, "PC4-25600", ModuleForm::Rdimm, "Samsung", {0xCE},
       "M393AAG40M32-CAE", 0x00C0FFEE)},
      {"udimm-1rx8-4gbit-1600", make(4096, 1, 8, "PC4-12800", ModuleForm::Udimm, "Samsung", {0xCE},
       "M378A5143DB0-CPB", 0x01020304)},
      {"sodimm-2rx8-1866", make(8192, 2, 8, "PC4-14900", ModuleForm::SoDimm, "Hynix", {0xAD},
       "HMA41GS6AFR8N-TF", 0xA5A5A5A5)},
      {"udimm-2rx8-16gbit-3200", make(32768, 2, 8, "PC4-25600", ModuleForm::Udimm, "G.Skill",
       {0x7F, 0x7F, 0x7F, 0x7F, 0xCD}, "F4-3200C16D-32GVK", 99)},
      {"sodimm-1rx16-2gbit-2133", make(1024, 1, 16, "PC4-17000", ModuleForm::SoDimm, "Micron",
       {0x2C}, "MTA4ATF12864HZ", 0x00000001)},
      {"mini-rdimm-1rx8-2400", make(8192, 1, 8, "PC4-19200", ModuleForm::MiniRdimm, "Samsung",
       {0xCE}, "M392A1K43BB1", 0x76543210)},
  };
  // clang-format on
  m[1].dimm.casLatency = 22;
  m[2].dimm.dataWidth = 72;
  m[2].dimm.thermalSensor = true;
  m[2].dimm.year = 2019;
  m[2].dimm.week = 45;
  m[3].dimm.dataWidth = 72;
  m[3].dimm.dies = 2;
  m[3].dimm.thermalSensor = true;
  m[3].dimm.dramJedecId = {0xAD};
  m[4].dimm.dataWidth = 72;
  m[4].dimm.casLatency = 16;
  m[5].dimm.dataWidth = 72;
  m[5].dimm.dies = 4;
  m[5].dimm.year = 2021;
  m[5].dimm.week = 7;
  m[6].dimm.casLatency = 12;
  m[8].dimm.dramJedecId = {0xCE};
  m[8].dimm.casLatency = 24;
  m[8].dimm.xmp = {{.tckPs = 555, .cl = 18, .trcd = 22, .trp = 22, .tras = 42, .millivolts = 1350},
                   {.tckPs = 625, .cl = 16, .trcd = 18, .trp = 18, .tras = 38, .millivolts = 1350}};
  m[10].dimm.dataWidth = 72;
  return m;
}

}  // namespace testsupport
