#include "core/engine/video_metadata.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <tuple>

namespace kelvo {
namespace {

TEST(VideoMetadata, DecodesAFullDocumentIntoItsCatalogRow) {
    const auto meta = VideoMetadata::decode(R"({
        "id": "abcdefghijk", "title": "Title", "channel": "Chan", "uploader": "Up",
        "upload_date": "20240131", "duration": 212.5, "description": "Desc",
        "tags": ["a", "b"], "categories": ["Music"],
        "chapters": [{"title": "One", "start_time": 0}, {"start_time": 5}, {"title": null},
                     {"title": "Three"}],
        "webpage_url": "https://www.youtube.com/watch?v=abcdefghijk", "formats": [{"x": 1}]})");
    const VideoRecord row = meta.record();
    EXPECT_EQ(std::tie(row.videoID, row.title, row.channel, row.uploadDate, row.durationSec,
                       row.description, row.status),
              std::make_tuple("abcdefghijk", "Title", "Chan", "20240131", 213, "Desc",
                              VideoStatus::queued));
    using Texts = std::vector<std::string>;
    EXPECT_EQ(meta.tags, (Texts{"a", "b"}));
    EXPECT_EQ(meta.categories, Texts{"Music"});
    EXPECT_EQ(meta.chapterTitles, (Texts{"One", "Three"}));
    EXPECT_EQ(meta.duration, 212.5);
    EXPECT_EQ(meta.webpageURL, "https://www.youtube.com/watch?v=abcdefghijk");
}

TEST(VideoMetadata, AbsentAndNullKeysFallBack) {
    const struct {
        const char* json;
        std::string title;
        std::optional<std::string> channel;
    } cases[] = {
        {R"({"id": "x"})", "x", std::nullopt},
        {R"({"id": "x", "title": null, "channel": null, "uploader": "Up"})", "x", "Up"},
        {R"({"id": "x", "title": "", "uploader": null, "tags": null, "categories": null,
             "chapters": null, "duration": null, "upload_date": null})",
         "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        const auto meta = VideoMetadata::decode(c.json);
        EXPECT_EQ(meta.title, c.title);
        EXPECT_EQ(meta.channel, c.channel);
        EXPECT_TRUE(meta.tags.empty() && meta.categories.empty() && meta.chapterTitles.empty());
        EXPECT_EQ(meta.duration, std::nullopt);
        EXPECT_EQ(meta.uploadDate, std::nullopt);
    }
    EXPECT_EQ(VideoMetadata::decode(R"({"id": "x", "duration": 60})").duration, 60.0);
}

TEST(VideoMetadata, RefusesDocumentsItCannotRead) {
    for (const char* document :
         {"", "not json", "[]", R"({"title": "no id"})", R"({"id": null})", R"({"id": 12345})",
          R"({"id": "x", "duration": "212"})", R"({"id": "x", "duration": true})",
          R"({"id": "x", "title": 5})", R"({"id": "x", "uploader": 5, "channel": "C"})",
          R"({"id": "x", "tags": "a,b"})", R"({"id": "x", "tags": ["a", 1]})",
          R"({"id": "x", "chapters": ["One"]})", R"({"id": "x", "chapters": [{"title": 1}]})",
          R"({"id": "x", "upload_date": 20240131})", R"({"id": "x"} trailing)"}) {
        EXPECT_THROW(VideoMetadata::decode(document), nlohmann::json::exception) << document;
    }
}

TEST(VideoMetadata, DurationRoundsHalvesAwayFromZero) {
    const std::pair<std::optional<double>, std::optional<std::int64_t>> cases[] = {
        {212.5, 213}, {212.4, 212}, {0.5, 1}, {-0.5, -1}, {-1.4, -1}, {3600, 3600}, {{}, {}}};
    for (const auto& [duration, seconds] : cases) {
        VideoMetadata meta;
        meta.duration = duration;
        EXPECT_EQ(meta.record().durationSec, seconds) << duration.value_or(-999);
    }
}

}  // namespace
}  // namespace kelvo
