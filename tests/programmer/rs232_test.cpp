// The serial layer: opening and reopening, line settings, flushing and the
// per-byte read deadline (on virtual time, so waiting costs nothing).

#include <chrono>

#include "prog_fixture.h"

namespace quva::test {
namespace {

using std::chrono::milliseconds;

class Rs232 : public ::testing::Test {
 protected:
  void SetUp() override {
    rs232_set_port(&port);
    rs232_portnummer = 3;
  }
  void TearDown() override { rs232_set_port(nullptr); }
  sim::BootloaderModel model;
  sim::SimSerialPort port{model};
};

TEST_F(Rs232, OpenSetsIdleLineAndKeepsAPortItAlreadyHolds) {
  ASSERT_EQ(rs232_open(), 0);
  EXPECT_EQ(port.portNumber(), 3);
  EXPECT_EQ(port.baud(), 9600);
  EXPECT_EQ(port.parity(), Parity::None);

  rs232_mode_115200_8e1();
  EXPECT_EQ(port.baud(), 115200);
  EXPECT_EQ(port.parity(), Parity::Even);
  EXPECT_TRUE(port.lowLatency());

  // The test station opens again for the next run: same port, not reopened,
  // back to the idle setting.
  ASSERT_EQ(rs232_open(), 0);
  EXPECT_EQ(port.openCount(), 1);
  EXPECT_EQ(port.baud(), 9600);
  EXPECT_FALSE(port.lowLatency());

  // Another port number in the settings: the old port is given up.
  rs232_portnummer = 4;
  ASSERT_EQ(rs232_open(), 0);
  EXPECT_EQ(port.openCount(), 2);
  EXPECT_EQ(port.portNumber(), 4);
}

TEST_F(Rs232, PortInstalledOpenIsKept) {
  ASSERT_TRUE(port.open(9, 1024, 1024));
  rs232_set_port(&port);
  ASSERT_EQ(rs232_open(), 0);
  EXPECT_EQ(port.openCount(), 1);
  EXPECT_EQ(port.portNumber(), 9);
  EXPECT_EQ(port.baud(), 9600);
}

TEST_F(Rs232, FailedOpenReturnsFiveAndSetsNothing) {
  port.failNextOpen(true);
  port.setLine(1200, Parity::Even);
  EXPECT_EQ(rs232_open(), 5);
  EXPECT_EQ(port.baud(), 1200);
  EXPECT_EQ(port.parity(), Parity::Even);
  EXPECT_EQ(port.clearCount(), 0);
  rs232_set_port(nullptr);
  EXPECT_EQ(rs232_open(), 5);
  EXPECT_EQ(stm32_read_byte(), -2);
}

TEST_F(Rs232, FlushDiscardsOnlyWhenSomethingWaits) {
  ASSERT_EQ(rs232_open(), 0);
  const int before = port.clearCount();
  rs232_rx_flush();
  EXPECT_EQ(port.clearCount(), before);
  port.inject(0x42);
  rs232_rx_flush();
  EXPECT_EQ(port.clearCount(), before + 1);
  EXPECT_EQ(rs232_rx_count(), 0);
}

TEST_F(Rs232, ReadByteDeadlinePerByte) {
  ASSERT_EQ(rs232_open(), 0);
  // Waiting bytes come back at once, in order, without any wait.
  port.inject(0x12);
  port.inject(0xFE);
  EXPECT_EQ(stm32_read_byte(), 0x12);
  EXPECT_EQ(stm32_read_byte(), 0xFE);
  EXPECT_EQ(port.elapsed().count(), 0);

  // A silent line: -1 after 1000 ms, and each read gets a fresh 1000 ms.
  EXPECT_EQ(stm32_read_byte(), -1);
  EXPECT_EQ(port.elapsed(), milliseconds(1000));
  EXPECT_EQ(stm32_read_byte(), -1);
  EXPECT_EQ(port.elapsed(), milliseconds(2000));

  // An answer that comes within the deadline is waited for, not polled.
  rs232_mode_115200_8e1();
  rs232_putc(0x7F);
  EXPECT_EQ(stm32_read_byte(), 0x79);
  EXPECT_LT(port.elapsed(), milliseconds(2001));
}

TEST_F(Rs232, VanishedPortIsALineError) {
  ASSERT_EQ(rs232_open(), 0);
  rs232_mode_115200_8e1();
  model.injectFault({sim::BootloaderFault::Type::Vanish, 0x7F, 1, 0});
  rs232_putc(0x7F);
  EXPECT_EQ(stm32_read_byte(), -2);
  EXPECT_LT(rs232_rx_count(), 0);
}

}  // namespace
}  // namespace quva::test
