#include "platform/serial/qt_serial_port.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdint>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace quva {

namespace {

// Errors that mean the port is gone or unusable, as opposed to a refused
// setting or a time-out of one of Qt's own blocking waits.
bool isFatal(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::NotOpenError:
      return false;
    default:
      return true;
  }
}

}  // namespace

QtSerialPort::QtSerialPort() {
  QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                   [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialPort::~QtSerialPort() { close(); }

QString QtSerialPort::devicePathForPort(int portNumber) {
  if (portNumber < 1) return {};
#ifdef Q_OS_WIN
  return QStringLiteral("COM%1").arg(portNumber);
#else
  const QString usb = QStringLiteral("/dev/ttyUSB%1").arg(portNumber - 1);
  if (QFileInfo::exists(usb)) return usb;
  return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

bool QtSerialPort::open(int portNumber, int /*rxQueueSize*/, int /*txQueueSize*/) {
  // Qt's receive and transmit buffers grow as needed, so the queue sizes
  // need no counterpart: nothing received is dropped.
  const QString path = devicePathForPort(portNumber);
  if (path.isEmpty()) {
    close();
    errorText_ = QStringLiteral("Ungültige Portnummer %1").arg(portNumber);
    return false;
  }
  return openDevice(path);
}

bool QtSerialPort::openDevice(const QString& path) {
  close();
  failed_ = false;
  errorText_.clear();
  port_.setPortName(path);
  if (!port_.open(QIODevice::ReadWrite)) {
    errorText_ = path + QStringLiteral(": ") + port_.errorString();
    return false;
  }
  port_.setFlowControl(QSerialPort::NoFlowControl);
  setLine(9600, Parity::None);
  port_.clear(QSerialPort::AllDirections);
  return true;
}

bool QtSerialPort::isOpen() const { return port_.isOpen(); }

void QtSerialPort::close() {
  if (!port_.isOpen()) return;
  drainOutput();
  restoreLowLatency();
  port_.close();
}

void QtSerialPort::drainOutput() {
  if (!port_.isOpen()) return;
  // Bytes still in Qt's buffer go to the driver before a line change or a
  // close, so none is dropped. (No tcdrain: a stuck adapter could block the
  // user interface in it without limit.)
  while (port_.bytesToWrite() > 0 && port_.isOpen()) {
    if (!port_.waitForBytesWritten(1000)) break;
  }
}

void QtSerialPort::setLine(int baud, Parity parity) {
  if (!port_.isOpen()) return;
  drainOutput();
  if (!port_.isOpen()) return;
  port_.setBaudRate(baud);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(parity == Parity::Even ? QSerialPort::EvenParity : QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
}

void QtSerialPort::setLowLatency(bool on) {
#ifdef Q_OS_LINUX
  if (!port_.isOpen()) return;
  if (!on) {
    restoreLowLatency();
    return;
  }
  const int fd = static_cast<int>(port_.handle());
  serial_struct ss{};
  // A pty and some USB drivers refuse these requests; then the port keeps
  // its latency and nothing else changes.
  if (ioctl(fd, TIOCGSERIAL, &ss) != 0) return;
  if (!lowLatencySaved_) {
    savedSerialFlags_ = ss.flags;
    lowLatencySaved_ = true;
  }
  ss.flags |= ASYNC_LOW_LATENCY;
  ioctl(fd, TIOCSSERIAL, &ss);
#else
  (void)on;
#endif
}

void QtSerialPort::restoreLowLatency() {
#ifdef Q_OS_LINUX
  if (!lowLatencySaved_) return;
  lowLatencySaved_ = false;
  if (!port_.isOpen()) return;
  const int fd = static_cast<int>(port_.handle());
  serial_struct ss{};
  if (ioctl(fd, TIOCGSERIAL, &ss) != 0) return;
  ss.flags = savedSerialFlags_;
  ioctl(fd, TIOCSSERIAL, &ss);
#endif
}

void QtSerialPort::putc(uint8_t byte) {
  if (!port_.isOpen()) return;
  const char c = static_cast<char>(byte);
  port_.write(&c, 1);
}

void QtSerialPort::write(const uint8_t* data, std::size_t count) {
  if (!port_.isOpen() || count == 0) return;
  port_.write(reinterpret_cast<const char*>(data), static_cast<qint64>(count));
}

int QtSerialPort::rxCount() {
  if (failed_ || !port_.isOpen()) return -1;
  qint64 n = port_.bytesAvailable();
#ifdef Q_OS_UNIX
  // Qt moves received bytes into its buffer only from the event loop. Bytes
  // the driver already holds count as waiting too, so that a flush before a
  // command also discards a stray byte that came in since the last wait.
  if (n == 0) {
    int pending = 0;
    if (ioctl(static_cast<int>(port_.handle()), FIONREAD, &pending) == 0 && pending > 0) {
      port_.waitForReadyRead(0);
      if (failed_ || !port_.isOpen()) return -1;
      n = port_.bytesAvailable();
    }
  }
#endif
  return static_cast<int>(std::min<qint64>(n, INT32_MAX));
}

void QtSerialPort::rxClear() {
  if (port_.isOpen()) port_.clear(QSerialPort::Input);
}

uint8_t QtSerialPort::getc() {
  char c = 0;
  if (port_.isOpen() && port_.getChar(&c)) return static_cast<uint8_t>(c);
  return 0;
}

int QtSerialPort::lineStatus(int /*mask*/) {
  // Qt reports no per-byte line errors; a failed port is the one condition
  // the caller must see.
  return failed_ || !port_.isOpen() ? -1 : 0;
}

void QtSerialPort::waitForData(Clock::time_point deadline) {
  if (failed_ || !port_.isOpen()) return;
  // Queued bytes go out before we sleep; the device answers nothing else.
  if (port_.bytesToWrite() > 0) port_.flush();
  if (rxCount() != 0) return;
  const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  if (remaining.count() <= 0) return;

  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(&port_, &QSerialPort::readyRead, &loop, &QEventLoop::quit);
  QObject::connect(&port_, &QSerialPort::errorOccurred, &loop, [this, &loop] {
    if (failed_) loop.quit();
  });
  timer.start(static_cast<int>(std::min<int64_t>(remaining.count(), INT32_MAX)));
  loop.exec();
}

std::string QtSerialPort::errorText() const { return errorText_.toStdString(); }

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
  if (!isFatal(error) || !port_.isOpen()) return;
  failed_ = true;
  errorText_ = port_.portName() + QStringLiteral(": ") + port_.errorString();
  // Closing stops Qt's notifiers, which would otherwise keep reporting the
  // dead descriptor. The saved driver flags die with the device.
  lowLatencySaved_ = false;
  port_.close();
}

}  // namespace quva
