#include "app/activity_log.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <exception>

#include "app/paths.h"

namespace kelvo {

namespace {

QString timestampFormat() {
    return QStringLiteral("yyyy-MM-dd HH:mm:ss");
}

// The file's non-empty lines, bytes unchanged.
QList<QByteArray> readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeIf([](const QByteArray& line) { return line.isEmpty(); });
    return lines;
}

}  // namespace

ActivityLog::ActivityLog(QString filePath)
    : filePath_(filePath.isEmpty() ? paths::activityLogFile() : std::move(filePath)) {}

QString ActivityLog::formatLine(const QDateTime& when, const QString& message) {
    QString line = when.toString(timestampFormat());
    line += QLatin1String("  ");
    line += QString(message).replace(QLatin1Char('\n'), QLatin1Char(' '));
    line += QLatin1Char('\n');
    return line;
}

void ActivityLog::append(const QString& message) const {
    try {
        if (filePath_ == paths::activityLogFile()) {
            paths::ensureDataFolder();
        }
    } catch (const std::exception&) {
        return;  // logging never stops the caller
    }
    const QByteArray bytes = formatLine(QDateTime::currentDateTime(), message).toUtf8();
    // O_APPEND and one unbuffered write: lines of the tray app and kelvo-cli never interleave.
    QFile file(filePath_);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        file.write(bytes);
    }
}

void ActivityLog::trim(int keep) const {
    if (!QFileInfo::exists(filePath_)) {
        return;
    }
    QList<QByteArray> lines = readLines(filePath_);
    if (keep < 0 || lines.size() <= keep) {
        return;
    }
    lines.remove(0, lines.size() - keep);
    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly)) {
        return;
    }
    for (const QByteArray& line : lines) {
        file.write(line);
        file.write("\n", 1);
    }
    file.commit();
}

QStringList ActivityLog::readNewestFirst() const {
    const QList<QByteArray> lines = readLines(filePath_);
    QStringList result;
    result.reserve(lines.size());
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        result.append(QString::fromUtf8(*it));
    }
    return result;
}

}  // namespace kelvo
