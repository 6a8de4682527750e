// AppModel's jobs against the yt-dlp stand-in: single downloads, the clipboard shortcut, sync
// runs and their notifications, busy refusals (in this process and across processes), adding a
// playlist, retry, progress, the timer and stopping a job.

#include <QSignalSpy>
#include <chrono>
#include <fstream>

#include "app/job_lock.h"
#include "tests/app_model/model_fixture.h"

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;

// Process ids whose command line mentions `text`.
std::vector<int> processesMentioning(const std::string& text) {
    std::vector<int> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string cmdline = readFile(entry.path() / "cmdline");
        if (cmdline.find(text) != std::string::npos) {
            found.push_back(std::stoi(name));
        }
    }
    return found;
}

FakeVideo video(char letter, const std::string& title, double sleepSeconds = 0) {
    return FakeVideo{.id = vid(letter),
                     .title = title,
                     .info = {{"upload_date", "20240131"}},
                     .phase = FakePhase::download,
                     .sleepSeconds = sleepSeconds};
}

QString link(char letter) {
    return QString::fromStdString("https://www.youtube.com/watch?v=" + vid(letter));
}

TEST_F(ModelTest, ASingleDownloadSavesIntoSinglesNotifiesAndRefreshes) {
    AppModel& m = start();
    service.addVideo(video('a', "First clip"));
    QSignalSpy finished(&m, &AppModel::jobFinished);
    QSignalSpy busy(&m, &AppModel::isBusyChanged);

    EXPECT_EQ(m.download(QStringLiteral(" \t") + link('a') + QStringLiteral("  ")),
              AppModel::JobStart::started);
    EXPECT_TRUE(m.isBusy());  // set before the job runs
    ASSERT_TRUE(waitForJob());

    const fs::path file = singles() / "2024-01-31 - First clip [aaaaaaaaaaa].mp4";
    EXPECT_TRUE(fs::exists(file));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished[0][1].toBool());
    EXPECT_EQ(finished[0][2].toStringList(), QStringList{QString::fromStdString(file.string())});
    EXPECT_EQ(busy.count(), 2);
    EXPECT_TRUE(m.currentTitle().isEmpty());
    EXPECT_TRUE(m.lastError().isEmpty());
    EXPECT_EQ(m.activity().last(),
              QStringLiteral("✓ Saved 2024-01-31 - First clip [aaaaaaaaaaa].mp4"));
    EXPECT_EQ(
        record->notifications,
        (std::vector<QString>{QStringLiteral("Downloading \"First clip\" (best up to 1080p)…"),
                              QStringLiteral("Ready: 2024-01-31 - First clip [aaaaaaaaaaa]")}));
    ASSERT_EQ(m.recent().size(), 1u);
    EXPECT_EQ(m.recent()[0].videoID, vid('a'));
}

TEST_F(ModelTest, AFailedDownloadReportsInAllThreePlaces) {
    AppModel& m = start();
    service.addVideo(
        {.id = vid('a'), .behaviour = FakeBehaviour::signIn, .phase = FakePhase::download});
    ASSERT_EQ(m.download(link('a')), AppModel::JobStart::started);
    ASSERT_TRUE(waitForJob());
    EXPECT_TRUE(m.lastError().startsWith(QStringLiteral("needs sign-in: ")))
        << m.lastError().toStdString();
    EXPECT_EQ(m.activity().last(), QStringLiteral("✗ ") + m.lastError());
    EXPECT_EQ(record->notifications.back(), QStringLiteral("Download failed: ") + m.lastError());
    EXPECT_EQ(m.catalog()->video(vid('a'))->status, VideoStatus::needsSignIn);
}

TEST_F(ModelTest, AMissingToolEndsTheJobWithItsDescription) {
    AppModel::Options o = options();
    o.makeLocator = [] { return ToolLocator(Environment{{"PATH", "/nonexistent"}}, std::nullopt); };
    AppModel& m = start(std::move(o));
    ASSERT_EQ(m.download(link('a')), AppModel::JobStart::started);
    ASSERT_TRUE(waitForJob());
    EXPECT_TRUE(m.lastError().startsWith(QStringLiteral("yt-dlp not found")))
        << m.lastError().toStdString();
    EXPECT_EQ(record->notifications.back(), QStringLiteral("Download failed: ") + m.lastError());

    addPlaylist("PL1", "Mix", {vid('a')});
    record->notifications.clear();
    ASSERT_EQ(m.syncNow(), AppModel::JobStart::started);
    ASSERT_TRUE(waitForJob());
    EXPECT_TRUE(m.lastError().startsWith(QStringLiteral("yt-dlp not found")));
    EXPECT_TRUE(record->notifications.empty());  // a sync run posts nothing for it
}

TEST_F(ModelTest, ABlankLinkDoesNothingAtAll) {
    AppModel& m = start();
    EXPECT_EQ(m.download(QStringLiteral(" \t ")), AppModel::JobStart::nothingToDo);
    EXPECT_FALSE(m.isBusy());
    EXPECT_TRUE(record->notifications.empty());
    EXPECT_TRUE(m.activity().isEmpty());
}

TEST_F(ModelTest, TheShortcutAnswersEveryKindOfClipboard) {
    AppModel& m = start();
    ASSERT_TRUE(record->hotKeyHandler);
    struct Case {
        QString clipboard;
        QString notification;
    };
    const Case cases[] = {
        {QStringLiteral(" \n "),
         QStringLiteral("The clipboard doesn't hold a YouTube video link — it is empty or not "
                        "text.")},
        {QStringLiteral("just words"),
         QStringLiteral("The clipboard doesn't hold a YouTube video link — it holds “just "
                        "words”.")},
        {QStringLiteral("https://www.youtube.com/playlist?list=PLabc"),
         QStringLiteral("That's a playlist link. The shortcut downloads single videos for now.")},
    };
    for (const Case& c : cases) {
        record->notifications.clear();
        record->clipboard = c.clipboard;
        record->hotKeyHandler();
        EXPECT_EQ(record->notifications, std::vector<QString>{c.notification});
        EXPECT_FALSE(m.isBusy());
    }
    EXPECT_TRUE(service.calls().empty());
    EXPECT_TRUE(m.activity().isEmpty());
}

TEST_F(ModelTest, AShortLinkOnTheClipboardDownloadsTheCanonicalURLWithoutASecondStartNote) {
    AppModel& m = start();
    service.addVideo(video('b', "Short"));
    record->clipboard = QStringLiteral("https://youtu.be/bbbbbbbbbbb?si=x");
    record->hotKeyHandler();
    ASSERT_TRUE(m.isBusy());
    ASSERT_TRUE(waitForJob());
    EXPECT_EQ(record->notifications,
              (std::vector<QString>{QStringLiteral("Downloading from clipboard: ") + link('b'),
                                    QStringLiteral("Ready: 2024-01-31 - Short [bbbbbbbbbbb]")}));
    ASSERT_FALSE(service.calls().empty());
    EXPECT_EQ(service.calls().front().back(), link('b').toStdString());
}

TEST_F(ModelTest, WhileAJobRunsEveryOtherStartIsRefused) {
    AppModel& m = start();
    service.addVideo(video('a', "Slow", 2));
    addPlaylist("PL1", "Mix", {vid('a')});
    ASSERT_EQ(m.download(link('a')), AppModel::JobStart::started);

    EXPECT_EQ(m.syncNow(), AppModel::JobStart::busy);
    EXPECT_EQ(m.syncDue(), AppModel::JobStart::busy);
    EXPECT_EQ(m.runSync(m.playlists()), AppModel::JobStart::busy);
    EXPECT_EQ(m.download(link('b')), AppModel::JobStart::busy);
    record->clipboard = link('c');
    record->hotKeyHandler();
    EXPECT_EQ(record->notifications.back(),
              QStringLiteral("Busy with another download — copy the link again when it finishes."));
    m.retry(QString::fromStdString(vid('a')));  // refused as well

    ASSERT_TRUE(waitForJob());
    for (const auto& call : service.calls()) {
        EXPECT_EQ(call.back(), link('a').toStdString());  // nothing else ran
    }
}

TEST_F(ModelTest, AJobOfAnotherProcessCountsAsBusy) {
    AppModel& m = start();
    service.addVideo(video('a', "Clip"));
    addPlaylist("PL1", "Mix", {vid('a')});
    JobLock other;  // what kelvo-cli holds while it runs a job
    ASSERT_TRUE(other.tryAcquire());

    EXPECT_EQ(m.syncNow(), AppModel::JobStart::busy);
    EXPECT_EQ(m.syncDue(), AppModel::JobStart::busy);
    EXPECT_EQ(m.download(link('a')), AppModel::JobStart::busy);
    record->clipboard = link('a');
    record->hotKeyHandler();
    EXPECT_EQ(record->notifications,
              std::vector<QString>{QStringLiteral(
                  "Busy with another download — copy the link again when it finishes.")});
    EXPECT_FALSE(m.isBusy());
    EXPECT_TRUE(service.calls().empty());

    other.release();
    EXPECT_EQ(m.download(link('a')), AppModel::JobStart::started);
    JobLock again;
    EXPECT_FALSE(again.tryAcquire());  // this model's job holds it now
    ASSERT_TRUE(waitForJob());
    EXPECT_TRUE(again.tryAcquire());  // and lets go when it ends
}

TEST_F(ModelTest, ASyncRunGoesOnAfterAFailingPlaylistAndCountsOnlyWhatItDid) {
    AppModel& m = start();
    service.addVideo(video('a', "A"));
    service.addVideo(video('b', "B"));
    addPlaylist("PL1", "Alpha", {vid('a')});
    addPlaylist("PL2", "Beta", {vid('a'), vid('b')});
    service.addPlaylist({.id = "PL1",
                         .title = "Alpha",
                         .behaviour = FakeBehaviour::fail,
                         .message = "ERROR: [youtube:tab] PL1: This playlist is private"});
    QSignalSpy finished(&m, &AppModel::jobFinished);

    ASSERT_EQ(m.syncNow(), AppModel::JobStart::started);
    ASSERT_TRUE(waitForJob());

    EXPECT_TRUE(m.lastError().startsWith(QStringLiteral("Alpha: "))) << m.lastError().toStdString();
    EXPECT_TRUE(m.activity().contains(QStringLiteral("Checking Alpha…")));
    EXPECT_TRUE(m.activity().contains(QStringLiteral("Checking Beta…")));
    EXPECT_TRUE(m.activity().contains(QStringLiteral("✗ ") + m.lastError()));
    EXPECT_TRUE(m.activity().contains(
        QStringLiteral("✓ Beta: 2 new, 0 copied, 0 restored, 0 archived, 0 unchanged")));
    // One start notification for the first download, one summary for the run.
    EXPECT_EQ(record->notifications,
              (std::vector<QString>{QStringLiteral("Downloading \"A\" (best up to 1080p)…"),
                                    QStringLiteral("2 videos ready")}));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_FALSE(finished[0][1].toBool());
    EXPECT_EQ(finished[0][2].toStringList().size(), 2);
    EXPECT_EQ(m.recent().size(), 2u);
}

TEST_F(ModelTest, ASyncWithNothingNewPostsNothingAndProblemsAreCounted) {
    AppModel& m = start();
    service.addVideo(video('a', "A"));
    service.addVideo(
        {.id = vid('b'), .behaviour = FakeBehaviour::signIn, .phase = FakePhase::download});
    service.addVideo(
        {.id = vid('c'), .behaviour = FakeBehaviour::unsupported, .phase = FakePhase::download});
    addPlaylist("PL1", "Mix", {vid('a')});
    ASSERT_EQ(m.syncNow(), AppModel::JobStart::started);
    ASSERT_TRUE(waitForJob());
    record->notifications.clear();

    ASSERT_EQ(m.syncNow(), AppModel::JobStart::started);  // everything already present
    ASSERT_TRUE(waitForJob());
    EXPECT_TRUE(record->notifications.empty());

    addPlaylist("PL1", "Mix", {vid('a'), vid('b'), vid('c')});
    ASSERT_EQ(m.syncNow(), AppModel::JobStart::started);
    ASSERT_TRUE(waitForJob());
    ASSERT_FALSE(record->notifications.empty());
    EXPECT_EQ(record->notifications.back(),
              QStringLiteral("No new videos · 2 could not be downloaded (details in the Library)"));
}

TEST_F(ModelTest, SyncPositionAndDownloadedBytesFollowTheRun) {
    AppModel::Options o = options();
    o.progressIntervalMs = 50;
    AppModel& m = start(std::move(o));
    service.addVideo(video('a', "A"));
    service.addVideo(video('b', "Slow", 1.5));
    addPlaylist("PL1", "Mix", {vid('a'), vid('b')});
    QStringList positions;
    qint64 maxBytes = 0;
    QObject::connect(&m, &AppModel::progressChanged, [&] {
        if (!m.syncPosition().isEmpty() && !positions.contains(m.syncPosition())) {
            positions.append(m.syncPosition());
        }
        maxBytes = std::max(maxBytes, m.downloadedBytes());
    });
    ASSERT_EQ(m.syncNow(), AppModel::JobStart::started);
    ASSERT_TRUE(waitForJob());
    EXPECT_EQ(positions, (QStringList{QStringLiteral("1 of 2"), QStringLiteral("2 of 2")}));
    EXPECT_EQ(maxBytes, static_cast<qint64>(fs::file_size(FakeService::sampleVideo())));
    EXPECT_TRUE(m.syncPosition().isEmpty());
    EXPECT_EQ(m.downloadedBytes(), 0);
}

TEST_F(ModelTest, SavingAPlaylistRegistersItAndStartsTheSync) {
    AppModel& m = start();
    service.addVideo(video('a', "A"));
    service.addPlaylist({.id = "PLgood", .title = "Good", .entries = {{.id = vid('a')}}});
    QSignalSpy saved(&m, &AppModel::playlistSaved);

    m.savePlaylist(QStringLiteral("https://www.youtube.com/playlist?list=PLgood"), 60);
    EXPECT_TRUE(m.savingPlaylist());
    ASSERT_TRUE(runUntil([&] { return saved.count() == 1; }));
    EXPECT_FALSE(m.savingPlaylist());
    EXPECT_TRUE(saved[0][0].toBool());
    const QString folder =
        QString::fromStdString((box / "home/Videos/kelvo/Playlist/Good").string());
    EXPECT_EQ(saved[0][1].toString(), QStringLiteral("✓ Good → ") + folder +
                                          QStringLiteral(" · syncing now (see the menu bar)"));
    ASSERT_EQ(m.playlists().size(), 1u);
    EXPECT_EQ(m.playlists()[0].intervalMin, 60);
    EXPECT_TRUE(m.isBusy());  // the sync it started
    ASSERT_TRUE(waitForJob());
    EXPECT_TRUE(fs::exists(fs::path(folder.toStdString()) / "2024-01-31 - A [aaaaaaaaaaa].mp4"));

    m.savePlaylist(QStringLiteral("PLmissing"), 30);
    ASSERT_TRUE(runUntil([&] { return saved.count() == 2; }));
    EXPECT_FALSE(saved[1][0].toBool());
    EXPECT_TRUE(
        saved[1][1].toString().endsWith(QStringLiteral(" — is the playlist public or unlisted?")));
    EXPECT_EQ(m.playlists().size(), 1u);
}

TEST_F(ModelTest, RetryFetchesASingleVideoIntoSingles) {
    AppModel& m = start();
    service.addVideo({.id = vid('a'),
                      .title = "Flaky",
                      .behaviour = FakeBehaviour::unsupported,
                      .phase = FakePhase::download});
    ASSERT_EQ(m.download(link('a')), AppModel::JobStart::started);
    ASSERT_TRUE(waitForJob());
    ASSERT_EQ(m.catalog()->video(vid('a'))->status, VideoStatus::failed);

    service.addVideo(video('a', "Flaky"));
    m.retry(QString::fromStdString(vid('a')));
    ASSERT_TRUE(m.isBusy());
    ASSERT_TRUE(waitForJob());
    EXPECT_EQ(m.catalog()->video(vid('a'))->status, VideoStatus::done);
    EXPECT_TRUE(fs::exists(singles() / "2024-01-31 - Flaky [aaaaaaaaaaa].mp4"));
}

TEST_F(ModelTest, TheLaunchCheckSyncsDuePlaylistsAndTicksWhileBusyDoNothing) {
    {
        // A playlist registered by an earlier run, never checked: due at launch.
        Catalog catalog(Catalog::defaultURL());
        catalog.addPlaylist("PL1", "Mix", (box / "lib/Playlist").string(), 15);
    }
    service.addVideo(video('a', "A", 1));
    service.addPlaylist({.id = "PL1", .title = "Mix", .entries = {{.id = vid('a')}}});
    AppModel::Options o = options();
    o.automaticSync = true;
    o.syncIntervalMs = 100;
    AppModel& m = start(std::move(o));
    QSignalSpy finished(&m, &AppModel::jobFinished);
    ASSERT_TRUE(runUntil([&] { return m.isBusy(); }, 5000));
    ASSERT_TRUE(waitForJob());
    // Ticks kept coming during the run; it is checked now, so none of them started another.
    runUntil([] { return false; }, 500);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(service.callsWith("--flat-playlist"), 1);

    ASSERT_TRUE(record->wakeHandler);
    m.catalog()->touchChecked(m.playlists()[0].id, 0);  // long ago: due again
    m.refresh();
    record->wakeHandler();
    EXPECT_TRUE(m.isBusy());
    ASSERT_TRUE(waitForJob());
    EXPECT_EQ(service.callsWith("--flat-playlist"), 2);
}

TEST_F(ModelTest, ACheckByAnotherProcessIsSeenByTheDueCheck) {
    AppModel& m = start();
    addPlaylist("PL1", "Mix", {});
    {
        Catalog other(Catalog::defaultURL());  // kelvo-cli's connection
        other.touchChecked(
            m.playlists()[0].id,
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
                .count());
    }
    EXPECT_EQ(m.syncDue(), AppModel::JobStart::nothingToDo);
    EXPECT_TRUE(service.calls().empty());
}

TEST_F(ModelTest, ShutdownDuringADownloadStopsYtDlpAndReturnsPromptly) {
    AppModel& m = start();
    service.addVideo(video('a', "Endless", 60));
    ASSERT_EQ(m.download(link('a')), AppModel::JobStart::started);
    const std::string marker = service.toolsDir().string();
    ASSERT_TRUE(runUntil([&] { return !processesMentioning(marker).empty(); }, 10000));
    const fs::path partial = singles() / "2024-01-31 - Endless [aaaaaaaaaaa].f137.mp4.part";
    ASSERT_TRUE(runUntil([&] { return fs::exists(partial); }, 10000));

    const auto begin = std::chrono::steady_clock::now();
    m.shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    EXPECT_TRUE(processesMentioning(marker).empty());
    // The partial file stays for yt-dlp to resume.
    EXPECT_TRUE(fs::exists(partial));
    EXPECT_EQ(m.download(link('a')), AppModel::JobStart::busy);  // no job after shutdown
    model.reset();  // and the destructor has nothing left to wait for
}

}  // namespace
}  // namespace kelvo::test
