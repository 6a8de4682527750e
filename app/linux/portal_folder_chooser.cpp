#include "app/linux/portal_folder_chooser.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPointer>
#include <QUrl>
#include <QWindow>
#include <atomic>

namespace kelvo {

namespace {

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString fileChooser = QStringLiteral("org.freedesktop.portal.FileChooser");

}  // namespace

PortalFolderChooser::PortalFolderChooser(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

bool PortalFolderChooser::choose(const QString& title, const QString& folder, QWindow* window) {
    if (!bus_.isConnected()) {
        return false;
    }
    // Folders ("directory") came with version 3 of the interface. Asked without blocking: a
    // portal that is slow to start must not freeze the window.
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << fileChooser << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(get, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, title, folder,
             parent = QPointer<QWindow>(window)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusVariant> version = *finished;
                if (version.isError() || version.value().variant().toUInt() < 3) {
                    emit failed();
                } else {
                    open(title, folder, parent);
                }
            });
    return true;
}

void PortalFolderChooser::open(const QString& title, const QString& folder, QWindow* window) {
    stopListening();
    // The portal names the request after the caller's unique name (":1.42" -> "1_42") and the
    // token; listening before the call, so that an answer sent right away is not missed.
    static std::atomic<unsigned> counter{0};
    const QString token = QStringLiteral("kelvo_folder%1").arg(++counter);
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    request_ = QStringLiteral("%1/request/%2/%3").arg(path, sender, token);
    bus_.connect(service, request_, QStringLiteral("org.freedesktop.portal.Request"),
                 QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));

    // On X11 the chooser is placed over kelvo's window; elsewhere it stands alone.
    QString parent;
    if (window != nullptr && QGuiApplication::platformName() == QLatin1String("xcb")) {
        parent = QStringLiteral("x11:") + QString::number(window->winId(), 16);
    }
    const QUrl url(folder);
    const QString local = url.isLocalFile() ? url.toLocalFile() : folder;
    QVariantMap options{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("directory"), true},
                        {QStringLiteral("modal"), true}};
    if (!local.isEmpty()) {
        options.insert(QStringLiteral("current_folder"), local.toUtf8().append('\0'));
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, fileChooser, QStringLiteral("OpenFile"));
    call << parent << title << options;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, expected = request_](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError() && request_ == expected) {
                    stopListening();
                    emit failed();
                }
            });
}

void PortalFolderChooser::onResponse(uint response, const QVariantMap& results) {
    stopListening();
    // 0: chosen; 1: cancelled; 2: ended otherwise.
    const QStringList uris = results.value(QStringLiteral("uris")).toStringList();
    if (response == 0 && !uris.isEmpty() && QUrl(uris.first()).isLocalFile()) {
        emit chosen(QUrl(uris.first()).toLocalFile());
    } else if (response == 2) {
        emit failed();
    }
}

void PortalFolderChooser::stopListening() {
    if (!request_.isEmpty()) {
        bus_.disconnect(service, request_, QStringLiteral("org.freedesktop.portal.Request"),
                        QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
        request_.clear();
    }
}

}  // namespace kelvo
