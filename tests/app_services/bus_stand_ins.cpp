#include "tests/app_services/bus_stand_ins.h"

#include <QDBusConnectionInterface>
#include <stdexcept>

namespace kelvo::test {

uint NotificationServer::Notify(const QString& appName, uint, const QString& appIcon,
                                const QString& summary, const QString& body, const QStringList&,
                                const QVariantMap& hints, int) {
    received.append({appName, appIcon, summary, body, hints});
    return static_cast<uint>(received.size());
}

void FileManager::ShowItems(const QStringList& uris, const QString&) {
    shown.append(uris);
}

namespace {
QString nextConnectionName() {
    static int counter = 0;
    return QStringLiteral("stand-in-%1").arg(counter++);
}
}  // namespace

BusService::BusService(const QString& service, const QString& path, QObject* object)
    : name_(nextConnectionName()),
      service_(service),
      connection_(
          QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), name_)) {
    if (!connection_.isConnected() ||
        !connection_.registerObject(path, object, QDBusConnection::ExportScriptableSlots) ||
        !connection_.registerService(service)) {
        throw std::runtime_error("cannot serve " + service.toStdString());
    }
}

BusService::~BusService() {
    connection_.unregisterService(service_);
    QDBusConnection::disconnectFromBus(name_);
}

}  // namespace kelvo::test
