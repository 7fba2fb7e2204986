// One QApplication for all widget tests of a test program (the tests run on
// the offscreen platform).
#include <gtest/gtest.h>

#include <QApplication>

namespace {

class QtUmgebung : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "quva_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

[[maybe_unused]] auto* const umgebung = ::testing::AddGlobalTestEnvironment(new QtUmgebung);

}  // namespace
