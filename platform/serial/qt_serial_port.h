#pragma once
// The programmer's serial port on Qt SerialPort. Port number n opens COM<n>
// on Windows; on Linux /dev/ttyUSB<n-1>, or /dev/ttyS<n-1> when no such USB
// adapter exists. openDevice() opens an explicit path (a pty slave in the
// tests and the demo).
//
// Sending is queued: putc() only appends to Qt's write buffer; the bytes
// leave when the event loop runs (at the latest in waitForData(), which also
// pushes them out first). Waiting runs a nested QEventLoop that wakes on
// received data, on a port failure or on a single-shot deadline timer, so
// the CPU stays idle and the user interface keeps being serviced.
//
// A port failure after opening (a USB adapter unplugged, a pty master
// closed) closes the Qt port; from then on rxCount() and lineStatus() are
// negative and isOpen() is false until the port is opened again.

#include <QSerialPort>
#include <QString>
#include <cstddef>

#include "programmer/serial_port.h"

namespace quva {

class QtSerialPort final : public SerialPort {
 public:
  QtSerialPort();
  ~QtSerialPort() override;

  // The device a port number stands for on this system ("" for n < 1).
  static QString devicePathForPort(int portNumber);

  bool open(int portNumber, int rxQueueSize, int txQueueSize) override;
  // Opens `path` (a device node or a Windows port name) at 9600 8N1 with no
  // flow control. An open port is closed first.
  bool openDevice(const QString& path);
  bool isOpen() const override;
  void close() override;

  void setLine(int baud, Parity parity) override;
  void setLowLatency(bool on) override;

  void putc(uint8_t byte) override;
  void write(const uint8_t* data, std::size_t count) override;
  int rxCount() override;
  void rxClear() override;
  uint8_t getc() override;
  int lineStatus(int mask) override;
  void waitForData(Clock::time_point deadline) override;

  std::string errorText() const override;

  // True once the open port has failed (cleared by the next open).
  bool failed() const { return failed_; }

 private:
  void onError(QSerialPort::SerialPortError error);
  void drainOutput();
  void restoreLowLatency();

  QSerialPort port_;
  bool failed_ = false;
  QString errorText_;
  // Serial driver flags found before low latency was switched on.
  bool lowLatencySaved_ = false;
  int savedSerialFlags_ = 0;
};

}  // namespace quva
