// Fidelity of the simulated bootloader against an independent client:
// stm32flash writes, verifies and reads back an image through the pty, sets
// and lifts the readout protection (which must erase the flash), lifts the
// write protection, mass-erases and starts the application. Line
// and device times are on, so stm32flash's own time-outs are exercised too.

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "pty_fixture.h"

namespace quva::test {
namespace {

class Stm32flashOnPty : public PtyFixture, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    program_ = QStandardPaths::findExecutable(QStringLiteral("stm32flash"));
    if (program_.isEmpty()) GTEST_SKIP() << "stm32flash is not installed; fidelity test skipped";
    ASSERT_TRUE(dir_.isValid());
  }

  // Runs stm32flash with `args` on the pty (8N1: a pty keeps no parity).
  int stm32flash(QStringList args) {
    args = QStringList{"-m", "8n1", "-b", "115200"} + args;
    args << QString::fromStdString(server->slavePath());
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program_, args);
    if (!p.waitForFinished(60000)) {
      p.kill();
      p.waitForFinished();
      ADD_FAILURE() << "stm32flash hung: " << args.join(' ').toStdString();
      return -1;
    }
    output_ = p.readAll().toStdString();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }

  QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

  QString program_;
  QTemporaryDir dir_;
  std::string output_;
};

std::vector<uint8_t> readFile(const QString& name) {
  std::ifstream in(name.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST_P(Stm32flashOnPty, AgreesWithTheSimulatedBootloader) {
  serve(GetParam(), /*realTime=*/true);
  // Not a multiple of four: stm32flash pads the last frame with 0xFF.
  std::vector<uint8_t> image(5001);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
  {
    std::ofstream out(path("image.bin").toStdString(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
  }

  ASSERT_EQ(stm32flash({"-w", path("image.bin"), "-v"}), 0) << output_;
  {
    auto lock = server->lockModel();
    const auto& flash = model->flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + static_cast<long>(image.size()), flash.end(),
                            [](uint8_t b) { return b == 0xFF; }));
  }

  const QString range = QStringLiteral("0x08000000:%1").arg(image.size());
  ASSERT_EQ(stm32flash({"-r", path("back.bin"), "-S", range}), 0) << output_;
  EXPECT_EQ(readFile(path("back.bin")), image);

  // Readout protection: reading is refused, lifting it erases the flash.
  ASSERT_EQ(stm32flash({"-j"}), 0) << output_;
  {
    auto lock = server->lockModel();
    EXPECT_TRUE(model->readoutProtected());
  }
  EXPECT_NE(stm32flash({"-r", path("refused.bin"), "-S", range}), 0) << output_;
  ASSERT_EQ(stm32flash({"-k"}), 0) << output_;
  auto erased = [&] {
    auto lock = server->lockModel();
    return std::all_of(model->flash().begin(), model->flash().end(),
                       [](uint8_t b) { return b == 0xFF; });
  };
  {
    auto lock = server->lockModel();
    EXPECT_FALSE(model->readoutProtected());
  }
  EXPECT_TRUE(erased());

  // Write unprotect, then the mass erase of "erase only" (0x43 0xFF or 0x44 0xFFFF).
  ASSERT_EQ(stm32flash({"-w", path("image.bin")}), 0) << output_;
  ASSERT_FALSE(erased());
  ASSERT_EQ(stm32flash({"-u"}), 0) << output_;
  ASSERT_EQ(stm32flash({"-o"}), 0) << output_;
  EXPECT_TRUE(erased());

  // Go leaves the bootloader: the device runs and no longer answers a sync.
  ASSERT_EQ(stm32flash({"-g", "0x08000000"}), 0) << output_;
  {
    auto lock = server->lockModel();
    EXPECT_TRUE(model->running());
    EXPECT_EQ(model->goAddress(), 0x08000000u);
  }
  EXPECT_NE(stm32flash({}), 0) << output_;
}

INSTANTIATE_TEST_SUITE_P(F103AndF051, Stm32flashOnPty, ::testing::Values(0, 3));

}  // namespace
}  // namespace quva::test
