// Playlists, their folder names, and memberships.

#include <chrono>
#include <thread>

#include "tests/catalog/catalog_test_support.h"

namespace kelvo::test {
namespace {

using Access = CatalogTestAccess;

std::optional<std::string> folderOf(Catalog& catalog, std::int64_t id) {
    for (const auto& playlist : catalog.playlists()) {
        if (playlist.id == id) {
            return playlist.folderName;
        }
    }
    ADD_FAILURE() << "no playlist " << id;
    return std::nullopt;
}

TEST_F(CatalogTest, FolderNamesGetASuffixOnlyWhenTheyClashInOneTargetDirectory) {
    const auto music = catalog->addPlaylist("PLfirst000111", "Music", "/lib", 30);
    EXPECT_EQ(folderOf(*catalog, music), "Music");

    struct Case {
        const char* id;
        const char* title;
        const char* target;
        const char* folder;
    };
    const Case cases[] = {
        {"PLsecond222222", "music", "/lib", "music [222222]"},  // clash in any letter case
        {"PLthird333333", "music", "/elsewhere", "music"},      // another directory
        {"PLfourth444444", "music", "/lib/", "music"},          // targets compare as text
        {"abc", "MUSIC", "/lib", "MUSIC [abc]"},                // short id: all of it
        {"PLdot55555555", ".kelvo", "/lib", ""},                // straight into the target
        {"PLdot66666666", ".kelvo", "/lib", ""},                // "" never clashes
        {"PLslash777777", "Mu/sic", "/lib", "Mu-sic"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(folderOf(*catalog, catalog->addPlaylist(c.id, c.title, c.target, 60)), c.folder);
    }
    // A playlist stored without a folder name clashes through its sanitized title.
    Access::run(*catalog,
                "INSERT INTO playlists (youtube_playlist_id, title, target_path) VALUES "
                "('PLlegacy', 'Talks', '/old');");
    EXPECT_EQ(folderOf(*catalog, catalog->addPlaylist("PLnew999999", "TALKS", "/old", 30)),
              "TALKS [999999]");
}

TEST_F(CatalogTest, RegisteringAKnownPlaylistAgainUpdatesItInPlace) {
    const auto id = catalog->addPlaylist("PLsame123456", "Music", "/lib", 30);
    catalog->addPlaylist("PLother654321", "Renamed", "/lib", 30);
    catalog->setPlaylistEnabled(id, false);
    catalog->touchChecked(id, 1700000000.5);

    // Not compared with itself, nor with a playlist whose name it does not share.
    EXPECT_EQ(catalog->addPlaylist("PLsame123456", "Renamed", "/lib", 120), id);
    const auto playlists = catalog->playlists();
    ASSERT_EQ(playlists.size(), 2u);
    const PlaylistRecord expected{.id = id,
                                  .youtubeID = "PLsame123456",
                                  .title = "Music",  // the first title stays
                                  .targetPath = "/lib",
                                  .intervalMin = 120,
                                  .enabled = true,
                                  .lastCheckedAt = 1700000000.5,
                                  .folderName = "Renamed [123456]"};
    EXPECT_EQ(playlists[0], expected);  // ordered by title: "Music" before "Renamed"
    EXPECT_EQ(playlists[1].title, "Renamed");
}

TEST_F(CatalogTest, EmptyAndUnknownAnswersAreNotErrors) {
    EXPECT_TRUE(catalog->playlists().empty());
    EXPECT_TRUE(catalog->items(77).empty());
    EXPECT_NO_THROW(catalog->setPlaylistEnabled(77, true));
    EXPECT_NO_THROW(catalog->touchChecked(77, 1.0));
    EXPECT_NO_THROW(catalog->markRemoved(77, "v", std::nullopt, std::nullopt, true));
    EXPECT_EQ(catalog->existingCopy("v"), std::nullopt);
    EXPECT_FALSE(catalog->inAnyPlaylist("v"));
    EXPECT_EQ(catalog->activeItemCount("v"), 0);
    EXPECT_EQ(catalog->playlistTitle("v"), std::nullopt);
}

TEST_F(CatalogTest, MembershipLeavesAndComesBackKeepingItsFirstSighting) {
    const auto id = catalog->addPlaylist("PL1", "Mix", "/lib", 30);
    addVideo("v", "T");
    catalog->upsertItem(id, "v", "/lib/Mix/v.mp4", "/lib/Mix/v.nfo");
    const auto firstSeen = [&] {
        return count(
            "SELECT CAST(first_seen_at * 1000 AS INTEGER) % 1000000000 FROM "
            "playlist_items WHERE video_id = 'v';");
    };
    const auto seen = firstSeen();

    catalog->markRemoved(id, "v", "/lib/Mix/_archive/v.mp4", std::nullopt, true);
    auto items = catalog->items(id);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].filePath, "/lib/Mix/_archive/v.mp4");
    EXPECT_EQ(items[0].nfoPath, std::nullopt);
    ASSERT_TRUE(items[0].removedAt);
    EXPECT_EQ(items[0].archivedAt, items[0].removedAt);
    EXPECT_TRUE(catalog->inAnyPlaylist("v"));
    EXPECT_EQ(catalog->activeItemCount("v"), 0);

    catalog->markRemoved(id, "v", std::nullopt, std::nullopt, false);
    items = catalog->items(id);
    EXPECT_EQ(items[0].archivedAt, std::nullopt);
    EXPECT_TRUE(items[0].removedAt);

    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a rewrite would show
    catalog->upsertItem(id, "v", "/lib/Mix/v.mp4", std::nullopt);
    items = catalog->items(id);
    EXPECT_EQ(items[0], (PlaylistItemRecord{id, "v", "/lib/Mix/v.mp4", std::nullopt, std::nullopt,
                                            std::nullopt}));
    EXPECT_EQ(firstSeen(), seen);
    EXPECT_EQ(catalog->activeItemCount("v"), 1);
}

TEST_F(CatalogTest, CountsBindTheVideoIdWhateverItHolds) {
    const auto a = catalog->addPlaylist("PLa", "A", "/lib", 30);
    const auto b = catalog->addPlaylist("PLb", "B", "/lib", 30);
    const std::string tricky = "it's'; DELETE FROM playlist_items; --";
    for (const std::string& id : {tricky, std::string("plain"), std::string("it''s")}) {
        addVideo(id, id);
    }
    catalog->upsertItem(a, tricky, std::nullopt, std::nullopt);
    catalog->upsertItem(b, tricky, std::nullopt, std::nullopt);
    catalog->upsertItem(a, "plain", std::nullopt, std::nullopt);
    catalog->markRemoved(b, tricky, std::nullopt, std::nullopt, false);

    EXPECT_TRUE(catalog->inAnyPlaylist(tricky));
    EXPECT_EQ(catalog->activeItemCount(tricky), 1);
    EXPECT_FALSE(catalog->inAnyPlaylist("it''s"));  // not the same id once quotes are doubled
    EXPECT_FALSE(catalog->inAnyPlaylist("it"));
    EXPECT_EQ(catalog->items(a).size(), 2u);  // nothing was deleted by the id's text
}

TEST_F(CatalogTest, ExistingCopyTakesTheFirstFileStillOnDisk) {
    const auto a = catalog->addPlaylist("PLa", "A", "/lib", 30);
    const auto b = catalog->addPlaylist("PLb", "B", "/lib", 30);
    const auto c = catalog->addPlaylist("PLc", "C", "/lib", 30);
    addVideo("v", "T");
    const auto gone = (sandbox / "A/v.mp4").string();  // current, but deleted from disk
    const auto archived = touch("B/_archive/v.mp4");
    catalog->upsertItem(a, "v", gone, std::nullopt);
    catalog->upsertItem(b, "v", archived, "/nowhere/v.nfo");
    catalog->markRemoved(b, "v", archived, "/nowhere/v.nfo", true);
    catalog->upsertItem(c, "v", std::nullopt, std::nullopt);
    EXPECT_EQ(catalog->existingCopy("v"), (ExistingCopy{archived, "/nowhere/v.nfo"}));

    const auto current = touch("C/v.mp4");
    catalog->upsertItem(c, "v", current, std::nullopt);
    EXPECT_EQ(catalog->existingCopy("v"), (ExistingCopy{current, std::nullopt}));
}

TEST_F(CatalogTest, PlaylistTitlePrefersACurrentMembership) {
    const auto old = catalog->addPlaylist("PLold", "Old", "/lib", 30);
    const auto now = catalog->addPlaylist("PLnow", "Now", "/lib", 30);
    addVideo("v", "T");
    catalog->upsertItem(old, "v", std::nullopt, std::nullopt);
    catalog->markRemoved(old, "v", std::nullopt, std::nullopt, false);
    EXPECT_EQ(catalog->playlistTitle("v"), "Old");
    catalog->upsertItem(now, "v", std::nullopt, std::nullopt);
    EXPECT_EQ(catalog->playlistTitle("v"), "Now");
}

}  // namespace
}  // namespace kelvo::test
