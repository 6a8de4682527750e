#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QList>
#include <QObject>
#include <QVariantMap>

#include "app/global_hot_key.h"

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace kelvo {

// Ctrl+Alt+Y through the desktop portal's GlobalShortcuts interface (Wayland): CreateSession,
// then BindShortcuts with one shortcut whose trigger is only a preference (the desktop, often the
// user in a dialog, decides), then every Activated signal for it runs the handler. Each answer
// comes as a Request's Response signal, so registration returns Pending and reports the outcome
// through the state handler. Binding happens at every start; when the portal is not on the bus
// yet (or goes and comes back) it binds again as soon as the portal appears.
class PortalHotKey : public QObject, public GlobalHotKey {
    Q_OBJECT

  public:
    // One entry of BindShortcuts' a(sa{sv}): an id and its properties.
    struct Shortcut {
        QString id;
        QVariantMap properties;
    };

    static constexpr const char* service = "org.freedesktop.portal.Desktop";
    static constexpr const char* path = "/org/freedesktop/portal/desktop";
    static constexpr const char* interface = "org.freedesktop.portal.GlobalShortcuts";
    static constexpr const char* shortcutId = "download-clipboard";
    // In the portal's trigger syntax (the XDG shortcuts format).
    static constexpr const char* preferredTrigger = "CTRL+ALT+y";

    explicit PortalHotKey(QDBusConnection bus = QDBusConnection::sessionBus(),
                          QObject* parent = nullptr);
    ~PortalHotKey() override;

    bool registerShortcut(Handler onPressed, StateHandler onStateChanged = {}) override;
    bool isActive() const override { return status_ == Status::Active; }
    Status status() const override { return status_; }

  private slots:
    void sessionCreated(uint response, const QVariantMap& results);
    void shortcutsBound(uint response, const QVariantMap& results);
    void shortcutsChanged(const QDBusMessage& message);
    void activated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                   const QVariantMap& options);
    void portalAppeared();
    void portalVanished();

  private:
    void createSession();
    void bindShortcuts();
    // Sends a portal call whose answer comes as a Response on the request `token` names; the
    // answer goes to `responseSlot`. A failed call leaves the shortcut Unsupported.
    void request(const QString& method, const QVariantList& arguments, const QString& token,
                 const char* responseSlot);
    void listen(const QString& requestPath, const char* responseSlot, bool on);
    QString requestPath(const QString& token) const;
    static QString nextToken();
    void closeSession();
    void setStatus(Status status);

    QDBusConnection bus_;
    Handler onPressed_;
    StateHandler onStateChanged_;
    Status status_ = Status::Unsupported;
    QDBusServiceWatcher* watcher_ = nullptr;
    QString session_;
    QString pendingRequest_;  // the request path whose Response is awaited
    const char* pendingSlot_ = nullptr;
    bool appearedMeanwhile_ = false;
    bool listeningForActivation_ = false;
};

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalHotKey::Shortcut& shortcut);
QDBusArgument& operator<<(QDBusArgument& argument, const PortalHotKey::Shortcut& shortcut);

}  // namespace kelvo

Q_DECLARE_METATYPE(kelvo::PortalHotKey::Shortcut)
