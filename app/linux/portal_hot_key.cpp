#include "app/linux/portal_hot_key.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <algorithm>
#include <atomic>

namespace kelvo {

namespace {

const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Whether a list of bound shortcuts (a(sa{sv}), as the portal sends it) holds kelvo's.
bool holdsOurs(const QVariant& list) {
    const auto shortcuts = qdbus_cast<QList<PortalHotKey::Shortcut>>(list);
    return std::any_of(shortcuts.begin(), shortcuts.end(), [](const PortalHotKey::Shortcut& s) {
        return s.id == QLatin1String(PortalHotKey::shortcutId);
    });
}

}  // namespace

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalHotKey::Shortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const PortalHotKey::Shortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

PortalHotKey::PortalHotKey(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
}

PortalHotKey::~PortalHotKey() {
    closeSession();
}

bool PortalHotKey::registerShortcut(Handler onPressed, StateHandler onStateChanged) {
    onPressed_ = std::move(onPressed);
    onStateChanged_ = std::move(onStateChanged);
    if (status_ == Status::Active || status_ == Status::Pending) {
        return status_ == Status::Active;
    }
    if (!bus_.isConnected()) {
        return false;  // no session bus: no portal either
    }
    if (watcher_ == nullptr) {
        watcher_ = new QDBusServiceWatcher(
            QString::fromLatin1(service), bus_,
            QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
            this);
        connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this,
                &PortalHotKey::portalAppeared);
        connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
                &PortalHotKey::portalVanished);
    }
    createSession();
    return false;
}

void PortalHotKey::createSession() {
    appearedMeanwhile_ = false;
    closeSession();  // a refused one, when registering again
    setStatus(Status::Pending);
    const QString token = nextToken();
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("session_handle_token"), nextToken()}};
    request(QStringLiteral("CreateSession"), {options}, token,
            SLOT(sessionCreated(uint, QVariantMap)));
}

void PortalHotKey::sessionCreated(uint response, const QVariantMap& results) {
    listen(pendingRequest_, pendingSlot_, false);
    pendingRequest_.clear();
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    // Documented as a string; some portals send an object path.
    session_ = handle.userType() == qMetaTypeId<QDBusObjectPath>()
                   ? handle.value<QDBusObjectPath>().path()
                   : handle.toString();
    if (response != 0 || session_.isEmpty()) {
        session_.clear();
        setStatus(Status::Refused);
        return;
    }
    if (!listeningForActivation_) {
        const QString portal = QString::fromLatin1(service);
        const QString object = QString::fromLatin1(path);
        const QString shortcuts = QString::fromLatin1(interface);
        bus_.connect(portal, object, shortcuts, QStringLiteral("Activated"), this,
                     SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        bus_.connect(portal, object, shortcuts, QStringLiteral("ShortcutsChanged"), this,
                     SLOT(shortcutsChanged(QDBusMessage)));
        listeningForActivation_ = true;
    }
    bindShortcuts();
}

void PortalHotKey::bindShortcuts() {
    const QList<Shortcut> shortcuts{
        {QString::fromLatin1(shortcutId),
         {{QStringLiteral("description"),
           QStringLiteral("Download the video link on the clipboard")},
          {QStringLiteral("preferred_trigger"), QString::fromLatin1(preferredTrigger)}}}};
    const QString token = nextToken();
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts),
             QString(), QVariantMap{{QStringLiteral("handle_token"), token}}},
            token, SLOT(shortcutsBound(uint, QVariantMap)));
}

void PortalHotKey::shortcutsBound(uint response, const QVariantMap& results) {
    listen(pendingRequest_, pendingSlot_, false);
    pendingRequest_.clear();
    // Code 1: the user cancelled the desktop's dialog; 2: the desktop ended the call otherwise.
    // A success that leaves kelvo's shortcut out means the user gave it no trigger.
    const bool bound = response == 0 && holdsOurs(results.value(QStringLiteral("shortcuts")));
    setStatus(bound ? Status::Active : Status::Refused);
}

void PortalHotKey::shortcutsChanged(const QDBusMessage& message) {
    // The user changed kelvo's shortcuts in the desktop's settings.
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].value<QDBusObjectPath>().path() != session_ ||
        session_.isEmpty() || status_ == Status::Pending) {
        return;
    }
    setStatus(holdsOurs(arguments[1]) ? Status::Active : Status::Refused);
}

void PortalHotKey::activated(const QDBusObjectPath& session, const QString& id, qulonglong,
                             const QVariantMap&) {
    if (!session_.isEmpty() && session.path() == session_ && id == QLatin1String(shortcutId) &&
        onPressed_) {
        onPressed_();
    }
}

void PortalHotKey::portalAppeared() {
    if (status_ == Status::Pending) {
        appearedMeanwhile_ = true;  // a call already on its way may still fail; then try again
        return;
    }
    createSession();
}

void PortalHotKey::portalVanished() {
    // Its sessions went with it.
    listen(pendingRequest_, pendingSlot_, false);
    pendingRequest_.clear();
    session_.clear();
    setStatus(Status::Unsupported);
}

void PortalHotKey::request(const QString& method, const QVariantList& arguments,
                           const QString& token, const char* responseSlot) {
    // Listening before the call, so that a Response sent right away is not missed.
    const QString expected = requestPath(token);
    listen(expected, responseSlot, true);
    pendingRequest_ = expected;
    pendingSlot_ = responseSlot;

    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                       QString::fromLatin1(interface), method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, expected](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *finished;
                if (pendingRequest_ != expected) {
                    return;  // answered already, or given up
                }
                if (reply.isError()) {
                    // No portal, or one without GlobalShortcuts (UnknownMethod), or it failed.
                    listen(expected, pendingSlot_, false);
                    pendingRequest_.clear();
                    if (appearedMeanwhile_) {
                        createSession();
                        return;
                    }
                    setStatus(session_.isEmpty() ? Status::Unsupported : Status::Refused);
                    return;
                }
                // Old portals chose the request path themselves.
                const QString actual = reply.value().path();
                if (actual != expected) {
                    listen(expected, pendingSlot_, false);
                    listen(actual, pendingSlot_, true);
                    pendingRequest_ = actual;
                }
            });
}

void PortalHotKey::listen(const QString& requestPath, const char* responseSlot, bool on) {
    if (requestPath.isEmpty() || responseSlot == nullptr) {
        return;
    }
    const QString portal = QString::fromLatin1(service);
    const QString signal = QStringLiteral("Response");
    if (on) {
        bus_.connect(portal, requestPath, requestInterface, signal, this, responseSlot);
    } else {
        bus_.disconnect(portal, requestPath, requestInterface, signal, this, responseSlot);
    }
}

QString PortalHotKey::requestPath(const QString& token) const {
    // The portal names requests after the caller's unique name: ":1.42" becomes "1_42".
    QString sender = bus_.baseService();
    if (sender.startsWith(QLatin1Char(':'))) {
        sender.remove(0, 1);
    }
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

QString PortalHotKey::nextToken() {
    // Unique per connection, also when several objects share one.
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("kelvo%1").arg(++counter);
}

void PortalHotKey::closeSession() {
    if (session_.isEmpty() || !bus_.isConnected()) {
        return;
    }
    bus_.send(QDBusMessage::createMethodCall(QString::fromLatin1(service), session_,
                                             QStringLiteral("org.freedesktop.portal.Session"),
                                             QStringLiteral("Close")));
    session_.clear();
}

void PortalHotKey::setStatus(Status status) {
    if (status == status_) {
        return;
    }
    status_ = status;
    if (onStateChanged_) {
        onStateChanged_(status);
    }
}

}  // namespace kelvo
