#pragma once
// The serial layer of the programmer: one port at a time, program-wide. It
// opens the port by number, switches between the idle line setting (9600 8N1)
// and the bootloader setting (115200 8E1), queues bytes for sending and reads
// single received bytes with a 1000 ms deadline each. Every bootloader command
// is built from these operations.
//
// The port itself is an implementation of SerialPort that the program installs
// with rs232_set_port() (the Qt port in the program, a simulated one in tests).

#include <cstddef>
#include <cstdint>

#include "programmer/serial_port.h"

namespace quva {

// 1-based number of the serial port (1 = first port); set by the test station
// from its settings file before rs232_open().
extern int rs232_portnummer;

// Result codes of rs232_open().
constexpr int16_t rs232_ok = 0;
constexpr int16_t rs232_fehler = 5;

// Receive deadline per byte of stm32_read_byte().
constexpr int rs232_timeout_ms = 1000;

// Installs the port every operation below uses (nullptr: none). The caller
// keeps ownership; the layer never deletes it. A port installed already open
// counts as held: rs232_open() keeps it whatever the port number.
void rs232_set_port(SerialPort* port);
SerialPort* rs232_port();

// Opens port rs232_portnummer with 1024-byte queues, no flow control, 9600 8N1.
// 0 on success, 5 on failure (then nothing else was set). When this layer
// already holds that very port open, the port is kept (not reopened) and only
// set back to 9600 8N1 with its receive queue emptied.
int16_t rs232_open();
void rs232_close();

// Idle setting: 9600 8N1, normal latency, receive queue emptied.
void rs232_mode_9600_8n1();
// Bootloader setting: 115200 8E1, low latency, receive queue emptied.
void rs232_mode_115200_8e1();

// Queues one byte (or one frame) for sending; does not wait for the line.
void rs232_putc(uint8_t byte);
void rs232_write(const uint8_t* data, std::size_t count);
// Received bytes waiting; negative when the port has failed (or none is set).
int rs232_rx_count();
// Discards the waiting received bytes when any (or an error) is reported.
void rs232_rx_flush();
// Oldest waiting byte; call only when rs232_rx_count() is not 0.
uint8_t rs232_getc();

// One received byte 0..255, -1 (err_rs232_timeout) when none arrived within
// 1000 ms of the call, -2 (err_rs232_parity) when the port reports a failure.
// Waits through SerialPort::waitForData, so the user interface keeps running.
int stm32_read_byte();

}  // namespace quva
