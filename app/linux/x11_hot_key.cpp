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

bool X11HotKey::registerShortcut(Handler onPressed, StateHandler onStateChanged) {
    onPressed_ = std::move(onPressed);
    onStateChanged_ = std::move(onStateChanged);
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

void X11HotKey::regrab() {
    const Status before = status_;
    ungrab();
    down_ = false;
    registerShortcut(onPressed_, onStateChanged_);
    if (status_ != before && onStateChanged_) {
        onStateChanged_(status_);
    }
}

bool X11HotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & ~0x80;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto* mapping = static_cast<const xcb_mapping_notify_event_t*>(message);
        if (mapping->request == XCB_MAPPING_KEYBOARD && (active_ || status_ == Status::Taken)) {
            // The server has the new mapping already; Qt reads it from this same event too.
            regrab();
        }
        return false;
    }
    if (!active_ || (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)) {
        return false;
    }
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    if (key->detail != keycode_ || key->event != root_) {
        return false;
    }
    if (type == XCB_KEY_RELEASE) {
        down_ = false;
        releasedAt_ = key->time;
        return true;
    }
    if ((key->state & relevantMask) != comboMask) {
        return false;
    }
    // A repeat: either no release came since the first press (detectable auto-repeat), or the
    // release came with this press's very time (the server's ordinary auto-repeat).
    const bool repeat = down_ || (releasedAt_ != 0 && key->time == releasedAt_);
    down_ = true;
    if (!repeat && onPressed_) {
        onPressed_();
    }
    return true;
}

}  // namespace kelvo
