#include "app/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <QFile>
#include <atomic>

#include "tests/app_services/child_process.h"
#include "tests/app_services/qt_environment.h"

namespace kelvo {
namespace {

using test::ChildProcess;

std::string uniqueName() {
    static std::atomic<int> counter{0};
    return "kelvo-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

TEST(SingleInstanceTest, ASecondStartAsksTheFirstToShowItself) {
    const std::string name = uniqueName();
    ChildProcess first({KELVO_APP_HELPER, "instance", name});
    ASSERT_EQ(first.readLine(), "primary");

    SingleInstance second(QString::fromStdString(name));
    EXPECT_EQ(second.claim(), SingleInstance::Role::handedOver);
    EXPECT_EQ(first.readLine(), "shown");
    EXPECT_EQ(first.wait(), 0);
}

TEST(SingleInstanceTest, ACrashedInstanceDoesNotBlockTheNextStart) {
    const std::string name = uniqueName();
    ChildProcess crashed({KELVO_APP_HELPER, "instance", name});
    ASSERT_EQ(crashed.readLine(), "primary");
    crashed.kill(SIGKILL);
    crashed.wait();

    SingleInstance next(QString::fromStdString(name));
    ASSERT_TRUE(QFile::exists(next.socketPath()));  // left behind by the crash
    ASSERT_EQ(next.claim(1000), SingleInstance::Role::primary);

    // The new instance answers later starts.
    int shown = 0;
    QObject::connect(&next, &SingleInstance::activationRequested, [&shown] { ++shown; });
    ChildProcess third({KELVO_APP_HELPER, "instance", name});
    ASSERT_TRUE(test::processEventsUntil([&shown] { return shown == 1; }));
    EXPECT_EQ(third.readLine(), "handedOver");
}

TEST(SingleInstanceTest, ALiveInstanceIsAskedEvenWhenItsLockFileWasDeleted) {
    const std::string name = uniqueName();
    ChildProcess first({KELVO_APP_HELPER, "instance", name});
    ASSERT_EQ(first.readLine(), "primary");
    SingleInstance second(QString::fromStdString(name));
    QString lockFile = second.socketPath();
    lockFile.replace(QStringLiteral(".socket"), QStringLiteral(".lock"));
    ASSERT_TRUE(QFile::remove(lockFile));

    // The socket name must not be taken over: the running instance still answers on it.
    EXPECT_EQ(second.claim(), SingleInstance::Role::handedOver);
    EXPECT_EQ(first.readLine(), "shown");
}

}  // namespace
}  // namespace kelvo
