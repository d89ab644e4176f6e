// What firmware sharing an SMBus host does to it between and during the
// driver's transfers (SMM handlers, ACPI methods), and a transfer that hangs
// on the wire, as a board option each. Every behaviour acts at most once per
// its period on the machine's clock (0: never), so that a board with it
// reads its modules, perhaps after one failed request; a test can also arm
// one for the next chance.
#pragma once

#include <stdint.h>

#include "sim/models/semaphore_imc.h"

namespace sim {

struct HostFirmwareSpec {
  // SMM runs its own transfer to an absent device while the host is idle and
  // leaves the host's device-error bit standing.
  uint32_t leavesErrorEveryMs = 0;
  // SMM takes the completion of a transfer before the driver polls: it reads
  // and clears the status, and its own read of a sensor replaces the data
  // registers.
  uint32_t takesCompletionEveryMs = 0;
  // A transfer started holds SDA low and never ends until it is killed.
  uint32_t hangsEveryMs = 0;
  // Busy shows this long after the start, not at once (0: at once).
  uint32_t busyLagMs = 0;
  // The IMC wants the host's ownership semaphore this often (SB800-class
  // hosts with one; see semaphore_imc.h).
  uint32_t imcWantsSemaphoreEveryMs = 0;
  // The PIIX4-compatible hosts with a port select: firmware flips one of
  // its own bits of the port-select register (outside the port field)
  // this often.
  uint32_t flipsPortRegisterBitEveryMs = 0;
  // ACPI code on an ICH takes INUSE_STS and keeps it this long (from the
  // first access at or after each period; a test may arm the next).
  uint32_t holdsInUseEveryMs = 0;
  uint32_t holdsInUseForMs = 0;
  // The Intel ICH's host control (its interrupt enable, bit 0) and
  // auxiliary control (packet error checking, the 32-byte buffer) as
  // firmware left them.
  uint8_t leftHostControl = 0;
  uint8_t leftAuxControl = 0;
  // The Intel ICH: a device raised SMBALERT# before the driver loaded, and
  // its owner (firmware's alert handler) has not serviced it yet.
  bool alertForItsOwner = false;
};

// The bytes firmware's own sensor read leaves in the data registers.
constexpr uint8_t kFirmwareData0 = 0x3C, kFirmwareData1 = 0x81;

// One periodic behaviour: due at its first chance, then once per period.
class FirmwareHabit {
 public:
  void SetPeriod(uint32_t everyMs) { everyMs_ = everyMs; }
  void ArmNext() { armed_ = true; }
  // True (and consumed) when the behaviour acts now.
  bool Due(uint64_t nowMs) {
    if (armed_) {
      armed_ = false;
      return true;
    }
    if (everyMs_ == 0 || nowMs < nextMs_) return false;
    nextMs_ = nowMs + everyMs_;
    ++acted_;
    return true;
  }
  uint64_t Acted() const { return acted_; }

 private:
  uint32_t everyMs_ = 0;
  uint64_t nextMs_ = 0;
  bool armed_ = false;
  uint64_t acted_ = 0;
};

// The habits of one host's firmware.
struct HostFirmware {
  FirmwareHabit leavesError, takesCompletion, hangs, flipsPortRegisterBit, holdsInUse;
  uint32_t busyLagMs = 0;
  uint32_t holdsInUseForMs = 0;
  SemaphoreImc imc;
  void Configure(const HostFirmwareSpec& habits) {
    leavesError.SetPeriod(habits.leavesErrorEveryMs);
    takesCompletion.SetPeriod(habits.takesCompletionEveryMs);
    hangs.SetPeriod(habits.hangsEveryMs);
    flipsPortRegisterBit.SetPeriod(habits.flipsPortRegisterBitEveryMs);
    busyLagMs = habits.busyLagMs;
    holdsInUse.SetPeriod(habits.holdsInUseEveryMs);
    holdsInUseForMs = habits.holdsInUseForMs;
    imc.SetPeriod(habits.imcWantsSemaphoreEveryMs);
  }
};

}  // namespace sim
