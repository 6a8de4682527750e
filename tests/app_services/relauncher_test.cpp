#include "app/relauncher.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <chrono>
#include <thread>
#include "tests/app_services/qt_environment.h"

#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

TEST(RelauncherTest, StartsTheProgramAgainAfterASecond) {
    test::Sandbox box;
    // A path that would break the command if it were pasted into the script.
    const fs::path program = box / "it's \"odd\" $HOME; touch pwned";
    const fs::path marker = box / "relaunched";
    test::writeFile(program, "#!/bin/sh\necho \"$0\" > '" + marker.string() + "'\n");
    ::chmod(program.c_str(), 0755);

    ShellRelauncher relauncher(QString::fromStdString(program.string()));
    const auto start = Clock::now();
    ASSERT_TRUE(relauncher.relaunch());
    ASSERT_GT(relauncher.lastPid(), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(relauncher.lastPid(), &status, 0), relauncher.lastPid());
    const auto elapsed = Clock::now() - start;

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
    EXPECT_EQ(test::readFile(marker), program.string() + "\n");
    EXPECT_FALSE(fs::exists(box / "pwned"));
}

TEST(RelauncherTest, AMissingProgramFailsInTheShellNotInKelvo) {
    ShellRelauncher relauncher(QStringLiteral("/nonexistent/kelvo"));
    // The shell starts, and reports the missing program itself; starting is what is promised.
    ASSERT_TRUE(relauncher.relaunch());
    int status = 0;
    ::waitpid(relauncher.lastPid(), &status, 0);
    EXPECT_NE(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace kelvo
