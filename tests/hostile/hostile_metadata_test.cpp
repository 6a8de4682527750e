// Hostile answers from the video service, through the real pipelines and the yt-dlp stand-in:
// titles and ids that try to leave the library or smuggle template fields, control and bidi
// characters, huge titles, wrong JSON types, a tool that floods its error output or dies on a
// signal. Nothing may be written outside the library folder, every failure must be a clear
// error, and the next run must work.
#include <gtest/gtest.h>

#include <set>

#include "tests/pipelines/pipeline_fixture.h"
#include "tests/support/xml.h"

namespace fs = std::filesystem;

namespace kelvo {
namespace {

using test::FakeBehaviour;
using test::FakePhase;
using test::vid;

// The paths below the test program's scratch folder but outside `library`, the stand-in's folder
// and the catalog's files.
std::set<fs::path> outside(const fs::path& library, const fs::path& service) {
    std::set<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(test::scratchRoot())) {
        const std::string path = entry.path().string() + "/";
        if (!path.starts_with(library.string() + "/") &&
            !path.starts_with(service.string() + "/") &&
            path.find("/catalog.sqlite") == std::string::npos) {
            paths.insert(entry.path());
        }
    }
    return paths;
}

class HostileMetadataTest : public test::PipelineFixture {
  protected:
    fs::path singles = library / "Singles";
    std::set<fs::path> before = outside(library, box / "service");

    void TearDown() override { EXPECT_EQ(outside(library, box / "service"), before); }

    // The media file and a well-formed sidecar sit directly in `folder` under names a file
    // system accepts.
    void expectSaved(const fs::path& file, const fs::path& nfo, const fs::path& folder) {
        EXPECT_EQ(std::make_pair(file.parent_path(), nfo.parent_path()),
                  std::make_pair(folder, folder));
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
        EXPECT_LE(file.filename().string().size(), 255u) << file;
        EXPECT_EQ(test::xmlProblem(test::readFile(nfo)), "") << nfo;
    }
};

TEST_F(HostileMetadataTest, HostileTitlesAndIdsStayInTheirFolders) {
    std::string cjk;
    for (int i = 0; i < 1000; ++i) {
        cjk += "漢";
    }
    const std::vector<std::pair<std::string, std::string>> hostile = {
        // A title, and the id the information reports when it is not the link's.
        {"../../../escape", ""},
        {"/etc/passwd", ""},
        {"..", ""},
        {"", ""},
        {"%(id)s %(title)s %(ext)s $HOME ${PATH} %% $$", ""},
        {"\x01\x1b[31mred\u202Eevil\u202C\x7f\u200B tail\n\r\t", ""},
        {cjk, ""},
        {"Fine title", "../../outside"},
        {"Slash id", "a/b\\c"},
        {"Dots id", ".."},
    };
    // One by one as single videos: the catalog keeps the id the service reported, unchanged.
    test::FakePlaylist remote{.id = "PLhostile", .title = "../../%(title)s $HOME"};
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        const auto& [title, reported] = hostile[i];
        const std::string link = vid(static_cast<char>('a' + i));
        const std::string id = reported.empty() ? link : reported;
        SCOPED_TRACE(id + " " + title);
        service.addVideo(
            {.id = link, .title = title, .info = {{"id", id}, {"description", title}}});
        const GetResult result = downloader.get("https://youtu.be/" + link, singles);
        expectSaved(result.file, result.nfo, singles);
        EXPECT_EQ(result.videoID, id);
        const std::optional<VideoRecord> row = catalog.video(id);
        ASSERT_TRUE(row.has_value());
        EXPECT_EQ(std::make_pair(row->status, row->title),
                  std::make_pair(VideoStatus::done, title));
        // The playlist lists the ids the information reports; it downloads them anew.
        service.addVideo({.id = id, .title = title});
        catalog.forget(id);
        remote.entries.push_back({.id = id});
    }

    // All of them in a playlist with a hostile title, synced twice.
    service.addPlaylist(remote);
    catalog.addPlaylist(remote.id, *remote.title, library.string(), 30);
    const PlaylistRecord playlist = catalog.playlists().at(0);
    EXPECT_EQ(syncer.sync(playlist).summary(),
              playlist.title + ": 10 new, 0 copied, 0 restored, 0 archived, 0 unchanged");
    EXPECT_EQ(syncer.sync(playlist).summary(),
              playlist.title + ": 0 new, 0 copied, 0 restored, 0 archived, 10 unchanged");
    for (const PlaylistItemRecord& item : catalog.items(playlist.id)) {
        expectSaved(item.filePath.value_or(""), item.nfoPath.value_or(""), playlist.folder());
    }
}

TEST_F(HostileMetadataTest, BadAnswersFailClearlyAndTheNextRunWorks) {
    const PlaylistRecord wrong = playlist("Wrong", "w");
    // A yt-dlp that says a little and then kills itself, found before the stand-in.
    test::writeFile(box / "dying/yt-dlp", "#!/bin/sh\necho 'half a line' >&2\nkill -SEGV $$\n");
    fs::permissions(box / "dying/yt-dlp", fs::perms::owner_all);
    YTDLPEngine dyingEngine(ToolLocator({box / "dying", service.toolsDir()}), 1);
    Downloader dying(catalog, dyingEngine, nullptr, log);
    test::writeFile(box / "blocked", "a file where a folder should be");
    before = outside(library, box / "service");
    std::string flood;
    while (flood.size() < 4'000'000) {
        flood += "WARNING: [youtube] chatter chatter chatter chatter chatter chatter\n";
    }
    flood += "ERROR: [youtube] the real reason\n" + std::string(1'000'000, '.') + "\n";

    const auto get = [&](test::FakeVideo video, Downloader* through = nullptr,
                         fs::path folder = {}) {
        return [&, video, through, folder]() mutable {
            video.id = vid('w');
            service.addVideo(video);
            return test::errorOf([&] {
                (through ? *through : downloader).get(vid('w'), folder.empty() ? singles : folder);
            });
        };
    };
    const auto listing = [&](nlohmann::json document) {
        return [&, document] {
            nlohmann::json doc = nlohmann::json::parse(test::readFile(service.servicePath()));
            doc["playlists"]["PLWrong"]["listing"] = document;
            test::writeFile(service.servicePath(), doc.dump());
            return test::errorOf([&] { syncer.sync(wrong); });
        };
    };
    // Wrong types of every field are the decoders' tests; here one of each document.
    const std::vector<std::tuple<std::function<std::string()>, std::string, std::string>> cases = {
        // How it fails, the error ("*": and more), the video's status afterwards.
        {get({.info = {{"tags", "one, two"}}}), "could not read yt-dlp metadata: *", "-"},
        {listing({{"entries", {{{"id", 7}}}}}), "could not read playlist listing: *", "-"},
        {get({}, &dying), "half a line", "-"},
        {get({.behaviour = FakeBehaviour::fail, .phase = FakePhase::download, .message = flood}),
         "ERROR: [youtube] the real reason", "failed"},
        {get({.behaviour = FakeBehaviour::signIn, .phase = FakePhase::download}),
         "needs sign-in: *", "needs_sign_in"},
        {get({.behaviour = FakeBehaviour::noFile, .phase = FakePhase::download}),
         "yt-dlp reported success but *", "failed"},
        {get({}, nullptr, box / "blocked/Singles"), "filesystem error: *", "failed"},
    };
    for (const auto& [fail, error, status] : cases) {
        SCOPED_TRACE(error);
        const std::string failure = fail();
        EXPECT_TRUE(error.ends_with("*") ? failure.starts_with(error.substr(0, error.size() - 1))
                                         : failure == error)
            << failure;
        // A failed download is recorded with its error and without a download time.
        const std::optional<VideoRecord> row = catalog.video(vid('w'));
        EXPECT_EQ(row ? std::string(toText(row->status)) : "-", status);
        EXPECT_TRUE(!row || (row->error == failure && !row->downloadedAt)) << failure;
        EXPECT_EQ(registered("Wrong").lastCheckedAt, std::nullopt);
    }
    service.addVideo({.id = vid('w'), .title = "Fine"});
    EXPECT_EQ(syncer.sync(playlist("Wrong", "w")).summary(),
              "Wrong: 1 new, 0 copied, 0 restored, 0 archived, 0 unchanged");
    const PlaylistItemRecord item = catalog.items(wrong.id).at(0);
    expectSaved(item.filePath.value_or(""), item.nfoPath.value_or(""), wrong.folder());
}

}  // namespace
}  // namespace kelvo
