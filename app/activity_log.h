#pragma once

// The persistent activity log "activity.log": one line per message, "yyyy-MM-dd HH:mm:ss" in
// local time, two spaces, the message. Oldest first; only appended, and cut back to the newest
// 1000 lines at start-up. Every file error is ignored: logging never stops a job.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kelvo {

class ActivityLog {
  public:
    static constexpr int keptLines = 1000;

    // `filePath` defaults to activity.log in the data folder.
    explicit ActivityLog(QString filePath = {});

    const QString& filePath() const { return filePath_; }

    // Appends one line for `message` (line breaks in it become spaces), creating the file and
    // its folder when missing. Safe against other processes appending at the same time.
    void append(const QString& message) const;
    // Keeps the newest `keep` lines; the file is replaced atomically and only when it is longer.
    // Bytes are kept exactly as they were.
    void trim(int keep = keptLines) const;
    // The non-empty lines, newest first; empty when the file is missing or unreadable.
    QStringList readNewestFirst() const;

    // The file line for `message` at `when`, with its final "\n".
    static QString formatLine(const QDateTime& when, const QString& message);

  private:
    QString filePath_;
};

}  // namespace kelvo
