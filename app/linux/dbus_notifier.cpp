#include "app/linux/dbus_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace kelvo {

namespace {

QDBusMessage notificationsCall(const QString& method) {
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                          QStringLiteral("/org/freedesktop/Notifications"),
                                          QStringLiteral("org.freedesktop.Notifications"), method);
}

void send(QDBusConnection bus, const DBusNotifier::Fallback& fallback, const QString& title,
          const QString& body, bool bodyMarkup) {
    QDBusMessage call = notificationsCall(QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("kelvo"));
    // Titles come from the internet: a server that renders body markup would read "&" and "<"
    // in them as markup.
    call << QStringLiteral("kelvo") << quint32(0) << QStringLiteral("kelvo") << title
         << (bodyMarkup ? body.toHtmlEscaped() : body) << QStringList() << hints << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [fallback, title, body](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<quint32> reply = *finished;
                         if (reply.isError() && fallback) {
                             fallback(title, body);
                         }
                         finished->deleteLater();
                     });
}

}  // namespace

DBusNotifier::DBusNotifier(Fallback fallback, QDBusConnection bus)
    : fallback_(std::move(fallback)),
      bus_(std::move(bus)),
      bodyMarkup_(std::make_shared<std::optional<bool>>()) {}

void DBusNotifier::notify(const QString& title, const QString& body) {
    if (!bus_.isConnected()) {
        if (fallback_) {
            fallback_(title, body);
        }
        return;
    }
    if (bodyMarkup_->has_value()) {
        send(bus_, fallback_, title, body, **bodyMarkup_);
        return;
    }
    // Ask once what the server renders. No isValid() probe first: the server may be started on
    // demand by the bus. When the question fails, Notify still goes out (and falls back when it
    // fails too).
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(notificationsCall(QStringLiteral("GetCapabilities"))));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [bus = bus_, fallback = fallback_, markup = bodyMarkup_, title,
                      body](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<QStringList> reply = *finished;
                         if (!reply.isError()) {
                             *markup = reply.value().contains(QStringLiteral("body-markup"));
                         }
                         send(bus, fallback, title, body, markup->value_or(false));
                         finished->deleteLater();
                     });
}

}  // namespace kelvo
