// The services that need no desktop: the activity log, settings, the autostart entry, the build
// label, stderr notifications and the Trash.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <cstdio>

#include "app/activity_log.h"
#include "app/autostart_login_item.h"
#include "app/build_version.h"
#include "app/headless_services.h"
#include "app/paths.h"
#include "app/settings_store.h"
#include "app/trash.h"
#include "tests/support/process.h"
#include "tests/support/qt.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

[[maybe_unused]] auto* const qt =
    ::testing::AddGlobalTestEnvironment(new test::QtEnvironment<QCoreApplication>);

QString qpath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

std::string numbered(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i) {
        text += "2024-01-01 00:00:00  line " + std::to_string(i) + "\n";
    }
    return text;
}

TEST(ActivityLogTest, AppendsStampedLinesIntoAPrivateFolderAndReadsThemNewestFirst) {
    EXPECT_EQ(ActivityLog::formatLine({QDate(2024, 3, 5), QTime(7, 8, 9)}, "two\nlines\n"),
              "2024-03-05 07:08:09  two lines \n");
    const ActivityLog log;
    ASSERT_EQ(log.filePath(), paths::dataFolder() + "/activity.log");
    fs::remove_all(paths::dataFolder().toStdString());
    EXPECT_TRUE(log.readNewestFirst().isEmpty());
    log.append("✓ Saved a.mp4");
    log.append("second\nline");
    struct stat folder {};
    ASSERT_EQ(::stat(paths::dataFolder().toLocal8Bit().constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    const QStringList lines = log.readNewestFirst();
    static const QRegularExpression stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  )");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(QString(lines[0]).remove(stamp), "second line") << lines[0].toStdString();
    EXPECT_EQ(QString(lines[1]).remove(stamp), "✓ Saved a.mp4") << lines[1].toStdString();

    // Blank lines are skipped; a log that cannot be written is ignored.
    test::Sandbox box;
    writeFile(box / "log", "first\n\nsecond é\n\n");
    EXPECT_EQ(ActivityLog(qpath(box / "log")).readNewestFirst(),
              QStringList({"second é", "first"}));
    const ActivityLog blocked(qpath(box / "log" / "activity.log"));
    blocked.append("lost");
    EXPECT_TRUE(blocked.readNewestFirst().isEmpty());
}

TEST(ActivityLogTest, TrimKeepsTheNewestLinesByteForByteAndRewritesOnlyWhenTooLong) {
    const std::pair<std::string, std::string> cases[] = {
        {numbered(1, 1001), numbered(2, 1001)},
        {numbered(1, 1000), numbered(1, 1000)},
        {"\n\n" + numbered(1, 1000) + "\n", "\n\n" + numbered(1, 1000) + "\n"},  // blank lines
        {"bad \xff\xfe\n" + numbered(1, 999) + "\xc3\x28\n", numbered(1, 999) + "\xc3\x28\n"},
        {numbered(1, 1000) + "tail", numbered(2, 1000) + "tail\n"},
    };
    for (const auto& [before, after] : cases) {
        SCOPED_TRACE(before.substr(0, 10) + "... " + std::to_string(before.size()) + " bytes");
        test::Sandbox box;
        writeFile(box / "activity.log", before);
        struct stat old {};
        struct stat now {};
        ::stat((box / "activity.log").c_str(), &old);
        ActivityLog(qpath(box / "activity.log")).trim();
        ::stat((box / "activity.log").c_str(), &now);
        EXPECT_EQ(readFile(box / "activity.log"), after);
        EXPECT_EQ(old.st_ino != now.st_ino, before != after);  // replaced when something was cut
    }
}

TEST(SettingsStoreTest, DefaultsStorageAndClear) {
    const fs::path config = paths::home().toStdString() + "/.config";
    fs::remove_all(config);
    EXPECT_EQ(SettingsStore().libraryFolder(), "~/Videos/kelvo");
    EXPECT_EQ(SettingsStore().appearance(), "dark");
    for (const auto& [line, folder] : {std::pair{"XDG_VIDEOS_DIR=\"$HOME/Filme\"", "~/Filme/kelvo"},
                                       std::pair{"XDG_VIDEOS_DIR=\"/srv/a\"", "/srv/a/kelvo"}}) {
        writeFile(config / "user-dirs.dirs", std::string(line) + "\n");
        EXPECT_EQ(SettingsStore::defaultLibraryFolder(), folder);
    }
    fs::remove(config / "user-dirs.dirs");

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
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nExec=/usr/bin/kelvo\n"), std::string::npos) << text;
    item.setEnabled(false);
    EXPECT_FALSE(fs::exists(entry));
    item.setEnabled(false);  // already off: fine
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
    EXPECT_FALSE(blocked.isEnabled());
    EXPECT_THROW(AutostartLoginItem("/a\nb", qpath(box / "k.desktop")).setEnabled(true),
                 LoginItemError);

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
    const struct {
        BuildInfo info;
        const char* pill;
        bool dev;
    } cases[] = {
        {{"1.4.2", false, "v1.4-3-gabc 2024-05-01"}, "1.4.2", false},
        {{"1.4.2", true, "abc1234 2024-05-01"}, "DEV · abc1234 2024-05-01", true},
        {{"1.4.2", true, std::nullopt}, "DEV", true},
        {{std::nullopt, false, "abc1234"}, "DEV · abc1234", true},  // no version: not a release
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildVersion::pill(c.info), c.pill);
        EXPECT_EQ(BuildVersion::display(c.info), c.dev ? "kelvo DEV" : "kelvo 1.4.2") << c.pill;
        EXPECT_EQ(BuildVersion::isDev(c.info), c.dev) << c.pill;
        EXPECT_EQ(BuildVersion::stamp(c.info).has_value(), !c.dev) << c.pill;
    }
    // CMake hands this build the project's version.
    EXPECT_FALSE(BuildVersion::current().version.value_or("").isEmpty());
}

TEST(HeadlessServicesTest, NotificationsBecomeOneStderrLine) {
    for (const auto& [title, body, line] :
         {std::tuple{"kelvo", "Ready: Über", "kelvo: Ready: Über\n"},
          {"kelvo", "a\nb", "kelvo: a b\n"},
          {"other", "x", "other: x\n"}}) {
        std::FILE* out = std::tmpfile();
        StderrNotifier(out).notify(title, body);
        std::rewind(out);
        char buffer[64] = {};
        EXPECT_EQ(std::string(buffer, std::fread(buffer, 1, sizeof buffer, out)), line);
        std::fclose(out);
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
    // current folder; kelvo must see through that and leave the file where it was.
    const fs::path trash =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
        "/Trash";
    fs::remove_all(trash);
    writeFile(trash, "not a folder");
    writeFile(video, "video");
    const TrashResult failed = moveToTrash(qpath(video));
    fs::remove(trash);
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.reason.isEmpty());
    EXPECT_TRUE(fs::exists(video));
    EXPECT_FALSE(fs::exists(fs::current_path() / "files" / video.filename()));
}

}  // namespace
}  // namespace kelvo
