#pragma once
// A SerialPort over a BootloaderModel on virtual time: waiting for data jumps
// the clock to the model's next answer or to the deadline, so a 1000 ms
// time-out costs no real time. Used by the unit tests and usable wherever the
// programmer should run against the simulated bootloader in-process.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "programmer/serial_port.h"
#include "sim/bootloader/bootloader_model.h"

namespace quva::sim {

class SimSerialPort final : public SerialPort {
 public:
  explicit SimSerialPort(BootloaderModel& model) : model_(model) {}

  bool open(int portNumber, int rxQueueSize, int txQueueSize) override;
  bool isOpen() const override { return open_; }
  void close() override { open_ = false; }
  void setLine(int baud, Parity parity) override;
  void setLowLatency(bool on) override { low_latency_ = on; }
  void putc(uint8_t byte) override;
  int rxCount() override;
  void rxClear() override;
  uint8_t getc() override;
  int lineStatus(int mask) override;
  void waitForData(Clock::time_point deadline) override;
  Clock::time_point now() const override {
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(elapsed_));
  }
  std::string errorText() const override { return error_; }

  // ---- for tests ----
  // Every byte the host sent, in order.
  std::vector<uint8_t>& sent() { return sent_; }
  // Virtual time since the port was made.
  Duration elapsed() const { return elapsed_; }
  void advance(Duration d) { elapsed_ += d; }
  // The next open() fails.
  void failNextOpen(bool fail) { fail_open_ = fail; }
  // Bytes put into the receive queue as if they had arrived (a stray byte).
  void inject(uint8_t byte) { rx_.push_back(byte); }
  int openCount() const { return open_count_; }
  int portNumber() const { return port_number_; }
  int baud() const { return baud_; }
  Parity parity() const { return parity_; }
  bool lowLatency() const { return low_latency_; }
  int clearCount() const { return clear_count_; }

 private:
  void pull();
  bool failed() const { return model_.vanished() && elapsed_ >= model_.vanishTime(); }

  BootloaderModel& model_;
  Duration elapsed_{0};
  bool open_ = false;
  bool fail_open_ = false;
  int open_count_ = 0;
  int port_number_ = 0;
  int baud_ = 9600;
  Parity parity_ = Parity::None;
  bool low_latency_ = false;
  int clear_count_ = 0;
  std::deque<uint8_t> rx_;
  std::vector<uint8_t> sent_;
  std::vector<uint8_t> scratch_;
  std::string error_;
};

}  // namespace quva::sim
