// The locks that hardware tools running in user mode agree on before they
// drive a bus: one for the SMBus, one for PCI configuration space, one for
// the ISA ports (Super I/O, board latches). dimmio takes them around its
// requests so that a hardware monitor polling its sensors on the same bus
// and dimmio never interleave their transfers. On Windows they are the
// system-wide named mutexes those tools use; the host build keeps the same
// seam with locks inside its process.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "dimmio/client.h"

namespace dimmio {

enum class Bus : uint8_t { Smbus, Pci, Isa };
constexpr int kBuses = 3;

// How long a command waits for a lock another program holds before it gives
// up: longer than another dimmio's whole report holds the SMBus and than a
// monitor's polling pass, short enough to answer a user whose other tool
// hangs holding the bus. A report reads every module's whole EEPROM: four
// DDR modules take about 0.5 s with the driver's 1 ms clock and 8 s on a
// kernel that keeps its 15.6 ms tick, and four DDR4 modules read twice as
// many bytes, so 10 s would make a second dimmio give up beside a first
// one's report.
constexpr uint32_t kBusWaitMs = 30000;

class BusLocks {
 public:
  virtual ~BusLocks() = default;
  // Takes `bus`'s lock, waiting at most kBusWaitMs; false when another
  // program held it all that time, or when the lock cannot be had at all. A
  // lock its last holder died with counts as taken.
  virtual bool Take(Bus bus) = 0;
  virtual void Give(Bus bus) = 0;
  // Why the last Take of `bus` failed when it was not a wait that ran out:
  // the lock cannot be opened, created or waited on (then no request that
  // needs the bus is sent). "" after a wait that ran out.
  virtual std::string Refusal(Bus) const { return ""; }
};

// Holds the buses for a scope: taken in the order given, given back in the
// reverse order; when one cannot be had, none is held.
class BusHold {
 public:
  BusHold(BusLocks* locks, std::initializer_list<Bus> buses);
  ~BusHold();
  BusHold(const BusHold&) = delete;
  BusHold& operator=(const BusHold&) = delete;

  bool Held() const { return held_; }
  Bus Busy() const { return busy_; }  // the one not had, when not held
  // Why it is not held: another tool held the bus all the wait, or its lock's refusal.
  RequestError Error() const;

 private:
  BusLocks* locks_;
  Bus taken_[kBuses] = {};
  int count_ = 0;
  bool held_ = true;
  Bus busy_ = Bus::Smbus;
  std::string refusal_;
};

// "the SMBus", "PCI configuration space", "the Super I/O and board ports".
const char* BusName(Bus bus);

// The error of a request that could not have its bus: one line saying that
// another hardware tool is using it, and to try again.
RequestError BusInUse(Bus bus);

// Runs `body` (a request returning a Result) with the buses held; without
// locks (null) just runs it.
template <typename Body>
auto WithBuses(BusLocks* locks, std::initializer_list<Bus> buses, Body body) -> decltype(body()) {
  BusHold hold(locks, buses);
  if (!hold.Held()) return hold.Error();
  return body();
}

// The requests of an SPD command on `segment`: the SMBus, and the ISA ports
// as well where switching to segment 1 drives the Super I/O or a board latch.
template <typename Body>
auto OnSmbus(BusLocks* locks, uint32_t segment, Body body) -> decltype(body()) {
  if (segment == 0) return WithBuses(locks, {Bus::Smbus}, body);
  return WithBuses(locks, {Bus::Smbus, Bus::Isa}, body);
}

}  // namespace dimmio
