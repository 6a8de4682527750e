#include "core/engine/video_metadata.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace kelvo {
namespace {

TEST(VideoMetadata, DecodesAFullDocument) {
    const auto meta = VideoMetadata::decode(R"({
        "id": "abcdefghijk", "title": "Title", "channel": "Chan", "uploader": "Up",
        "upload_date": "20240131", "duration": 212.5, "description": "Desc",
        "tags": ["a", "b"], "categories": ["Music"],
        "chapters": [{"title": "One", "start_time": 0}, {"start_time": 5}, {"title": null},
                     {"title": "Three"}],
        "webpage_url": "https://www.youtube.com/watch?v=abcdefghijk",
        "formats": [{"ignored": true}]
    })");
    const VideoMetadata expected{"abcdefghijk",
                                 "Title",
                                 "Chan",
                                 "20240131",
                                 212.5,
                                 "Desc",
                                 {"a", "b"},
                                 {"Music"},
                                 {"One", "Three"},
                                 "https://www.youtube.com/watch?v=abcdefghijk"};
    EXPECT_EQ(meta, expected);
}

TEST(VideoMetadata, FallsBackWhereKeysAreMissing) {
    const struct {
        const char* json;
        std::string title;
        std::optional<std::string> channel;
    } cases[] = {
        {R"({"id": "x"})", "x", std::nullopt},
        {R"({"id": "x", "title": null, "channel": null, "uploader": "Up"})", "x", "Up"},
        {R"({"id": "x", "title": "T", "channel": "C", "uploader": "Up"})", "T", "C"},
        {R"({"id": "x", "title": "", "uploader": null})", "", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto meta = VideoMetadata::decode(c.json);
        EXPECT_EQ(meta.title, c.title) << c.json;
        EXPECT_EQ(meta.channel, c.channel) << c.json;
        EXPECT_TRUE(meta.tags.empty());
        EXPECT_TRUE(meta.chapterTitles.empty());
        EXPECT_EQ(meta.duration, std::nullopt);
    }
    const auto nulls = VideoMetadata::decode(
        R"({"id": "x", "tags": null, "categories": null, "chapters": null, "duration": null})");
    EXPECT_TRUE(nulls.tags.empty());
    EXPECT_TRUE(nulls.categories.empty());
    EXPECT_EQ(VideoMetadata::decode(R"({"id": "x", "duration": 60})").duration, 60.0);
}

TEST(VideoMetadata, RefusesDocumentsItCannotRead) {
    const char* documents[] = {
        "",
        "not json",
        "[]",
        R"({"title": "no id"})",
        R"({"id": null})",
        R"({"id": 12345})",
        R"({"id": "x", "duration": "212"})",
        R"({"id": "x", "duration": true})",
        R"({"id": "x", "title": 5})",
        R"({"id": "x", "uploader": 5, "channel": "C"})",
        R"({"id": "x", "tags": "a,b"})",
        R"({"id": "x", "tags": ["a", 1]})",
        R"({"id": "x", "chapters": ["One"]})",
        R"({"id": "x", "chapters": [{"title": 1}]})",
        R"({"id": "x", "upload_date": 20240131})",
        R"({"id": "x"} trailing)",
    };
    for (const char* document : documents) {
        EXPECT_THROW(VideoMetadata::decode(document), nlohmann::json::exception) << document;
    }
}

TEST(VideoMetadata, RecordRoundsHalvesAwayFromZero) {
    const struct {
        std::optional<double> duration;
        std::optional<std::int64_t> seconds;
    } cases[] = {
        {212.5, 213}, {212.4, 212}, {212.6, 213},
        {0.5, 1},     {-0.5, -1},   {-1.4, -1},
        {0.0, 0},     {3600, 3600}, {std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        VideoMetadata meta;
        meta.id = "x";
        meta.duration = c.duration;
        EXPECT_EQ(meta.record().durationSec, c.seconds) << c.duration.value_or(-999);
    }
}

TEST(VideoMetadata, RecordCopiesTheCatalogFields) {
    const auto meta = VideoMetadata::decode(
        R"({"id": "abc", "title": "T", "uploader": "U", "upload_date": "20200101",
            "description": "D", "duration": 1.2})");
    VideoRecord expected;
    expected.videoID = "abc";
    expected.title = "T";
    expected.channel = "U";
    expected.uploadDate = "20200101";
    expected.durationSec = 1;
    expected.description = "D";
    expected.status = VideoStatus::queued;
    EXPECT_EQ(meta.record(), expected);
}

}  // namespace
}  // namespace kelvo
