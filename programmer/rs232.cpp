#include "programmer/rs232.h"

#include <chrono>

namespace quva {

int rs232_portnummer = 1;

namespace {

constexpr int queue_size = 1024;

SerialPort* port = nullptr;
// The number of the port this layer holds open: 0 when none, -1 for a port
// that was installed already open (e.g. a simulator opened by its path).
int open_port_number = 0;

}  // namespace

void rs232_set_port(SerialPort* p) {
  port = p;
  open_port_number = (p != nullptr && p->isOpen()) ? -1 : 0;
}

SerialPort* rs232_port() { return port; }

int16_t rs232_open() {
  if (port == nullptr) return rs232_fehler;
  // The test station opens the port for every run without closing it after a
  // good one. Reopening would drop a working port (and, with a USB adapter,
  // possibly lose it to another process), so a port we already hold is kept.
  const bool held = open_port_number == -1 || open_port_number == rs232_portnummer;
  if (!(port->isOpen() && held)) {
    if (port->isOpen()) port->close();
    open_port_number = 0;
    if (!port->open(rs232_portnummer, queue_size, queue_size)) return rs232_fehler;
    open_port_number = rs232_portnummer;
  }
  rs232_mode_9600_8n1();
  return rs232_ok;
}

void rs232_close() {
  if (port != nullptr) port->close();
  open_port_number = 0;
}

void rs232_mode_9600_8n1() {
  if (port == nullptr) return;
  port->setLine(9600, Parity::None);
  port->setLowLatency(false);
  rs232_rx_flush();
}

void rs232_mode_115200_8e1() {
  if (port == nullptr) return;
  port->setLine(115200, Parity::Even);
  port->setLowLatency(true);
  rs232_rx_flush();
}

void rs232_putc(uint8_t byte) {
  if (port != nullptr) port->putc(byte);
}

void rs232_write(const uint8_t* data, std::size_t count) {
  if (port != nullptr) port->write(data, count);
}

int rs232_rx_count() { return port != nullptr ? port->rxCount() : -1; }

void rs232_rx_flush() {
  if (rs232_rx_count() != 0 && port != nullptr) port->rxClear();
}

uint8_t rs232_getc() { return port != nullptr ? port->getc() : 0; }

int stm32_read_byte() {
  if (port == nullptr) return -2;
  const auto deadline = port->now() + std::chrono::milliseconds(rs232_timeout_ms);
  int count = port->rxCount();
  while (count == 0) {
    if (port->now() >= deadline) return -1;
    port->waitForData(deadline);
    count = port->rxCount();
  }
  // A failed port (negative count) or a failed status query is a line error;
  // the waiting byte stays queued for the next command's flush.
  if (count < 0 || port->lineStatus(4) < 0) return -2;
  return port->getc();
}

}  // namespace quva
