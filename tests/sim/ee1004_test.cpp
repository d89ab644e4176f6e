// The EE1004 model on its own, where the driver never goes: writes into the
// second page against the write-protect blocks of that page, and the page
// commands while a chip runs its write cycle (the busy chip ignores them,
// the other chips of the segment take them).
#include <gtest/gtest.h>

#include <vector>

#include "sim/machine.h"
#include "sim/models/ee1004_page.h"

namespace {

struct Step {
  enum Kind { Page, Write, Wait } kind;
  uint16_t value;  // Page: 0 or 1; Write: the offset (the byte written is 0x5A); Wait: ms
  bool ack;        // Page: chip A acknowledged; Write: its data byte acknowledged
};

struct Ee1004Case {
  const char* what;
  uint8_t protectedBlocks;  // chip A's; chip B has none
  std::vector<Step> steps;
  uint8_t pageOfA, pageOfB;                        // afterwards
  std::vector<std::pair<uint16_t, bool>> written;  // A's byte 0-511: holds 0x5A or not
};

TEST(Ee1004Model, ProtectedBlocksOfEachPageAndPageCommandsDuringTheWriteCycle) {
  // clang-format off
  const Ee1004Case cases[] = {
      {"block 0 protected: page 1 takes the write", 0x01,
       {{Step::Page, 1, true}, {Step::Write, 0x10, true}},
       1, 1, {{256 + 0x10, true}, {0x10, false}}},
      {"block 2 protected: refused there, block 3 and page 0 take it", 0x04,
       {{Step::Page, 1, true}, {Step::Write, 0x10, false}, {Step::Wait, 5, true},
        {Step::Write, 0x90, true}, {Step::Wait, 5, true}, {Step::Page, 0, true},
        {Step::Write, 0x10, true}},
       0, 0, {{256 + 0x10, false}, {256 + 0x90, true}, {0x10, true}}},
      {"a page command in the write cycle: chip B takes it, A keeps its page", 0x00,
       {{Step::Write, 0x20, true}, {Step::Page, 1, false}, {Step::Wait, 5, true},
        {Step::Page, 0, true}, {Step::Page, 1, true}},
       1, 1, {{0x20, true}}},
      {"the write cycle lasts: still busy 4 ms on", 0x00,
       {{Step::Write, 0x20, true}, {Step::Wait, 4, true}, {Step::Page, 1, false}},
       0, 1, {{0x20, true}}},
  };
  // clang-format on
  for (const Ee1004Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Machine machine;
    std::array<uint8_t, 512> image{};
    sim::SpdEeprom a(machine, image, {.protectedBlocks = c.protectedBlocks});
    sim::SpdEeprom b(machine, image);
    for (const Step& s : c.steps) {
      SCOPED_TRACE(s.value);
      if (s.kind == Step::Wait) {
        machine.Delay(s.value);
      } else if (s.kind == Step::Page) {
        sim::Ee1004PageCommands command({&a, &b}, s.value == 0 ? 0x36 : 0x37);
        EXPECT_TRUE(command.Address(false));  // B is never busy
        EXPECT_EQ(a.Page(), s.ack ? s.value : 1 - s.value);
        command.Stop();
      } else {
        ASSERT_TRUE(a.Address(false));
        EXPECT_TRUE(a.Write(static_cast<uint8_t>(s.value)));
        EXPECT_EQ(a.Write(0x5A), s.ack);
        a.Stop();
      }
    }
    EXPECT_EQ(a.Page(), c.pageOfA);
    EXPECT_EQ(b.Page(), c.pageOfB);
    for (const auto& [at, held] : c.written)
      EXPECT_EQ(a.PageBytes(at >> 8)[at & 0xFF] == 0x5A, held) << at;
  }
}

}  // namespace
