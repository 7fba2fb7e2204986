#pragma once
// The simulated bootloader served on a pty, with our Qt serial port or an
// outside client on the other end. Line and device times are off unless a
// test asks for them, so whole programming runs take a moment, not minutes.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>

#include "platform/serial/qt_serial_port.h"
#include "sim/bootloader_pty/pty_server.h"

namespace quva::test {

inline void ensureApplication() {
  static int argc = 1;
  static char name[] = "serial_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app =
      QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
  (void)app;
}

class PtyFixture : public ::testing::Test {
 protected:
  void serve(int controller, bool realTime = false) {
    ensureApplication();
    model = std::make_unique<sim::BootloaderModel>(controller);
    model->setLineTimeEmulation(realTime);
    model->setDeviceTimeEmulation(realTime);
    server = std::make_unique<sim::BootloaderPtyServer>(*model);
    ASSERT_TRUE(server->start()) << server->errorText();
  }

  void TearDown() override {
    port.close();
    if (server) server->stop();
  }

  std::unique_ptr<sim::BootloaderModel> model;
  std::unique_ptr<sim::BootloaderPtyServer> server;
  QtSerialPort port;
};

}  // namespace quva::test
