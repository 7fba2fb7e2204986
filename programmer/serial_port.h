#pragma once
// A serial port as the programmer needs it: opened by number, two line
// settings, single bytes queued for sending, a receive queue that can be
// counted, read and discarded, and a wait for received data that keeps the
// user interface serviced. The real implementation sits on Qt SerialPort
// (platform/); the simulated bootloader and tests provide their own.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quva {

enum class Parity { None, Even };

class SerialPort {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~SerialPort() = default;

  // Opens port number `portNumber` (1-based) with the given queue sizes and
  // no flow control. False on failure; errorText() then says why.
  virtual bool open(int portNumber, int rxQueueSize, int txQueueSize) = 0;
  virtual bool isOpen() const = 0;
  virtual void close() = 0;

  // 8 data bits, 1 stop bit; `baud` and `parity` as given.
  virtual void setLine(int baud, Parity parity) = 0;
  // Asks the driver for the lowest receive latency (on) or restores the
  // setting found before (off). Ports that cannot do it ignore the call.
  virtual void setLowLatency(bool on) = 0;

  // Queues one byte for sending; does not wait for it to leave the line.
  virtual void putc(uint8_t byte) = 0;
  // Queues several bytes at once (one frame); same as putc for each byte.
  virtual void write(const uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) putc(data[i]);
  }
  // Number of received bytes waiting; negative when the port has failed.
  virtual int rxCount() = 0;
  // Discards every waiting received byte.
  virtual void rxClear() = 0;
  // Takes the oldest waiting byte (only called when rxCount() > 0).
  virtual uint8_t getc() = 0;
  // Line-error status restricted to `mask` (4 = parity error); negative when
  // the query itself fails (for example the port has vanished).
  virtual int lineStatus(int mask) = 0;

  // Returns when a byte is waiting, the port has failed, or `deadline` has
  // passed, whichever comes first. Never spins: an implementation sleeps in
  // its event loop (keeping the user interface serviced) until woken.
  virtual void waitForData(Clock::time_point deadline) = 0;
  // The clock that waitForData's deadlines refer to. Real ports use the
  // steady clock; a simulated port may run on virtual time.
  virtual Clock::time_point now() const { return Clock::now(); }

  virtual std::string errorText() const = 0;
};

}  // namespace quva
