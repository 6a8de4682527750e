// AppModel without running jobs: start-up, the log, the texts, playlists and settings, Library
// entries, the login item and the factory reset.

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <fstream>

#include "app/job_lock.h"
#include "app/paths.h"
#include "tests/app_model/model_fixture.h"

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "kelvo_app_model_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

std::vector<std::string> fileLines(const fs::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A video row as a download left it, with its file (and sidecar) on disk when asked.
void seedVideo(Catalog& catalog, const std::string& id, const std::string& title,
               VideoStatus status, const std::optional<fs::path>& file = std::nullopt,
               bool withNfo = false) {
    VideoRecord video;
    video.videoID = id;
    video.title = title;
    video.status = status;
    catalog.upsertVideo(video);
    catalog.setStatus(id, status);
    if (file) {
        writeFile(*file, "mp4");
        if (withNfo) {
            writeFile(fs::path(*file).replace_extension(".nfo"), "<movie/>");
        }
        catalog.setFilePath(id, file->string());
    }
}

TEST_F(ModelTest, FirstLaunchUsesDefaultsOpensTheCatalogAndWritesTheStartLine) {
    AppModel& m = start();
    EXPECT_EQ(m.libraryFolder(), QStringLiteral("~/Videos/kelvo"));
    EXPECT_EQ(m.appearance(), QStringLiteral("dark"));
    EXPECT_TRUE(m.catalogOpen());
    EXPECT_TRUE(fs::exists(dataFolder() / "catalog.sqlite"));
    EXPECT_TRUE(m.lastError().isEmpty());
    EXPECT_FALSE(m.isBusy());
    EXPECT_TRUE(m.clipboardShortcutActive());
    EXPECT_EQ(m.singlesRoot().toStdString(), singles().string());
    const auto lines = fileLines(dataFolder() / "activity.log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("  kelvo started (" + m.buildPill().toStdString() + ")"),
              std::string::npos);
    EXPECT_TRUE(m.activity().isEmpty());  // the start line is for the file only
}

TEST_F(ModelTest, AShortcutTheDesktopRefusesLeavesTheFlagOffAndStartUpGoesOn) {
    record->hotKeyAvailable = false;
    AppModel& m = start();
    EXPECT_FALSE(m.clipboardShortcutActive());
    EXPECT_TRUE(m.catalogOpen());
}

TEST_F(ModelTest, AnUnopenableCatalogIsShownAndJobsAreRefused) {
    fs::create_directories(dataFolder() / "catalog.sqlite");  // a folder where the file belongs
    AppModel& m = start();
    EXPECT_FALSE(m.catalogOpen());
    EXPECT_TRUE(m.lastError().startsWith(QStringLiteral("catalog: ")))
        << m.lastError().toStdString();
    EXPECT_EQ(m.syncNow(), AppModel::JobStart::noCatalog);
    EXPECT_EQ(m.download(QStringLiteral("https://youtu.be/aaaaaaaaaaa")),
              AppModel::JobStart::noCatalog);
    EXPECT_EQ(m.lastError(), QStringLiteral("The catalog is not open — quit and reopen kelvo."));
    ASSERT_EQ(record->notifications.size(), 1u);
    EXPECT_EQ(
        record->notifications[0],
        QStringLiteral("Download not started: the catalog is not open. Quit and reopen kelvo."));
    EXPECT_FALSE(m.isBusy());
    EXPECT_TRUE(service.calls().empty());
}

TEST_F(ModelTest, DownloadsInterruptedByAnEarlierRunBecomeFailedAtStartUp) {
    {
        Catalog catalog(Catalog::defaultURL());
        seedVideo(catalog, vid('a'), "Half done", VideoStatus::downloading);
        seedVideo(catalog, vid('b'), "Done", VideoStatus::done);
    }
    AppModel& m = start();
    const auto a = m.catalog()->video(vid('a'));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->status, VideoStatus::failed);
    EXPECT_EQ(a->error, "interrupted before it finished");
    EXPECT_EQ(m.catalog()->video(vid('b'))->status, VideoStatus::done);
}

TEST_F(ModelTest, DownloadsOfAJobInAnotherProcessStayDownloading) {
    {
        Catalog catalog(Catalog::defaultURL());
        seedVideo(catalog, vid('a'), "Being fetched elsewhere", VideoStatus::downloading);
    }
    JobLock other;  // another holder, exactly as another process
    ASSERT_TRUE(other.tryAcquire());
    AppModel& m = start();
    EXPECT_EQ(m.catalog()->video(vid('a'))->status, VideoStatus::downloading);
}

TEST_F(ModelTest, StartUpTrimsTheLogToTheNewestThousandLinesBeforeItsStartLine) {
    for (const int count : {1001, 1000}) {
        fs::create_directories(dataFolder());
        {
            std::ofstream out(dataFolder() / "activity.log", std::ios::trunc);
            for (int i = 1; i <= count; ++i) {
                out << "2024-01-01 00:00:00  line " << i << "\n";
            }
        }
        start();
        const auto lines = fileLines(dataFolder() / "activity.log");
        ASSERT_EQ(lines.size(), 1001u) << count;
        EXPECT_EQ(lines[0], "2024-01-01 00:00:00  line " + std::to_string(count - 999)) << count;
        EXPECT_NE(lines[1000].find("kelvo started"), std::string::npos);
        model.reset();
    }
}

TEST_F(ModelTest, LogKeepsTheNewestFiftyAndWritesOneFileLinePerMessage) {
    AppModel& m = start();
    QSignalSpy appended(&m, &AppModel::activityAppended);
    for (int i = 1; i <= 51; ++i) {
        m.log(QStringLiteral("message %1").arg(i));
    }
    ASSERT_EQ(m.activity().size(), 50);
    EXPECT_EQ(m.activity().first(), QStringLiteral("message 2"));
    EXPECT_EQ(m.activity().last(), QStringLiteral("message 51"));
    EXPECT_EQ(appended.count(), 51);

    m.log(QStringLiteral("two\nlines"));
    EXPECT_EQ(m.activity().last(), QStringLiteral("two\nlines"));
    const auto lines = fileLines(dataFolder() / "activity.log");
    ASSERT_EQ(lines.size(), 53u);  // start line, 51 messages, one joined line
    EXPECT_EQ(lines.back().substr(19), "  two lines");
    EXPECT_EQ(m.activityLines().first().toStdString(), lines.back());  // newest first
}

TEST_F(ModelTest, TheDownloadLineSetsTheTitleAndNotifiesOnce) {
    AppModel& m = start();
    m.log(QStringLiteral("Reading video info…"));
    EXPECT_TRUE(m.currentTitle().isEmpty());
    m.log(QStringLiteral("Downloading \"First\" (best up to 1080p)…"));
    m.log(QStringLiteral("Downloading \"Second\" (best up to 1080p)…"));
    EXPECT_EQ(m.currentTitle(), QStringLiteral("\"Second\" (best up to 1080p)…"));
    ASSERT_EQ(record->notifications.size(), 1u);
    EXPECT_EQ(record->notifications[0],
              QStringLiteral("Downloading \"First\" (best up to 1080p)…"));
    EXPECT_TRUE(record->badTitles.empty());
}

TEST(ModelTexts, SyncNotificationBody) {
    struct Case {
        int ready, archived, problems;
        std::optional<QString> body;
    };
    const Case cases[] = {
        {0, 0, 0, std::nullopt},
        {0, 3, 0, std::nullopt},
        {1, 0, 0, QStringLiteral("1 video ready")},
        {2, 0, 0, QStringLiteral("2 videos ready")},
        {2, 1, 3,
         QStringLiteral("2 videos ready · 1 archived · 3 could not be downloaded (details in the "
                        "Library)")},
        {0, 0, 2,
         QStringLiteral("No new videos · 2 could not be downloaded (details in the Library)")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AppModel::syncNotificationBody(c.ready, c.archived, c.problems), c.body)
            << c.ready << "/" << c.archived << "/" << c.problems;
    }
}

TEST(ModelTexts, ClipboardRefusalShowsAtMostSixtyCharacters) {
    const QString prefix = QStringLiteral("The clipboard doesn't hold a YouTube video link — ");
    const QString sixty(60, QLatin1Char('x'));
    const QString emoji = QString::fromUtf8("👍🏽");  // one character of four code units
    struct Case {
        QString clipboard;
        QString reason;
    };
    const Case cases[] = {
        {QString(), QStringLiteral("it is empty or not text")},
        {QStringLiteral("  \n\t \n"), QStringLiteral("it is empty or not text")},
        {QStringLiteral("  hello\n"), QStringLiteral("it holds “hello”")},
        {sixty, QStringLiteral("it holds “") + sixty + QStringLiteral("”")},
        {sixty + QLatin1Char('y'), QStringLiteral("it holds “") + sixty + QStringLiteral("…”")},
        {emoji.repeated(61),
         QStringLiteral("it holds “") + emoji.repeated(60) + QStringLiteral("…”")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AppModel::clipboardRefusal(c.clipboard), prefix + c.reason + QLatin1Char('.'))
            << c.clipboard.toStdString();
    }
}

TEST_F(ModelTest, StopSyncingKeepsThePlaylistDisabledAndWritesTheFileLine) {
    AppModel& m = start();
    addPlaylist("PL1", "Mix", {});
    ASSERT_EQ(m.enabledPlaylists().size(), 1u);
    m.stopSyncing(m.playlists()[0]);
    ASSERT_EQ(m.playlists().size(), 1u);
    EXPECT_FALSE(m.playlists()[0].enabled);
    EXPECT_TRUE(m.enabledPlaylistsVariant().isEmpty());
    EXPECT_EQ(m.syncNow(), AppModel::JobStart::nothingToDo);
    EXPECT_NE(fileLines(dataFolder() / "activity.log").back().find("  Stopped syncing Mix"),
              std::string::npos);
}

TEST_F(ModelTest, SettingTheLibraryFolderStoresItRetargetsEnabledPlaylistsAndLogsEachTime) {
    AppModel& m = start();
    addPlaylist("PL1", "On", {});
    addPlaylist("PL2", "Off", {});
    m.catalog()->setPlaylistEnabled(m.playlists()[0].id, false);  // "Off" sorts first
    m.refresh();
    const QString folder = QString::fromStdString((box / "elsewhere").string());
    m.setLibraryFolder(folder);
    m.setLibraryFolder(folder);
    EXPECT_EQ(SettingsStore().libraryFolder(), folder);
    for (const PlaylistRecord& playlist : m.playlists()) {
        const bool moved = playlist.targetPath == (box / "elsewhere/Playlist").string();
        EXPECT_EQ(moved, playlist.enabled) << playlist.title;
    }
    int logged = 0;
    for (const std::string& line : fileLines(dataFolder() / "activity.log")) {
        logged += line.find("  Library folder set to " + folder.toStdString()) != std::string::npos;
    }
    EXPECT_EQ(logged, 2);
}

struct RemoveCase {
    const char* name;
    VideoStatus status;
    int files;  // 0: no file; 1: video only; 2: video and .nfo
    const char* expectedLine;
    bool tombstone;
};

void PrintTo(const RemoveCase& c, std::ostream* out) {
    *out << c.name;
}

class RemoveTest : public ModelTest, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveTest, RemovesTheEntryAsItsStatusRequires) {
    const RemoveCase& c = GetParam();
    AppModel& m = start();
    const fs::path file = singles() / "clip.mp4";
    seedVideo(*m.catalog(), vid('a'), "Clip", c.status,
              c.files > 0 ? std::optional<fs::path>(file) : std::nullopt, c.files == 2);
    m.refresh();
    m.remove(QString::fromStdString(vid('a')));
    ASSERT_FALSE(m.activity().isEmpty());
    EXPECT_EQ(m.activity().last(), QString::fromUtf8(c.expectedLine));
    EXPECT_TRUE(m.lastError().isEmpty());
    EXPECT_EQ(record->trashed.size(), static_cast<std::size_t>(c.files));
    EXPECT_FALSE(fs::exists(file));
    const auto video = m.catalog()->video(vid('a'));
    EXPECT_EQ(video.has_value(), c.tombstone);
    if (video) {
        EXPECT_EQ(video->status, VideoStatus::deleted);
    }
    EXPECT_TRUE(m.recent().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, RemoveTest,
    ::testing::Values(RemoveCase{"Failed", VideoStatus::failed, 0,
                                 "Removed failed entry \"Clip\" (a playlist will retry it)", false},
                      RemoveCase{"SignIn", VideoStatus::needsSignIn, 0,
                                 "Removed failed entry \"Clip\" (a playlist will retry it)", false},
                      RemoveCase{"DoneNoFiles", VideoStatus::done, 0,
                                 "✓ Removed \"Clip\" from the Library", true},
                      RemoveCase{"DoneOneFile", VideoStatus::done, 1,
                                 "✓ Moved 1 file of \"Clip\" to the Trash", true},
                      RemoveCase{"DoneTwoFiles", VideoStatus::done, 2,
                                 "✓ Moved 2 files of \"Clip\" to the Trash", true}),
    [](const ::testing::TestParamInfo<RemoveCase>& p) { return std::string(p.param.name); });

TEST_F(ModelTest, RemovingADownloadingEntryIsRefused) {
    AppModel& m = start();
    seedVideo(*m.catalog(), vid('a'), "Busy one", VideoStatus::downloading);
    m.remove(QString::fromStdString(vid('a')));
    EXPECT_EQ(m.lastError(),
              QStringLiteral("\"Busy one\" is still downloading — delete it when it finishes."));
    EXPECT_EQ(m.catalog()->video(vid('a'))->status, VideoStatus::downloading);
    EXPECT_TRUE(m.activity().isEmpty());
}

TEST_F(ModelTest, AFileTheTrashRefusesStopsTheRemovalAndKeepsTheEntry) {
    AppModel& m = start();
    seedVideo(*m.catalog(), vid('a'), "Clip", VideoStatus::done, singles() / "clip.mp4", true);
    record->untrashable = {"clip.nfo"};  // the second of the two paths
    m.remove(QString::fromStdString(vid('a')));
    EXPECT_EQ(m.lastError(),
              QStringLiteral("Could not move clip.nfo to the Trash: Invalid cross-device link"));
    EXPECT_EQ(record->trashed.size(), 1u);
    EXPECT_TRUE(fs::exists(box / "trash/clip.mp4"));
    EXPECT_TRUE(fs::exists(singles() / "clip.nfo"));
    EXPECT_EQ(m.catalog()->video(vid('a'))->status, VideoStatus::done);
    EXPECT_EQ(m.entryRecords(QString(), 10).size(), 1u);
}

TEST_F(ModelTest, LoginItemSwitchAndItsFailure) {
    AppModel& m = start();
    QSignalSpy changed(&m, &AppModel::launchAtLoginChanged);
    m.setLaunchAtLogin(true);
    EXPECT_TRUE(m.launchAtLogin());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(m.loginItemNote().isEmpty());

    record->loginFailure = "cannot write ~/.config/autostart/kelvo.desktop";
    m.setLaunchAtLogin(false);
    EXPECT_EQ(m.lastError(),
              QStringLiteral("Login item: cannot write ~/.config/autostart/kelvo.desktop"));
    EXPECT_TRUE(m.launchAtLogin());  // it is still registered
}

TEST_F(ModelTest, FactoryResetMovesTheDataFolderToADatedBackupAndAsksForARelaunch) {
    for (const bool trashVideos : {false, true}) {
        AppModel& m = start();
        m.setLibraryFolder(QStringLiteral("~/Movies"));
        m.setAppearance(QStringLiteral("light"));
        m.setLaunchAtLogin(true);
        seedVideo(*m.catalog(), vid('a'), "Clip", VideoStatus::done, singles() / "clip.mp4");
        QSignalSpy done(&m, &AppModel::resetDone);

        m.resetToFactory(trashVideos);

        EXPECT_EQ(done.count(), 1);
        EXPECT_FALSE(m.catalogOpen());
        EXPECT_FALSE(fs::exists(dataFolder()));
        std::vector<fs::path> backups;
        for (const auto& entry : fs::directory_iterator(dataFolder().parent_path())) {
            if (entry.path().filename().string().starts_with("kelvo-reset-backup-")) {
                backups.push_back(entry.path());
            }
        }
        ASSERT_EQ(backups.size(), trashVideos ? 2u : 1u);
        std::sort(backups.begin(), backups.end());
        const fs::path backup = backups.back();
        EXPECT_EQ(backups.front().filename().string().size(),
                  std::string("kelvo-reset-backup-yyyyMMdd-HHmmss").size());
        EXPECT_TRUE(fs::exists(backup / "catalog.sqlite"));
        const std::string last = fileLines(backup / "activity.log").back();
        EXPECT_NE(last.find(std::string("  Reset to factory (videos to Trash: ") +
                            (trashVideos ? "yes" : "no") + ")"),
                  std::string::npos);
        EXPECT_EQ(fs::exists(singles() / "clip.mp4"), !trashVideos);
        EXPECT_FALSE(record->loginEnabled);
        EXPECT_FALSE(QFile::exists(paths::settingsFile()) &&
                     QSettings(paths::settingsFile(), QSettings::IniFormat).contains("appearance"));
        EXPECT_EQ(m.libraryFolder(), QStringLiteral("~/Videos/kelvo"));
        EXPECT_EQ(record->relaunches, trashVideos ? 2 : 1);
        model.reset();
    }
    // The relaunched program finds no catalog and starts afresh.
    AppModel& fresh = start();
    EXPECT_TRUE(fresh.catalogOpen());
    EXPECT_TRUE(fresh.entryRecords(QString(), 10).empty());
}

}  // namespace
}  // namespace kelvo::test
