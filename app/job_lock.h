#pragma once

// Keeps two jobs (a sync run, a single download) from running at once across processes: the
// tray app and kelvo-cli share one catalog. The lock is an advisory lock (flock) on a file in the
// data folder, so the kernel releases it when a holder crashes; child processes do not inherit it.

#include <QString>

namespace kelvo {

class JobLock {
  public:
    // `filePath` defaults to paths::jobLockFile().
    explicit JobLock(QString filePath = {});
    ~JobLock();
    JobLock(const JobLock&) = delete;
    JobLock& operator=(const JobLock&) = delete;

    // Takes the lock without waiting. False when another holder (another process, or another
    // JobLock in this one) has it: the caller treats that exactly like "busy". Throws
    // std::filesystem::filesystem_error when the lock file cannot be created. Taking it again
    // while held by this object answers true.
    bool tryAcquire();
    void release();
    bool isHeld() const { return fd_ >= 0; }

  private:
    QString filePath_;
    int fd_ = -1;
};

}  // namespace kelvo
