#include "core/pipelines/sync_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "core/links/youtube_link.h"
#include "tests/pipelines/pipeline_fixture.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace kelvo {
namespace {

using test::FakeBehaviour;
using test::FakePhase;
using test::vid;

class SyncEngineTest : public test::PipelineFixture {
  protected:
    // Videos a to m are "Clip <letter>"; h needs sign-in, i's information fails, j's
    // information names another video.
    void SetUp() override {
        for (char letter = 'a'; letter <= 'm'; ++letter) {
            service.addVideo({.id = vid(letter),
                              .title = "Clip " + std::string(1, letter),
                              .info = {{"upload_date", "20240101"},
                                       {"id", letter == 'j' ? "elsewhere01" : vid(letter)}},
                              .behaviour = letter == 'h'   ? FakeBehaviour::signIn
                                           : letter == 'i' ? FakeBehaviour::fail
                                                           : FakeBehaviour::ok,
                              .phase = letter == 'h' ? FakePhase::download : FakePhase::info,
                              .message = "ERROR: boom"});
        }
    }
    // library/<folder>/<the name of the letter's video><extension>
    fs::path file(const std::string& folder, char letter, const std::string& extension = ".mp4") {
        return library / folder /
               ("2024-01-01 - Clip " + std::string(1, letter) + " [" + vid(letter) + "]" +
                extension);
    }
};

TEST_F(SyncEngineTest, RunsAgainstTheServiceTheFolderAndTheHand) {
    // A step: "<title> <entries>" of a playlist (as playlist() reads them), what is done by
    // hand before its run, the runs of the stand-in, and what comes out: the summary or the error
    // ("[not checked]" when the playlist was not stamped), the sync's own log lines (not the
    // downloader's) and the playlist's state().
    using Step = std::tuple<std::string, std::function<void()>, std::size_t, std::string>;
    const std::string archived = "\nArchived (removed from playlist): Clip ";
    const std::vector<Step> steps = {
        {"Mix abc", nullptr, 7,
         "Mix: 3 new, 0 copied, 0 restored, 0 archived, 0 unchanged\na:a.mp4, b:b.mp4, c:c.mp4, +"},
        {"Mix a?c", nullptr, 1,
         "Mix: 0 new, 0 copied, 0 restored, 1 archived, 2 unchanged, 1 unavailable on YouTube" +
             archived + "b\na:a.mp4, b:_archive/b.mp4 removed archived, c:c.mp4, +"},
        // b comes back; c's file was deleted by hand; a turned private, its file stays.
        {"Mix Abc", [&] { fs::remove(file("Mix", 'c')); }, 3,
         "Mix: 1 new, 0 copied, 1 restored, 0 archived, 0 unchanged, 1 unavailable on YouTube\n"
         "Restored from archive: Clip b\na:a.mp4, b:b.mp4, c:c.mp4, +"},
        // Another playlist copies a from Mix, keeping a same-named file already there; and
        // copies it again once that file is deleted by hand.
        {"Other ad", [&] { test::writeFile(file("Other", 'a'), "kept"); }, 3,
         "Other: 1 new, 1 copied, 0 restored, 0 archived, 0 unchanged\n"
         "Copied from another playlist: Clip a\na:a.mp4, d:d.mp4, +"},
        {"Other ad",
         [&] {
             EXPECT_EQ(test::readFile(file("Other", 'a')), "kept");
             fs::remove(file("Other", 'a'));
         },
         1,
         "Other: 0 new, 1 copied, 0 restored, 0 archived, 1 unchanged\n"
         "Copied from another playlist: Clip a\na:a.mp4, d:d.mp4, +"},
        // All leave Mix. b's file was deleted (its sidecar stays); an older copy of a in the
        // archive is not replaced, a and its sidecar are numbered.
        {"Mix ",
         [&] {
             fs::remove(file("Mix", 'b'));
             test::writeFile(file("Mix/_archive", 'a'), "older");
         },
         1,
         "Mix: 0 new, 0 copied, 0 restored, 3 archived, 0 unchanged" + archived + "a" + archived +
             "b" + archived +
             "c\na:_archive/a (2).mp4 removed archived, b:b.mp4! removed, c:_archive/c.mp4 removed "
             "archived, + _archive/a.mp4"},
        // Moves an interrupted run made without recording them are completed, not redone.
        {"Solo e", nullptr, 3,
         "Solo: 1 new, 0 copied, 0 restored, 0 archived, 0 unchanged\ne:e.mp4, +"},
        {"Solo ",
         [&] {
             fs::create_directories(library / "Solo/_archive");
             fs::rename(file("Solo", 'e'), file("Solo/_archive", 'e'));
             fs::rename(file("Solo", 'e', ".nfo"), file("Solo/_archive", 'e', ".nfo"));
         },
         1,
         "Solo: 0 new, 0 copied, 0 restored, 1 archived, 0 unchanged" + archived +
             "e\ne:_archive/e.mp4 removed archived, +"},
        {"Solo e", [&] { fs::rename(file("Solo/_archive", 'e'), file("Solo", 'e')); }, 1,
         "Solo: 0 new, 0 copied, 1 restored, 0 archived, 0 unchanged\n"
         "Restored from archive: Clip e\ne:e.mp4, +"},
        // An archive that cannot be made ends the run after the downloads, which stay.
        {"Solo l",
         [&] {
             fs::remove_all(library / "Solo/_archive");
             test::writeFile(library / "Solo/_archive", "");
         },
         3,
         "error: filesystem error: cannot create directories: Not a directory [_archive] [not "
         "checked]\ne:e.mp4, l:l.mp4, + _archive"},
        // Deleted by the user: counted, never fetched. Once gone from the playlist f is
        // forgotten and fetched again when it returns; g, still in Also, stays deleted.
        {"Kept fg", nullptr, 5,
         "Kept: 2 new, 0 copied, 0 restored, 0 archived, 0 unchanged\nf:f.mp4, g:g.mp4, +"},
        {"Also g", nullptr, 1,
         "Also: 0 new, 1 copied, 0 restored, 0 archived, 0 unchanged\n"
         "Copied from another playlist: Clip g\ng:g.mp4, +"},
        {"Kept fg?",
         [&] {
             for (char letter : {'f', 'g'}) {
                 for (const std::string& path : catalog.allFiles(vid(letter))) {
                     fs::remove(path);
                 }
                 catalog.markDeleted(vid(letter));
             }
         },
         1,
         "Kept: 0 new, 0 copied, 0 restored, 0 archived, 0 unchanged, 1 unavailable on YouTube, 2 "
         "deleted by you\nf:- -, g:- -, +"},
        {"Kept ", nullptr, 1,
         "Kept: 0 new, 0 copied, 0 restored, 0 archived, 0 unchanged\ng:- - removed, +"},
        {"Kept fg", nullptr, 3,
         "Kept: 1 new, 0 copied, 0 restored, 0 archived, 0 unchanged, 1 deleted by you\n"
         "f:f.mp4, g:- - removed, +"},
        // Engine failures are counted and the run goes on.
        {"Bad hijk?", nullptr, 8,
         "Bad: 1 new, 0 copied, 0 restored, 0 archived, 0 unchanged, 1 need sign-in, 2 failed, 1 "
         "unavailable on YouTube\nSkipped Clip h: needs sign-in: ERROR: [youtube] h: Sign in to "
         "confirm your age. This video may be inappropriate for some users.\nSkipped Clip i: "
         "ERROR: boom\nSkipped Clip j: the service reports this video as elsewhere01\nh:- -, "
         "k:k.mp4, + h.f137.mp4.part j.mp4 j.nfo"},
        // A listing that fails ends the run before anything is made.
        {"Gone l",
         [&] { service.addPlaylist({.id = "PLGone", .behaviour = FakeBehaviour::unsupported}); }, 1,
         "error: ERROR: Unsupported URL: https://www.youtube.com/playlist?list=PLGone [not "
         "checked]\n(no folder) +"},
    };
    for (const auto& [listing, byHand, calls, expected] : steps) {
        SCOPED_TRACE(listing);
        const std::string title = listing.substr(0, listing.find(' '));
        const PlaylistRecord record = playlist(title, listing.substr(title.size() + 1));
        if (byHand) {
            byHand();
        }
        service.clearCalls();
        lines.clear();
        std::string text;
        const std::string error = test::errorOf([&] { text = syncer.sync(record).summary(); });
        text = error == "no error" ? text : "error: " + error;
        text += registered(title).lastCheckedAt == record.lastCheckedAt ? " [not checked]" : "";
        for (const std::string& line : lines) {
            if (!line.starts_with("Reading video info") && !line.starts_with("Downloading \"")) {
                text += "\n" + line;
            }
        }
        EXPECT_EQ(test::shorten(text, record.folder()) + "\n" + test::state(catalog, record),
                  expected);
        EXPECT_EQ(service.calls().size(), calls);
    }
}

TEST_F(SyncEngineTest, ProgressDuplicatesAndStops) {
    std::string progress;
    std::stop_source stop;
    syncer.setStopToken(stop.get_token());
    syncer.setProgress([&](std::size_t n, std::size_t total, const std::string& title) {
        progress += std::to_string(n) + "/" + std::to_string(total) + " " + title + ", ";
        if (title == "Clip d") {
            stop.request_stop();
        }
    });
    // A video listed twice is fetched once and then found unchanged.
    EXPECT_EQ(syncer.sync(playlist("Mix", "aab")).summary(),
              "Mix: 2 new, 0 copied, 0 restored, 0 archived, 1 unchanged");
    EXPECT_EQ(progress, "1/3 Clip a, 2/3 Clip a, 3/3 Clip b, ");

    // A stop requested while an entry is handled ends the run before the next one, unstamped.
    const PlaylistRecord mix = playlist("Mix", "cde");
    EXPECT_EQ(test::errorOf([&] { syncer.sync(mix); }), "stopped");
    EXPECT_EQ(test::state(catalog, mix), "a:a.mp4, b:b.mp4, c:c.mp4, d:d.mp4, +");
    EXPECT_EQ(registered("Mix").lastCheckedAt, mix.lastCheckedAt);

    // The engine's stop (yt-dlp killed during a download) ends the run, not just the entry.
    service.addVideo({.id = vid('f'), .phase = FakePhase::download, .sleepSeconds = 30});
    std::stop_source engineStop;
    syncer.setStopToken({});
    engine.setStopToken(engineStop.get_token());
    engine.setKillGrace(std::chrono::milliseconds(100));
    std::jthread stopper([&] {
        test::waitUntil([&] { return service.callsWith(YouTubeLink::watchURL(vid('f'))) > 1; });
        engineStop.request_stop();
    });
    EXPECT_EQ(test::errorOf([&] { syncer.sync(playlist("Mix", "fg")); }), "stopped");
    EXPECT_EQ(service.callsWith(YouTubeLink::watchURL(vid('g'))), 0);
    // Nothing recorded of f; whether its partial download was begun depends on the moment.
    EXPECT_THAT(test::state(catalog, mix),
                ::testing::StartsWith("a:a.mp4, b:b.mp4, c:c.mp4, d:d.mp4, +"));
}

TEST(SyncEngineDueTest, IntervalBoundaries) {
    const TimePoint now = 1'700'000'000.5;
    const std::vector<std::tuple<std::optional<TimePoint>, bool, bool>> cases = {
        // When last checked, whether enabled, whether due.
        {now - 29 * 60, true, false},        // not yet
        {now - 30 * 60, true, true},         // exactly one interval ago
        {std::nullopt, true, true},          // never checked
        {std::nullopt, false, false},        // stopped
        {now - 10 * 3600, false, false},     // stopped long ago
        {now - 30 * 60 - 0.25, true, true},  // a little over
        {now + 60, true, false},             // checked "in the future" (the clock went back)
    };
    std::vector<PlaylistRecord> playlists(cases.size());
    std::vector<std::int64_t> expected;
    for (std::size_t n = 0; n < cases.size(); ++n) {
        playlists[n].id = static_cast<std::int64_t>(n);
        std::tie(playlists[n].lastCheckedAt, playlists[n].enabled, std::ignore) = cases[n];
        if (std::get<2>(cases[n])) {
            expected.push_back(playlists[n].id);
        }
    }
    std::vector<std::int64_t> due;
    for (const PlaylistRecord& playlist : SyncEngine::due(playlists, now)) {
        due.push_back(playlist.id);
    }
    EXPECT_EQ(due, expected);
}

}  // namespace
}  // namespace kelvo
