#include "sim/bootloader/sim_serial_port.h"

#include <algorithm>

namespace quva::sim {

bool SimSerialPort::open(int portNumber, int /*rxQueueSize*/, int /*txQueueSize*/) {
  if (fail_open_ || model_.vanished()) {
    fail_open_ = false;
    error_ = "Port " + std::to_string(portNumber) + " kann nicht geöffnet werden.";
    return false;
  }
  open_ = true;
  ++open_count_;
  port_number_ = portNumber;
  rx_.clear();
  error_.clear();
  return true;
}

void SimSerialPort::setLine(int baud, Parity parity) {
  baud_ = baud;
  parity_ = parity;
  model_.setLine(baud, parity == Parity::Even);
}

void SimSerialPort::putc(uint8_t byte) {
  sent_.push_back(byte);
  if (!open_ || failed()) return;
  model_.receive(byte, elapsed_);
}

void SimSerialPort::pull() {
  scratch_.clear();
  model_.takeOutput(elapsed_, scratch_);
  if (open_) rx_.insert(rx_.end(), scratch_.begin(), scratch_.end());
}

int SimSerialPort::rxCount() {
  if (failed()) return -1;
  pull();
  return static_cast<int>(rx_.size());
}

void SimSerialPort::rxClear() {
  ++clear_count_;
  pull();
  rx_.clear();
}

uint8_t SimSerialPort::getc() {
  if (rx_.empty()) return 0;
  const uint8_t b = rx_.front();
  rx_.pop_front();
  return b;
}

int SimSerialPort::lineStatus(int /*mask*/) { return failed() ? -1 : 0; }

void SimSerialPort::waitForData(Clock::time_point deadline) {
  if (failed()) return;
  pull();
  if (!rx_.empty()) return;
  const auto until = std::chrono::duration_cast<Duration>(deadline.time_since_epoch());
  Duration next = until;
  if (model_.hasOutput()) next = std::min(next, model_.nextOutputTime());
  if (model_.vanished()) next = std::min(next, model_.vanishTime());
  elapsed_ = std::max(elapsed_, next);
}

}  // namespace quva::sim
