// Hostile answers from the video service, through the real pipelines and the yt-dlp stand-in:
// titles and ids that try to leave the library or smuggle template fields, control and bidi
// characters, huge titles, wrong JSON types, a tool that floods its error output or dies on a
// signal. Nothing may be written outside the library folder, every failure must be a clear
// error, and the next run must work.
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <fstream>
#include <set>

#include "core/engine/engine_error.h"
#include "core/library/nfo_writer.h"
#include "tests/pipelines/pipeline_fixture.h"

namespace fs = std::filesystem;

namespace kelvo {
namespace {

using test::FakeBehaviour;
using test::FakePhase;
using test::FakePlaylist;
using test::vid;

// Every path below the test program's scratch folder.
std::set<fs::path> everything() {
    std::set<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(test::scratchRoot())) {
        paths.insert(entry.path());
    }
    return paths;
}

bool isWithin(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

bool isWellFormedXML(const fs::path& path) {
    xmlDoc* doc = xmlReadFile(path.c_str(), nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlFreeDoc(doc);
    return doc != nullptr;
}

class HostileMetadataTest : public test::PipelineFixture {
  protected:
    std::set<fs::path> before = everything();

    // Fails for every new path outside the library, the service's own folder and the catalog.
    void expectNothingWrittenOutsideLibrary() {
        for (const fs::path& path : everything()) {
            if (before.contains(path) || isWithin(path, library) ||
                isWithin(path, box / "service") ||
                path.filename().string().starts_with("catalog.sqlite")) {
                continue;
            }
            ADD_FAILURE() << "written outside the library: " << path;
        }
    }

    // The file and its sidecar sit directly in `folder`, with names a file system accepts.
    void expectSavedIn(const GetResult& result, const fs::path& folder) {
        EXPECT_EQ(result.file.parent_path(), folder);
        EXPECT_EQ(result.nfo.parent_path(), folder);
        EXPECT_TRUE(fs::is_regular_file(result.file)) << result.file;
        EXPECT_LE(result.file.filename().string().size(), 255u) << result.file;
        EXPECT_TRUE(isWellFormedXML(result.nfo)) << result.nfo;
    }

    // Replaces one playlist's listing in the stand-in's service file.
    void setListing(const std::string& playlistID, const nlohmann::json& listing) {
        nlohmann::json doc = nlohmann::json::parse(test::readFile(service.servicePath()));
        doc["playlists"][playlistID]["listing"] = listing;
        test::writeFile(service.servicePath(), doc.dump());
    }
};

const std::string cjkTitle = [] {
    std::string title;
    for (int i = 0; i < 1000; ++i) {
        title += "漢";
    }
    return title;
}();

struct HostileVideo {
    std::string title;
    std::optional<std::string> reportedID{};  // the "id" of the information, when not the link's
};

const std::vector<HostileVideo> hostileVideos = {
    {"../../../escape"},
    {"/etc/passwd"},
    {".."},
    {"%(id)s %(title)s %(ext)s $HOME ${PATH} %% $$"},
    {"\x01\x1b[31mred\xe2\x80\xae"
     "evil\xe2\x80\xac\x7f\xe2\x80\x8b tail\n\r\t"},
    {cjkTitle},
    {"Fine title", "../../outside"},
    {"Slash id", "a/b\\c"},
    {"Dots id", ".."},
};

TEST_F(HostileMetadataTest, SingleVideosStayInTheirFolder) {
    const fs::path singles = library / "Singles";
    for (std::size_t i = 0; i < hostileVideos.size(); ++i) {
        const HostileVideo& hostile = hostileVideos[i];
        const std::string linkID = vid(static_cast<char>('a' + i));
        nlohmann::json info = {{"upload_date", "20240131"}, {"description", hostile.title}};
        if (hostile.reportedID) {
            info["id"] = *hostile.reportedID;
        }
        service.addVideo({.id = linkID, .title = hostile.title, .info = info});

        const GetResult result = downloader.get("https://youtu.be/" + linkID, singles);
        SCOPED_TRACE(result.file.string());
        expectSavedIn(result, singles);
        // The catalog keeps the id the service reported, unchanged.
        const std::string id = hostile.reportedID.value_or(linkID);
        EXPECT_EQ(result.videoID, id);
        ASSERT_TRUE(catalog.video(id).has_value());
        EXPECT_EQ(catalog.video(id)->status, VideoStatus::done);
        EXPECT_EQ(catalog.video(id)->title, hostile.title);
    }
    expectNothingWrittenOutsideLibrary();
}

TEST(HostileSidecar, NameNearTheFileSystemLimitIsWritten) {
    // A cut title still makes a file name of up to about 230 bytes; the sidecar's temporary
    // file beside it must not need more than the 255 bytes a name may have.
    test::Sandbox box;
    const fs::path target = box / (std::string(250, 'n') + ".nfo");
    VideoMetadata meta;
    meta.id = "id";
    meta.title = "Long";
    NFOWriter::write(meta, std::nullopt, {}, target);
    EXPECT_TRUE(isWellFormedXML(target));
    EXPECT_EQ(std::distance(fs::directory_iterator(box.root()), fs::directory_iterator()), 1);
}

TEST_F(HostileMetadataTest, PlaylistWithHostileTitlesAndIdsSyncsTwice) {
    FakePlaylist remote{.id = "PLhostile", .title = "../../%(title)s $HOME"};
    for (std::size_t i = 0; i < hostileVideos.size(); ++i) {
        // The listing's ids are the ones the video's information reports.
        const std::string id =
            hostileVideos[i].reportedID.value_or(vid(static_cast<char>('a' + i)));
        service.addVideo({.id = id, .title = hostileVideos[i].title});
        remote.entries.push_back({.id = id});
    }
    service.addPlaylist(remote);
    catalog.addPlaylist(remote.id, *remote.title, library.string(), 30);
    const fs::path folder = record(remote.id).folder();
    ASSERT_TRUE(isWithin(folder, library)) << folder;

    const SyncReport first = sync(remote.id);
    EXPECT_EQ(first.added.size(), hostileVideos.size());
    EXPECT_TRUE(first.failed.empty()) << first.failed.front();
    for (const PlaylistItemRecord& item : catalog.items(record(remote.id).id)) {
        ASSERT_TRUE(item.filePath.has_value()) << item.videoID;
        EXPECT_EQ(fs::path(*item.filePath).parent_path(), folder);
        EXPECT_TRUE(isWellFormedXML(*item.nfoPath)) << *item.nfoPath;
    }

    const SyncReport second = sync(remote.id);
    EXPECT_EQ(second.inSync, hostileVideos.size());
    EXPECT_TRUE(second.added.empty());
    expectNothingWrittenOutsideLibrary();
}

TEST_F(HostileMetadataTest, WrongJSONTypesFailClearlyAndTheNextRunWorks) {
    const fs::path singles = library / "Singles";
    const std::vector<nlohmann::json> wrongInfos = {
        {{"title", 5}},         {{"id", nlohmann::json::array({"x"})}},
        {{"tags", "one, two"}}, {{"duration", "long"}},
        {{"chapters", {1, 2}}}, {{"upload_date", 20240131}},
    };
    for (const nlohmann::json& wrong : wrongInfos) {
        SCOPED_TRACE(wrong.dump());
        service.addVideo({.id = vid('w'), .info = wrong});
        try {
            downloader.get(vid('w'), singles);
            ADD_FAILURE() << "no error";
        } catch (const EngineError& error) {
            EXPECT_TRUE(error.description().starts_with("could not read yt-dlp metadata: "))
                << error.description();
        }
        EXPECT_FALSE(catalog.video(vid('w')).has_value());
    }
    service.addVideo({.id = vid('w'), .title = "Fixed"});
    expectSavedIn(downloader.get(vid('w'), singles), singles);

    playlist("PLwrong", "Wrong types", {vid('w')});
    const std::vector<nlohmann::json> wrongListings = {
        {{"entries", "none"}},
        {{"entries", {{{"id", 7}}}}},
        {{"entries", {"aaaaaaaaaaa"}}},
        {{"title", {{"en", "x"}}}, {"entries", nlohmann::json::array()}},
        {{"entries", {{{"id", "x"}, {"availability", false}}}}},
    };
    for (const nlohmann::json& wrong : wrongListings) {
        SCOPED_TRACE(wrong.dump());
        setListing("PLwrong", wrong);
        try {
            sync("PLwrong");
            ADD_FAILURE() << "no error";
        } catch (const EngineError& error) {
            EXPECT_TRUE(error.description().starts_with("could not read playlist listing: "))
                << error.description();
        }
        EXPECT_FALSE(record("PLwrong").lastCheckedAt.has_value());
    }
    setEntries("PLwrong", "Wrong types", {vid('w')});
    EXPECT_EQ(sync("PLwrong").added.size(), 1u);
    EXPECT_TRUE(record("PLwrong").lastCheckedAt.has_value());
    expectNothingWrittenOutsideLibrary();
}

TEST_F(HostileMetadataTest, FloodOfErrorTextEndsInTheLastErrorLine) {
    const fs::path singles = library / "Singles";
    std::string flood;
    while (flood.size() < 4'000'000) {
        flood += "WARNING: [youtube] chatter chatter chatter chatter chatter chatter\n";
    }
    flood += "ERROR: [youtube] the real reason\n";
    flood += std::string(1'000'000, '.') + "\n";
    service.addVideo({.id = vid('f'),
                      .behaviour = FakeBehaviour::fail,
                      .phase = FakePhase::download,
                      .message = flood});
    try {
        downloader.get(vid('f'), singles);
        ADD_FAILURE() << "no error";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.description(), "ERROR: [youtube] the real reason");
    }
    EXPECT_EQ(catalog.video(vid('f'))->error, "ERROR: [youtube] the real reason");

    service.addVideo({.id = vid('f'), .title = "Quiet now"});
    expectSavedIn(downloader.get(vid('f'), singles), singles);
    EXPECT_EQ(catalog.video(vid('f'))->status, VideoStatus::done);
    expectNothingWrittenOutsideLibrary();
}

TEST_F(HostileMetadataTest, ToolDyingOnASignalIsAFailureAndTheNextRunWorks) {
    const fs::path singles = library / "Singles";
    service.addVideo({.id = vid('s'), .title = "Survivor"});

    // A yt-dlp that says a little and then kills itself, in a tools folder of its own.
    const fs::path tools = box / "dying-tools";
    test::FakeService::makeToolsDir(tools);
    fs::remove(tools / "yt-dlp");
    test::writeFile(tools / "yt-dlp", "#!/bin/sh\necho 'half a line' >&2\nkill -SEGV $$\n");
    fs::permissions(tools / "yt-dlp", fs::perms::owner_all);
    before = everything();
    YTDLPEngine dying(ToolLocator({tools}), 1);
    Downloader doomed(catalog, dying, nullptr, log);
    try {
        doomed.get(vid('s'), singles);
        ADD_FAILURE() << "no error";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.kind(), EngineError::Kind::failed);
        EXPECT_EQ(error.description(), "half a line");
    }
    EXPECT_FALSE(catalog.video(vid('s')).has_value());

    expectSavedIn(downloader.get(vid('s'), singles), singles);
    expectNothingWrittenOutsideLibrary();
}

}  // namespace
}  // namespace kelvo
