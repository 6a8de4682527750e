#include "app/paths.h"

#include <sys/stat.h>
#include <QDir>
#include <QStandardPaths>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace kelvo::paths {

namespace fs = std::filesystem;

QString home() {
    return QDir::homePath();
}

QString expandTilde(const QString& path) {
    if (path == QLatin1String("~")) {
        return home();
    }
    if (path.startsWith(QLatin1String("~/"))) {
        return home() + path.mid(1);
    }
    return path;
}

QString abbreviateHome(const QString& path) {
    const QString h = QDir::cleanPath(home());
    const QString p = QDir::cleanPath(path);
    if (h.isEmpty() || h == QLatin1String("/")) {
        return path;
    }
    if (p == h) {
        return QStringLiteral("~");
    }
    if (p.startsWith(h + QLatin1Char('/'))) {
        return QLatin1Char('~') + p.mid(h.size());
    }
    return path;
}

QString dataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/kelvo");
}

QString ensureDataFolder() {
    const QString folder = dataFolder();
    const fs::path path = folder.toStdString();
    if (!fs::is_directory(path)) {
        fs::create_directories(path.parent_path());
        // The folder holds the user's catalog and log: readable by its owner only.
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            throw fs::filesystem_error("cannot create the data folder", path,
                                       std::error_code(errno, std::generic_category()));
        }
    }
    return folder;
}

QString settingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kelvo/kelvo.conf");
}

QString activityLogFile() {
    return dataFolder() + QStringLiteral("/activity.log");
}

QString jobLockFile() {
    return dataFolder() + QStringLiteral("/job.lock");
}

}  // namespace kelvo::paths
