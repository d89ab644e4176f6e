#include "bus_locks.h"

namespace dimmio {

BusHold::BusHold(BusLocks* locks, std::initializer_list<Bus> buses) : locks_(locks) {
  if (locks_ == nullptr) return;
  for (Bus bus : buses) {
    if (!locks_->Take(bus)) {
      held_ = false;
      busy_ = bus;
      refusal_ = locks_->Refusal(bus);
      break;
    }
    taken_[count_++] = bus;
  }
  if (!held_) {
    while (count_ > 0) locks_->Give(taken_[--count_]);
  }
}

BusHold::~BusHold() {
  while (count_ > 0) locks_->Give(taken_[--count_]);
}

RequestError BusHold::Error() const {
  return refusal_.empty() ? BusInUse(busy_) : RequestError{0, refusal_};
}

const char* BusName(Bus bus) {
  return bus == Bus::Smbus ? "the SMBus"
         : bus == Bus::Pci ? "PCI configuration space"
                           : "the Super I/O and board ports";
}

RequestError BusInUse(Bus bus) {
  return RequestError{0, std::string("another hardware tool is using ") + BusName(bus) +
                             ": try again once it has finished"};
}

}  // namespace dimmio
