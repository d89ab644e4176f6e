// A slave on the two-wire bus, decoded bit by bit from the lines: START and
// repeated START (SDA falls while SCL is high), STOP (SDA rises while SCL is
// high), address and data bits sampled on SCL's rise, its own acknowledge and
// read bits put on SDA a moment after SCL falls (after the master's next
// operation on the bus), so that a master reading SDA at once while the
// clock is low still sees the bit before. Behind it sits a device seen byte by
// byte (the SPD EEPROM model), which decides whether an address or a byte is
// acknowledged and supplies the bytes read; so a device busy with its write
// cycle leaves its address unacknowledged here as on the SMBus boards.
//
// Faults a test can set: holding SCL low after each of the master's clock
// pulses for a number of the master's readings (clock stretching), an
// acknowledge that comes only at the master's k-th reading of the
// acknowledge clock (SDA then falls while SCL is high, which the other
// devices on the bus take for a START), no more acknowledges after a number
// of bytes, and SDA held low for good. It counts the master's readings
// while SCL is low in a bit the slave drives, which a master has no use for.
#pragma once

#include <stdint.h>

#include "sim/models/smbus_bus.h"
#include "sim/models/two_wire_bus.h"

namespace sim {

class I2cSlave : public LineListener {
 public:
  static constexpr uint32_t kForever = 0xFFFFFFFFu;

  I2cSlave(TwoWireBus& bus, uint8_t address, SmbusSlave& device);

  void LineChanged(Line line, bool level, bool scl, bool sda) override;
  void Sampled() override;
  void Elapsed(bool clockRises) override;

  // After every fall of SCL the slave keeps SCL low until the master, having
  // let it go, has read the lines `readings` times (kForever: never lets go;
  // 0: no stretching, and a line held now is let go).
  void StretchClock(uint32_t readings);
  // Acknowledges `bytes` more bytes (addresses and data), then none.
  void StopAcknowledgingAfter(uint32_t bytes);
  void AcknowledgeAgain();
  // Each acknowledge comes at the master's `reading`-th reading of the lines
  // with the acknowledge clock high (0 or 1: while SCL is low, in time).
  void AcknowledgeOnReading(uint32_t reading);
  // A broken part: SDA pulled low whatever the bus does.
  void HoldSda(bool held);

  uint8_t Address() const { return address_; }
  uint64_t Starts() const { return starts_; }      // START and repeated START conditions seen
  uint64_t Stops() const { return stops_; }        // STOP conditions seen
  uint64_t Acknowledged() const { return acks_; }  // bytes this slave acknowledged
  bool Selected() const { return selected_; }      // addressed in the transfer under way
  uint64_t ReadingsWithClockLow() const { return lowClockReadings_; }  // in bits it drives

 private:
  enum class State : uint8_t {
    Idle,       // between transfers
    Address,    // shifting in the address byte
    Receive,    // shifting in a byte from the master
    SlaveAck,   // its acknowledge on SDA for the ninth clock
    Transmit,   // shifting out a byte to the master
    MasterAck,  // the master's acknowledge of a byte sent
    Ignore,     // not addressed, or not acknowledged: waits for START or STOP
  };

  void Start();
  void Stop();
  void ClockRose(bool sda);
  void ClockFell();
  bool TakeAck();  // whether the next acknowledge may be given
  void Acknowledge(bool transmitAfter);
  void PutBit();  // the next bit of the byte being sent
  void DriveSda(bool low);
  void DriveSdaAfterAMoment(bool low);
  void HoldScl(bool low);

  TwoWireBus& bus_;
  TwoWireBus::Participant me_;
  uint8_t address_;
  SmbusSlave& device_;

  State state_ = State::Idle;
  uint8_t shift_ = 0;
  uint8_t bits_ = 0;
  bool reading_ = false;   // the master reads from this slave in this transfer
  bool selected_ = false;  // the device acknowledged its address since the last STOP
  bool masterAcked_ = false;
  bool afterAckTransmit_ = false;

  bool sdaDriven_ = false;
  bool sdaHeld_ = false;
  bool sdaPending_ = false;  // a level to put on SDA after the master's next operation
  bool sdaPendingLow_ = false;
  bool sdaPendingSkip_ = false;  // the next operation still sees the level before
  uint32_t ackReading_ = 0;
  uint32_t ackReadingsLeft_ = 0;  // of the acknowledge clock, before the late acknowledge
  bool ownEdge_ = false;          // SDA falling under a high SCL by its own late acknowledge
  uint32_t stretchReadings_ = 0;
  bool holdingScl_ = false;
  uint32_t holdLeft_ = 0;
  bool ackLimited_ = false;
  uint32_t acksLeft_ = 0;

  uint64_t starts_ = 0;
  uint64_t stops_ = 0;
  uint64_t acks_ = 0;
  uint64_t lowClockReadings_ = 0;
};

}  // namespace sim
