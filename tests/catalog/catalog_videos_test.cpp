// Video rows, statuses, tags and the full-text search.

#include <algorithm>
#include <chrono>

#include "tests/catalog/catalog_test_support.h"

namespace kelvo::test {
namespace {

using Access = CatalogTestAccess;
using P = Catalog::Parameter;

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::vector<std::string> ids(const std::vector<SearchHit>& hits) {
    std::vector<std::string> out;
    for (const auto& hit : hits) {
        out.push_back(hit.videoID);
    }
    return out;
}

TEST_F(CatalogTest, VideoRoundTripsEveryFieldAndUpsertLeavesTheFilePathAlone) {
    const VideoRecord full{.videoID = "abcDEF_-123",
                           .title = "Ünïcode title",
                           .channel = "Channel",
                           .uploadDate = "20240131",
                           .durationSec = 4000000000LL,
                           .description = "multi\nline",
                           .status = VideoStatus::failed,
                           .error = "boom",
                           .downloadedAt = 1700000000.25};
    catalog->upsertVideo(full);
    EXPECT_EQ(catalog->video(full.videoID), full);
    catalog->setFilePath(full.videoID, touch("Singles/a.mp4"));

    VideoRecord bare = videoRecord(full.videoID, "New");
    bare.status = VideoStatus::done;
    catalog->upsertVideo(bare);
    EXPECT_EQ(catalog->video(full.videoID), bare);  // every column overwritten, NULLs too
    EXPECT_EQ(catalog->filePath(full.videoID), (sandbox / "Singles/a.mp4").string());
    EXPECT_EQ(catalog->video("unknown"), std::nullopt);
}

TEST_F(CatalogTest, SetStatusStampsTheDownloadTimeOnlyForDone) {
    addVideo("v", "T", VideoStatus::failed, std::nullopt);
    catalog->setStatus("v", VideoStatus::failed, "first error");
    const double before = secondsNow();
    catalog->setStatus("v", VideoStatus::done);
    const double after = secondsNow();
    auto record = catalog->video("v");
    EXPECT_EQ(record->status, VideoStatus::done);
    EXPECT_EQ(record->error, std::nullopt);
    ASSERT_TRUE(record->downloadedAt);
    EXPECT_GE(*record->downloadedAt, before);
    EXPECT_LE(*record->downloadedAt, after);

    const TimePoint stamped = *record->downloadedAt;
    catalog->setStatus("v", VideoStatus::needsSignIn, "needs sign-in: log in");
    record = catalog->video("v");
    EXPECT_EQ(record->status, VideoStatus::needsSignIn);
    EXPECT_EQ(record->error, "needs sign-in: log in");
    EXPECT_EQ(record->downloadedAt, stamped);

    EXPECT_NO_THROW(catalog->setStatus("unknown", VideoStatus::done));
    EXPECT_EQ(catalog->video("unknown"), std::nullopt);
}

TEST_F(CatalogTest, TagsAreNormalisedPerCallAndReplacedPerSource) {
    addVideo("v", "T");
    catalog->setTags("v", {"  Rock ", "rock", "", " \t", "JAZZ\n", "Ünïcode"}, "youtube");
    // Insertion order is the rowid order of the table.
    for (int i = 1; i <= 3; ++i) {
        const auto hit = count(
            "SELECT COUNT(*) FROM tags WHERE video_id = 'v' AND source = "
            "'youtube' AND tag = ?1 AND rowid = ?2;",
            {P(std::string(i == 1   ? "rock"
                           : i == 2 ? "jazz"
                                    : "ünïcode")),
             P(std::int64_t{i})});
        EXPECT_EQ(hit, 1) << i;
    }
    EXPECT_EQ(count("SELECT COUNT(*) FROM tags;"), 3);

    catalog->setTags("v", {"jazz", "Blues"}, "kelvo");
    EXPECT_EQ(catalog->tags("v"), (std::vector<std::string>{"blues", "jazz", "rock", "ünïcode"}));
    // The shared tag is indexed once per source: five words in the index row, "jazz" twice.
    EXPECT_EQ(count("SELECT (length(tags) - length(replace(tags, 'jazz', ''))) / 4 FROM "
                    "videos_fts WHERE video_id = 'v';"),
              2);
    EXPECT_EQ(count("SELECT length(tags) - length(replace(tags, ' ', '')) FROM videos_fts WHERE "
                    "video_id = 'v';"),
              4);

    catalog->setTags("v", {}, "youtube");
    EXPECT_EQ(catalog->tags("v"), (std::vector<std::string>{"blues", "jazz"}));
    EXPECT_TRUE(catalog->search("rock", 10).empty());
    EXPECT_EQ(ids(catalog->search("blue", 10)), std::vector<std::string>{"v"});
    EXPECT_TRUE(catalog->tags("unknown").empty());
}

TEST(CatalogSearchQuery, WordsBecomePrefixPhrasesAndOperatorsStayPlainWords) {
    const std::pair<const char*, const char*> table[] = {
        {"guitar lesson", R"("guitar"* "lesson"*)"},
        {"don't stop", R"("don"* "t"* "stop"*)"},
        {"lo-fi_beats", R"("lo"* "fi"* "beats"*)"},
        {"rock AND roll OR NOT jazz", R"("rock"* "AND"* "roll"* "OR"* "NOT"* "jazz"*)"},
        {"title:foo NEAR(a b) \"quoted\" ^start *",
         R"("title"* "foo"* "NEAR"* "a"* "b"* "quoted"* "start"*)"},
        {"  Ünïcode 日本語  ", R"("Ünïcode"* "日本語"*)"},
        {"  - ' \" () , ", ""},
        {"", ""},
    };
    for (const auto& [input, expected] : table) {
        EXPECT_EQ(Catalog::ftsQuery(input), expected) << input;
    }
}

class CatalogSearchTest : public CatalogTest {
  protected:
    void SetUp() override {
        CatalogTest::SetUp();
        addVideo("g1", "Guitar lesson for beginners");
        addVideo("g2", "Advanced guitar solo");
        addVideo("d1", "Don't stop me now");
        addVideo("c1", "Cooking pasta");
        catalog->saveSummary("c1", "An Italian grandmother explains carbonara.", "m1");
        catalog->setTags("c1", {"Recipes"}, "kelvo");
    }
};

TEST_F(CatalogSearchTest, FindsByPrefixInEveryColumnAndNeedsEveryWord) {
    const std::pair<const char*, std::vector<std::string>> table[] = {
        {"guit", {"g1", "g2"}},
        {"guitar begin", {"g1"}},
        {"guitar pasta", {}},
        {"carbon", {"c1"}},
        {"recipe", {"c1"}},
        {"don't", {"d1"}},
        {"don t stop", {"d1"}},
        {"-guitar-solo-", {"g2"}},
        {"NOT guitar", {}},  // NOT is a word to match, not an operator
        {"title:guitar OR (solo", {}},
    };
    for (const auto& [query, expected] : table) {
        auto found = ids(catalog->search(query, 10));
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected) << query;
    }
    const auto hits = catalog->search("carbonara", 10);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0],
              (SearchHit{"c1", "Cooking pasta", "An Italian grandmother explains carbonara."}));
    EXPECT_EQ(catalog->search("solo", 10)[0].summary, std::nullopt);
}

TEST_F(CatalogSearchTest, LimitsAndTextsWithoutWords) {
    EXPECT_TRUE(catalog->search("guitar", 0).empty());
    EXPECT_EQ(catalog->search("guitar", 1).size(), 1u);
    // A text without words never reaches the database: with the index gone it still answers.
    Access::exec(*catalog, "DROP TABLE videos_fts;");
    EXPECT_TRUE(catalog->search("  -- ' - ", 10).empty());
    EXPECT_THROW(catalog->search("guitar", 10), CatalogError);
}

TEST_F(CatalogSearchTest, IndexFollowsTitleChanges) {
    addVideo("g1", "Piano lesson");
    EXPECT_EQ(ids(catalog->search("piano", 10)), std::vector<std::string>{"g1"});
    EXPECT_EQ(ids(catalog->search("guitar", 10)), std::vector<std::string>{"g2"});
    EXPECT_EQ(count("SELECT COUNT(*) FROM videos_fts WHERE video_id = 'g1';"), 1);
}

}  // namespace
}  // namespace kelvo::test
