#include "app/linux/font_registration.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QSet>

namespace kelvo {

namespace {
void writeLine(std::FILE* log, const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), log);
    std::fflush(log);
}
}  // namespace

int registerFonts(const QStringList& folders, std::FILE* log) {
    QStringList files;
    QSet<QString> seen;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QStringList names =
            dir.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.otf")},
                          QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
        for (const QString& name : names) {
            const QString path = dir.filePath(name);
            if (!seen.contains(path)) {
                seen.insert(path);
                files.append(path);
            }
        }
    }
    if (files.isEmpty()) {
        writeLine(log,
                  QStringLiteral("kelvo: no bundled fonts found; falling back to system fonts"));
        return 0;
    }
    int registered = 0;
    for (const QString& path : files) {
        if (QFontDatabase::addApplicationFont(path) >= 0) {
            ++registered;
        } else {
            writeLine(log, QStringLiteral("kelvo: font registration failed: ") + path +
                               QStringLiteral(" is not a usable font file"));
        }
    }
    return registered;
}

}  // namespace kelvo
