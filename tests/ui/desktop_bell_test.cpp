// The desktop's bell: a started KelvoApp rings it when Open or Show in Folder finds no file. The
// program runs on a private X server (run-under-xvfb.sh) and listens for the bell as any other X
// client can, through XKB's bell notices.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/app_model/model_world.h"
#include "tests/support/qt.h"
#include "ui/kelvo_app.h"

// Last: Xlib's macros (None, Bool, Status, ...) clash with names in the headers above.
#include <X11/XKBlib.h>

namespace kelvo {
namespace {

[[maybe_unused]] auto* const qt =
    ::testing::AddGlobalTestEnvironment(new test::QtEnvironment<QApplication>("xcb"));

TEST(DesktopBellTest, OpenAndShowInFolderWithNoFileRingTheBell) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no X server";
    int opcode = 0, xkbEvent = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    ASSERT_TRUE(XkbQueryExtension(display, &opcode, &xkbEvent, &error, &major, &minor));
    XkbSelectEvents(display, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    XSync(display, False);

    test::ModelWorld world;
    KelvoApp app(std::make_unique<AppModel>(world.services(), world.options()));
    app.start();
    EXPECT_FALSE(app.model()->open("nosuchvideo"));
    EXPECT_FALSE(app.model()->reveal("nosuchvideo"));
    int bells = 0;
    EXPECT_TRUE(test::processEventsUntil([&] {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            bells += event.type == xkbEvent &&
                     reinterpret_cast<const XkbAnyEvent*>(&event)->xkb_type == XkbBellNotify;
        }
        return bells >= 2;
    })) << bells
        << " bell(s)";
    XCloseDisplay(display);
}

}  // namespace
}  // namespace kelvo
