#include "app/job_lock.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <filesystem>
#include "tests/app_services/qt_environment.h"

#include "app/paths.h"
#include "tests/app_services/child_process.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

using test::ChildProcess;
using test::Sandbox;

QString qpath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

TEST(JobLockTest, ASecondHolderIsRefusedUntilTheFirstReleases) {
    Sandbox box;
    JobLock first(qpath(box / "job.lock"));
    JobLock second(qpath(box / "job.lock"));
    ASSERT_TRUE(first.tryAcquire());
    EXPECT_TRUE(first.tryAcquire());  // taking it again keeps it
    EXPECT_FALSE(second.tryAcquire());
    EXPECT_FALSE(second.isHeld());
    first.release();
    EXPECT_TRUE(second.tryAcquire());
}

TEST(JobLockTest, DefaultsToTheDataFolder) {
    JobLock lock;
    ASSERT_TRUE(lock.tryAcquire());
    EXPECT_TRUE(std::filesystem::exists(paths::jobLockFile().toStdString()));
    EXPECT_TRUE(paths::jobLockFile().startsWith(paths::dataFolder()));
}

TEST(JobLockTest, AnotherProcessHoldingItMeansBusyAndACrashFreesIt) {
    Sandbox box;
    const std::string file = (box / "job.lock").string();
    ChildProcess holder({KELVO_APP_HELPER, "hold-lock", file});
    ASSERT_EQ(holder.readLine(), "locked");

    JobLock mine(QString::fromStdString(file));
    EXPECT_FALSE(mine.tryAcquire());

    holder.kill(SIGKILL);
    holder.wait();
    EXPECT_TRUE(mine.tryAcquire());

    // And now the other process is the one refused.
    ChildProcess late({KELVO_APP_HELPER, "hold-lock", file});
    EXPECT_EQ(late.readLine(), "busy");
}

TEST(JobLockTest, AChildStartedDuringAJobDoesNotKeepTheLock) {
    Sandbox box;
    const QString file = qpath(box / "job.lock");
    JobLock job(file);
    ASSERT_TRUE(job.tryAcquire());
    ChildProcess child({"/bin/sleep", "30"});  // like a yt-dlp run outliving its job
    job.release();
    JobLock next(file);
    EXPECT_TRUE(next.tryAcquire());
}

TEST(JobLockTest, ALockFileThatCannotBeCreatedThrows) {
    Sandbox box;
    JobLock lock(qpath(box / "missing-folder" / "job.lock"));
    EXPECT_THROW(lock.tryAcquire(), std::filesystem::filesystem_error);
}

}  // namespace
}  // namespace kelvo
