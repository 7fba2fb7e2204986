#pragma once
// Shared fixture: the programmer's serial layer on an in-process simulated
// bootloader running on virtual time, and a memo that collects log lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "programmer/rs232.h"
#include "programmer/stm32prog.h"
#include "sim/bootloader/bootloader_model.h"
#include "sim/bootloader/sim_serial_port.h"

namespace quva::test {

struct Memo : StatusSink {
  std::vector<std::string> zeilen;
  void status_ausgeben(const std::string& z) override { zeilen.push_back(z); }
  bool enthaelt(const std::string& z) const {
    for (const auto& l : zeilen) {
      if (l == z) return true;
    }
    return false;
  }
};

struct Balken : ProgressSink {
  int minimum = -1, maximum = -1, position = -1;
  void fortschritt_setzen(int mi, int ma, int p) override {
    minimum = mi;
    maximum = ma;
    position = p;
  }
  void position_setzen(int p) override { position = p; }
};

inline std::string eingerueckt(const std::string& s) { return std::string(12, ' ') + s; }

// A device of kind `controller`, the port open in the bootloader setting.
class ProgFixture : public ::testing::Test {
 protected:
  explicit ProgFixture(int controller = 0, sim::BootloaderTiming timing = {})
      : model(controller, timing), port(model) {}

  void SetUp() override {
    stm32_zuruecksetzen();
    rs232_set_port(&port);
    rs232_portnummer = 1;
    ASSERT_EQ(rs232_open(), 0);
    rs232_mode_115200_8e1();
    port.sent().clear();
  }
  void TearDown() override { rs232_set_port(nullptr); }

  // Synchronises the bootloader and forgets the bytes sent so far.
  void sync() {
    ASSERT_EQ(stm32_init(), err_ok);
    port.sent().clear();
  }

  sim::BootloaderModel model;
  sim::SimSerialPort port;
};

}  // namespace quva::test
