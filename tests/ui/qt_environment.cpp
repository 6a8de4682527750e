// A QGuiApplication on the offscreen platform for every test of this program, with kelvo's
// fonts registered as in the app.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <memory>

namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

  private:
    int argc_ = 1;
    char name_[16] = "ui_support_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> application_;
};

[[maybe_unused]] const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

// Qt 6.4's scene graph keeps the textures of Image items (and the images behind them, made by
// kelvo's icon provider) in its render context until the process ends, so LeakSanitizer sees
// them as leaked in sanitizer builds. They are Qt's, allocated only under these two functions.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:QQuickPixmap::load\n"
           "leak:QSGRenderContext::textureForFactory\n";
}

// Qt is built without frame pointers: only the slow unwinder sees those two functions in the
// allocation stacks.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
