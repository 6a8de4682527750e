#include "app/job_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "app/paths.h"

namespace kelvo {

namespace fs = std::filesystem;

JobLock::JobLock(QString filePath)
    : filePath_(filePath.isEmpty() ? paths::jobLockFile() : std::move(filePath)) {}

JobLock::~JobLock() {
    release();
}

bool JobLock::tryAcquire() {
    if (fd_ >= 0) {
        return true;
    }
    const fs::path path = filePath_.toStdString();
    if (filePath_ == paths::jobLockFile()) {
        paths::ensureDataFolder();
    }
    // Close-on-exec: a yt-dlp child must never keep the lock alive.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw fs::filesystem_error("cannot open the job lock", path,
                                   std::error_code(errno, std::generic_category()));
    }
    int status = 0;
    do {
        status = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (status != 0 && errno == EINTR);
    if (status != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            return false;
        }
        throw fs::filesystem_error("cannot lock the job lock", path,
                                   std::error_code(error, std::generic_category()));
    }
    fd_ = fd;
    return true;
}

void JobLock::release() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace kelvo
