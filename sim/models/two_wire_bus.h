// The two open-drain lines of an I2C bus, clock (SCL) and data (SDA): each
// line is high unless some participant pulls it low (wired-AND). A push-pull
// pad may also drive a line high; while it does and another participant
// pulls the same line low, two outputs fight: the contention is counted (on
// a board it is a short through both drivers) and the line reads high, the
// pad's driver outrunning an EEPROM's open-drain sink, so an acknowledge or
// a 0 bit sent into it is lost and the transfer fails. The master's
// pins and every slave are participants; slaves are told of every change of
// a line, and of every time the master samples the lines, so that a slave
// stretching the clock can count the master's readings. Time on the bus is
// the master's operations: before each one (a pull or a sample not made in
// answer to another) every listener is told that a moment has passed.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <array>
#include <vector>

namespace sim {

enum class Line : uint8_t { Scl = 0, Sda = 1 };

class LineListener {
 public:
  virtual ~LineListener() = default;
  // `line` has just changed to `level`; `scl` and `sda` are both lines now.
  virtual void LineChanged(Line line, bool level, bool scl, bool sda) = 0;
  // The master is reading the lines (before it sees their levels).
  virtual void Sampled() {}
  // A moment has passed: the master is about to pull a line or sample them;
  // `clockRises` when what it does next lets SCL rise.
  virtual void Elapsed(bool clockRises) { (void)clockRises; }
};

class TwoWireBus {
 public:
  using Participant = uint32_t;

  // A new participant, pulling neither line.
  Participant Join();
  void Listen(LineListener& listener) { listeners_.push_back(&listener); }

  // Pulls the line low (true) or lets it go (false); a pull ends a drive high.
  void Pull(Participant who, Line line, bool low);
  // Drives the line high (true) or lets it go (false); ends a pull.
  void DriveHigh(Participant who, Line line, bool high);
  // Whether anyone but `who` pulls the line.
  bool PulledByOthers(Participant who, Line line) const;

  // The master samples the lines: listeners hear of it first.
  void Sample();
  bool Level(Line line) const { return level_[Index(line)]; }
  bool Idle() const { return Level(Line::Scl) && Level(Line::Sda); }

  uint64_t Changes(Line line) const { return changes_[Index(line)]; }
  // How many times a line came to be driven high and pulled low at once.
  uint64_t Contentions(Line line) const { return contentions_[Index(line)]; }
  uint64_t Contentions() const { return contentions_[0] + contentions_[1]; }

 private:
  static size_t Index(Line line) { return static_cast<size_t>(line); }
  void Elapse(bool clockRises);
  // Sets who's state on the line and settles the line's level.
  void Set(Participant who, Line line, bool low, bool high);

  std::vector<std::array<bool, 2>> pulls_;
  std::vector<std::array<bool, 2>> drives_;  // driven high by a push-pull pad
  std::vector<LineListener*> listeners_;
  std::array<bool, 2> level_{true, true};
  std::array<uint64_t, 2> changes_{};
  std::array<bool, 2> fighting_{};
  std::array<uint64_t, 2> contentions_{};
  int answering_ = 0;  // inside listeners: what they do takes no time
};

}  // namespace sim
