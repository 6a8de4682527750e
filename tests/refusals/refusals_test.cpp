// YouTube refusing this computer (HTTP 429, the bot check), the automatic checks' back-off,
// premieres and live streams that wait, the pause between downloads and yt-dlp's advice to
// update: the engine's classification, the sync over a scripted engine, and the model against
// the yt-dlp stand-in.

#include <QDateTime>
#include <atomic>
#include <set>
#include <thread>

#include "app/refusal_backoff.h"
#include "core/catalog/catalog.h"
#include "core/engine/engine_error.h"
#include "core/links/youtube_link.h"
#include "core/links/ytdlp_playlist_source.h"
#include "core/pipelines/sync_engine.h"
#include "tests/app_model/model_world.h"
#include "tests/support/qt.h"

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;
using JobStart = AppModel::JobStart;

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment<QCoreApplication>);

const std::string botCheck =
    "ERROR: [youtube] bbbbbbbbbbb: Sign in to confirm you\u2019re not a bot. Use "
    "--cookies-from-browser or --cookies for the authentication.";
const std::string tooMany =
    "ERROR: [youtube] bbbbbbbbbbb: Unable to download API page: HTTP Error 429: Too Many Requests";
const std::string updateAdvice =
    "ERROR: [youtube] fffffffffff: Unable to extract player response; please report this issue "
    "on  https://github.com/yt-dlp/yt-dlp/issues?q= , filling out the appropriate issue template. "
    "Confirm you are on the latest version using  yt-dlp -U";

QString refusedText() {
    return QString::fromUtf8(EngineError::refusedMessage.data(),
                             static_cast<qsizetype>(EngineError::refusedMessage.size()));
}

TEST(Refusals, YtdlpErrorTextIsClassifiedAndItsUpdateAdviceFound) {
    struct Case {
        std::string text;
        EngineError::Kind kind;
        bool advice;
    };
    const Case cases[] = {
        {tooMany, EngineError::Kind::refused, false},
        {botCheck, EngineError::Kind::refused, false},
        {"ERROR: [youtube] x: Sign in to confirm you're not a bot", EngineError::Kind::refused,
         false},
        {"ERROR: [youtube] x: Sign in to confirm your age", EngineError::Kind::needsSignIn, false},
        {"ERROR: unable to download video data: HTTP Error 403: Forbidden",
         EngineError::Kind::failed, false},
        {updateAdvice, EngineError::Kind::failed, true},
        {"ERROR: x; please report this issue on https://yt-dl.org/bug . Make sure you are using "
         "the latest version; see  https://yt-dl.org/update  on how to update.",
         EngineError::Kind::failed, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const EngineError error = EngineError::classify("[debug] x\n" + c.text + "\n");
        EXPECT_EQ(error.kind(), c.kind);
        EXPECT_EQ(advisesUpdate(error.description()), c.advice);
    }
    const EngineError refused = EngineError::classify(tooMany);
    EXPECT_EQ(refused.description(), std::string(EngineError::refusedMessage));
    EXPECT_EQ(refused.payload(), tooMany);
}

TEST(Refusals, LiveStatusesWait) {
    const auto flat = YTDLPPlaylistSource::Flat::decode(R"({"entries": [
        {"id": "a", "live_status": "is_upcoming"}, {"id": "b", "live_status": "is_live"},
        {"id": "c", "live_status": "post_live"}, {"id": "d", "live_status": "was_live"},
        {"id": "e", "live_status": "not_live"}, {"id": "f"}]})");
    std::string waiting;
    for (const RemoteItem& item : YTDLPPlaylistSource::itemsOf(flat)) {
        waiting += item.waiting ? item.videoID : "";
    }
    EXPECT_EQ(waiting, "abc");
}

TEST(Refusals, BackOffDoublesFromFifteenMinutesToSixHours) {
    const std::pair<int, int> schedule[] = {{1, 15},  {2, 30},  {3, 60},  {4, 120},
                                            {5, 240}, {6, 360}, {7, 360}, {40, 360}};
    for (const auto& [refusals, minutes] : schedule) {
        EXPECT_EQ(RefusalBackoff::delayAfter(refusals).count(), minutes) << refusals;
    }
    EXPECT_EQ(RefusalBackoff::delayText(std::chrono::minutes(30)), "30 min");
    EXPECT_EQ(RefusalBackoff::delayText(std::chrono::minutes(360)), "6 h");
}

// ---- The sync over a scripted engine and playlist ----

class ScriptedEngine : public DownloadEngine {
  public:
    VideoMetadata metadata(std::string_view link) override {
        const std::string id(link.substr(link.find("v=") + 2));
        VideoMetadata meta;
        meta.id = id;
        meta.title = "Video " + id;
        return meta;
    }
    fs::path download(std::string_view link, const fs::path& folder,
                      std::string_view baseName) override {
        const std::string id(link.substr(link.find("v=") + 2));
        downloads.push_back(id);
        if (refuse.contains(id)) {
            throw EngineError::refused(tooMany);
        }
        const fs::path file = folder / (std::string(baseName) + ".mp4");
        writeFile(file, "video");
        return file;
    }
    std::set<std::string> refuse;
    std::vector<std::string> downloads;
};

class ListedSource : public PlaylistSource {
  public:
    std::optional<RemotePlaylist> playlist(std::string_view id) override {
        return RemotePlaylist{std::string(id), "Music", {}};
    }
    std::vector<RemoteItem> items(std::string_view) override { return entries; }
    std::vector<RemoteItem> entries;
};

class SyncTest : public ::testing::Test {
  protected:
    SyncTest() {
        id = catalog.addPlaylist("PL1", "Music", (box / "lib").string(), 30);
        syncEngine.setStopToken(stop.get_token());
    }
    PlaylistRecord playlist() { return catalog.playlists().front(); }
    static RemoteItem entry(const std::string& id, bool waiting = false) {
        return {.videoID = id, .title = "Video " + id, .available = true, .waiting = waiting};
    }
    std::optional<VideoStatus> status(const std::string& videoID) {
        const auto video = catalog.video(videoID);
        return video ? std::optional(video->status) : std::nullopt;
    }

    Sandbox box;
    Catalog catalog{box / "catalog.sqlite"};
    std::int64_t id = 0;
    ScriptedEngine engine;
    ListedSource source;
    std::vector<std::string> lines;
    std::mutex linesMutex;
    LogCallback log = [this](const std::string& line) {
        std::lock_guard lock(linesMutex);
        lines.push_back(line);
    };
    Downloader downloader{catalog, engine, nullptr, log};
    SyncEngine syncEngine{catalog, source, downloader, log};
    std::stop_source stop;
};

// A refused download stops the downloads: that entry and the later ones wait, unrecorded as
// failures; a premiere waits too; an entry that left the playlist is still archived and the
// check time stays unset. The next run without a refusal fetches them all but the premiere,
// which a later listing shows as a plain video.
TEST_F(SyncTest, ARefusalStopsDownloadsButArchivesAndTheWaitingAreFetchedLater) {
    const fs::path folder = playlist().folder();
    writeFile(folder / "gone.mp4", "old");
    VideoRecord gone;
    gone.videoID = "gone";
    gone.title = "Gone";
    gone.status = VideoStatus::done;
    catalog.upsertVideo(gone);
    catalog.upsertItem(id, "gone", (folder / "gone.mp4").string(), std::nullopt);

    source.entries = {entry("a"), entry("b"), entry("c"), entry("live", true)};
    engine.refuse = {"b"};
    const SyncReport first = syncEngine.sync(playlist());
    EXPECT_TRUE(first.refused);
    EXPECT_EQ(first.summary(),
              "Music: 1 new, 0 copied, 0 restored, 1 archived, 0 unchanged, 3 waiting");
    EXPECT_EQ(engine.downloads, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(status("b"), VideoStatus::queued);
    EXPECT_EQ(catalog.video("b")->error, std::nullopt);
    EXPECT_EQ(status("c"), std::nullopt);
    EXPECT_TRUE(fs::exists(folder / "_archive" / "gone.mp4"));
    EXPECT_FALSE(playlist().lastCheckedAt);

    engine.refuse.clear();
    const SyncReport second = syncEngine.sync(playlist());
    EXPECT_FALSE(second.refused);
    EXPECT_EQ(second.added, (std::vector<std::string>{"Video b", "Video c"}));
    EXPECT_EQ(second.waiting, 1);
    EXPECT_TRUE(playlist().lastCheckedAt);

    source.entries.back().waiting = false;
    EXPECT_EQ(syncEngine.sync(playlist()).added, std::vector<std::string>{"Video live"});
    EXPECT_EQ(status("live"), VideoStatus::done);
}

// The pause comes between downloads only, and a stop ends it at once.
TEST_F(SyncTest, ThePauseComesBetweenDownloadsAndAStopEndsIt) {
    source.entries = {entry("a"), entry("b"), entry("c")};
    syncEngine.setPauseBetweenDownloads(std::chrono::milliseconds(20));
    EXPECT_EQ(syncEngine.sync(playlist()).added.size(), 3u);
    EXPECT_EQ(std::ranges::count_if(
                  lines, [](const std::string& line) { return line.starts_with("Pausing "); }),
              2);

    source.entries.push_back(entry("d"));
    syncEngine.setPauseBetweenDownloads(std::chrono::minutes(10));
    std::atomic<bool> stopped = false;
    std::thread run([&] {
        try {
            syncEngine.sync(playlist());
        } catch (const EngineError& error) {
            stopped = error.isStopped();
        }
    });
    const bool waiting = processEventsUntil([&] {
        std::lock_guard lock(linesMutex);
        return !lines.empty() && lines.back() == "Pausing 600 s before the next download…";
    });
    stop.request_stop();
    run.join();
    EXPECT_TRUE(waiting);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(engine.downloads.size(), 3u);
}

// ---- The model against the yt-dlp stand-in ----

class ModelRefusalTest : public ::testing::Test {
  protected:
    static std::string vid(char letter) { return std::string(11, letter); }
    AppModel& start() {
        model.reset();
        model = std::make_unique<AppModel>(world.services(), world.options());
        return *model;
    }
    bool runJob(JobStart start) {
        return start == JobStart::started &&
               processEventsUntil([&] { return !model->isBusy(); }, 60000);
    }
    int activityWith(const QString& text) const {
        return static_cast<int>(std::ranges::count_if(
            model->activity(), [&](const QString& line) { return line.contains(text); }));
    }
    int notificationsWith(const QString& text) const {
        return static_cast<int>(std::ranges::count_if(
            world.record->notifications, [&](const QString& body) { return body.contains(text); }));
    }
    void video(char letter, FakeBehaviour behaviour = FakeBehaviour::ok) {
        world.service.addVideo(
            {.id = vid(letter), .behaviour = behaviour, .phase = FakePhase::info});
    }

    ModelWorld world;
    std::unique_ptr<AppModel> model;
};

// A bot check stops the run (the second playlist is not even listed) with one line and one
// notification; the automatic check then waits 15 minutes, a refused "Sync now" makes it 30,
// a restart keeps it, and a run without a refusal ends it.
TEST_F(ModelRefusalTest, ARefusalStopsTheRunAndBacksOffTheAutomaticChecks) {
    AppModel& m = start();
    for (char letter : {'a', 'c', 'd'}) {
        video(letter);
    }
    video('b', FakeBehaviour::botCheck);
    world.service.addPlaylist({.id = "PL1",
                               .title = "Music",
                               .entries = {{.id = vid('a')}, {.id = vid('b')}, {.id = vid('c')}}});
    world.service.addPlaylist({.id = "PL2", .title = "Talks", .entries = {{.id = vid('d')}}});
    for (const char* id : {"PL1", "PL2"}) {
        m.catalog()->addPlaylist(id, id, m.playlistRoot().toStdString(), 30);
    }
    m.refresh();

    const QDateTime before = QDateTime::currentDateTimeUtc();
    ASSERT_TRUE(runJob(m.syncNow()));
    EXPECT_EQ(activityWith("PL1: 1 new, 0 copied, 0 restored, 0 archived, 0 unchanged, 2 waiting"),
              1);
    EXPECT_EQ(activityWith(refusedText()), 1);
    EXPECT_EQ(notificationsWith(refusedText() + " Automatic checks wait 15 min."), 1);
    EXPECT_EQ(notificationsWith("ready"), 0);
    EXPECT_EQ(world.service.callsWith("--flat-playlist"), 1);
    EXPECT_FALSE(m.catalog()->video(vid('b')));
    EXPECT_EQ(m.lastError(), refusedText() + " Automatic checks wait 15 min.");
    EXPECT_EQ(m.syncDue(), JobStart::nothingToDo);

    ASSERT_TRUE(runJob(m.syncNow()));
    EXPECT_EQ(m.refusalBackoff().refusals(), 2);
    const QDateTime until = *m.refusalBackoff().until();
    EXPECT_GE(until, before.addSecs(30 * 60));
    EXPECT_LE(until, QDateTime::currentDateTimeUtc().addSecs(30 * 60));

    AppModel& restarted = start();
    EXPECT_EQ(restarted.syncDue(), JobStart::nothingToDo);
    EXPECT_EQ(restarted.refusalBackoff().until(), until);

    video('b');
    ASSERT_TRUE(runJob(restarted.syncNow()));
    EXPECT_EQ(restarted.refusalBackoff().refusals(), 0);
    EXPECT_EQ(restarted.catalog()->video(vid('c'))->status, VideoStatus::done);
    EXPECT_EQ(restarted.catalog()->video(vid('d'))->status, VideoStatus::done);
}

// A single download meeting a refusal fails with the plain message, not as needing sign-in; one
// failing with yt-dlp's advice to update adds the line that says how, once.
TEST_F(ModelRefusalTest, SingleDownloadsReportRefusalsAndUpdateAdvice) {
    AppModel& m = start();
    video('e', FakeBehaviour::tooManyRequests);
    video('f', FakeBehaviour::updateAdvice);
    ASSERT_TRUE(runJob(m.download(QString::fromStdString(YouTubeLink::watchURL(vid('e'))))));
    EXPECT_EQ(m.lastError(), refusedText());
    EXPECT_EQ(notificationsWith("Download failed: " + refusedText()), 1);
    EXPECT_EQ(m.refusalBackoff().refusals(), 1);
    EXPECT_EQ(activityWith("kelvo-cli tools update"), 0);

    ASSERT_TRUE(runJob(m.download(QString::fromStdString(YouTubeLink::watchURL(vid('f'))))));
    EXPECT_EQ(activityWith("Update yt-dlp\u201d in Settings"), 1);
    EXPECT_EQ(activityWith("kelvo-cli tools update"), 1);
}

// With cookies from a browser chosen, every yt-dlp run gets them first (and none before); a
// premiere waits in the report line and is downloaded once the listing shows a plain video.
TEST_F(ModelRefusalTest, CookiesReachEveryRunAndPremieresAreFetchedOnceShown) {
    AppModel& m = start();
    video('a');
    video('p');
    FakePlaylist remote{
        .id = "PL1",
        .title = "Music",
        .entries = {{.id = vid('a')}, {.id = vid('p'), .liveStatus = "is_upcoming"}}};
    world.service.addPlaylist(remote);
    m.catalog()->addPlaylist("PL1", "Music", m.playlistRoot().toStdString(), 30);
    m.refresh();
    ASSERT_TRUE(runJob(m.syncNow()));
    EXPECT_EQ(
        activityWith("Music: 1 new, 0 copied, 0 restored, 0 archived, 0 unchanged, 1 waiting"), 1);
    EXPECT_EQ(world.service.callsWith("--cookies-from-browser"), 0);

    EXPECT_EQ(m.setSetting("cookies-from", "vivaldi"), "");
    world.service.clearCalls();
    remote.entries.back().liveStatus = "was_live";
    world.service.addPlaylist(remote);
    ASSERT_TRUE(runJob(m.syncNow()));
    EXPECT_EQ(activityWith("Music: 1 new, 0 copied, 0 restored, 0 archived, 1 unchanged"), 1);
    const auto calls = world.service.calls();
    EXPECT_EQ(calls.size(), 3u);  // the listing, p's information and its download
    for (const auto& call : calls) {
        EXPECT_EQ(std::vector<std::string>(call.begin(), call.begin() + 2),
                  (std::vector<std::string>{"--cookies-from-browser", "vivaldi"}));
    }
}

// The Tools row reads the version kelvo runs; an update waits for no job but refuses to run
// beside one, and a failed one leaves the job lock free again.
TEST_F(ModelRefusalTest, TheToolsRowAndUpdatesNeverDuringAJob) {
    AppModel& m = start();
    m.checkTools();
    ASSERT_TRUE(processEventsUntil([&] { return !m.ytdlpVersion().isEmpty(); }));
    EXPECT_EQ(m.ytdlpVersion(), "2023.03.04");
    EXPECT_GT(m.ytdlpAgeDays(), AppModel::staleToolDays);
    EXPECT_TRUE(m.ytdlpStale());

    world.service.addVideo({.id = vid('s'), .sleepSeconds = 1});
    ASSERT_EQ(m.download(QString::fromStdString(YouTubeLink::watchURL(vid('s')))),
              JobStart::started);
    m.updateYtdlp();
    EXPECT_FALSE(m.toolsUpdating());
    EXPECT_TRUE(m.toolsMessage().startsWith("✗ Busy")) << m.toolsMessage().toStdString();
    ASSERT_TRUE(processEventsUntil([&] { return !m.isBusy(); }, 60000));

    // Nothing listens on port 9 of this computer: the update fails and says so.
    ScopedEnvironment releases{{"KELVO_RELEASES_BASE", "http://127.0.0.1:9"}};
    m.updateYtdlp();
    EXPECT_TRUE(m.toolsUpdating());
    EXPECT_EQ(m.download(QString::fromStdString(YouTubeLink::watchURL(vid('s')))), JobStart::busy);
    ASSERT_TRUE(processEventsUntil([&] { return !m.toolsUpdating(); }, 60000));
    EXPECT_TRUE(m.toolsMessage().startsWith("✗ yt-dlp was not updated: "))
        << m.toolsMessage().toStdString();
    EXPECT_TRUE(runJob(m.download(QString::fromStdString(YouTubeLink::watchURL(vid('s'))))));
}

}  // namespace
}  // namespace kelvo::test
