#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>

#include "app/global_hot_key.h"

namespace kelvo {

// Ctrl+Alt+Y on X11: a passive grab on the root window (also with NumLock and CapsLock), checked
// for BadAccess, and a native event filter that matches the key with the state masked to
// Shift|Control|Alt|Super. One press of the keys is one action however long they are held, and a
// new keyboard mapping is followed by a new grab. Needs a QGuiApplication on the xcb platform;
// elsewhere (Wayland, a headless platform) registration reports Unsupported; a grab another client
// holds, Taken.
class X11HotKey : public GlobalHotKey, public QAbstractNativeEventFilter {
  public:
    X11HotKey();
    ~X11HotKey() override;

    bool registerShortcut(Handler onPressed, StateHandler onStateChanged = {}) override;
    bool isActive() const override { return active_; }
    Status status() const override { return status_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    void ungrab();
    // The keyboard mapping changed (another layout): the key of "y" is looked up and grabbed
    // again.
    void regrab();

    Handler onPressed_;
    StateHandler onStateChanged_;
    // The key is held down: its auto-repeat presses are not new presses. Without detectable
    // auto-repeat the server sends a release and a press with the same time for each repeat.
    bool down_ = false;
    std::uint32_t releasedAt_ = 0;
    bool active_ = false;
    Status status_ = Status::Unsupported;
    bool filterInstalled_ = false;
    std::uint8_t keycode_ = 0;
    std::uint32_t root_ = 0;
};

}  // namespace kelvo
