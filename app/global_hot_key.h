#pragma once

// The one system-wide shortcut of kelvo: Ctrl+Alt+Y downloads the video link on the clipboard.

#include <QString>
#include <functional>

namespace kelvo {

class GlobalHotKey {
  public:
    using Handler = std::function<void()>;
    using StateHandler = std::function<void(bool active)>;

    // How the shortcut is shown to the user.
    static constexpr const char* label = "Ctrl+Alt+Y";

    virtual ~GlobalHotKey() = default;
    // Registers Ctrl+Alt+Y; `onPressed` then runs on the main thread for every press. Returns
    // whether the shortcut is active now; false when the desktop refused it (another client
    // holds the combination) or offers no global shortcuts. Implementations that learn the
    // answer later (a desktop portal) report changes through `onStateChanged`. Registering a
    // second time replaces the handler. The shortcut is released when the object goes.
    virtual bool registerShortcut(Handler onPressed, StateHandler onStateChanged = {}) = 0;
    virtual bool isActive() const = 0;
};

}  // namespace kelvo
