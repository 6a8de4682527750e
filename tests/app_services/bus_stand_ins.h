#pragma once

// Recording stand-ins for the desktop's D-Bus services, owned on their own connection to the
// private session bus so that kelvo's calls really travel through the bus.

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace kelvo::test {

struct Notification {
    QString appName;
    QString appIcon;
    QString summary;
    QString body;
    QVariantMap hints;
};

class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    QList<Notification> received;

  public slots:
    Q_SCRIPTABLE uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                             const QString& summary, const QString& body,
                             const QStringList& actions, const QVariantMap& hints, int timeout);
};

class FileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

  public:
    QList<QStringList> shown;

  public slots:
    Q_SCRIPTABLE void ShowItems(const QStringList& uris, const QString& startupId);
};

// A second connection to the session bus that owns `service` and serves `object` at `path`,
// until it goes.
class BusService {
  public:
    BusService(const QString& service, const QString& path, QObject* object);
    ~BusService();
    BusService(const BusService&) = delete;
    BusService& operator=(const BusService&) = delete;
    QDBusConnection& connection() { return connection_; }

  private:
    QString name_;
    QString service_;
    QDBusConnection connection_;
};

}  // namespace kelvo::test
