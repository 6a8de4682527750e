#pragma once

// The one system-wide shortcut of kelvo: Ctrl+Alt+Y downloads the video link on the clipboard.

#include <QString>
#include <functional>

namespace kelvo {

class GlobalHotKey {
  public:
    // Where the shortcut stands, and why it is not there when it is not.
    enum class Status {
        Active,
        Pending,      // asked for; the desktop (perhaps the user, in a dialog) has not answered
        Taken,        // another client holds the combination (an X11 grab failed)
        Refused,      // the desktop did not allow it (a portal said no, or bound something else)
        Unsupported,  // this desktop offers no global shortcuts to apps
    };

    using Handler = std::function<void()>;
    using StateHandler = std::function<void(Status status)>;

    // How the shortcut is shown to the user.
    static constexpr const char* label = "Ctrl+Alt+Y";

    virtual ~GlobalHotKey() = default;
    // Registers Ctrl+Alt+Y; `onPressed` then runs on the main thread for every press. Returns
    // whether the shortcut is active now; status() then tells why not. Implementations that
    // learn the answer later (a desktop portal) report every later change of status() through
    // `onStateChanged`. Registering a second time replaces the handler. The shortcut is released
    // when the object goes.
    virtual bool registerShortcut(Handler onPressed, StateHandler onStateChanged = {}) = 0;
    virtual bool isActive() const = 0;
    virtual Status status() const { return isActive() ? Status::Active : Status::Unsupported; }

    // The sentence Settings shows when the shortcut is not there; empty for Active.
    static QString problemText(Status status) {
        switch (status) {
            case Status::Active:
                return {};
            case Status::Pending:
                return QStringLiteral("Waiting for the desktop to allow Ctrl+Alt+Y.");
            case Status::Taken:
                return QStringLiteral(
                    "The desktop refused Ctrl+Alt+Y — another app is probably using it. "
                    "Paste links in the popover instead.");
            case Status::Refused:
                return QStringLiteral(
                    "The desktop did not allow Ctrl+Alt+Y. Paste links in the popover instead.");
            case Status::Unsupported:
                break;
        }
        return QStringLiteral(
            "This desktop does not offer global shortcuts to apps. Paste links in the popover "
            "instead.");
    }
};

}  // namespace kelvo
