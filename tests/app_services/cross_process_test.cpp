// What kelvo processes promise each other: one job at a time (the lock), one tray app per user
// (the single instance), whole lines in the shared activity log, and the relaunch after a reset.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <chrono>

#include "app/activity_log.h"
#include "app/job_lock.h"
#include "app/paths.h"
#include "app/relauncher.h"
#include "app/single_instance.h"
#include "tests/support/process.h"
#include "tests/support/qt.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

using test::Process;

Process helper(const std::string& command, const std::string& argument) {
    return Process({KELVO_APP_HELPER, command, argument}, {.environment = {}, .pipeInput = true});
}

TEST(JobLockTest, OneHolderAtATimeAcrossProcessesUntilReleaseOrCrash) {
    test::Sandbox box;
    const std::string file = box / "job.lock";
    JobLock mine(QString::fromStdString(file));
    JobLock second(QString::fromStdString(file));
    ASSERT_TRUE(mine.tryAcquire());
    EXPECT_TRUE(mine.tryAcquire());  // taking it again keeps it
    EXPECT_FALSE(second.tryAcquire());
    EXPECT_FALSE(second.isHeld());
    EXPECT_EQ(helper("hold-lock", file).readLine(), "busy");
    {
        // A child started during a job (a yt-dlp run outliving it) does not keep the lock.
        Process child({"sleep", "30"});
        mine.release();
        Process holder = helper("hold-lock", file);
        ASSERT_EQ(holder.readLine(), "locked");
        EXPECT_FALSE(mine.tryAcquire());
        holder.signal(SIGKILL);
        ASSERT_TRUE(holder.wait());
    }
    EXPECT_TRUE(mine.tryAcquire());  // the crash freed it

    JobLock byDefault;
    ASSERT_TRUE(byDefault.tryAcquire());
    EXPECT_TRUE(paths::jobLockFile().startsWith(paths::dataFolder()));
    EXPECT_TRUE(QFile::exists(paths::jobLockFile()));
    JobLock nowhere(QString::fromStdString(box / "missing-folder" / "job.lock"));
    EXPECT_THROW(nowhere.tryAcquire(), std::filesystem::filesystem_error);
}

std::string uniqueName() {
    static int counter = 0;
    return "kelvo-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

TEST(SingleInstanceTest, ASecondStartAsksTheRunningOneEvenWithoutItsLockFile) {
    for (const bool lockFileDeleted : {false, true}) {
        SCOPED_TRACE(lockFileDeleted ? "lock file deleted" : "lock file in place");
        const std::string name = uniqueName();
        Process first = helper("instance", name);
        ASSERT_EQ(first.readLine(), "primary");
        SingleInstance second(QString::fromStdString(name));
        const QString lockFile = QString(second.socketPath()).replace(".socket", ".lock");
        ASSERT_TRUE(lockFileDeleted ? QFile::remove(lockFile) : QFile::exists(lockFile));
        // The running instance still answers on its socket: it must be asked, not replaced.
        EXPECT_EQ(second.claim(), SingleInstance::Role::handedOver);
        EXPECT_EQ(first.readLine(), "shown");
        ASSERT_TRUE(first.wait());
        EXPECT_EQ(first.result().status, 0);
    }
}

TEST(SingleInstanceTest, ACrashedInstanceDoesNotBlockTheNextStart) {
    const std::string name = uniqueName();
    Process crashed = helper("instance", name);
    ASSERT_EQ(crashed.readLine(), "primary");
    crashed.signal(SIGKILL);
    ASSERT_TRUE(crashed.wait());

    SingleInstance next(QString::fromStdString(name));
    ASSERT_TRUE(QFile::exists(next.socketPath()));  // left behind by the crash
    ASSERT_EQ(next.claim(1000), SingleInstance::Role::primary);
    int shown = 0;
    QObject::connect(&next, &SingleInstance::activationRequested, [&shown] { ++shown; });
    Process third = helper("instance", name);
    ASSERT_TRUE(test::processEventsUntil([&shown] { return shown == 1; }));
    EXPECT_EQ(third.readLine(), "handedOver");
}

TEST(ActivityLogTest, TwoProcessesAppendingAtOnceNeverMixTheirLines) {
    test::Sandbox box;
    const std::string file = box / "activity.log";
    {
        Process first({KELVO_APP_HELPER, "append", file, "400"});
        Process second({KELVO_APP_HELPER, "append", file, "400"});
        ASSERT_TRUE(first.wait() && second.wait());
        EXPECT_EQ(first.result().status + second.result().status, 0);
    }
    const QStringList lines = ActivityLog(QString::fromStdString(file)).readNewestFirst();
    EXPECT_EQ(lines.size(), 800);
    static const QRegularExpression whole(R"(^[-\d]{10} [:\d]{8}  process \d+ line \d+$)");
    for (const QString& line : lines) {
        ASSERT_TRUE(whole.match(line).hasMatch()) << line.toStdString();
    }
}

TEST(RelauncherTest, StartsTheProgramAgainAfterASecondAndPassesItsPathAsIs) {
    test::Sandbox box;
    // A path that would break the command if it were pasted into the script.
    const std::filesystem::path program = box / "it's \"odd\" $HOME; touch pwned";
    test::writeFile(program, "#!/bin/sh\necho \"$0\" > '" + (box / "relaunched").string() + "'\n");
    ::chmod(program.c_str(), 0755);

    ShellRelauncher relauncher(QString::fromStdString(program));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(relauncher.relaunch());
    int status = -1;
    ASSERT_EQ(::waitpid(relauncher.lastPid(), &status, 0), relauncher.lastPid());
    // The old instance must be gone before the new one claims the single instance.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::readFile(box / "relaunched"), program.string() + "\n");
    EXPECT_FALSE(std::filesystem::exists(box / "pwned"));
}

}  // namespace
}  // namespace kelvo
