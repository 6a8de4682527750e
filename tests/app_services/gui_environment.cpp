// One QGuiApplication (xcb, on the private X server of run-under-xvfb.sh) for app_desktop_test.
#include <gtest/gtest.h>
#include <QGuiApplication>
#include <memory>

namespace {

class QtGuiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "app_desktop_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QGuiApplication> app_;
};

[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new QtGuiEnvironment);

}  // namespace
