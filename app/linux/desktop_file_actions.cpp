#include "app/linux/desktop_file_actions.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include "app/trash.h"

namespace kelvo {

namespace {

// The nearest folder at or above `path` that exists.
QString existingFolderAbove(const QString& path) {
    QString folder = QFileInfo(path).absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QLatin1String("/")) {
        folder = QFileInfo(folder).absolutePath();
    }
    return folder;
}

bool openFolder(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace

DesktopFileActions::DesktopFileActions(QDBusConnection bus) : bus_(std::move(bus)) {}

TrashResult DesktopFileActions::moveToTrash(const QString& path) {
    return kelvo::moveToTrash(path);
}

bool DesktopFileActions::open(const QString& path) {
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool DesktopFileActions::reveal(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        return openFolder(existingFolderAbove(path));
    }
    const QString file = info.absoluteFilePath();
    const QString folder = info.absolutePath();
    if (!bus_.isConnected()) {
        return openFolder(folder);
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folder](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<> reply = *finished;
                         if (reply.isError()) {
                             openFolder(folder);
                         }
                         finished->deleteLater();
                     });
    return true;
}

}  // namespace kelvo
