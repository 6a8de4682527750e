// The library listing with files on disk, file lookups, tombstones and forgetting.

#include <algorithm>

#include "tests/catalog/catalog_test_support.h"

namespace kelvo::test {
namespace {

using Access = CatalogTestAccess;

std::vector<std::string> ids(const std::vector<CatalogEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& entry : entries) {
        out.push_back(entry.videoID);
    }
    return out;
}

const CatalogEntry* find(const std::vector<CatalogEntry>& entries, const std::string& id) {
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [&](const CatalogEntry& entry) { return entry.videoID == id; });
    return it == entries.end() ? nullptr : &*it;
}

TEST_F(CatalogTest, ListingFlagsFollowTheFilesOnDisk) {
    const auto mix = catalog->addPlaylist("PLmix", "Mix", "/lib", 30);
    // current: a current copy in the playlist folder.
    addVideo("current", "Current", VideoStatus::done, 60);
    catalog->upsertItem(mix, "current", touch("Mix/current.mp4"), std::nullopt);
    // archived: its only copy left the playlist into the archive folder.
    addVideo("archived", "Archived", VideoStatus::done, 50);
    catalog->upsertItem(mix, "archived", touch("Mix/_archive/archived.mp4"), std::nullopt);
    catalog->markRemoved(mix, "archived", (sandbox / "Mix/_archive/archived.mp4").string(),
                         std::nullopt, true);
    // missing: done, but every recorded file was deleted from disk.
    addVideo("missing", "Missing", VideoStatus::done, 40);
    catalog->setFilePath("missing", (sandbox / "Singles/missing.mp4").string());
    catalog->upsertItem(mix, "missing", (sandbox / "Mix/_archive/missing.mp4").string(),
                        std::nullopt);
    // single: fetched on its own, with tags and a summary.
    addVideo("single", "Single", VideoStatus::done, 30);
    catalog->setFilePath("single", touch("Singles/single.mp4"));
    catalog->setTags("single", {"b", "a"}, "youtube");
    catalog->setTags("single", {"a", "c"}, "kelvo");
    catalog->saveSummary("single", "About it.", "m");
    // failed and needs sign-in carry their error; queued does not, and is not missing.
    addVideo("failed", "Failed", VideoStatus::done, 20);
    catalog->setStatus("failed", VideoStatus::failed, "HTTP Error 403");
    addVideo("signin", "Sign in", VideoStatus::needsSignIn);
    catalog->setStatus("signin", VideoStatus::needsSignIn, "needs sign-in: age");
    addVideo("queued", "Queued", VideoStatus::queued);
    Access::run(*catalog, "UPDATE videos SET error = 'stale' WHERE video_id = 'queued';");

    const auto entries = catalog->entries(std::nullopt, 50);
    ASSERT_EQ(entries.size(), 7u);
    const auto order = ids(entries);
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 5),
              (std::vector<std::string>{"current", "archived", "missing", "single", "failed"}));

    struct Expect {
        const char* id;
        bool archived;
        bool missing;
        std::optional<std::string> error;
        std::optional<std::string> playlist;
    };
    const Expect table[] = {
        {"current", false, false, std::nullopt, "Mix"},
        {"archived", true, false, std::nullopt, "Mix"},
        {"missing", false, true, std::nullopt, "Mix"},
        {"single", false, false, std::nullopt, std::nullopt},
        {"failed", false, false, "HTTP Error 403", std::nullopt},
        {"signin", false, false, "needs sign-in: age", std::nullopt},
        {"queued", false, false, std::nullopt, std::nullopt},
    };
    for (const Expect& e : table) {
        SCOPED_TRACE(e.id);
        const CatalogEntry* entry = find(entries, e.id);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->isArchived, e.archived);
        EXPECT_EQ(entry->isMissing, e.missing);
        EXPECT_EQ(entry->error, e.error);
        EXPECT_EQ(entry->playlistTitle, e.playlist);
        EXPECT_EQ(entry->isSingle(), !e.playlist);
    }
    const CatalogEntry* single = find(entries, "single");
    EXPECT_EQ(single->tags, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(single->summary, "About it.");
    EXPECT_EQ(single->downloadedAt, 30);

    // With a current copy gone the archived one is chosen.
    std::filesystem::remove(sandbox / "Mix/current.mp4");
    touch("Mix/_archive/current.mp4");
    catalog->markRemoved(mix, "current", (sandbox / "Mix/_archive/current.mp4").string(),
                         std::nullopt, true);
    EXPECT_TRUE(find(catalog->entries(std::nullopt, 50), "current")->isArchived);
}

TEST_F(CatalogTest, ListingSearchNarrowsButKeepsNewestFirst) {
    addVideo("old", "Guitar old", VideoStatus::done, 10);
    addVideo("new", "Guitar guitar guitar new", VideoStatus::done, 30);
    addVideo("never", "Guitar never finished", VideoStatus::downloading);
    addVideo("other", "Piano", VideoStatus::done, 20);
    addVideo("gone", "Guitar gone", VideoStatus::done, 40);
    catalog->markDeleted("gone");

    EXPECT_EQ(ids(catalog->entries("guitar", 10)),
              (std::vector<std::string>{"new", "old", "never"}));
    EXPECT_EQ(ids(catalog->entries(std::nullopt, 2)), (std::vector<std::string>{"new", "other"}));
    EXPECT_EQ(ids(catalog->entries(" \t\u3000 ", 10)),
              (std::vector<std::string>{"new", "other", "old", "never"}));
    EXPECT_TRUE(catalog->entries("gone", 10).empty());  // a tombstone is never listed
    EXPECT_TRUE(catalog->entries("violin", 10).empty());
    EXPECT_TRUE(catalog->entries("\n", 10).empty());  // a line break is a search with no words
    EXPECT_TRUE(catalog->entries(std::nullopt, 0).empty());
    // A deleted video whose title matches stays out even when its index row is stale.
    Access::run(*catalog,
                "INSERT INTO videos_fts (video_id, title, summary, tags) VALUES "
                "('gone', 'Guitar gone', '', '');");
    EXPECT_EQ(ids(catalog->entries("gone", 10)), std::vector<std::string>{});
}

TEST_F(CatalogTest, ListingSurvivesAFailingLookup) {
    addVideo("v", "Title", VideoStatus::done, 5);
    catalog->setFilePath("v", touch("v.mp4"));
    Access::exec(*catalog, "DROP TABLE tags; DROP TABLE playlist_items;");
    const auto entries = catalog->entries(std::nullopt, 5);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].tags.empty());
    EXPECT_EQ(entries[0].playlistTitle, std::nullopt);
    EXPECT_TRUE(entries[0].isMissing);  // the path lookup failed as a whole
}

TEST_F(CatalogTest, FilePathPrefersCurrentCopyThenSingleThenTheRest) {
    const auto a = catalog->addPlaylist("PLa", "A", "/lib", 30);
    const auto b = catalog->addPlaylist("PLb", "B", "/lib", 30);
    addVideo("v", "T");
    const auto removed = touch("A/_archive/v.mp4");
    const auto current = touch("B/v.mp4");
    const auto single = touch("Singles/v.mp4");
    catalog->upsertItem(a, "v", removed, std::nullopt);
    catalog->markRemoved(a, "v", removed, std::nullopt, true);
    catalog->upsertItem(b, "v", current, std::nullopt);
    catalog->setFilePath("v", single);

    EXPECT_EQ(catalog->filePath("v"), current);
    std::filesystem::remove(current);
    EXPECT_EQ(catalog->filePath("v"), single);
    std::filesystem::remove(single);
    EXPECT_EQ(catalog->filePath("v"), removed);
    std::filesystem::remove(removed);
    EXPECT_EQ(catalog->filePath("v"), std::nullopt);
    EXPECT_EQ(catalog->filePath("unknown"), std::nullopt);
}

TEST_F(CatalogTest, AllFilesListsEachExistingFileOnce) {
    const auto a = catalog->addPlaylist("PLa", "A", "/lib", 30);
    const auto b = catalog->addPlaylist("PLb", "B", "/lib", 30);
    addVideo("v", "T");
    addVideo("w", "W");
    const auto media = touch("A/v.mp4");
    const auto nfo = touch("A/v.nfo");
    catalog->upsertItem(a, "v", media, nfo);
    catalog->upsertItem(b, "v", media, (sandbox / "B/gone.nfo").string());  // same file twice
    const auto single = touch("Singles/2024 - v.title [v].mp4");
    const auto singleNfo = touch("Singles/2024 - v.title [v].nfo");
    catalog->setFilePath("v", single);
    catalog->setFilePath("w", (sandbox / "Singles/w.mkv").string());
    const auto wNfo = touch("Singles/w.nfo");

    EXPECT_EQ(catalog->allFiles("v"), (std::vector<std::string>{media, nfo, single, singleNfo}));
    EXPECT_EQ(catalog->allFiles("w"), std::vector<std::string>{wNfo});
    EXPECT_TRUE(catalog->allFiles("unknown").empty());
    auto all = catalog->allFilesOfAllVideos();
    std::sort(all.begin(), all.end());
    std::vector<std::string> expected{media, nfo, single, singleNfo, wNfo};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(all, expected);
}

TEST_F(CatalogTest, MarkDeletedLeavesATombstoneAndForgetLeavesNothing) {
    const auto mix = catalog->addPlaylist("PLmix", "Mix", "/lib", 30);
    for (const char* id : {"kept", "gone"}) {
        addVideo(id, std::string("Searchable ") + id, VideoStatus::done, 7);
        catalog->setTags(id, {"tag"}, "youtube");
        catalog->saveSummary(id, "summary", "m");
        catalog->setFilePath(id, touch(std::string("Singles/") + id + ".mp4"));
        catalog->upsertItem(mix, id, touch(std::string("Mix/") + id + ".mp4"), std::nullopt);
    }
    catalog->markRemoved(mix, "kept", std::nullopt, std::nullopt, false);
    catalog->markDeleted("kept");

    EXPECT_TRUE(catalog->isDeleted("kept"));
    EXPECT_FALSE(catalog->isDeleted("gone"));
    EXPECT_FALSE(catalog->isDeleted("unknown"));
    EXPECT_EQ(catalog->filePath("kept"), std::nullopt);
    EXPECT_TRUE(catalog->tags("kept").empty());
    EXPECT_TRUE(catalog->inAnyPlaylist("kept"));
    const auto record = catalog->video("kept");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->title, "Searchable kept");
    EXPECT_EQ(record->downloadedAt, 7);
    const auto items = catalog->items(mix);
    const auto item =
        std::find_if(items.begin(), items.end(), [](const auto& i) { return i.videoID == "kept"; });
    ASSERT_NE(item, items.end());
    EXPECT_TRUE(item->removedAt);
    EXPECT_EQ(item->filePath, std::nullopt);
    EXPECT_EQ(ids(catalog->entries("searchable", 10)), std::vector<std::string>{"gone"});
    EXPECT_NO_THROW(catalog->markDeleted("kept"));  // running it again is harmless

    catalog->forget("kept");
    catalog->forget("unknown");
    EXPECT_EQ(catalog->video("kept"), std::nullopt);
    EXPECT_FALSE(catalog->inAnyPlaylist("kept"));
    EXPECT_FALSE(catalog->isDeleted("kept"));
    for (const char* table : {"videos", "playlist_items", "summaries", "tags", "videos_fts"}) {
        EXPECT_EQ(count(std::string("SELECT COUNT(*) FROM ") + table + " WHERE video_id = 'kept';"),
                  0)
            << table;
    }
    EXPECT_EQ(catalog->entries(std::nullopt, 10).size(), 1u);
}

TEST_F(CatalogTest, InterruptedDownloadsBecomeFailedOnce) {
    addVideo("a", "A", VideoStatus::downloading);
    addVideo("b", "B", VideoStatus::downloading, 12);
    addVideo("c", "C", VideoStatus::done, 5);
    addVideo("d", "D", VideoStatus::queued);
    EXPECT_EQ(catalog->failInterruptedDownloads(), 2);
    for (const char* id : {"a", "b"}) {
        const auto record = catalog->video(id);
        EXPECT_EQ(record->status, VideoStatus::failed) << id;
        EXPECT_EQ(record->error, "interrupted before it finished") << id;
    }
    EXPECT_EQ(catalog->video("b")->downloadedAt, 12);
    EXPECT_EQ(catalog->video("c")->status, VideoStatus::done);
    EXPECT_EQ(catalog->video("d")->status, VideoStatus::queued);
    EXPECT_EQ(catalog->failInterruptedDownloads(), 0);
}

}  // namespace
}  // namespace kelvo::test
