#include "app/autostart_login_item.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <filesystem>

namespace kelvo {

namespace {

QString ownExecutable() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationFilePath();
    }
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? QString() : QString::fromStdString(path.string());
}

}  // namespace

AutostartLoginItem::AutostartLoginItem(QString executable, QString entryPath)
    : executable_(executable.isEmpty() ? ownExecutable() : std::move(executable)),
      entryPath_(entryPath.isEmpty()
                     ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/autostart/kelvo.desktop")
                     : std::move(entryPath)) {}

QString AutostartLoginItem::execLine(const QString& executable) {
    // Desktop entry rules: an argument with reserved characters is double-quoted, with '"',
    // '`', '$' and '\' escaped by a backslash; then the string escape doubles every backslash;
    // a literal '%' is written "%%".
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = false;
    for (const QChar c : executable) {
        needsQuotes = needsQuotes || reserved.contains(c);
    }
    QString out;
    for (const QChar c : executable) {
        if (c == QLatin1Char('%')) {
            out += QLatin1String("%%");
        } else if (needsQuotes &&
                   (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))) {
            out += QLatin1String("\\\\");
            out += c;
        } else if (c == QLatin1Char('\\')) {
            out += QLatin1String("\\\\\\\\");
        } else {
            out += c;
        }
    }
    return needsQuotes ? QLatin1Char('"') + out + QLatin1Char('"') : out;
}

bool AutostartLoginItem::isEnabled() const {
    QFile file(entryPath_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.compare(QLatin1String("Hidden=true"), Qt::CaseInsensitive) == 0 ||
            line.compare(QLatin1String("X-GNOME-Autostart-enabled=false"), Qt::CaseInsensitive) ==
                0) {
            return false;
        }
    }
    return true;
}

void AutostartLoginItem::setEnabled(bool enabled) {
    if (!enabled) {
        QFile file(entryPath_);
        if (file.exists() && !file.remove()) {
            throw LoginItemError("cannot remove " + entryPath_.toStdString() + ": " +
                                 file.errorString().toStdString());
        }
        return;
    }
    if (executable_.isEmpty()) {
        throw LoginItemError("the kelvo program could not be found");
    }
    if (executable_.contains(QLatin1Char('\n')) || executable_.contains(QLatin1Char('\r'))) {
        throw LoginItemError("the kelvo program's path contains a line break");
    }
    if (!QDir().mkpath(QFileInfo(entryPath_).absolutePath())) {
        throw LoginItemError("cannot create the folder of " + entryPath_.toStdString());
    }
    QSaveFile file(entryPath_);
    if (!file.open(QIODevice::WriteOnly)) {
        throw LoginItemError("cannot write " + entryPath_.toStdString() + ": " +
                             file.errorString().toStdString());
    }
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=kelvo\n"
                              "Comment=Keeps YouTube playlists mirrored in a folder\n"
                              "Icon=kelvo\n"
                              "Exec=") +
                          execLine(executable_) +
                          QStringLiteral(
                              "\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n");
    file.write(entry.toUtf8());
    if (!file.commit()) {
        throw LoginItemError("cannot write " + entryPath_.toStdString() + ": " +
                             file.errorString().toStdString());
    }
}

}  // namespace kelvo
