#include "app/linux/linux_desktop_services.h"

#include "app/autostart_login_item.h"
#include "app/linux/dbus_notifier.h"
#include "app/linux/desktop_file_actions.h"
#include "app/linux/logind_wake_observer.h"
#include "app/linux/qt_clipboard.h"
#include "app/linux/x11_hot_key.h"

namespace kelvo {

DesktopServices makeLinuxDesktopServices(
    std::function<void(const QString& title, const QString& body)> notificationFallback) {
    DesktopServices services;
    services.notifier = std::make_unique<DBusNotifier>(std::move(notificationFallback));
    services.clipboard = std::make_unique<QtClipboard>();
    // On Wayland the X11 grab reports "no shortcut" (the desktop portal is not used yet).
    services.hotKey = std::make_unique<X11HotKey>();
    services.loginItem = std::make_unique<AutostartLoginItem>();
    services.files = std::make_unique<DesktopFileActions>();
    services.relauncher = std::make_unique<ShellRelauncher>();
    services.wake = std::make_unique<LogindWakeObserver>();
    return services;
}

}  // namespace kelvo
