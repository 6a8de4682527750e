// The popover under a real window manager with no tray host (run-with-openbox.sh): the first
// start shows it as a window with a line on how to open it again, and the window grows with its
// content, so the footer stays in view when status and error lines appear.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSystemTrayIcon>

#include "tests/app_model/model_world.h"
#include "tests/support/qt.h"
#include "ui/kelvo_app.h"

namespace kelvo {
namespace {

[[maybe_unused]] auto* const qt =
    ::testing::AddGlobalTestEnvironment(new test::QtEnvironment<QApplication>("xcb"));

// The window's height on the X server: what the window manager granted, not what was asked.
int grantedHeight(QWindow* window) {
    xcb_connection_t* x =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    auto* reply = xcb_get_geometry_reply(x, xcb_get_geometry(x, window->winId()), nullptr);
    const int height = reply != nullptr ? reply->height : -1;
    free(reply);
    return height;
}

// The footer buttons whose bottom edge lies below the window's granted height.
std::string cutOff(QQuickWindow* popover) {
    std::string hidden;
    for (const char* name : {"libraryButton", "activityButton", "settingsButton", "quitButton"}) {
        const auto* item = popover->findChild<QQuickItem*>(name);
        if (item == nullptr || item->mapToScene({0, item->height()}).y() > grantedHeight(popover)) {
            hidden += std::string(name) + " ";
        }
    }
    return hidden;
}

TEST(PopoverWindowTest, FirstStartWithoutTrayShowsAWindowThatGrowsWithItsContent) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "a tray host runs on this display";
    test::ModelWorld world;
    world.service.addVideo({.id = "aaaaaaaaaaa", .title = "A long film", .sleepSeconds = 60});
    auto owned = std::make_unique<AppModel>(world.services(), world.options());
    AppModel* model = owned.get();
    KelvoApp app(std::move(owned));
    app.start();
    QQuickWindow* popover = nullptr;
    ASSERT_TRUE(test::processEventsUntil([&] {
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            popover = window->title() == "kelvo" && window->isExposed()
                          ? qobject_cast<QQuickWindow*>(window)
                          : popover;
        }
        return popover != nullptr;
    }));
    const auto* note = popover->findChild<QQuickItem*>("trayNote");
    EXPECT_TRUE(note != nullptr && note->isVisible() &&
                note->property("text").toString().contains("Start kelvo again"));
    EXPECT_TRUE(test::processEventsUntil([&] { return cutOff(popover).empty(); }))
        << cutOff(popover);

    // A download's status lines, then the error line of one refused meanwhile.
    for (const char* video : {"aaaaaaaaaaa", "bbbbbbbbbbb"}) {
        const int before = grantedHeight(popover);
        model->download(QStringLiteral("https://www.youtube.com/watch?v=") + video);
        EXPECT_TRUE(test::processEventsUntil([&] {
            return grantedHeight(popover) > before && cutOff(popover).empty();
        })) << video
            << ": " << before << " -> " << grantedHeight(popover)
            << " px, cut off: " << cutOff(popover);
    }
    model->shutdown();
}

}  // namespace
}  // namespace kelvo
