// One QGuiApplication on the offscreen platform for every test of this program.
#include "tests/support/qt.h"

#include <QGuiApplication>

namespace {
[[maybe_unused]] auto* const qt = ::testing::AddGlobalTestEnvironment(
    new kelvo::test::QtEnvironment<QGuiApplication>("offscreen"));
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
