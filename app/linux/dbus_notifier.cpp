#include "app/linux/dbus_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace kelvo {

DBusNotifier::DBusNotifier(Fallback fallback, QDBusConnection bus)
    : fallback_(std::move(fallback)), bus_(std::move(bus)) {}

void DBusNotifier::notify(const QString& title, const QString& body) {
    if (!bus_.isConnected()) {
        if (fallback_) {
            fallback_(title, body);
        }
        return;
    }
    // No isValid() probe first: the server may be started on demand by the bus.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("kelvo"));
    call << QStringLiteral("kelvo") << quint32(0) << QStringLiteral("kelvo") << title << body
         << QStringList() << hints << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [fallback = fallback_, title, body](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<quint32> reply = *finished;
                         if (reply.isError() && fallback) {
                             fallback(title, body);
                         }
                         finished->deleteLater();
                     });
}

}  // namespace kelvo
