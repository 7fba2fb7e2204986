#pragma once
// Serves a simulated STM32 bootloader (BootloaderModel) on a pseudo-terminal
// from a thread of its own. A client opens slavePath() like any serial port;
// the bytes it writes go into the model with the time they were read, and the
// model's answers are written back when they are due, so the client sees the
// line time of the baud rate it set (read from the pty's termios; the parity
// of a pty cannot be read back, so the bootloader's 8E1 framing of 11 bits a
// byte is assumed) plus the model's device times and adapter latency.
//
// When the model's port vanishes (an injected fault) the server closes the
// pty master after the answers due before it, so the client's port fails.
//
// The thread sleeps in ppoll() until the client writes or the next answer
// byte is due. Answer bytes that follow each other back to back on the line
// are handed over together once the last of them is due (at most
// `maxBurst` apart), as a USB serial adapter delivers them in packets; a
// client that waits for a whole answer sees no difference in time.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/bootloader/bootloader_model.h"

namespace quva::sim {

class BootloaderPtyServer {
 public:
  struct Options {
    // Longest stretch of back-to-back answer bytes handed over in one write.
    // Zero writes every byte on its own when it is due.
    Duration maxBurst = std::chrono::milliseconds(2);
  };

  explicit BootloaderPtyServer(BootloaderModel& model);
  BootloaderPtyServer(BootloaderModel& model, Options options);
  ~BootloaderPtyServer();

  BootloaderPtyServer(const BootloaderPtyServer&) = delete;
  BootloaderPtyServer& operator=(const BootloaderPtyServer&) = delete;

  // Opens the pty and starts serving. False (with errorText()) on failure.
  bool start();
  // Stops the thread and closes the pty. Called by the destructor.
  void stop();

  const std::string& slavePath() const { return slave_path_; }
  const std::string& errorText() const { return error_; }
  // True once the pty master was closed because the model's port vanished.
  bool vanished() const { return vanished_.load(); }

  // The model is used by the server thread; hold this lock to look at it
  // (flash contents, counters) or to change it (faults) while serving.
  std::unique_lock<std::mutex> lockModel() { return std::unique_lock<std::mutex>(mutex_); }
  BootloaderModel& model() { return model_; }

  // Baud rate read from the pty at the last received bytes (0 before any).
  int lastBaud() const { return last_baud_.load(); }
  // Number of writes to the pty (handing answer bytes to the client).
  uint64_t writes() const { return writes_.load(); }
  // Summed delay between the time the last byte of each answer was due and
  // the time it was handed to the pty (timer and scheduling latency of this
  // thread), i.e. what the simulator adds to the client's waiting.
  Duration lateness() const { return Duration(static_cast<int64_t>(lateness_ns_.load())); }
  // Number of times the thread woke up.
  uint64_t wakeups() const { return wakeups_.load(); }

 private:
  struct Pending {
    uint8_t byte;
    Duration due;
  };

  void run();
  Duration now() const;
  void readClient();
  void writeDue();
  // When the thread must wake next to hand over answer bytes (max: never).
  Duration nextWake() const;
  void closePty();

  BootloaderModel& model_;
  Options options_;
  std::mutex mutex_;
  std::thread thread_;
  std::string slave_path_;
  std::string error_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the master never sees a hang-up
  int wake_ = -1;   // eventfd that stops the thread
  std::chrono::steady_clock::time_point epoch_;
  std::deque<Pending> pending_;  // answer bytes not yet handed to the client
  std::vector<uint8_t> outBuf_;  // bytes of a write the pty did not take yet
  std::vector<uint8_t> scratch_;
  Duration byte_time_{0};                   // the model's byte time at the last reception
  bool model_vanished_ = false;             // the model's port vanished: close when answered
  Duration vanish_at_ = Duration::max();    // when the last answer was handed over
  Duration vanish_read_ = Duration::max();  // when the client had read it
  std::atomic<bool> vanished_{false};
  std::atomic<int> last_baud_{0};
  std::atomic<uint64_t> writes_{0};
  std::atomic<uint64_t> lateness_ns_{0};
  std::atomic<uint64_t> wakeups_{0};
};

// The baud rate of a termios speed constant (0 when unknown).
int baudOfSpeed(unsigned speed);

}  // namespace quva::sim
