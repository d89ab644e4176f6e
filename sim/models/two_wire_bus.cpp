#include "sim/models/two_wire_bus.h"

namespace sim {

TwoWireBus::Participant TwoWireBus::Join() {
  pulls_.push_back({false, false});
  return static_cast<Participant>(pulls_.size() - 1);
}

bool TwoWireBus::Pulling(Participant who, Line line) const { return pulls_.at(who)[Index(line)]; }

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
  Elapse(line == Line::Scl && !low && !Level(Line::Scl) && !PulledByOthers(who, Line::Scl));
  pulls_.at(who)[Index(line)] = low;
  bool level = true;
  for (const auto& pulls : pulls_) level = level && !pulls[Index(line)];
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
