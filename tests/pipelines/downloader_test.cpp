#include "core/pipelines/downloader.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/engine/engine_error.h"
#include "core/library/nfo_writer.h"
#include "tests/pipelines/pipeline_fixture.h"

namespace fs = std::filesystem;

namespace kelvo {
namespace {

using test::FakeBehaviour;
using test::FakePhase;
using test::readFile;
using test::vid;

// Answers with a fixed digest, nothing, or an error, and records what it was asked.
class ScriptedSummarizer : public Summarizer {
  public:
    std::function<std::optional<VideoDigest>()> answer;
    std::vector<std::string> asked;

    std::string modelVersion() const override { return "test-model 1"; }
    bool isAvailable() const override { return true; }
    std::string unavailableReason() const override { return "available"; }
    std::optional<VideoDigest> digest(const VideoMetadata& meta) override {
        asked.push_back(meta.id);
        return answer();
    }
};

const std::vector<std::string> twelveTags = {"Alpha", "Beta",  "Gamma", "Delta", "Epsilon", "Zeta",
                                             "Eta",   "Theta", "Iota",  "Kappa", "Lambda",  "Mu"};

class DownloaderTest : public test::PipelineFixture {
  protected:
    fs::path singles = library / "Singles";
    ScriptedSummarizer summarizer;
    Downloader summarizing{catalog, engine, &summarizer, log};

    void addVideo(char letter, nlohmann::json info = nlohmann::json::object()) {
        info.emplace("upload_date", "20240131");
        service.addVideo(
            {.id = vid(letter), .title = "Clip " + std::string(1, letter), .info = info});
    }
    // The row's status, and whether it has an error and a download time.
    std::tuple<VideoStatus, std::optional<std::string>, bool> row(const std::string& id) {
        const auto video = catalog.video(id);
        EXPECT_TRUE(video.has_value());
        return {video->status, video->error, video->downloadedAt.has_value()};
    }
};

TEST_F(DownloaderTest, ServiceTagsWithoutSummarizer) {
    addVideo('a', {{"tags", twelveTags}, {"duration", 95}});
    std::vector<std::tuple<VideoStatus, std::optional<std::string>, bool>> seen;
    Downloader watched(catalog, engine, nullptr, [&](const std::string& line) {
        lines.push_back(line);
        if (catalog.video(vid('a'))) {
            seen.push_back(row(vid('a')));
        }
    });

    const GetResult result = watched.get("https://youtu.be/" + vid('a') + "?si=share", singles);

    const std::string base = "2024-01-31 - Clip a [" + vid('a') + "]";
    EXPECT_EQ(result.videoID, vid('a'));
    EXPECT_EQ(result.file, singles / (base + ".mp4"));
    EXPECT_EQ(result.nfo, singles / (base + ".nfo"));
    EXPECT_EQ(result.summary, std::nullopt);
    const std::vector<std::string> firstEight(twelveTags.begin(), twelveTags.begin() + 8);
    EXPECT_EQ(result.tags, firstEight);
    EXPECT_TRUE(fs::exists(result.file));

    const VideoMetadata meta = engine.metadata(vid('a'));
    EXPECT_EQ(readFile(result.nfo), NFOWriter::xml(meta, std::nullopt, firstEight));
    EXPECT_EQ(catalog.tags(vid('a')).size(), 12u);
    EXPECT_EQ(catalog.tags(vid('a')).front(), "alpha");
    EXPECT_EQ(lines, (std::vector<std::string>{"Reading video info…",
                                               "Downloading \"Clip a\" (best up to 1080p)…"}));
    // The row was written after the information was read and was `downloading` while yt-dlp ran.
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::make_tuple(VideoStatus::downloading, std::nullopt, false));
    EXPECT_EQ(row(vid('a')), std::make_tuple(VideoStatus::done, std::nullopt, true));
    EXPECT_EQ(catalog.filePath(vid('a')), result.file.string());
}

TEST_F(DownloaderTest, DigestTagsWinAndBothSourcesAreKept) {
    addVideo('b', {{"tags", twelveTags}});
    summarizer.answer = [] {
        return VideoDigest{"A clip about letters.", {"greek letters", "alphabet"}};
    };
    const GetResult result = summarizing.get(vid('b'), singles);

    EXPECT_EQ(result.summary, "A clip about letters.");
    EXPECT_EQ(result.tags, (std::vector<std::string>{"greek letters", "alphabet"}));
    const std::string nfo = readFile(result.nfo);
    EXPECT_NE(nfo.find("<plot>A clip about letters.</plot>"), std::string::npos);
    EXPECT_NE(nfo.find("<tag>alphabet</tag>"), std::string::npos);
    EXPECT_EQ(nfo.find("<tag>Alpha</tag>"), std::string::npos);
    EXPECT_EQ(catalog.tags(vid('b')).size(), 14u);
    ASSERT_EQ(catalog.search("alphabet", 5).size(), 1u);
    EXPECT_EQ(catalog.search("alphabet", 5)[0].summary, "A clip about letters.");
    EXPECT_EQ(lines[2], "Summarizing on this computer…");
    EXPECT_EQ(lines.size(), 3u);
}

TEST_F(DownloaderTest, SummaryProblemsNeverFailTheRun) {
    addVideo('c', {{"tags", {"one", "two"}}});
    const std::vector<std::pair<std::function<std::optional<VideoDigest>()>, std::string>> cases = {
        {[] { return std::nullopt; }, "Summary skipped: on-device model not available."},
        {[]() -> std::optional<VideoDigest> { throw SummarizerError("model server timed out"); },
         "Summary skipped: model server timed out"},
    };
    for (const auto& [answer, line] : cases) {
        lines.clear();
        summarizer.answer = answer;
        const GetResult result = summarizing.get(vid('c'), singles);
        EXPECT_EQ(result.summary, std::nullopt);
        EXPECT_EQ(result.tags, (std::vector<std::string>{"one", "two"}));
        EXPECT_EQ(lines.back(), line);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1);
        EXPECT_EQ(std::get<0>(row(vid('c'))), VideoStatus::done);
    }
}

TEST_F(DownloaderTest, RerunOfADoneVideoKeepsTheEarlierDigestUntilReplaced) {
    addVideo('d');
    summarizer.answer = [] { return VideoDigest{"First summary.", {"first"}}; };
    summarizing.get(vid('d'), singles);
    const TimePoint firstDone = *catalog.video(vid('d'))->downloadedAt;

    summarizer.answer = [] { return std::nullopt; };
    std::optional<VideoRecord> during;
    Downloader again(catalog, engine, &summarizer, [&](const std::string& line) {
        if (line.starts_with("Downloading")) {
            during = catalog.video(vid('d'));
        }
    });
    again.get(vid('d'), singles);

    ASSERT_TRUE(during.has_value());
    EXPECT_EQ(during->status, VideoStatus::downloading);
    EXPECT_EQ(during->downloadedAt, std::nullopt);
    EXPECT_GE(*catalog.video(vid('d'))->downloadedAt, firstDone);
    EXPECT_EQ(catalog.tags(vid('d')), std::vector<std::string>{"first"});
    EXPECT_EQ(catalog.search("summary", 5).size(), 1u);
}

TEST_F(DownloaderTest, EmptyTitleAndOddIdStayInsideTheFolder) {
    service.addVideo({.id = "../x/y", .title = ""});
    const GetResult result = downloader.get("../x/y", singles);
    EXPECT_EQ(result.videoID, "../x/y");
    EXPECT_EQ(result.file.parent_path(), singles);
    EXPECT_EQ(result.nfo.parent_path(), singles);
    EXPECT_NE(result.file.filename().string().find(" - untitled ["), std::string::npos);
    EXPECT_EQ(lines[1], "Downloading \"\" (best up to 1080p)…");
    EXPECT_EQ(catalog.video("../x/y")->status, VideoStatus::done);
}

TEST_F(DownloaderTest, FailuresAreRecordedAndRethrown) {
    struct Case {
        test::FakeVideo video;
        std::optional<VideoStatus> status;  // none: the catalog is not touched
        EngineError::Kind kind;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{.id = vid('e'), .behaviour = FakeBehaviour::signIn, .phase = FakePhase::download},
         VideoStatus::needsSignIn,
         EngineError::Kind::needsSignIn,
         "needs sign-in: "},
        {{.id = vid('f'), .behaviour = FakeBehaviour::noFile, .phase = FakePhase::download},
         VideoStatus::failed,
         EngineError::Kind::failed,
         "yt-dlp reported success but "},
        {{.id = vid('g'), .behaviour = FakeBehaviour::signIn, .phase = FakePhase::info},
         std::nullopt,
         EngineError::Kind::needsSignIn,
         "needs sign-in: "},
    };
    for (const Case& c : cases) {
        lines.clear();
        service.addVideo(c.video);
        try {
            downloader.get(c.video.id, singles);
            ADD_FAILURE() << c.video.id << " did not fail";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.kind(), c.kind);
            EXPECT_TRUE(error.description().starts_with(c.error)) << error.description();
            const auto video = catalog.video(c.video.id);
            ASSERT_EQ(video.has_value(), c.status.has_value());
            if (video) {
                EXPECT_EQ(video->status, *c.status);
                EXPECT_EQ(video->error, error.description());
                EXPECT_EQ(video->downloadedAt, std::nullopt);
            } else {
                EXPECT_EQ(lines, std::vector<std::string>{"Reading video info…"});
            }
        }
    }
    // A folder that cannot be created is not an engine error: recorded as failed, passed on.
    service.addVideo({.id = vid('h')});
    test::writeFile(box / "blocked", "a file where a folder should be");
    EXPECT_THROW(downloader.get(vid('h'), box / "blocked" / "Singles"), fs::filesystem_error);
    EXPECT_EQ(catalog.video(vid('h'))->status, VideoStatus::failed);
    EXPECT_TRUE(catalog.video(vid('h'))->error.has_value());
}

}  // namespace
}  // namespace kelvo
