#include "app/linux/linux_desktop_services.h"

#include <QGuiApplication>

#include "app/autostart_login_item.h"
#include "app/headless_services.h"
#include "app/linux/dbus_notifier.h"
#include "app/linux/desktop_file_actions.h"
#include "app/linux/logind_wake_observer.h"
#include "app/linux/portal_hot_key.h"
#include "app/linux/qt_clipboard.h"
#include "app/linux/x11_hot_key.h"

namespace kelvo {

DesktopServices makeLinuxDesktopServices(
    std::function<void(const QString& title, const QString& body)> notificationFallback) {
    DesktopServices services;
    services.notifier = std::make_unique<DBusNotifier>(std::move(notificationFallback));
    services.clipboard = std::make_unique<QtClipboard>();
    // Wayland clients cannot grab keys: the desktop portal binds the shortcut there.
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) {
        services.hotKey = std::make_unique<PortalHotKey>();
    } else if (platform == QLatin1String("xcb")) {
        services.hotKey = std::make_unique<X11HotKey>();
    } else {
        services.hotKey = std::make_unique<NoHotKey>();
    }
    services.loginItem = std::make_unique<AutostartLoginItem>();
    services.files = std::make_unique<DesktopFileActions>();
    services.relauncher = std::make_unique<ShellRelauncher>();
    services.wake = std::make_unique<LogindWakeObserver>();
    return services;
}

}  // namespace kelvo
