#include "sim/models/i2c_slave.h"

namespace sim {

I2cSlave::I2cSlave(TwoWireBus& bus, uint8_t address, SmbusSlave& device)
    : bus_(bus), me_(bus.Join()), address_(address), device_(device) {
  bus_.Listen(*this);
}

void I2cSlave::LineChanged(Line line, bool level, bool scl, bool sda) {
  if (line == Line::Sda) {
    if (!scl || ownEdge_) return;  // data changes while the clock is low are just data
    if (level) {
      Stop();
    } else {
      Start();
    }
    return;
  }
  if (level) {
    ClockRose(sda);
  } else {
    ClockFell();
  }
}

void I2cSlave::Start() {
  ++starts_;
  state_ = State::Address;
  shift_ = 0;
  bits_ = 0;
  ackReadingsLeft_ = 0;
  DriveSda(false);
}

void I2cSlave::Stop() {
  ++stops_;
  if (selected_) device_.Stop();
  selected_ = false;
  state_ = State::Idle;
  ackReadingsLeft_ = 0;
  DriveSda(false);
}

void I2cSlave::ClockRose(bool sda) {
  switch (state_) {
    case State::Address:
    case State::Receive:
      shift_ = static_cast<uint8_t>((shift_ << 1) | (sda ? 1 : 0));
      ++bits_;
      break;
    case State::Transmit: ++bits_; break;
    case State::MasterAck: masterAcked_ = !sda; break;
    case State::Idle:
    case State::SlaveAck:
    case State::Ignore: break;
  }
}

void I2cSlave::ClockFell() {
  switch (state_) {
    case State::Address:
      if (bits_ < 8) break;
      if ((shift_ >> 1) == address_ && TakeAck() && device_.Address((shift_ & 1) != 0)) {
        selected_ = true;
        reading_ = (shift_ & 1) != 0;
        Acknowledge(reading_);
      } else {
        state_ = State::Ignore;
      }
      break;
    case State::Receive:
      if (bits_ < 8) break;
      if (TakeAck() && device_.Write(shift_)) {
        Acknowledge(false);
      } else {
        state_ = State::Ignore;
      }
      break;
    case State::SlaveAck:
      bits_ = 0;
      shift_ = 0;
      ackReadingsLeft_ = 0;
      if (afterAckTransmit_) {
        state_ = State::Transmit;
        shift_ = device_.Read();
        PutBit();
      } else {
        state_ = State::Receive;
        DriveSdaAfterAMoment(false);
      }
      break;
    case State::Transmit:
      if (bits_ < 8) {
        PutBit();
      } else {
        DriveSdaAfterAMoment(false);
        state_ = State::MasterAck;
      }
      break;
    case State::MasterAck:
      if (masterAcked_) {
        state_ = State::Transmit;
        bits_ = 0;
        shift_ = device_.Read();
        PutBit();
      } else {
        state_ = State::Ignore;
      }
      break;
    case State::Idle:
    case State::Ignore: break;
  }
  if (stretchReadings_ != 0 && !holdingScl_) {
    holdLeft_ = stretchReadings_;
    HoldScl(true);
  }
}

void I2cSlave::Sampled() {
  const bool scl = bus_.Level(Line::Scl);
  const bool itsBit = state_ == State::SlaveAck || state_ == State::Transmit;
  if (itsBit && !scl && !holdingScl_) ++lowClockReadings_;
  if (state_ == State::SlaveAck && scl && ackReadingsLeft_ != 0 && --ackReadingsLeft_ == 0) {
    // The late acknowledge: SDA falls under the high clock.
    ownEdge_ = true;
    DriveSda(true);
    ownEdge_ = false;
  }
  if (!holdingScl_ || bus_.PulledByOthers(me_, Line::Scl)) return;
  // The master has let SCL go and reads it: one reading more of a held clock.
  if (holdLeft_ == 0) {
    HoldScl(false);
  } else if (holdLeft_ != kForever) {
    --holdLeft_;
  }
}

bool I2cSlave::TakeAck() {
  if (!ackLimited_) return true;
  if (acksLeft_ == 0) return false;
  --acksLeft_;
  return true;
}

void I2cSlave::Acknowledge(bool transmitAfter) {
  ++acks_;
  afterAckTransmit_ = transmitAfter;
  state_ = State::SlaveAck;
  if (ackReading_ > 1) {
    ackReadingsLeft_ = ackReading_;
  } else {
    DriveSdaAfterAMoment(true);
  }
}

void I2cSlave::PutBit() {
  // shift_ holds the byte being sent, bits_ how many the master has clocked.
  DriveSdaAfterAMoment(((shift_ >> (7 - bits_)) & 1) == 0);
}

void I2cSlave::DriveSda(bool low) {
  sdaPending_ = false;
  sdaDriven_ = low;
  bus_.Pull(me_, Line::Sda, sdaDriven_ || sdaHeld_);
}

// After SCL falls: the new level is there once the master has done one more
// thing on the bus, and in any case before SCL rises again.
void I2cSlave::DriveSdaAfterAMoment(bool low) {
  sdaPending_ = true;
  sdaPendingLow_ = low;
  sdaPendingSkip_ = true;
}

void I2cSlave::Elapsed(bool clockRises) {
  if (!sdaPending_) return;
  if (sdaPendingSkip_ && !clockRises) {
    sdaPendingSkip_ = false;
    return;
  }
  DriveSda(sdaPendingLow_);
}

void I2cSlave::HoldScl(bool low) {
  if (!low && sdaPending_) DriveSda(sdaPendingLow_);  // in place before the clock it lets rise
  holdingScl_ = low;
  bus_.Pull(me_, Line::Scl, low);
}

void I2cSlave::StretchClock(uint32_t readings) {
  stretchReadings_ = readings;
  if (readings == 0 && holdingScl_) HoldScl(false);
}

void I2cSlave::StopAcknowledgingAfter(uint32_t bytes) {
  ackLimited_ = true;
  acksLeft_ = bytes;
}

void I2cSlave::AcknowledgeAgain() {
  ackLimited_ = false;
}

void I2cSlave::AcknowledgeOnReading(uint32_t reading) {
  ackReading_ = reading;
}

void I2cSlave::HoldSda(bool held) {
  sdaHeld_ = held;
  bus_.Pull(me_, Line::Sda, sdaDriven_ || sdaHeld_);
}

}  // namespace sim
