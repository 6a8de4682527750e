#include "app/trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace kelvo {

namespace {

// Qt answers success even when it could not set up a Trash folder and dropped the file into
// "files/" of the current folder instead; a real destination is <...>/Trash/files/<name> or
// <volume>/.Trash-<uid>/files/<name>.
bool isInATrashFolder(const QString& pathInTrash) {
    const QFileInfo info(pathInTrash);
    if (pathInTrash.isEmpty() || !info.isAbsolute()) {
        return false;
    }
    const QDir files = info.dir();
    QDir root = files;
    if (files.dirName() != QLatin1String("files") || !root.cdUp()) {
        return false;
    }
    const QString name = root.dirName();
    return name == QLatin1String("Trash") || name.startsWith(QLatin1String(".Trash"));
}

// Puts a file that went to a wrong place back where it was.
void undoMisplacedMove(const QString& original, const QString& misplaced) {
    const QFileInfo info(misplaced);
    QDir base = info.absoluteDir();
    QFile::rename(info.absoluteFilePath(), original);
    if (base.dirName() == QLatin1String("files") && base.cdUp()) {
        QFile::remove(base.filePath(QStringLiteral("info/") + info.fileName() +
                                    QStringLiteral(".trashinfo")));
        base.rmdir(QStringLiteral("files"));
        base.rmdir(QStringLiteral("info"));
    }
}

}  // namespace

TrashResult moveToTrash(const QString& path) {
    std::error_code error;
    // A dangling symbolic link is still something to trash; only "nothing at all" is missing.
    const auto status = std::filesystem::symlink_status(path.toStdString(), error);
    if (path.isEmpty() || !std::filesystem::exists(status)) {
        return {TrashResult::Outcome::missing, {}};
    }
    QFile file(path);
    if (file.moveToTrash()) {
        const QString pathInTrash = file.fileName();
        if (isInATrashFolder(pathInTrash)) {
            return {TrashResult::Outcome::moved, {}};
        }
        undoMisplacedMove(path, pathInTrash);
        return {TrashResult::Outcome::failed, QStringLiteral("no usable Trash folder was found")};
    }
    QString reason = file.errorString();
    if (reason.isEmpty()) {
        reason = QStringLiteral("the Trash refused the file");
    }
    return {TrashResult::Outcome::failed, reason};
}

}  // namespace kelvo
