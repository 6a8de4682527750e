#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "app/notifier.h"

namespace kelvo {

// Posts notifications through org.freedesktop.Notifications.Notify, asynchronously, as the
// application "kelvo" (desktop-entry hint "kelvo"). When the call fails (no server, or the bus is
// not connected) the fallback shows the notification instead. The body is escaped for servers
// whose capabilities say they render body markup (asked once, before the first notification).
class DBusNotifier : public Notifier {
  public:
    using Fallback = std::function<void(const QString& title, const QString& body)>;

    explicit DBusNotifier(Fallback fallback = {},
                          QDBusConnection bus = QDBusConnection::sessionBus());
    void notify(const QString& title, const QString& body) override;

  private:
    Fallback fallback_;
    QDBusConnection bus_;
    // Whether the server renders body markup; empty until it has answered.
    std::shared_ptr<std::optional<bool>> bodyMarkup_;
};

}  // namespace kelvo
