#include "sim/models/two_wire_bus.h"

namespace sim {

TwoWireBus::Participant TwoWireBus::Join() {
  pulls_.push_back({false, false});
  drives_.push_back({false, false});
  return static_cast<Participant>(pulls_.size() - 1);
}

bool TwoWireBus::PulledByOthers(Participant who, Line line) const {
  for (Participant p = 0; p < pulls_.size(); ++p) {
    if (p != who && pulls_[p][Index(line)]) return true;
  }
  return false;
}

void TwoWireBus::Elapse(bool clockRises) {
  if (answering_ != 0) return;
  ++answering_;
  for (LineListener* listener : listeners_) listener->Elapsed(clockRises);
  --answering_;
}

void TwoWireBus::Pull(Participant who, Line line, bool low) {
  Set(who, line, low, false);
}

void TwoWireBus::DriveHigh(Participant who, Line line, bool high) {
  Set(who, line, false, high);
}

void TwoWireBus::Set(Participant who, Line line, bool low, bool high) {
  Elapse(line == Line::Scl && !low && !Level(Line::Scl) && !PulledByOthers(who, Line::Scl));
  pulls_.at(who)[Index(line)] = low;
  drives_.at(who)[Index(line)] = high;
  bool pulled = false, driven = false;
  for (const auto& pulls : pulls_) pulled = pulled || pulls[Index(line)];
  for (const auto& drives : drives_) driven = driven || drives[Index(line)];
  const bool fighting = pulled && driven;
  if (fighting && !fighting_[Index(line)]) ++contentions_[Index(line)];
  fighting_[Index(line)] = fighting;
  const bool level = !pulled || driven;
  if (level == level_[Index(line)]) return;
  level_[Index(line)] = level;
  ++changes_[Index(line)];
  // A listener may pull a line in answer (an acknowledge on SCL's fall);
  // that change is told to everyone from inside this one.
  ++answering_;
  for (LineListener* listener : listeners_) {
    listener->LineChanged(line, level, Level(Line::Scl), Level(Line::Sda));
  }
  --answering_;
}

void TwoWireBus::Sample() {
  Elapse(false);
  ++answering_;
  for (LineListener* listener : listeners_) listener->Sampled();
  --answering_;
}

}  // namespace sim
