#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>

#include "app/notifier.h"

namespace kelvo {

// Posts notifications through org.freedesktop.Notifications.Notify, asynchronously, as the
// application "kelvo" (desktop-entry hint "kelvo"). When the call fails (no server, or the bus is
// not connected) the fallback shows the notification instead.
class DBusNotifier : public Notifier {
  public:
    using Fallback = std::function<void(const QString& title, const QString& body)>;

    explicit DBusNotifier(Fallback fallback = {},
                          QDBusConnection bus = QDBusConnection::sessionBus());
    void notify(const QString& title, const QString& body) override;

  private:
    Fallback fallback_;
    QDBusConnection bus_;
};

}  // namespace kelvo
