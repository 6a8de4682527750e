#include "core/summaries/generated_digest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/summaries/summarizer.h"

namespace kelvo {
namespace {

TEST(GeneratedDigest, NormalizesTagsAndSummary) {
    struct Case {
        const char* name;
        GeneratedDigest generated;
        VideoDigest expected;
    };
    const std::vector<Case> cases = {
        {"repeats and empties",
         {" Two sentences.\n", {" Cooking ", "cooking", "", "Baking"}},
         {"Two sentences.", {"cooking", "baking"}}},
        {"ten cut to eight",
         {"s", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}},
         {"s", {"a", "b", "c", "d", "e", "f", "g", "h"}}},
        {"repeats do not count toward eight",
         {"s", {"a", "A", " a", "b", "c", "d", "e", "f", "g", "h", "i"}},
         {"s", {"a", "b", "c", "d", "e", "f", "g", "h"}}},
        {"two stay two", {"s", {"x", "y"}}, {"s", {"x", "y"}}},
        {"none", {"  ", {}}, {"", {}}},
        {"line breaks and unicode case",
         {"\n\tSummary\t\n",
          {"\n\u00c4PFEL UND Birnen\r\n", "\u00e4pfel und birnen", "\u03a3\u039f"}},
         {"Summary", {"\u00e4pfel und birnen", "\u03c3\u03bf"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.generated.normalized(), c.expected) << c.name;
    }
}

TEST(GeneratedDigest, ReadsTheModelsAnswer) {
    EXPECT_EQ(GeneratedDigest::fromJSON(R"({"summary": "S.", "tags": ["a", "b"], "extra": 1})"),
              (GeneratedDigest{"S.", {"a", "b"}}));
    EXPECT_EQ(GeneratedDigest::fromJSON(R"( {"tags": [], "summary": ""} )"),
              (GeneratedDigest{"", {}}));

    for (const char* unreadable : {
             "",
             "The video is about bread.",
             R"({"summary": "S.", "tags": ["a"])",
             R"(["S.", ["a"]])",
             R"({"tags": ["a"]})",
             R"({"summary": null, "tags": ["a"]})",
             R"({"summary": 3, "tags": ["a"]})",
             R"({"summary": "S."})",
             R"({"summary": "S.", "tags": "a, b"})",
             R"({"summary": "S.", "tags": ["a", 2]})",
             "{\"summary\": \"\xff\", \"tags\": []}",
         }) {
        EXPECT_THROW(GeneratedDigest::fromJSON(unreadable), SummarizerError) << unreadable;
    }
}

TEST(GeneratedDigest, SchemaHasExactlySummaryAndTags) {
    const nlohmann::json schema = GeneratedDigest::schema();
    EXPECT_EQ(schema["type"], "object");
    ASSERT_EQ(schema["properties"].size(), 2u);
    EXPECT_EQ(schema["properties"]["summary"]["type"], "string");
    EXPECT_EQ(schema["properties"]["summary"]["description"],
              "One or two plain sentences describing what the video is about.");
    EXPECT_EQ(schema["properties"]["tags"]["type"], "array");
    EXPECT_EQ(schema["properties"]["tags"]["items"]["type"], "string");
    EXPECT_EQ(schema["properties"]["tags"]["description"],
              "Between 3 and 8 short lowercase search tags, one to three words each.");
    EXPECT_EQ(schema["required"], nlohmann::json({"summary", "tags"}));
    EXPECT_EQ(schema["additionalProperties"], false);
}

}  // namespace
}  // namespace kelvo
