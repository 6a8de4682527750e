// AppModel over a real catalog in a home folder of its own, with the yt-dlp stand-in and
// recording desktop services (model_world.h): start-up, the log and its texts, playlists,
// Library removal, the login item, the factory reset, and the jobs.

#include <QSettings>
#include <QSignalSpy>
#include <regex>

#include "app/job_lock.h"
#include "app/paths.h"
#include "core/catalog/catalog.h"
#include "tests/app_model/model_world.h"
#include "tests/support/qt.h"

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;
using JobStart = AppModel::JobStart;
using Behaviour = FakeBehaviour;

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment<QCoreApplication>);

QStringList fileLines(const fs::path& path) {
    return QString::fromStdString(readFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class ModelTest : public ::testing::Test {
  protected:
    static std::string vid(char letter) { return std::string(11, letter); }
    static QString link(char letter) {
        return QString::fromStdString("https://www.youtube.com/watch?v=" + vid(letter));
    }
    // A video uploaded on 2024-01-31; a behaviour other than ok hits its download.
    static FakeVideo video(char letter, std::string title, Behaviour behaviour = Behaviour::ok,
                           double sleepSeconds = 0) {
        return {.id = vid(letter),
                .title = std::move(title),
                .info = {{"upload_date", "20240131"}},
                .behaviour = behaviour,
                .phase = FakePhase::download,
                .sleepSeconds = sleepSeconds};
    }
    // A video row as a download left it, with its file (and .nfo) on disk when asked.
    static void seed(Catalog& catalog, const std::string& id, VideoStatus status, int files = 0,
                     const fs::path& file = {}) {
        VideoRecord row;
        row.videoID = id;
        row.title = "Clip";
        catalog.upsertVideo(row);
        catalog.setStatus(id, status);
        for (int i = 0; i < files; ++i) {
            writeFile(fs::path(file).replace_extension(i == 0 ? ".mp4" : ".nfo"), "data");
            catalog.setFilePath(id, file.string());
        }
    }
    // Whether a process whose command line mentions `text` runs.
    static bool running(const std::string& text) {
        return std::ranges::any_of(fs::directory_iterator("/proc"), [&](const auto& entry) {
            return readFile(entry.path() / "cmdline").find(text) != std::string::npos;
        });
    }

    AppModel& start(std::optional<AppModel::Options> options = std::nullopt) {
        model.reset();
        model = std::make_unique<AppModel>(world.services(), options.value_or(world.options()));
        return *model;
    }
    bool waitForJob() {
        return processEventsUntil([&] { return !model->isBusy(); }, 30000);
    }
    QStringList logLines() const { return fileLines(world.dataFolder() / "activity.log"); }
    // Puts a playlist of these videos on the service and registers it with the catalog.
    void addPlaylist(const std::string& id, const std::string& title, std::vector<char> videos) {
        FakePlaylist remote{.id = id, .title = title};
        for (const char letter : videos) {
            remote.entries.push_back({.id = vid(letter)});
        }
        world.service.addPlaylist(remote);
        model->catalog()->addPlaylist(id, title, model->playlistRoot().toStdString(), 30);
        model->refresh();
    }

    ModelWorld world;
    DesktopRecord& record = *world.record;
    FakeService& service = world.service;
    std::unique_ptr<AppModel> model;
};

// ---- Start-up and the log ----

// Start-up: defaults, the log trimmed to its newest 1000 lines before the start line, and
// downloads an earlier run left unfinished failed, unless another process runs a job; the
// second start also finds the desktop refusing the shortcut, the third no catalog it can open.
TEST_F(ModelTest, StartUpUsesDefaultsTrimsTheLogAndFailsInterruptedDownloads) {
    for (const int run : {1, 2}) {
        SCOPED_TRACE(run);
        std::string log;
        for (int i = 1; i <= 1002 - run; ++i) {
            log += "2024-01-01 00:00:00  line " + std::to_string(i) + "\n";
        }
        writeFile(world.dataFolder() / "activity.log", log);
        const std::string id = vid(run == 1 ? 'a' : 'c');
        Catalog catalog(Catalog::defaultURL());
        seed(catalog, id, VideoStatus::downloading);
        JobLock other;  // another holder, exactly as kelvo-cli in another process
        ASSERT_TRUE(run == 1 || other.tryAcquire());
        record.hotKeyAvailable = run == 1;
        AppModel& m = start();
        const QStringList lines = logLines();
        ASSERT_EQ(lines.size(), 1001);
        EXPECT_EQ(lines[0], "2024-01-01 00:00:00  line " + QString::number(3 - run));
        EXPECT_TRUE(lines[1000].endsWith("  kelvo started (" + m.buildPill() + ")"));
        EXPECT_TRUE(m.activity().isEmpty());  // the start line is for the file only
        const auto row = m.catalog()->video(id);
        EXPECT_EQ(row->status, run == 1 ? VideoStatus::failed : VideoStatus::downloading);
        EXPECT_EQ(row->error.value_or(""), run == 1 ? "interrupted before it finished" : "");
        EXPECT_EQ(m.clipboardShortcutActive(), run == 1);
        EXPECT_EQ(m.libraryFolder(), "~/Videos/kelvo");
        EXPECT_EQ(m.appearance(), "dark");
        EXPECT_TRUE(m.catalogOpen() && !m.isBusy() && m.lastError().isEmpty());
    }

    // A catalog that cannot be opened is shown, and jobs are refused.
    model.reset();
    fs::remove_all(world.dataFolder());
    fs::create_directories(world.dataFolder() / "catalog.sqlite");  // a folder, not a file
    AppModel& m = start();
    EXPECT_TRUE(m.lastError().startsWith("catalog: ")) << m.lastError().toStdString();
    EXPECT_EQ(m.syncNow(), JobStart::noCatalog);
    EXPECT_EQ(m.download(link('a')), JobStart::noCatalog);
    EXPECT_EQ(m.lastError(), "The catalog is not open — quit and reopen kelvo.");
    EXPECT_EQ(record.notifications,
              QStringList{"Download not started: the catalog is not open. Quit and reopen kelvo."});
    EXPECT_FALSE(m.isBusy() || m.catalogOpen());
    EXPECT_TRUE(service.calls().empty());
}

TEST_F(ModelTest, TheLogKeepsFiftyLinesAndTheFirstDownloadLineOfAJobNotifiesOnce) {
    AppModel& m = start();
    for (int i = 1; i <= 51; ++i) {
        m.log(QStringLiteral("message %1").arg(i));
    }
    ASSERT_EQ(m.activity().size(), 50);
    EXPECT_EQ(m.activity().first(), "message 2");
    EXPECT_EQ(m.activity().last(), "message 51");
    m.log("two\nlines");
    ASSERT_EQ(logLines().size(), 53);  // start line, 51 messages, one joined line
    EXPECT_EQ(logLines().last().mid(19), "  two lines");
    EXPECT_EQ(m.activityLines().first(), logLines().last());  // newest first

    m.log("Reading video info…");
    EXPECT_EQ(m.currentTitle(), "");
    m.log("Downloading \"First\" (best up to 1080p)…");
    m.log("Downloading \"Second\" (best up to 1080p)…");
    EXPECT_EQ(m.currentTitle(), "\"Second\" (best up to 1080p)…");
    EXPECT_EQ(record.notifications, QStringList{"Downloading \"First\" (best up to 1080p)…"});
}

// The end-of-sync notification (real runs below cover "2 videos ready", nothing new and
// problems only) and the clipboard refusal, which shows at most 60 characters.
TEST(ModelTexts, SyncNotificationAndClipboardRefusal) {
    const QString problems = " could not be downloaded (details in the Library)";
    EXPECT_EQ(AppModel::syncNotificationBody(0, 3, 0), std::nullopt);
    EXPECT_EQ(AppModel::syncNotificationBody(1, 0, 0), "1 video ready");
    EXPECT_EQ(AppModel::syncNotificationBody(2, 1, 3),
              "2 videos ready · 1 archived · 3" + problems);

    const QString sixty(60, QLatin1Char('x'));
    const QString emoji = "👍🏽";  // one character of four code units
    const std::pair<QString, QString> cases[] = {
        {"", "it is empty or not text"},
        {"  \n\t \n", "it is empty or not text"},
        {"  hello\n", "it holds “hello”"},
        {sixty, "it holds “" + sixty + "”"},
        {sixty + "y", "it holds “" + sixty + "…”"},
        {emoji.repeated(61), "it holds “" + emoji.repeated(60) + "…”"},
    };
    for (const auto& [clipboard, reason] : cases) {
        EXPECT_EQ(AppModel::clipboardRefusal(clipboard),
                  "The clipboard doesn't hold a YouTube video link — " + reason + ".")
            << clipboard.toStdString();
    }
}

// ---- Library entries, login item, reset ----

TEST_F(ModelTest, RemovingAnEntryDoesWhatItsStatusAllows) {
    using enum VideoStatus;
    const QString forgotten = "Removed failed entry \"Clip\" (a playlist will retry it)";
    // The status; the files on disk (1: the video, 2: and its .nfo); whether the Trash refuses the
    // .nfo; the activity line of a removal or the refusal; the catalog row afterwards.
    const std::tuple<VideoStatus, int, bool, QString, QString, std::optional<VideoStatus>> cases[] =
        {
            {failed, 0, false, forgotten, "", std::nullopt},
            {needsSignIn, 0, false, forgotten, "", std::nullopt},
            {done, 0, false, "✓ Removed \"Clip\" from the Library", "", deleted},
            {done, 1, false, "✓ Moved 1 file of \"Clip\" to the Trash", "", deleted},
            {done, 2, false, "✓ Moved 2 files of \"Clip\" to the Trash", "", deleted},
            {downloading, 0, false, "",
             "\"Clip\" is still downloading — delete it when it finishes.", downloading},
            {done, 2, true, "", "Could not move clip.nfo to the Trash: Invalid cross-device link",
             done},
        };
    AppModel& m = start();
    char letter = 'a';
    for (const auto& [status, files, nfoStuck, line, error, after] : cases) {
        const std::string id = vid(letter++);
        SCOPED_TRACE(id);
        const fs::path file = world.singles() / id / "clip.mp4";
        seed(*m.catalog(), id, status, files, file);
        record.untrashable = {nfoStuck ? "clip.nfo" : ""};
        record.trashed.clear();
        const QStringList before = m.activity();
        m.remove(QString::fromStdString(id));
        EXPECT_EQ(m.activity(), line.isEmpty() ? before : before + QStringList{line});
        EXPECT_EQ(m.lastError(), error);
        EXPECT_EQ(record.trashed.size(), nfoStuck ? 1 : files);
        EXPECT_FALSE(fs::exists(file));
        EXPECT_EQ(fs::exists(fs::path(file).replace_extension(".nfo")), nfoStuck);
        const auto row = m.catalog()->video(id);
        EXPECT_EQ(row ? std::optional(row->status) : std::nullopt, after);
    }
}

TEST_F(ModelTest, TheLoginItemSwitchAndItsFailure) {
    AppModel& m = start();
    QSignalSpy changed(&m, &AppModel::launchAtLoginChanged);
    m.setLaunchAtLogin(true);
    EXPECT_TRUE(m.launchAtLogin());
    EXPECT_EQ(changed.count(), 1);
    record.loginFailure = "cannot write ~/.config/autostart/kelvo.desktop";
    m.setLaunchAtLogin(false);
    EXPECT_EQ(m.lastError(), "Login item: cannot write ~/.config/autostart/kelvo.desktop");
    EXPECT_TRUE(m.launchAtLogin());  // it is still registered
}

TEST_F(ModelTest, FactoryResetMovesTheDataFolderToADatedBackupAndAsksForARelaunch) {
    for (const bool trashVideos : {false, true}) {
        SCOPED_TRACE(trashVideos);
        AppModel& m = start();
        m.setLibraryFolder("~/Movies");
        m.setAppearance("light");
        m.setLaunchAtLogin(true);
        const fs::path file = world.singles() / "clip.mp4";
        seed(*m.catalog(), vid('a'), VideoStatus::done, 1, file);
        QSignalSpy done(&m, &AppModel::resetDone);
        m.resetToFactory(trashVideos);

        EXPECT_EQ(done.count(), 1);
        EXPECT_FALSE(m.catalogOpen());
        EXPECT_FALSE(fs::exists(world.dataFolder()));
        std::vector<fs::path> backups(fs::directory_iterator(world.dataFolder().parent_path()), {});
        std::ranges::sort(backups);
        ASSERT_EQ(backups.size(), trashVideos ? 2u : 1u);
        EXPECT_TRUE(std::regex_match(backups[0].filename().string(),
                                     std::regex(R"(kelvo-reset-backup-\d{8}-\d{6})")));
        const fs::path backup = backups.back();
        EXPECT_TRUE(fs::exists(backup / "catalog.sqlite"));
        EXPECT_TRUE(fileLines(backup / "activity.log")
                        .last()
                        .endsWith(QStringLiteral("  Reset to factory (videos to Trash: %1)")
                                      .arg(trashVideos ? "yes" : "no")));
        EXPECT_EQ(fs::exists(file), !trashVideos);
        EXPECT_FALSE(record.loginEnabled);
        EXPECT_FALSE(QSettings(paths::settingsFile(), QSettings::IniFormat).contains("appearance"));
        EXPECT_EQ(m.libraryFolder(), "~/Videos/kelvo");
        EXPECT_EQ(record.relaunches, trashVideos ? 2 : 1);
    }
}

// ---- Jobs ----

// The clipboard shortcut, a single download that fails, its retry, and a stop during a download.
TEST_F(ModelTest, TheShortcutADownloadThatFailsItsRetryAndAStop) {
    AppModel& m = start();
    for (const char* text : {"just words", " \n ", "https://www.youtube.com/playlist?list=PL"}) {
        record.clipboard = text;
        record.hotKeyHandler();
    }
    EXPECT_EQ(
        record.notifications,
        (QStringList{AppModel::clipboardRefusal("just words"), AppModel::clipboardRefusal(" \n "),
                     "That's a playlist link. The shortcut downloads single videos for now."}));
    EXPECT_EQ(m.download(" \t "), JobStart::nothingToDo);
    EXPECT_TRUE(m.activity().isEmpty() && !m.isBusy());

    // A short link is fetched as the canonical one and announced once, here as it fails.
    service.addVideo(video('a', "First clip", Behaviour::unsupported));
    record.notifications.clear();
    record.clipboard = "https://youtu.be/aaaaaaaaaaa?si=x";
    record.hotKeyHandler();
    ASSERT_TRUE(waitForJob());
    EXPECT_EQ(service.calls().back().back(), link('a').toStdString());
    EXPECT_TRUE(m.lastError().contains("Unsupported URL")) << m.lastError().toStdString();
    EXPECT_EQ(m.activity().last(), "✗ " + m.lastError());
    EXPECT_EQ(record.notifications, (QStringList{"Downloading from clipboard: " + link('a'),
                                                 "Download failed: " + m.lastError()}));

    service.addVideo(video('a', "First clip"));
    record.notifications.clear();
    m.retry(QString::fromStdString(vid('a')));
    EXPECT_TRUE(m.isBusy());  // set before the job runs
    ASSERT_TRUE(waitForJob());
    EXPECT_TRUE(fs::exists(world.singles() / "2024-01-31 - First clip [aaaaaaaaaaa].mp4"));
    EXPECT_TRUE(m.currentTitle().isEmpty() && m.lastError().isEmpty());
    EXPECT_EQ(m.activity().last(), "✓ Saved 2024-01-31 - First clip [aaaaaaaaaaa].mp4");
    EXPECT_EQ(record.notifications, (QStringList{"Downloading \"First clip\" (best up to 1080p)…",
                                                 "Ready: 2024-01-31 - First clip [aaaaaaaaaaa]"}));
    ASSERT_EQ(m.download(" \t" + link('b') + " "), JobStart::started);  // spaces trimmed
    ASSERT_TRUE(waitForJob());
    EXPECT_EQ(service.calls().back().back(), link('b').toStdString());

    // Stopped during a download, yt-dlp is gone and its partial file stays for it to resume.
    service.addVideo(video('e', "Endless", Behaviour::ok, 60));
    ASSERT_EQ(m.download(link('e')), JobStart::started);
    const fs::path partial = world.singles() / "2024-01-31 - Endless [eeeeeeeeeee].f137.mp4.part";
    ASSERT_TRUE(processEventsUntil([&] { return fs::exists(partial); }));
    ASSERT_TRUE(running(service.toolsDir().string()));
    m.shutdown();
    EXPECT_FALSE(running(service.toolsDir().string()));
    EXPECT_TRUE(fs::exists(partial));
    EXPECT_EQ(m.download(link('a')), JobStart::busy);  // no job after a shutdown
}

// A job of this model or of another process (kelvo-cli) refuses every other start; a sync run
// goes on after a failing playlist, shows its progress and notifies what it did.
TEST_F(ModelTest, JobsRefuseOthersAndSyncRunsGoOnAfterAFailingPlaylist) {
    AppModel::Options options = world.options();
    options.progressIntervalMs = 50;
    AppModel& m = start(std::move(options));
    service.addVideo(video('a', "A"));
    service.addVideo(video('b', "Slow", Behaviour::ok, 1.5));
    addPlaylist("PL1", "Alpha", {'a'});
    addPlaylist("PL2", "Beta", {'a', 'b'});
    service.addPlaylist({.id = "PL1",
                         .behaviour = Behaviour::fail,
                         .message = "ERROR: [youtube:tab] PL1: This playlist is private"});
    QSignalSpy finished(&m, &AppModel::jobFinished);
    QStringList positions;
    qint64 maxBytes = 0;
    QObject::connect(&m, &AppModel::progressChanged, [&] {
        if (!m.syncPosition().isEmpty() && !positions.contains(m.syncPosition())) {
            positions.append(m.syncPosition());
        }
        maxBytes = std::max(maxBytes, m.downloadedBytes());
    });
    const auto expectRefusals = [&] {
        EXPECT_EQ(m.syncNow(), JobStart::busy);
        EXPECT_EQ(m.syncDue(), JobStart::busy);
        EXPECT_EQ(m.runSync(m.playlists()), JobStart::busy);
        EXPECT_EQ(m.download(link('x')), JobStart::busy);
        m.retry(QString::fromStdString(vid('a')));
        record.clipboard = link('y');
        record.hotKeyHandler();
        EXPECT_EQ(
            std::exchange(record.notifications, {}),
            QStringList{"Busy with another download — copy the link again when it finishes."});
    };
    {
        JobLock other;  // what kelvo-cli holds while it runs a job
        ASSERT_TRUE(other.tryAcquire());
        expectRefusals();
        EXPECT_FALSE(m.isBusy());
        EXPECT_TRUE(service.calls().empty());
    }
    ASSERT_EQ(m.syncNow(), JobStart::started);
    JobLock again;
    EXPECT_FALSE(again.tryAcquire());  // this model's job holds the lock now
    expectRefusals();
    ASSERT_TRUE(waitForJob());
    EXPECT_TRUE(again.tryAcquire());  // and lets go when it ends
    again.release();
    EXPECT_EQ(
        service.callsWith(link('x').toStdString()) + service.callsWith(link('y').toStdString()), 0);

    EXPECT_TRUE(m.lastError().startsWith("Alpha: ")) << m.lastError().toStdString();
    EXPECT_TRUE(m.activity().contains("✗ " + m.lastError()));
    EXPECT_TRUE(
        m.activity().contains("✓ Beta: 2 new, 0 copied, 0 restored, 0 archived, 0 unchanged"));
    // One start notification for the first download, one summary for the run.
    EXPECT_EQ(record.notifications,
              (QStringList{"Downloading \"A\" (best up to 1080p)…", "2 videos ready"}));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_FALSE(finished[0][1].toBool());
    EXPECT_EQ(finished[0][2].toStringList().size(), 2);
    EXPECT_EQ(positions, (QStringList{"1 of 2", "2 of 2"}));
    EXPECT_EQ(maxBytes, static_cast<qint64>(fs::file_size(FakeService::sampleVideo())));
    EXPECT_TRUE(m.syncPosition().isEmpty() && m.downloadedBytes() == 0);

    // Nothing new: no notification. Videos that cannot be had are counted.
    m.stopSyncing(m.playlists()[0]);
    record.notifications.clear();
    ASSERT_EQ(m.syncNow(), JobStart::started);
    ASSERT_TRUE(waitForJob());
    EXPECT_TRUE(record.notifications.isEmpty());
    service.addVideo(video('c', "C", Behaviour::signIn));
    service.addVideo(video('d', "D", Behaviour::unsupported));
    addPlaylist("PL2", "Beta", {'a', 'b', 'c', 'd'});
    ASSERT_EQ(m.syncNow(), JobStart::started);
    ASSERT_TRUE(waitForJob());
    EXPECT_EQ(record.notifications.last(),
              "No new videos · 2 could not be downloaded (details in the Library)");
}

TEST_F(ModelTest, SavingAPlaylistRegistersItAndStartsTheSyncAndAPrivateOneIsRefused) {
    AppModel& m = start();
    service.addVideo(video('a', "A"));
    service.addPlaylist({.id = "PLgood", .title = "Good", .entries = {{.id = vid('a')}}});
    service.addPlaylist({.id = "PLhidden",
                         .behaviour = Behaviour::fail,
                         .failures = 100,
                         .message = "ERROR: [youtube:tab] PLhidden: This playlist is private"});
    QSignalSpy saved(&m, &AppModel::playlistSaved);
    m.savePlaylist("https://www.youtube.com/playlist?list=PLgood", 60);
    EXPECT_TRUE(m.savingPlaylist());
    ASSERT_TRUE(processEventsUntil([&] { return saved.count() == 1; }));
    EXPECT_FALSE(m.savingPlaylist());
    EXPECT_TRUE(saved[0][0].toBool());
    const fs::path folder = world.home() / "Videos/kelvo/Playlist/Good";
    EXPECT_EQ(saved[0][1].toString().toStdString(),
              "✓ Good → " + folder.string() + " · syncing now (see the tray icon)");
    ASSERT_EQ(m.playlists().size(), 1u);
    EXPECT_EQ(m.playlists()[0].intervalMin, 60);
    EXPECT_TRUE(m.isBusy());  // the sync it started
    ASSERT_TRUE(waitForJob());
    EXPECT_TRUE(fs::exists(folder / "2024-01-31 - A [aaaaaaaaaaa].mp4"));
    // Enabled playlists follow the library folder.
    m.setLibraryFolder(QString::fromStdString(world.box.root().string()));
    EXPECT_TRUE(logLines().last().endsWith("  Library folder set to " + m.libraryFolder()));
    EXPECT_EQ(m.playlists()[0].targetPath, (world.box / "Playlist").string());

    m.savePlaylist("PLhidden", 30);
    ASSERT_TRUE(processEventsUntil([&] { return saved.count() == 2; }));
    EXPECT_FALSE(saved[1][0].toBool());
    const QString refusal = saved[1][1].toString();
    EXPECT_TRUE(refusal.endsWith("This playlist is private — is the playlist public or unlisted?"))
        << refusal.toStdString();
    EXPECT_EQ(m.playlists().size(), 1u);
    EXPECT_FALSE(m.isBusy());
}

}  // namespace
}  // namespace kelvo::test
