#include "app/activity_log.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QRegularExpression>
#include <filesystem>
#include <string>
#include "tests/app_services/qt_environment.h"

#include "app/paths.h"
#include "tests/app_services/child_process.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::Sandbox;
using test::writeFile;

std::string numberedLines(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i) {
        text += "2024-01-01 00:00:00  line " + std::to_string(i) + "\n";
    }
    return text;
}

TEST(ActivityLogTest, FormatsTimeTwoSpacesAndTheMessageOnOneLine) {
    const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9));
    EXPECT_EQ(ActivityLog::formatLine(when, QStringLiteral("Checking Music…")),
              QStringLiteral("2024-03-05 07:08:09  Checking Music…\n"));
    EXPECT_EQ(ActivityLog::formatLine(when, QStringLiteral("two\nlines\n")),
              QStringLiteral("2024-03-05 07:08:09  two lines \n"));
}

TEST(ActivityLogTest, AppendCreatesTheDataFolderPrivateAndAddsLinesInOrder) {
    const ActivityLog log;
    ASSERT_EQ(log.filePath(), paths::dataFolder() + QStringLiteral("/activity.log"));
    fs::remove_all(paths::dataFolder().toStdString());

    log.append(QStringLiteral("✓ Saved a.mp4"));
    log.append(QStringLiteral("second\nline"));

    struct stat info {};
    ASSERT_EQ(::stat(paths::dataFolder().toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    const QString text = QString::fromUtf8(readFile(log.filePath().toStdString()));
    static const QRegularExpression shape(
        QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  ✓ Saved a\.mp4\n)"
                       R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  second line\n$)"));
    EXPECT_TRUE(shape.match(text).hasMatch()) << text.toStdString();
}

TEST(ActivityLogTest, AppendIntoAnUnwritablePlaceIsIgnored) {
    Sandbox box;
    writeFile(box / "file", "x");
    const ActivityLog log(QString::fromStdString((box / "file" / "activity.log").string()));
    log.append(QStringLiteral("lost"));  // must not throw
    EXPECT_TRUE(log.readNewestFirst().isEmpty());
}

TEST(ActivityLogTest, TrimKeepsTheNewestLinesOnlyWhenTooLong) {
    struct Case {
        const char* name;
        std::string before;
        std::string after;
        bool rewritten;
    };
    const Case cases[] = {
        {"1001 lines", numberedLines(1, 1001), numberedLines(2, 1001), true},
        {"exactly 1000", numberedLines(1, 1000), numberedLines(1, 1000), false},
        {"blank lines do not count", "\n\n" + numberedLines(1, 1000) + "\n",
         "\n\n" + numberedLines(1, 1000) + "\n", false},
        {"odd bytes do not stop the trim", "bad \xff\xfe\n" + numberedLines(1, 1000),
         numberedLines(1, 1000), true},
        {"last line without newline", numberedLines(1, 1000) + "tail",
         numberedLines(2, 1000) + "tail\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        const fs::path file = box / "activity.log";
        writeFile(file, c.before);
        struct stat before {};
        ::stat(file.c_str(), &before);

        ActivityLog(QString::fromStdString(file.string())).trim();

        EXPECT_EQ(readFile(file), c.after);
        struct stat after {};
        ::stat(file.c_str(), &after);
        EXPECT_EQ(before.st_ino != after.st_ino, c.rewritten);
    }
}

TEST(ActivityLogTest, TrimKeepsInvalidUtf8InTheKeptLinesUnchanged) {
    Sandbox box;
    const fs::path file = box / "activity.log";
    writeFile(file, numberedLines(1, 3) + "odd \xc3\x28 bytes\n");
    ActivityLog(QString::fromStdString(file.string())).trim(2);
    EXPECT_EQ(readFile(file), numberedLines(3, 3) + "odd \xc3\x28 bytes\n");
}

TEST(ActivityLogTest, ReadsNonEmptyLinesNewestFirst) {
    Sandbox box;
    const fs::path file = box / "activity.log";
    const ActivityLog log(QString::fromStdString(file.string()));
    EXPECT_TRUE(log.readNewestFirst().isEmpty());

    writeFile(file, "first\n\nsecond\nthird é\n\n");
    EXPECT_EQ(log.readNewestFirst(),
              (QStringList{QStringLiteral("third é"), QStringLiteral("second"),
                           QStringLiteral("first")}));
}

TEST(ActivityLogTest, TwoProcessesAppendingAtOnceNeverMixTheirLines) {
    Sandbox box;
    const std::string file = (box / "activity.log").string();
    {
        test::ChildProcess first({KELVO_APP_HELPER, "append", file, "400"});
        test::ChildProcess second({KELVO_APP_HELPER, "append", file, "400"});
        EXPECT_EQ(first.wait(), 0);
        EXPECT_EQ(second.wait(), 0);
    }
    const QStringList lines = ActivityLog(QString::fromStdString(file)).readNewestFirst();
    ASSERT_EQ(lines.size(), 800);
    static const QRegularExpression shape(
        QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  process \d+ line \d+$)"));
    for (const QString& line : lines) {
        ASSERT_TRUE(shape.match(line).hasMatch()) << line.toStdString();
    }
}

}  // namespace
}  // namespace kelvo
