#include "core/pipelines/sync_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <tuple>

#include "core/engine/engine_error.h"
#include "core/links/youtube_link.h"
#include "tests/pipelines/pipeline_fixture.h"

namespace fs = std::filesystem;

namespace kelvo {
namespace {

using test::FakeBehaviour;
using test::FakePhase;
using test::filesBelow;
using test::vid;

using Files = std::vector<std::string>;

class SyncEngineTest : public test::PipelineFixture {
  protected:
    void SetUp() override {
        for (char letter : std::string("abcdefg")) {
            service.addVideo({.id = vid(letter),
                              .title = "Clip " + std::string(1, letter),
                              .info = {{"upload_date", "20240101"}}});
        }
    }
    // "2024-01-01 - Clip a [aaaaaaaaaaa].mp4"
    static std::string name(char letter, const std::string& extension = ".mp4") {
        return "2024-01-01 - Clip " + std::string(1, letter) + " [" + vid(letter) + "]" + extension;
    }
    static std::string both(char letter) { return name(letter) + "|" + name(letter, ".nfo"); }
    // The media and sidecar files of `folder` (below the library) as "media|nfo" pairs.
    Files folderFiles(const std::string& folder) {
        Files pairs;
        const Files files = filesBelow(library / folder);
        for (const std::string& file : files) {
            if (file.ends_with(".mp4")) {
                const std::string nfo = file.substr(0, file.size() - 4) + ".nfo";
                const bool hasNfo = std::find(files.begin(), files.end(), nfo) != files.end();
                pairs.push_back(file + (hasNfo ? "|" + fs::path(nfo).filename().string() : ""));
            }
        }
        return pairs;
    }
    std::string path(const std::string& relative) { return (library / relative).string(); }
};

TEST_F(SyncEngineTest, LifeOfAPlaylist) {
    playlist("PL1", "Mix", {vid('a'), vid('b'), vid('c')});
    SyncReport report = sync("PL1");
    EXPECT_EQ(report.summary(), "Mix: 3 new, 0 copied, 0 restored, 0 archived, 0 unchanged");
    EXPECT_EQ(report.added, (Files{"Clip a", "Clip b", "Clip c"}));
    EXPECT_EQ(folderFiles("Mix"), (Files{both('a'), both('b'), both('c')}));
    EXPECT_TRUE(record("PL1").lastCheckedAt.has_value());

    // b leaves; a private entry appears.
    service.addPlaylist({.id = "PL1",
                         .title = "Mix",
                         .entries = {{.id = vid('a')},
                                     {.id = "privatexxxx", .title = "[Private video]"},
                                     {.id = vid('c')}}});
    report = sync("PL1");
    EXPECT_EQ(
        report.summary(),
        "Mix: 0 new, 0 copied, 0 restored, 1 archived, 2 unchanged, 1 unavailable on YouTube");
    EXPECT_EQ(lines, Files{"Archived (removed from playlist): Clip b"});
    EXPECT_EQ(folderFiles("Mix"), (Files{both('a'), both('c'), "_archive/" + both('b')}));
    auto b = item("PL1", vid('b'));
    EXPECT_EQ(b->filePath, path("Mix/_archive/" + name('b')));
    EXPECT_EQ(b->nfoPath, path("Mix/_archive/" + name('b', ".nfo")));
    EXPECT_TRUE(b->removedAt && b->archivedAt);

    // b comes back; c's file was deleted by hand; a is listed but now private (its file stays).
    fs::remove(library / "Mix" / name('c'));
    service.addPlaylist(
        {.id = "PL1",
         .title = "Mix",
         .entries = {
             {.id = vid('a'), .availability = "private"}, {.id = vid('b')}, {.id = vid('c')}}});
    service.clearCalls();
    report = sync("PL1");
    EXPECT_EQ(report.restored, Files{"Clip b"});
    EXPECT_EQ(report.added, Files{"Clip c"});
    EXPECT_EQ(report.unavailable, 1);
    EXPECT_EQ(lines.front(), "Restored from archive: Clip b");
    EXPECT_EQ(service.callsWith("-o"), 1);
    EXPECT_EQ(folderFiles("Mix"), (Files{both('a'), both('b'), both('c')}));
    b = item("PL1", vid('b'));
    EXPECT_EQ(b->filePath, path("Mix/" + name('b')));
    EXPECT_FALSE(b->removedAt || b->archivedAt);

    // A second playlist holding a: copied, not downloaded; after its copy is deleted by hand,
    // copied again. A same-named file already in the folder is reused.
    playlist("PL2", "Other", {vid('a'), vid('d')});
    test::writeFile(library / "Other" / name('a'), "kept");
    service.clearCalls();
    report = sync("PL2");
    EXPECT_EQ(report.summary(), "Other: 1 new, 1 copied, 0 restored, 0 archived, 0 unchanged");
    EXPECT_EQ(lines.front(), "Copied from another playlist: Clip a");
    EXPECT_EQ(service.callsWith("-o"), 1);
    EXPECT_EQ(folderFiles("Other"), (Files{both('a'), both('d')}));
    EXPECT_EQ(test::readFile(library / "Other" / name('a')), "kept");
    fs::remove(library / "Other" / name('a'));
    report = sync("PL2");
    EXPECT_EQ(report.copied, Files{"Clip a"});
    EXPECT_EQ(report.inSync, 1);
    EXPECT_EQ(folderFiles("Mix"), (Files{both('a'), both('b'), both('c')}));
}

TEST_F(SyncEngineTest, EmptyListingArchivesEverythingAndMissingFilesStayRecorded) {
    playlist("PL1", "Mix", {vid('a'), vid('b')});
    sync("PL1");
    fs::remove(library / "Mix" / name('b'));
    setEntries("PL1", "Mix", {});
    const SyncReport report = sync("PL1");
    EXPECT_EQ(report.summary(), "Mix: 0 new, 0 copied, 0 restored, 2 archived, 0 unchanged");
    EXPECT_EQ(folderFiles("Mix"), Files{"_archive/" + both('a')});
    EXPECT_TRUE(fs::exists(library / "Mix" / name('b', ".nfo")));
    const auto b = item("PL1", vid('b'));
    EXPECT_EQ(b->filePath, path("Mix/" + name('b')));
    EXPECT_TRUE(b->removedAt.has_value());
    EXPECT_FALSE(b->archivedAt.has_value());
    EXPECT_EQ(lines.size(), 2u);
}

TEST_F(SyncEngineTest, DeletedByTheUser) {
    playlist("PL1", "Mix", {vid('a'), vid('b')});
    playlist("PL2", "Other", {vid('b')});
    sync("PL1");
    sync("PL2");
    for (char letter : {'a', 'b'}) {
        for (const std::string& file : catalog.allFiles(vid(letter))) {
            fs::remove(file);
        }
        catalog.markDeleted(vid(letter));
    }
    service.clearCalls();
    SyncReport report = sync("PL1");
    EXPECT_EQ(report.summary(),
              "Mix: 0 new, 0 copied, 0 restored, 0 archived, 0 unchanged, "
              "2 deleted by you");
    EXPECT_EQ(service.callsWith("-J"), 1);  // the listing only

    // Both leave Mix: a is forgotten, b is still held by Other.
    setEntries("PL1", "Mix", {});
    report = sync("PL1");
    EXPECT_TRUE(report.archived.empty());
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(catalog.video(vid('a')).has_value());
    EXPECT_TRUE(catalog.isDeleted(vid('b')));
    EXPECT_TRUE(item("PL1", vid('b'))->removedAt.has_value());
    EXPECT_EQ(item("PL1", vid('b'))->filePath, std::nullopt);

    // Forgotten videos are fetched again when they return; b stays deleted.
    setEntries("PL1", "Mix", {vid('a'), vid('b')});
    report = sync("PL1");
    EXPECT_EQ(report.added, Files{"Clip a"});
    EXPECT_EQ(report.deletedByYou, 1);
}

TEST_F(SyncEngineTest, EngineFailuresAreCountedAndTheRunGoesOn) {
    service.addVideo({.id = vid('a'),
                      .title = "Clip a",
                      .behaviour = FakeBehaviour::signIn,
                      .phase = FakePhase::download});
    service.addVideo({.id = vid('b'),
                      .title = "Clip b",
                      .behaviour = FakeBehaviour::fail,
                      .phase = FakePhase::info,
                      .message = "ERROR: boom"});
    playlist("PL1", "Mix", {vid('a'), vid('b'), vid('c')});
    const SyncReport report = sync("PL1");
    EXPECT_EQ(
        report.summary(),
        "Mix: 1 new, 0 copied, 0 restored, 0 archived, 0 unchanged, 1 need sign-in, 1 failed");
    EXPECT_EQ(report.skippedSignIn, Files{"Clip a"});
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_TRUE(report.failed[0].starts_with("Clip b: ")) << report.failed[0];
    EXPECT_NE(report.failed[0].find("boom"), std::string::npos);
    EXPECT_TRUE(lines[2].starts_with("Skipped Clip a: needs sign-in: ")) << lines[2];
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("Skipped Clip b: "); }),
              1);
    EXPECT_EQ(item("PL1", vid('a')),
              (PlaylistItemRecord{record("PL1").id, vid('a'), {}, {}, {}, {}}));
    EXPECT_EQ(catalog.video(vid('a'))->status, VideoStatus::needsSignIn);
    EXPECT_FALSE(item("PL1", vid('b')).has_value());  // no video row to refer to
    EXPECT_TRUE(record("PL1").lastCheckedAt.has_value());
}

TEST_F(SyncEngineTest, AVideoReportingAnotherIdFailsAloneAndTheRunCompletes) {
    // The listing names d, but the service's information for d describes another video.
    service.addVideo({.id = vid('d'), .title = "Clip d", .info = {{"id", "elsewhere01"}}});
    playlist("PL1", "Mix", {vid('d'), vid('c')});
    const SyncReport report = sync("PL1");
    EXPECT_EQ(report.added, Files{"Clip c"});
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0], "Clip d: the service reports this video as elsewhere01");
    EXPECT_FALSE(item("PL1", vid('d')).has_value());
    EXPECT_TRUE(record("PL1").lastCheckedAt.has_value());
}

TEST_F(SyncEngineTest, OtherErrorsEndTheRunAndKeepWhatWasDone) {
    // The listing fails: nothing is created or stamped.
    service.addPlaylist({.id = "PL1", .title = "Mix", .behaviour = FakeBehaviour::unsupported});
    catalog.addPlaylist("PL1", "Mix", library.string(), 30);
    EXPECT_THROW(sync("PL1"), EngineError);
    EXPECT_FALSE(fs::exists(library / "Mix"));

    // The archive folder cannot be made: the run ends after the downloads, unstamped.
    playlist("PL1", "Mix", {vid('a')});
    sync("PL1");
    const auto checked = record("PL1").lastCheckedAt;
    setEntries("PL1", "Mix", {vid('b')});
    test::writeFile(library / "Mix" / "_archive", "not a folder");
    EXPECT_THROW(sync("PL1"), fs::filesystem_error);
    EXPECT_EQ(record("PL1").lastCheckedAt, checked);
    EXPECT_EQ(folderFiles("Mix"), (Files{both('a'), both('b')}));
    EXPECT_FALSE(item("PL1", vid('a'))->removedAt.has_value());
    EXPECT_EQ(item("PL1", vid('b'))->filePath, path("Mix/" + name('b')));
}

TEST_F(SyncEngineTest, ArchiveNameClashesAreNumbered) {
    playlist("PL1", "Mix", {vid('a')});
    sync("PL1");
    test::writeFile(library / "Mix/_archive" / name('a'), "older copy");
    test::writeFile(library / "Mix/_archive" / ("2024-01-01 - Clip a [" + vid('a') + "] (2).mp4"),
                    "older copy");
    setEntries("PL1", "Mix", {});
    sync("PL1");
    const std::string third = "2024-01-01 - Clip a [" + vid('a') + "] (3).mp4";
    EXPECT_EQ(item("PL1", vid('a'))->filePath, path("Mix/_archive/" + third));
    EXPECT_EQ(item("PL1", vid('a'))->nfoPath, path("Mix/_archive/" + name('a', ".nfo")));
    EXPECT_EQ(fs::file_size(library / "Mix/_archive" / third),
              fs::file_size(test::FakeService::sampleVideo()));
}

TEST_F(SyncEngineTest, FinishesMovesAnInterruptedRunLeftUnrecorded) {
    playlist("PL1", "Mix", {vid('a')});
    sync("PL1");
    // Moved into the archive, but the run ended before the catalog heard of it.
    fs::create_directories(library / "Mix/_archive");
    for (const std::string& file : {name('a'), name('a', ".nfo")}) {
        fs::rename(library / "Mix" / file, library / "Mix/_archive" / file);
    }
    setEntries("PL1", "Mix", {});
    sync("PL1");
    auto a = item("PL1", vid('a'));
    EXPECT_EQ(a->filePath, path("Mix/_archive/" + name('a')));
    EXPECT_EQ(a->nfoPath, path("Mix/_archive/" + name('a', ".nfo")));
    EXPECT_TRUE(a->archivedAt.has_value());

    // Moved back (the sidecar not yet), unrecorded again: restored without a download.
    fs::rename(library / "Mix/_archive" / name('a'), library / "Mix" / name('a'));
    setEntries("PL1", "Mix", {vid('a')});
    service.clearCalls();
    const SyncReport report = sync("PL1");
    EXPECT_EQ(report.restored, Files{"Clip a"});
    EXPECT_EQ(service.callsWith("-o"), 0);
    EXPECT_EQ(folderFiles("Mix"), Files{both('a')});
    a = item("PL1", vid('a'));
    EXPECT_EQ(a->filePath, path("Mix/" + name('a')));
    EXPECT_EQ(a->nfoPath, path("Mix/" + name('a', ".nfo")));
}

TEST_F(SyncEngineTest, ProgressDuplicatesAndStops) {
    playlist("PL1", "Mix", {vid('a'), vid('a'), vid('b')});
    std::vector<std::tuple<std::size_t, std::size_t, std::string>> progress;
    syncer.setProgress([&](std::size_t n, std::size_t total, const std::string& title) {
        progress.emplace_back(n, total, title);
    });
    const SyncReport report = sync("PL1");
    EXPECT_EQ(report.summary(), "Mix: 2 new, 0 copied, 0 restored, 0 archived, 1 unchanged");
    EXPECT_EQ(progress, (std::vector<std::tuple<std::size_t, std::size_t, std::string>>{
                            {1, 3, "Clip a"}, {2, 3, "Clip a"}, {3, 3, "Clip b"}}));
    EXPECT_EQ(lines.size(), 4u);  // the downloader's two lines per video, nothing else

    // A stop requested while entry 2 is handled ends the run before entry 3.
    std::stop_source stop;
    syncer.setStopToken(stop.get_token());
    syncer.setProgress([&](std::size_t n, std::size_t, const std::string&) {
        if (n == 2) {
            stop.request_stop();
        }
    });
    setEntries("PL1", "Mix", {vid('c'), vid('d'), vid('e')});
    const auto checked = record("PL1").lastCheckedAt;
    try {
        sync("PL1");
        ADD_FAILURE() << "the stopped run completed";
    } catch (const EngineError& error) {
        EXPECT_TRUE(error.isStopped());
    }
    EXPECT_TRUE(item("PL1", vid('d')).has_value());
    EXPECT_FALSE(item("PL1", vid('e')).has_value());
    EXPECT_EQ(record("PL1").lastCheckedAt, checked);

    // The engine's stop (yt-dlp killed mid-download) ends the run too, not just the entry.
    service.addVideo(
        {.id = vid('f'), .title = "Clip f", .phase = FakePhase::download, .sleepSeconds = 30});
    setEntries("PL1", "Mix", {vid('f'), vid('g')});
    std::stop_source engineStop;
    syncer.setStopToken({});
    engine.setStopToken(engineStop.get_token());
    engine.setKillGrace(std::chrono::milliseconds(100));
    service.clearCalls();
    std::jthread stopper([&](std::stop_token done) {
        while (!done.stop_requested() && service.callsWith("-o") == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        engineStop.request_stop();
    });
    EXPECT_THROW(sync("PL1"), EngineError);
    EXPECT_EQ(service.callsWith(YouTubeLink::watchURL(vid('g'))), 0);
    EXPECT_FALSE(item("PL1", vid('f')).has_value());
}

}  // namespace
}  // namespace kelvo
