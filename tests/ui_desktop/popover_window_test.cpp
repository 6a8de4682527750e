// The popover under a real window manager with no tray host (run-with-openbox.sh): the first
// start shows it as a window with a line on how to open it again, and the window grows with its
// content, so the footer stays in view when status and error lines appear.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <cstdlib>
#include <functional>

#include "tests/app_model/model_world.h"
#include "tests/support/qt.h"
#include "ui/kelvo_app.h"

namespace kelvo {
namespace {

[[maybe_unused]] auto* const qt =
    ::testing::AddGlobalTestEnvironment(new test::QtEnvironment<QApplication>("xcb"));

// The window's height on the X server: what the window manager granted, not what was asked.
int grantedHeight(QWindow* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    xcb_get_geometry_reply_t* reply = xcb_get_geometry_reply(
        connection, xcb_get_geometry(connection, static_cast<xcb_window_t>(window->winId())),
        nullptr);
    const int height = reply != nullptr ? reply->height : -1;
    std::free(reply);
    return height;
}

QQuickWindow* shownPopover() {
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        auto* quick = qobject_cast<QQuickWindow*>(window);
        if (quick != nullptr && quick->title() == "kelvo" && quick->isExposed()) {
            return quick;
        }
    }
    return nullptr;
}

// The footer buttons whose bottom edge lies below the window's granted height.
QStringList cutOff(QQuickWindow* popover) {
    QStringList hidden;
    const int height = grantedHeight(popover);
    for (const char* name : {"libraryButton", "activityButton", "settingsButton", "quitButton"}) {
        const auto* item = popover->findChild<QQuickItem*>(name);
        if (item == nullptr || item->mapToScene({0, item->height()}).y() > height) {
            hidden.append(name);
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
    ASSERT_TRUE(test::processEventsUntil([&] { return (popover = shownPopover()) != nullptr; }));
    const auto* note = popover->findChild<QQuickItem*>("trayNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_THAT(note->property("text").toString().toStdString(),
                ::testing::HasSubstr("Start kelvo again"));
    EXPECT_TRUE(test::processEventsUntil([&] { return cutOff(popover).isEmpty(); }))
        << cutOff(popover).join(", ").toStdString();

    const std::pair<const char*, std::function<void()>> steps[] = {
        {"a download's status lines",
         [&] { model->download("https://www.youtube.com/watch?v=aaaaaaaaaaa"); }},
        {"a refusal's error line",
         [&] { model->download("https://www.youtube.com/watch?v=bbbbbbbbbbb"); }},
    };
    for (const auto& [what, act] : steps) {
        const int before = grantedHeight(popover);
        act();
        EXPECT_TRUE(test::processEventsUntil([&] {
            return grantedHeight(popover) > before && cutOff(popover).isEmpty();
        })) << what
            << ": " << before << " -> " << grantedHeight(popover)
            << " px, cut off: " << cutOff(popover).join(", ").toStdString();
    }
    model->shutdown();
}

}  // namespace
}  // namespace kelvo
