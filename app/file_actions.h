#pragma once

// Trash, open and reveal for Library entries.

#include <QString>

namespace kelvo {

// The result of moving one file to the Trash.
struct TrashResult {
    enum class Outcome {
        moved,    // the file is in the Trash now
        missing,  // there was no file at the path; nothing was done
        failed,   // the file is still there; `reason` says why
    };
    Outcome outcome = Outcome::failed;
    QString reason;  // the system's description of the failure, empty otherwise

    bool ok() const { return outcome != Outcome::failed; }
};

class FileActions {
  public:
    virtual ~FileActions() = default;
    // Moves a file or folder to the user's Trash (the freedesktop Trash on Linux).
    virtual TrashResult moveToTrash(const QString& path) = 0;
    // Opens a file or folder with its default application. False when nothing could be opened.
    virtual bool open(const QString& path) = 0;
    // Shows a file selected in a file-manager window; when the file is missing, opens the
    // nearest existing folder above it. False when nothing could be shown.
    virtual bool reveal(const QString& path) = 0;
};

}  // namespace kelvo
