// Our Qt serial port and the programmer's serial layer against the simulated
// bootloader served on a pty: bytes out and back, time-outs with the event
// loop running, a stray answer discarded by the next command, a port that
// vanishes mid-read, and complete programming runs.

#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "programmer/rs232.h"
#include "programmer/stm32prog.h"
#include "pty_fixture.h"

namespace quva::test {
namespace {

struct MemoLines final : StatusSink {
  std::vector<std::string> lines;
  void status_ausgeben(const std::string& zeile) override { lines.push_back(zeile); }
  bool contains(const std::string& text) const {
    for (const auto& l : lines)
      if (l == text) return true;
    return false;
  }
};

class QtPortOnPty : public PtyFixture {
 protected:
  void openBootloaderLine() {
    ASSERT_TRUE(port.openDevice(QString::fromStdString(server->slavePath()))) << port.errorText();
    rs232_set_port(&port);
    rs232_mode_115200_8e1();
  }
  void TearDown() override {
    rs232_set_port(nullptr);
    PtyFixture::TearDown();
  }
};

TEST(QtSerialPortOpen, PortNumberMapsToTheLinuxDevice) {
  EXPECT_EQ(QtSerialPort::devicePathForPort(0), QString());
  const QString usb = QStringLiteral("/dev/ttyUSB2");
  EXPECT_EQ(QtSerialPort::devicePathForPort(3),
            QFileInfo::exists(usb) ? usb : QStringLiteral("/dev/ttyS2"));
}

TEST(QtSerialPortOpen, UnusablePortsFailWithAReasonAndReportAFailedLine) {
  ensureApplication();
  for (int number : {0, -3, 250}) {
    SCOPED_TRACE(number);
    QtSerialPort port;
    EXPECT_FALSE(port.open(number, 1024, 1024));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.errorText().empty());
    EXPECT_LT(port.rxCount(), 0);
    EXPECT_LT(port.lineStatus(4), 0);
  }
}

TEST_F(QtPortOnPty, BytesGoOutAndComeBack) {
  serve(0);
  openBootloaderLine();
  rs232_putc(stm32_sync);
  EXPECT_EQ(stm32_read_byte(), stm32_ack);
  EXPECT_EQ(server->lastBaud(), 115200);

  uint16_t id = 0;
  EXPECT_EQ(stm32_get_id(id), err_ok);
  EXPECT_EQ(id, 0x0410);

  std::vector<uint8_t> block(256), back(256, 0);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + 3);
  ASSERT_EQ(stm32_write_memory(0x08000400, 255, block.data()), err_ok);
  ASSERT_EQ(stm32_read_memory(0x08000400, 255, back.data()), err_ok);
  EXPECT_EQ(back, block);
}

TEST_F(QtPortOnPty, SilentLineTimesOutWhileTheEventLoopRuns) {
  serve(0);
  openBootloaderLine();
  bool timerFired = false;
  QTimer::singleShot(50, [&] { timerFired = true; });
  EXPECT_EQ(stm32_read_byte(), err_rs232_timeout);
  EXPECT_TRUE(timerFired) << "the wait must keep the event loop running";
  // The line is still usable after a time-out.
  rs232_putc(stm32_sync);
  EXPECT_EQ(stm32_read_byte(), stm32_ack);
}

TEST_F(QtPortOnPty, AnswerLeftInTheDriverIsDiscardedByTheNextCommand) {
  serve(0);
  openBootloaderLine();
  rs232_putc(stm32_sync);
  ASSERT_EQ(stm32_read_byte(), stm32_ack);
  // A Get whose 15-byte answer nobody reads: it reaches the driver's queue
  // while no event loop runs, so Qt has not seen it yet.
  const uint8_t get[] = {0x00, 0xFF};
  port.write(get, sizeof get);
  QCoreApplication::processEvents();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  uint16_t id = 0;
  EXPECT_EQ(stm32_get_id(id), err_ok);
  EXPECT_EQ(id, 0x0410);
}

TEST_F(QtPortOnPty, PortVanishingMidReadGivesLineError) {
  serve(0);
  openBootloaderLine();
  {
    auto lock = server->lockModel();
    sim::BootloaderFault fault;
    fault.type = sim::BootloaderFault::Type::Vanish;
    fault.command = 0x02;
    fault.answer_index = 1;
    model->injectFault(fault);
  }
  rs232_putc(stm32_sync);
  ASSERT_EQ(stm32_read_byte(), stm32_ack);
  const uint8_t getId[] = {0x02, 0xFD};
  rs232_write(getId, sizeof getId);
  EXPECT_EQ(stm32_read_byte(), stm32_ack);
  EXPECT_EQ(stm32_read_byte(), err_rs232_parity);
  EXPECT_TRUE(server->vanished());
  EXPECT_TRUE(port.failed());
  EXPECT_FALSE(port.isOpen());
  EXPECT_LT(rs232_rx_count(), 0);
  EXPECT_FALSE(port.errorText().empty());
  // Every further read fails at once instead of waiting for its deadline.
  EXPECT_EQ(stm32_read_byte(), err_rs232_parity);
}

class ProgrammingRunOnPty : public QtPortOnPty, public ::testing::WithParamInterface<int> {};

TEST_P(ProgrammingRunOnPty, EndsWithBannerImageInFlashAndProtectionSet) {
  const int controller = GetParam();
  serve(controller);
  stm32_zuruecksetzen();
  stm32.controller = static_cast<uint8_t>(controller);
  stm32.flash.fill(0xFF);
  const uint32_t size = stm32_flash_size(stm32);
  for (uint32_t i = 0; i < 20 * 1024; ++i) stm32.flash[i] = static_cast<uint8_t>(i ^ (i >> 8));
  for (uint32_t i = size - 16; i < size; ++i) stm32.flash[i] = static_cast<uint8_t>(i);
  stm32.read_protection = true;
  stm32.WDG_SW = stm32.nRST_STOP = stm32.nRST_STDBY = true;
  stm32.WRP0 = stm32.WRP1 = stm32.WRP2 = stm32.WRP3 = 0xFF;

  openBootloaderLine();
  MemoLines memo;
  KeinFortschritt bar;
  EXPECT_EQ(stm32_programmieren(memo, bar, bar), err_ok);
  EXPECT_TRUE(memo.contains("*** Das Programmieren wurde erfolgreich beendet. ***"));

  auto lock = server->lockModel();
  ASSERT_EQ(model->flashSize(), size);
  EXPECT_TRUE(std::equal(model->flash().begin(), model->flash().end(), stm32.flash.begin()));
  EXPECT_TRUE(model->readoutProtected());
}

INSTANTIATE_TEST_SUITE_P(F103AndF051, ProgrammingRunOnPty, ::testing::Values(0, 3));

TEST_F(QtPortOnPty, PortVanishingMidRunEndsTheRunWithTheLineError) {
  serve(0);
  stm32_zuruecksetzen();
  stm32.controller = 0;
  stm32.flash.fill(0x5A);
  {
    // During the compare, in the data of the 40th block read back.
    auto lock = server->lockModel();
    sim::BootloaderFault fault;
    fault.type = sim::BootloaderFault::Type::Vanish;
    fault.command = 0x11;
    fault.occurrence = 40;
    fault.answer_index = 10;
    model->injectFault(fault);
  }
  openBootloaderLine();
  MemoLines memo;
  KeinFortschritt bar;
  EXPECT_EQ(stm32_programmieren(memo, bar, bar), err_rs232_parity);
  EXPECT_TRUE(
      memo.contains("            Fehler: Lesen des Flash Memory wurde nicht durchgeführt."));
  EXPECT_TRUE(memo.contains("            Fehler: RS232 Parity."));
  EXPECT_FALSE(memo.contains("*** Das Programmieren wurde erfolgreich beendet. ***"));
}

}  // namespace
}  // namespace quva::test
