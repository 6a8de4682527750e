#include "core/pipelines/downloader.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/library/nfo_writer.h"
#include "tests/pipelines/pipeline_fixture.h"

namespace fs = std::filesystem;

namespace kelvo {
namespace {

using test::vid;

// Answers with whatever `answer` gives.
struct ScriptedSummarizer : Summarizer {
    std::function<std::optional<VideoDigest>()> answer;
    std::string modelVersion() const override { return "test-model 1"; }
    bool isAvailable() const override { return true; }
    std::string unavailableReason() const override { return ""; }
    std::optional<VideoDigest> digest(const VideoMetadata&) override { return answer(); }
};

using DownloaderTest = test::PipelineFixture;

// Failures of single downloads are among the hostile answers (tests/hostile).
TEST_F(DownloaderTest, RowStatesTagsAndDigestsOverSuccessiveGets) {
    const fs::path singles = library / "Singles";
    const std::vector<std::string> twelve = {"Alpha", "Beta",  "Gamma", "Delta", "Epsilon", "Zeta",
                                             "Eta",   "Theta", "Iota",  "Kappa", "Lambda",  "Mu"};
    const std::vector<std::string> firstEight(twelve.begin(), twelve.begin() + 8);
    service.addVideo({.id = vid('a'),
                      .title = "Clip a",
                      .info = {{"upload_date", "20240131"}, {"tags", twelve}, {"duration", 95}}});
    const VideoDigest digest{"A clip about letters.", {"greek letters", "alphabet"}};
    const std::vector<std::tuple<std::function<std::optional<VideoDigest>()>, std::string>> cases =
        {
            // The summarizer's answer (none: no summarizer), the log lines after the first two.
            {nullptr, ""},
            {[&] { return digest; }, "\nSummarizing on this computer…"},
            {[] { return std::nullopt; },
             "\nSummarizing on this computer…\nSummary skipped: on-device model not available."},
            {[]() -> std::optional<VideoDigest> {
                 throw SummarizerError("model server timed out");
             },
             "\nSummarizing on this computer…\nSummary skipped: model server timed out"},
        };
    const std::string base = "2024-01-31 - Clip a [" + vid('a') + "]";
    TimePoint previous = 0;
    bool digested = false;  // a digest, once there, stays until another replaces it
    for (const auto& [answer, summaryLines] : cases) {
        SCOPED_TRACE(summaryLines);
        const bool digestNow = answer && summaryLines.find("skipped") == std::string::npos;
        digested = digested || digestNow;
        const std::optional<std::string> summary =
            digestNow ? std::optional(digest.summary) : std::nullopt;
        const std::vector<std::string> tags = digestNow ? digest.tags : firstEight;
        ScriptedSummarizer summarizer;
        summarizer.answer = answer;
        std::optional<VideoRecord> during;
        std::string said;
        Downloader watched(catalog, engine, answer ? &summarizer : nullptr, [&](auto& line) {
            said += "\n" + line;
            if (line.starts_with("Downloading")) {
                during = catalog.video(vid('a'));
            }
        });
        const GetResult result = watched.get("https://youtu.be/" + vid('a') + "?si=share", singles);

        EXPECT_EQ(result, (GetResult{vid('a'), singles / (base + ".mp4"), singles / (base + ".nfo"),
                                     summary, tags}));
        EXPECT_TRUE(fs::exists(result.file));
        EXPECT_EQ(test::readFile(result.nfo),
                  NFOWriter::xml(engine.metadata(vid('a')), summary, tags));
        EXPECT_EQ(said, "\nReading video info…\nDownloading \"Clip a\" (best up to 1080p)…" +
                            summaryLines);
        // While yt-dlp ran the row was `downloading`, without an error or a download time.
        VideoRecord row = engine.metadata(vid('a')).record();
        row.status = VideoStatus::downloading;
        EXPECT_EQ(during, row);
        row.status = VideoStatus::done;
        row.downloadedAt = catalog.video(vid('a'))->downloadedAt;
        EXPECT_EQ(catalog.video(vid('a')), row);
        EXPECT_GE(row.downloadedAt.value_or(0), previous);
        previous = row.downloadedAt.value_or(0);
        EXPECT_EQ(catalog.filePath(vid('a')), result.file.string());
        EXPECT_EQ(catalog.tags(vid('a')).size(), digested ? 14u : 12u);  // service's and kelvo's
        EXPECT_EQ(catalog.search("Clip", 5).at(0).summary,
                  digested ? std::optional(digest.summary) : std::nullopt);
    }
}

}  // namespace
}  // namespace kelvo
