// The ServerWorks and ATI/AMD back-end against its host model: on a host
// shared with firmware, the port select put back; and each chip's revision
// picks where the base and the port select are found.
#include "sim/models/piix4_compat_host.h"

#include "smbus/piix4_compat.h"
#include "support/smbus_fixture.h"

namespace {

using Piix4CompatHostTest = testsupport::SmbusBoardTest;

// After each transfer the port firmware had selected is put back while the
// semaphore is still ours: once it is released the select is firmware's.
TEST_F(Piix4CompatHostTest, OnASharedHostTheFirmwaresPortSelectIsPutBackBeforeTheRelease) {
  Boot("sb800");
  sim::Piix4CompatHost& host = *models_.Host<sim::Piix4CompatHost>();
  const uint8_t firmwarePort = host.SelectedPort();
  machine_.SetTracing(true);
  uint8_t data[2] = {};
  OpStatus status = Fresh();
  ASSERT_EQ(ReadSpdBlock(controller_, &status, 0, data, 0, 2), 2u);
  size_t lastSelectWrite = 0, release = 0;
  const auto trace = machine_.Trace();
  for (size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].kind != sim::Access::Out8) continue;
    if (trace[i].where == sim::AmdPmRegisters::kIndexPort + 1u) lastSelectWrite = i;
    if (trace[i].where == *host.FirstPort() + 8u && (trace[i].value & 0x20) != 0) release = i;
  }
  EXPECT_LT(lastSelectWrite, release);
  EXPECT_EQ(host.SelectedPort(), firmwarePort);
  EXPECT_FALSE(host.HostOwnsSemaphore());
}

// Configuration word 0x90 places the block at 0x0D00, PM 0x2D:0x2C at
// 0x0B00, PM 0x01 at 0x0C00: the base tells which the revision chose.
TEST_F(Piix4CompatHostTest, TheRevisionPicksTheBaseAndPortRegisters) {
  struct Case {
    uint32_t quirks;  // the chip's (its row's) layout
    uint8_t revision;
    int32_t result;
    uint32_t base;
    uint8_t shared, portRegister, portShift;
  };
  const Case cases[] = {
      {0u, 0x00, 0, 0x0D00, 0, 0, 0},
      {piix4_compat::kQuirkAti4385, 0x3F, 0, 0x0D00, 0, 0, 0},
      {piix4_compat::kQuirkAti4385, 0x40, 0, 0x0B00, 1, 0x2E, 1},
      {piix4_compat::kQuirkHudson2, 0x1E, 0, 0x0B00, 1, 0x2E, 1},
      {piix4_compat::kQuirkHudson2, 0x1F, 0, 0x0B00, 1, 0x02, 3},
      {piix4_compat::kQuirkHudson2, 0x41, 0, 0x0C00, 1, 0x02, 3},
      {piix4_compat::kQuirkFch790B, 0x48, 0, 0x0B00, 1, 0x02, 3},
      {piix4_compat::kQuirkFch790B, 0x49, 0, 0x0C00, 1, 0x02, 3},
      {piix4_compat::kQuirkFch790B, 0x51, -1, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "quirks " << c.quirks << " rev " << std::hex << int(c.revision));
    sim::Machine machine;
    sim::AttachScope attach(machine);
    auto& f = machine.AddPciFunction(0, 20, 0, 0x1002, 0x4385, c.revision);
    f.SetDword(0x90, 0x00000D01);
    f.SetDword(0xD0, 0x00010000);
    auto& pm = machine.Make<sim::AmdPmRegisters>(0x77);
    for (auto [reg, value] :
         {std::pair{0x2C, 0x01}, {0x2D, 0x0B}, {0x2F, 0x01}, {0x00, 0x10}, {0x01, 0x0C}}) {
      pm.SetReg(static_cast<uint8_t>(reg), static_cast<uint8_t>(value));
    }
    machine.ClaimPorts(sim::AmdPmRegisters::kIndexPort, 2, pm);
    SmbusController controller{};
    const ChipDescriptor chip{.Quirks = c.quirks};
    const bool set =
        testsupport::Acquires(machine, piix4_compat::kPiix4CompatBackend, controller,
                              {.Chip = &chip, .Function = {0, 20, 0}, .IoBase = 0}, c.result);
    EXPECT_EQ(pm.Index(), 0x77);
    if (!set) continue;
    const auto* ctx = static_cast<piix4_compat::Piix4CompatContext*>(controller.Context);
    EXPECT_EQ(ctx->Host.IoBase, c.base);
    EXPECT_EQ(ctx->Shared, c.shared);
    if (c.shared != 0) {
      EXPECT_EQ(ctx->PortRegister, c.portRegister);
      EXPECT_EQ(ctx->PortShift, c.portShift);
    }
    controller.ReleaseDevice(controller.Context);
  }
}

}  // namespace
