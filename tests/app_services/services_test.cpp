// The application layer's services that need no desktop, in this process and across kelvo's
// processes: the activity log, settings, the autostart entry, the build label, stderr
// notifications, the Trash, the job lock, the single instance and the relaunch.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include "app/activity_log.h"
#include "app/autostart_login_item.h"
#include "app/build_version.h"
#include "app/headless_services.h"
#include "app/job_lock.h"
#include "app/paths.h"
#include "app/relauncher.h"
#include "app/settings_store.h"
#include "app/single_instance.h"
#include "app/trash.h"
#include "tests/support/process.h"
#include "tests/support/qt.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::Process;
using test::readFile;
using test::writeFile;

[[maybe_unused]] auto* const qt =
    ::testing::AddGlobalTestEnvironment(new test::QtEnvironment<QCoreApplication>);

QString qpath(const fs::path& path) {
    return QString::fromStdString(path);
}

std::string numbered(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i) {
        text += "2024-01-01 00:00:00  line " + std::to_string(i) + "\n";
    }
    return text;
}

TEST(ActivityLogTest, AppendsIntoAPrivateFolderReadsNewestFirstAndTrims) {
    const ActivityLog log;
    ASSERT_EQ(log.filePath(), paths::dataFolder() + "/activity.log");
    fs::remove_all(paths::dataFolder().toStdString());
    log.append("✓ Saved a.mp4");
    log.append("second\nline");
    EXPECT_EQ(fs::status(paths::dataFolder().toStdString()).permissions(), fs::perms::owner_all);
    const QStringList lines = log.readNewestFirst();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith("  second line") && lines[1].endsWith("  ✓ Saved a.mp4"));

    // Blank lines are skipped; a log that cannot be written is ignored.
    test::Sandbox box;
    writeFile(box / "log", "first\n\nsecond é\n\n");
    EXPECT_EQ(ActivityLog(qpath(box / "log")).readNewestFirst(),
              QStringList({"second é", "first"}));
    const ActivityLog blocked(qpath(box / "log" / "activity.log"));
    blocked.append("lost");
    EXPECT_TRUE(blocked.readNewestFirst().isEmpty());

    // A trim keeps the newest lines byte for byte and rewrites the file only when it is too long.
    const std::pair<std::string, std::string> cases[] = {
        {numbered(1, 1001), numbered(2, 1001)},
        {numbered(1, 1000), numbered(1, 1000)},
        {"\n\n" + numbered(1, 1000) + "\n", "\n\n" + numbered(1, 1000) + "\n"},  // blank lines
        {"bad \xff\xfe\n" + numbered(1, 999) + "\xc3\x28\n", numbered(1, 999) + "\xc3\x28\n"},
        {numbered(1, 1000) + "tail", numbered(2, 1000) + "tail\n"},
    };
    for (const auto& [before, after] : cases) {
        SCOPED_TRACE(before.substr(0, 10) + "... " + std::to_string(before.size()) + " bytes");
        const fs::path file = box / "activity.log";
        writeFile(file, before);
        fs::remove(box / "before");
        fs::create_hard_link(file, box / "before");
        ActivityLog(qpath(file)).trim();
        EXPECT_EQ(readFile(file), after);
        // Replaced by a new file exactly when something was cut.
        EXPECT_EQ(fs::equivalent(file, box / "before"), before == after);
    }
}

TEST(SettingsStoreTest, DefaultsStorageClearAndTheHomeFolder) {
    const fs::path config = paths::home().toStdString() + "/.config";
    fs::remove_all(config);
    EXPECT_EQ(SettingsStore().libraryFolder(), "~/Videos/kelvo");
    EXPECT_EQ(SettingsStore().appearance(), "dark");

    SettingsStore store;
    store.setLibraryFolder("~/Media/kelvo");
    store.setAppearance("matrix");
    EXPECT_EQ(paths::settingsFile(), qpath(config / "kelvo/kelvo.conf"));
    QSettings raw(paths::settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys(), QStringList({"appearance", "libraryFolder"}));
    EXPECT_EQ(raw.value("libraryFolder").toString(), "~/Media/kelvo");
    EXPECT_EQ(SettingsStore().appearance(), "matrix");  // another process sees it at once
    store.clear();
    EXPECT_EQ(store.libraryFolder(), "~/Videos/kelvo");
    EXPECT_EQ(store.appearance(), "dark");
    // The default follows the user's videos folder.
    for (const auto& [line, folder] : {std::pair{"XDG_VIDEOS_DIR=\"$HOME/Filme\"", "~/Filme/kelvo"},
                                       {"XDG_VIDEOS_DIR=\"/srv/a\"", "/srv/a/kelvo"}}) {
        writeFile(config / "user-dirs.dirs", std::string(line) + "\n");
        EXPECT_EQ(SettingsStore::defaultLibraryFolder(), folder);
    }

    // "~" stands for the home folder only; a sibling whose name starts with it is not inside.
    const QString h = paths::home();
    for (const auto& [written, expanded] : {std::pair{QString("~"), h},
                                            {"~/Videos", h + "/Videos"},
                                            {"~other/x", "~other/x"},
                                            {"rel/~/x", "rel/~/x"},
                                            {"/srv/x", "/srv/x"},
                                            {h + "-old/x", h + "-old/x"}}) {
        EXPECT_EQ(paths::expandTilde(written), expanded);
        EXPECT_EQ(paths::abbreviateHome(expanded), written);
    }
}

TEST(AutostartLoginItemTest, TheEntryAppearsDisappearsAndRespectsTheDesktop) {
    AutostartLoginItem item("/usr/bin/kelvo");
    const fs::path entry = item.entryPath().toStdString();
    EXPECT_EQ(item.entryPath(),
              QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  "/autostart/kelvo.desktop");
    fs::remove_all(entry.parent_path());
    EXPECT_FALSE(item.isEnabled());
    item.setEnabled(true);
    EXPECT_TRUE(item.isEnabled());
    const std::string text = readFile(entry);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
    for (const char* line : {"\nType=Application\n", "\nExec=/usr/bin/kelvo\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << text;
    }
    item.setEnabled(false);
    EXPECT_FALSE(fs::exists(entry));
    // An entry the desktop switched off holds no login item; enabling writes it anew.
    for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        writeFile(entry, std::string("[Desktop Entry]\nType=Application\nExec=kelvo\n") + off);
        EXPECT_FALSE(item.isEnabled()) << off;
        item.setEnabled(true);
        EXPECT_TRUE(item.isEnabled()) << off;
    }
    test::Sandbox box;
    writeFile(box / "autostart", "a file where the folder should be");
    AutostartLoginItem blocked("/usr/bin/kelvo", qpath(box / "autostart/kelvo.desktop"));
    EXPECT_THROW(blocked.setEnabled(true), LoginItemError);
    EXPECT_THROW(AutostartLoginItem("/a\nb", qpath(box / "k")).setEnabled(true), LoginItemError);

    // The Exec line, quoted the way desktop entries need.
    for (const auto& [path, exec] : {std::pair{"/usr/bin/kelvo", "/usr/bin/kelvo"},
                                     {"/opt/my apps/kelvo", R"("/opt/my apps/kelvo")"},
                                     {"/opt/100%/kelvo", "/opt/100%%/kelvo"},
                                     {R"(/opt/$x "y"/kelvo)", R"("/opt/\\$x \\"y\\"/kelvo")"},
                                     {R"(/opt/a\b/kelvo)", R"("/opt/a\\\\b/kelvo")"}}) {
        EXPECT_EQ(AutostartLoginItem::execLine(path), exec);
    }
}

TEST(BuildVersionTest, LabelsForReleaseAndDevelopmentBuilds) {
    // The last: a release without a version is not a release.
    for (const auto& [info, pill, dev] :
         {std::tuple{BuildInfo{"1.4.2", false, "v1.4-3-gabc 2024-05-01"}, "1.4.2", false},
          {{"1.4.2", true, "abc1234 2024-05-01"}, "DEV · abc1234 2024-05-01", true},
          {{"1.4.2", true, std::nullopt}, "DEV", true},
          {{std::nullopt, false, "abc1234"}, "DEV · abc1234", true}}) {
        EXPECT_EQ(BuildVersion::pill(info), pill);
        EXPECT_EQ(BuildVersion::display(info), dev ? "kelvo DEV" : "kelvo 1.4.2") << pill;
        EXPECT_EQ(BuildVersion::isDev(info), dev) << pill;
        EXPECT_EQ(BuildVersion::stamp(info).has_value(), !dev) << pill;
    }
    // CMake hands this build the project's version.
    EXPECT_FALSE(BuildVersion::current().version.value_or("").isEmpty());
}

TEST(HeadlessServicesTest, NotificationsBecomeOneStderrLine) {
    for (const auto& [title, body, line] :
         {std::tuple{"kelvo", "Ready: Über", "kelvo: Ready: Über\n"},
          {"kelvo", "a\nb", "kelvo: a b\n"},
          {"other", "x", "other: x\n"}}) {
        char* text = nullptr;
        std::size_t size = 0;
        std::FILE* out = ::open_memstream(&text, &size);
        StderrNotifier(out).notify(title, body);
        std::fclose(out);
        EXPECT_EQ(std::string(text, size), line);
        std::free(text);
    }
}

TEST(TrashTest, MovesIntoTheRealTrashAndReportsMissingFilesAndFailures) {
    test::Sandbox box;
    const fs::path video = box / "2024-01-01 - Über [abc].mp4";
    writeFile(video, "video");
    EXPECT_EQ(moveToTrash(qpath(video)).outcome, TrashResult::Outcome::moved);
    EXPECT_FALSE(fs::exists(video));
    const std::string listing = test::runProcess({"trash-list"}).out;
    EXPECT_NE(listing.find(video.string()), std::string::npos) << listing;
    EXPECT_EQ(moveToTrash(qpath(video)).outcome, TrashResult::Outcome::missing);

    // The Trash cannot be made: Qt answers success after dropping the file into "files/" of the
    // current folder (here the sandbox); kelvo must see through that and leave the file be.
    const fs::path trash =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
        "/Trash";
    fs::remove_all(trash);
    writeFile(trash, "not a folder");
    writeFile(video, "video");
    const fs::path here = fs::current_path();
    fs::current_path(box.root());
    const TrashResult failed = moveToTrash(qpath(video));
    fs::current_path(here);
    fs::remove(trash);
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.reason.isEmpty());
    EXPECT_TRUE(fs::exists(video));
    EXPECT_FALSE(fs::exists(box / "files" / video.filename()));
}

Process helper(const std::string& command, const std::string& argument, const char* count = "") {
    return Process({KELVO_APP_HELPER, command, argument, count},
                   {.environment = {}, .pipeInput = true});
}

TEST(JobLockTest, OneHolderAtATimeAcrossProcessesUntilReleaseOrCrash) {
    test::Sandbox box;
    const std::string file = box / "job.lock";
    JobLock mine(qpath(file));
    ASSERT_TRUE(mine.tryAcquire());
    EXPECT_TRUE(mine.tryAcquire());  // taking it again keeps it
    EXPECT_EQ(helper("hold-lock", file).readLine(), "busy");
    mine.release();
    {
        Process holder = helper("hold-lock", file);
        const std::string locked = holder.readLine().value_or("");
        ASSERT_EQ(locked.rfind("locked ", 0), 0u) << locked;
        EXPECT_FALSE(mine.tryAcquire());
        // Its crash frees the lock, although the child it started lives on.
        holder.signal(SIGKILL);
        ASSERT_TRUE(holder.wait());
        EXPECT_TRUE(mine.tryAcquire());
        if (const int child = std::stoi(locked.substr(7)); child > 0) {
            ::kill(child, SIGKILL);
        }
    }

    JobLock byDefault;
    ASSERT_TRUE(byDefault.tryAcquire());
    EXPECT_TRUE(paths::jobLockFile().startsWith(paths::dataFolder()));
    EXPECT_THROW(JobLock(qpath(box / "missing-folder" / "job.lock")).tryAcquire(),
                 fs::filesystem_error);
}

TEST(SingleInstanceTest, ASecondStartAsksTheRunningOneEvenWithoutItsLockFileOrAfterACrash) {
    for (const bool lockFileDeleted : {false, true}) {
        const std::string name = lockFileDeleted ? "deleted" : "kept";
        SCOPED_TRACE(name);
        Process first = helper("instance", name);
        ASSERT_EQ(first.readLine(), "primary");
        SingleInstance second(qpath(name));
        const QString lockFile = QString(second.socketPath()).replace(".socket", ".lock");
        ASSERT_TRUE(lockFileDeleted ? QFile::remove(lockFile) : QFile::exists(lockFile));
        // The running instance still answers on its socket: it must be asked, not replaced.
        EXPECT_EQ(second.claim(), SingleInstance::Role::handedOver);
        EXPECT_EQ(first.readLine(), "shown");
    }
    // A crashed instance leaves its socket behind and blocks nothing.
    Process crashed = helper("instance", "crashed");
    ASSERT_EQ(crashed.readLine(), "primary");
    crashed.signal(SIGKILL);
    ASSERT_TRUE(crashed.wait());
    SingleInstance next("crashed");
    ASSERT_TRUE(QFile::exists(next.socketPath()));  // left behind by the crash
    ASSERT_EQ(next.claim(1000), SingleInstance::Role::primary);
    int shown = 0;
    QObject::connect(&next, &SingleInstance::activationRequested, [&shown] { ++shown; });
    Process third = helper("instance", "crashed");
    ASSERT_TRUE(test::processEventsUntil([&shown] { return shown == 1; }));
    EXPECT_EQ(third.readLine(), "handedOver");
}

TEST(ActivityLogTest, TwoProcessesAppendingAtOnceNeverMixTheirLines) {
    test::Sandbox box;
    const std::string file = box / "activity.log";
    {
        Process first = helper("append", file, "1000");
        Process second = helper("append", file, "1000");
        first.closeInput();
        second.closeInput();
        ASSERT_TRUE(first.wait() && second.wait());
    }
    const QStringList lines = ActivityLog(qpath(file)).readNewestFirst();
    EXPECT_EQ(lines.size(), 2000);
    static const QRegularExpression whole(R"(^[-\d]{10} [:\d]{8}  process \d+ line \d+$)");
    for (const QString& line : lines) {
        ASSERT_TRUE(whole.match(line).hasMatch()) << line.toStdString();
    }
}

TEST(RelauncherTest, StartsTheProgramAgainAfterASecondAndPassesItsPathAsIs) {
    test::Sandbox box;
    // A path that would break the command if it were pasted into the script.
    const fs::path program = box / "it's \"odd\" $HOME; touch pwned";
    test::writeFile(program, "#!/bin/sh\necho \"$0\" > '" + (box / "relaunched").string() + "'\n");
    fs::permissions(program, fs::perms::owner_all);

    ShellRelauncher relauncher(qpath(program));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(relauncher.relaunch());
    int status = -1;
    ASSERT_EQ(::waitpid(relauncher.lastPid(), &status, 0), relauncher.lastPid());
    // The old instance must be gone before the new one claims the single instance.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(test::readFile(box / "relaunched"), program.string() + "\n");
}

}  // namespace
}  // namespace kelvo
