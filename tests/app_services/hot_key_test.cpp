#include "app/linux/x11_hot_key.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <cstdlib>

#include "tests/app_services/child_process.h"
#include "tests/app_services/qt_environment.h"

namespace kelvo {
namespace {

using test::processEventsUntil;

void press(const char* keys) {
    int status = -1;
    test::runAndCapture({"/usr/bin/xdotool", "key", keys}, &status);
    ASSERT_EQ(status, 0) << keys;
}

TEST(X11HotKeyTest, CtrlAltYFiresTheHandlerAlsoWithNumLockOn) {
    X11HotKey hotKey;
    int presses = 0;
    ASSERT_TRUE(hotKey.registerShortcut([&presses] { ++presses; }));
    EXPECT_TRUE(hotKey.isActive());

    press("ctrl+alt+y");
    ASSERT_TRUE(processEventsUntil([&presses] { return presses == 1; }));

    press("Num_Lock");
    press("ctrl+alt+y");
    press("Num_Lock");
    ASSERT_TRUE(processEventsUntil([&presses] { return presses == 2; }));

    // Other combinations with Y are not kelvo's.
    press("ctrl+y");
    press("ctrl+alt+shift+y");
    processEventsUntil([] { return false; }, 300);
    EXPECT_EQ(presses, 2);
}

TEST(X11HotKeyTest, ACombinationHeldByAnotherClientIsReportedAsRefused) {
    // Another X client grabs Ctrl+Alt+Y first.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(other);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, 0x0079);  // XK_y
    ASSERT_NE(codes, nullptr);
    const xcb_keycode_t y = codes[0];
    std::free(codes);
    xcb_key_symbols_free(symbols);
    xcb_generic_error_t* error = xcb_request_check(
        other, xcb_grab_key_checked(other, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, y,
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    ASSERT_EQ(error, nullptr);

    X11HotKey hotKey;
    EXPECT_FALSE(hotKey.registerShortcut([] {}));
    EXPECT_FALSE(hotKey.isActive());

    xcb_disconnect(other);  // the other client goes; the combination is free again
    X11HotKey later;
    int presses = 0;
    EXPECT_TRUE(later.registerShortcut([&presses] { ++presses; }));
    press("ctrl+alt+y");
    EXPECT_TRUE(processEventsUntil([&presses] { return presses == 1; }));
}

}  // namespace
}  // namespace kelvo
