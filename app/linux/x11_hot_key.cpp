#include "app/linux/x11_hot_key.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <QGuiApplication>
#include <cstdlib>

namespace kelvo {

namespace {

constexpr xcb_keysym_t keysymY = 0x0079;  // XK_y
constexpr std::uint16_t comboMask = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
// The modifiers that tell shortcuts apart; NumLock (Mod2), CapsLock and the rest are ignored.
constexpr std::uint16_t relevantMask =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
// The grab is made once per combination of the locks the user may have on.
constexpr std::uint16_t lockVariants[] = {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK,
                                          XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};

xcb_connection_t* x11Connection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        return nullptr;
    }
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

}  // namespace

X11HotKey::X11HotKey() = default;

X11HotKey::~X11HotKey() {
    ungrab();
    if (filterInstalled_ && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool X11HotKey::registerShortcut(Handler onPressed, StateHandler) {
    onPressed_ = std::move(onPressed);
    if (active_) {
        return true;
    }
    status_ = Status::Unsupported;
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return false;  // not on X11: Wayland or no display
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (screens.rem == 0) {
        return false;
    }
    root_ = screens.data->root;

    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    if (symbols == nullptr) {
        return false;
    }
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysymY);
    keycode_ = codes != nullptr ? codes[0] : 0;
    std::free(codes);
    xcb_key_symbols_free(symbols);
    if (keycode_ == 0) {
        return false;
    }

    // Checked requests: xcb_request_check waits for the server's answer (like XSync), so a
    // BadAccess from a key another client already grabbed is seen here.
    xcb_void_cookie_t cookies[std::size(lockVariants)];
    for (std::size_t i = 0; i < std::size(lockVariants); ++i) {
        cookies[i] = xcb_grab_key_checked(connection, 1, root_, comboMask | lockVariants[i],
                                          keycode_, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    bool refused = false;
    for (const xcb_void_cookie_t& cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    active_ = true;  // so that ungrab() releases what was granted
    if (refused) {
        ungrab();
        status_ = Status::Taken;
        return false;
    }
    status_ = Status::Active;
    if (!filterInstalled_) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filterInstalled_ = true;
    }
    return true;
}

void X11HotKey::ungrab() {
    if (!active_) {
        return;
    }
    active_ = false;
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return;
    }
    // Releasing only ever affects this client's own grabs.
    for (const std::uint16_t variant : lockVariants) {
        xcb_ungrab_key(connection, keycode_, root_, comboMask | variant);
    }
    xcb_flush(connection);
}

bool X11HotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!active_ || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS) {
        return false;
    }
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    if (press->detail != keycode_ || (press->state & relevantMask) != comboMask) {
        return false;
    }
    if (onPressed_) {
        onPressed_();
    }
    return true;
}

}  // namespace kelvo
