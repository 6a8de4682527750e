// kelvo's catalog: opening and migrating, the statement layer, sharing one file, the records;
// videos, tags and search; playlists and memberships; files on disk and the library listing;
// removal.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "tests/catalog/catalog_test_support.h"
#include "tests/support/environment.h"
#include "tests/support/process.h"
#include "tests/support/sandbox.h"

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;
using Access = CatalogTestAccess;

// Runs SQL on a connection of its own: column 0 of the last row as a number; -1 without a row
// or when the SQL fails.
int raw(const fs::path& path, const std::string& sql) {
    sqlite3* db = nullptr;
    int value = -1;
    const auto row = [](void* out, int, char** values, char**) {
        *static_cast<int*>(out) = values[0] != nullptr ? std::atoi(values[0]) : -1;
        return 0;
    };
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, sql.c_str(), row, &value, nullptr) != SQLITE_OK) {
        value = -1;
    }
    sqlite3_close(db);
    return value;
}

template <typename Rows>
std::vector<std::string> ids(const Rows& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows) {
        out.push_back(row.videoID);
    }
    return out;
}

class CatalogTest : public ::testing::Test {
  protected:
    void add(const std::string& id, const std::string& title,
             VideoStatus status = VideoStatus::done,
             std::optional<TimePoint> downloadedAt = std::nullopt) {
        catalog.upsertVideo(videoRecord(id, title, status, downloadedAt));
    }
    // A file in the sandbox, created (empty is enough for every existence check) unless it is to
    // be missing.
    std::string file(const std::string& relative, bool onDisk = true) {
        if (onDisk) {
            writeFile(sandbox / relative, "");
        }
        return (sandbox / relative).string();
    }
    std::optional<int> count(const std::string& sql) { return Access::queryInt(catalog, sql); }

    Sandbox sandbox;
    Catalog catalog{sandbox / "catalog.sqlite"};
};

TEST_F(CatalogTest, OpeningMigratesOlderFilesKeepsNewerOnesAndFailsWithoutChangingThem) {
    const std::string v1 = readFile(fs::path(KELVO_SOURCE_DIR) / "tests/catalog/catalog_v1.sql");
    const std::string v2 = v1 +
                           "ALTER TABLE playlists ADD COLUMN folder_name TEXT; UPDATE playlists "
                           "SET folder_name = 'kept'; PRAGMA user_version = 2;";
    // Write-ahead logging and the tables, columns and indexes of the current schema: 11 of 11.
    const std::string parts =
        "SELECT (SELECT journal_mode = 'wal' FROM pragma_journal_mode) + (SELECT count(*) FROM "
        "sqlite_master WHERE name IN ('playlists', 'videos', 'playlist_items', 'summaries', "
        "'tags', 'videos_fts', 'playlist_items_video', 'videos_recent')) + (SELECT count(*) FROM "
        "pragma_table_info('playlists') WHERE name = 'folder_name') + (SELECT count(*) FROM "
        "pragma_table_info('videos') WHERE name = 'file_path');";
    // The old file's video (1) and folder name (1), when they are still there.
    const std::string kept =
        "SELECT (SELECT count(*) FROM videos WHERE video_id = 'old00000001' AND title = 'Kept "
        "title' AND status = 'done') + (SELECT count(*) FROM playlists WHERE folder_name = "
        "'kept');";
    struct Case {
        std::string setup;
        std::string error;
        int version, parts, kept;
    };
    const Case cases[] = {
        {"", "", 3, 11, 0},
        {v1, "", 3, 11, 1},
        {v2, "", 3, 11, 2},
        {"CREATE TABLE future (x); PRAGMA user_version = 7;", "", 7, 1, -1},
        // A version-1 file without its playlists table fails on the way to version 2.
        {"CREATE TABLE videos (video_id TEXT PRIMARY KEY); PRAGMA user_version = 1;",
         "catalog: no such table: playlists", 1, 2, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setup.substr(0, 60));
        const fs::path path = sandbox / (std::to_string(&c - cases) + ".sqlite");
        if (!c.setup.empty()) {
            raw(path, c.setup);
        }
        std::string error;
        try {
            { Catalog first(path); }
            Catalog again(path);  // a second run of the scripts would fail on ALTER TABLE
        } catch (const CatalogError& failure) {
            error = failure.what();
        }
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(raw(path, "PRAGMA user_version;"), c.version);
        EXPECT_EQ(raw(path, parts), c.parts);
        EXPECT_EQ(raw(path, kept), c.kept);
    }
    try {
        Catalog missing(sandbox / "no" / "folder" / "catalog.sqlite");
        ADD_FAILURE() << "opened a file in a missing folder";
    } catch (const CatalogError& failure) {
        EXPECT_EQ(failure.message(), "unable to open database file");
    }
}

TEST_F(CatalogTest, StatementsReportEveryFailureAndAreFinalizedOnEveryPath) {
    add("v1", "Title");
    using P = Catalog::Parameter;
    // clang-format off
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { Access::run(catalog, "SELECT ?1, ?2, ?3;", {P(std::string("a")), P(1.5), P(true)}); },
         "unsupported parameter type at 3"},
        {[&] { Access::run(catalog, "SELECT ?1;", {P(std::chrono::system_clock::now())}); },
         "unsupported parameter type at 1"},
        {[&] { Access::run(catalog, "SELECT ?1;", {P(), P(std::int64_t{2})}); }, "column index out of range"},
        {[&] { Access::run(catalog, "SELEC 1;"); }, "near \"SELEC\": syntax error"},
        {[&] { Access::exec(catalog, "CREATE TABLE videos (x);"); }, "table videos already exists"},
        {[&] { catalog.setTags("v1", {"a"}, "elsewhere"); }, "CHECK constraint failed: source IN ('youtube','kelvo')"},
        {[&] { catalog.saveSummary("nobody", "s", "m"); }, "FOREIGN KEY constraint failed"},
        {[&] { catalog.upsertItem(42, "v1", {}, {}); }, "FOREIGN KEY constraint failed"}};
    // clang-format on
    for (const auto& [call, message] : cases) {
        SCOPED_TRACE(message);
        EXPECT_THROW(
            try { call(); } catch (const CatalogError& error) {
                EXPECT_EQ(std::string(error.what()), "catalog: " + message);
                throw;
            },
            CatalogError);
        EXPECT_EQ(Access::leakedStatements(catalog), std::vector<std::string>{});
    }
    EXPECT_EQ(catalog.video("v1")->title, "Title");  // the connection stays usable
}

TEST_F(CatalogTest, SecondConnectionWaitsForALockInsteadOfFailing) {
    Catalog cli(sandbox / "catalog.sqlite");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((sandbox / "catalog.sqlite").c_str(), &other), SQLITE_OK);
    sqlite3_exec(other,
                 "BEGIN IMMEDIATE; INSERT INTO videos (video_id, title) VALUES ('held', '');",
                 nullptr, nullptr, nullptr);
    // The other connection lets go only once the CLI's write has begun, and so met the lock.
    std::atomic<bool> started = false;
    Access::flagStatements(cli, started);
    std::thread holder([&] {
        waitUntil([&] { return started.load(); });
        sqlite3_exec(other, "COMMIT;", nullptr, nullptr, nullptr);
    });
    EXPECT_NO_THROW(cli.upsertVideo(videoRecord("waited", "Waited")));
    holder.join();
    sqlite3_close(other);
    EXPECT_TRUE(catalog.video("held"));
    EXPECT_EQ(ids(catalog.search("waited", 5)), std::vector<std::string>{"waited"});
}

TEST_F(CatalogTest, StatusesKeepTheirStoredTextsAndUnknownTextReadsAsQueued) {
    const char* stored[] = {"queued",        "downloading", "done",
                            "needs_sign_in", "failed",      "deleted_by_user"};
    for (int i = 0; i < 6; ++i) {
        const auto status = static_cast<VideoStatus>(i);
        EXPECT_EQ(toText(status), stored[i]);
        EXPECT_EQ(videoStatusFromText(stored[i]), status);
        add("v", "T", status);
        EXPECT_EQ(catalog.video("v")->status, status);
    }
    for (const char* other : {"", "Done", "QUEUED", "deleted", "needsSignIn", "done "}) {
        EXPECT_EQ(videoStatusFromText(other), std::nullopt) << other;
    }
    Access::run(catalog, "UPDATE videos SET status = 'Done';");
    EXPECT_EQ(catalog.video("v")->status, VideoStatus::queued);
}

TEST_F(CatalogTest, LocationFollowsXDGDataHomeAndPlaylistFoldersExpandHome) {
    ScopedEnvironment environment{{"XDG_DATA_HOME", (sandbox / "data").string()},
                                  {"HOME", (sandbox / "home").string()}};
    EXPECT_EQ(Catalog::defaultURL(), sandbox / "data/kelvo/catalog.sqlite");
    EXPECT_EQ(fs::status(sandbox / "data/kelvo").permissions(), fs::perms::owner_all);
    environment.set("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(Catalog::defaultURL(), sandbox / "home/.local/share/kelvo/catalog.sqlite");
    writeFile(sandbox / "blocked/kelvo", "a file where the folder should be");
    environment.set("XDG_DATA_HOME", (sandbox / "blocked").string());
    EXPECT_THROW(Catalog::defaultURL(), fs::filesystem_error);

    PlaylistRecord playlist{.title = ".kelvo", .targetPath = "~/Videos"};
    EXPECT_EQ(playlist.folder(), sandbox / "home/Videos/kelvo");  // the title, sanitized
    for (const auto& [target, folder] :
         {std::pair{"~/Videos", sandbox / "home/Videos"}, std::pair{"/srv/~x", fs::path("/srv/~x")},
          std::pair{"~x", fs::path("~x")}, std::pair{"~", sandbox / "home"}}) {
        playlist.targetPath = target;
        playlist.folderName = "";  // straight into the target
        EXPECT_EQ(playlist.folder(), folder) << target;
        playlist.folderName = "Mix [abc123]";
        EXPECT_EQ(playlist.folder(), folder / "Mix [abc123]") << target;
    }
}

TEST_F(CatalogTest, VideosRoundTripAndOnlyDoneStampsTheDownloadTime) {
    const VideoRecord full{.videoID = "abcDEF_-123",
                           .title = "Ünïcode title",
                           .channel = "Channel",
                           .uploadDate = "20240131",
                           .durationSec = 4000000000LL,
                           .description = "multi\nline",
                           .status = VideoStatus::failed,
                           .error = "boom",
                           .downloadedAt = 1700000000.25};
    catalog.upsertVideo(full);
    EXPECT_EQ(catalog.video(full.videoID), full);
    catalog.setFilePath(full.videoID, file("a.mp4"));
    add(full.videoID, "New", VideoStatus::failed);  // every column overwritten, NULLs too...
    EXPECT_EQ(catalog.video(full.videoID), videoRecord(full.videoID, "New", VideoStatus::failed));
    EXPECT_EQ(catalog.filePath(full.videoID), file("a.mp4"));  // ...but the file path
    EXPECT_EQ(catalog.video("unknown"), std::nullopt);

    catalog.setStatus(full.videoID, VideoStatus::failed, "first error");
    catalog.setStatus(full.videoID, VideoStatus::done);
    const TimePoint stamp = catalog.video(full.videoID)->downloadedAt.value_or(0);
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    EXPECT_NEAR(stamp, std::chrono::duration<double>(now).count(), 60);
    EXPECT_EQ(catalog.video(full.videoID)->error, std::nullopt);
    catalog.setStatus(full.videoID, VideoStatus::needsSignIn, "needs sign-in");
    VideoRecord signIn = videoRecord(full.videoID, "New", VideoStatus::needsSignIn, stamp);
    signIn.error = "needs sign-in";
    EXPECT_EQ(catalog.video(full.videoID), signIn);
    EXPECT_NO_THROW(catalog.setStatus("unknown", VideoStatus::done));
}

TEST_F(CatalogTest, TagsAreNormalisedPerCallReplacedPerSourceAndSearchable) {
    add("v", "T");
    catalog.setTags("v", {"  Rock ", "rock", "", " \t", "JAZZ\n", "Ünïcode"}, "youtube");
    catalog.setTags("v", {"jazz", "Blues"}, "kelvo");
    // Trimmed, lower-cased, once each per source, in the given order (the table's row order).
    EXPECT_EQ(count("SELECT group_concat(rowid || tag || source, ' ') = '1rockyoutube 2jazzyoutube "
                    "3ünïcodeyoutube 4jazzkelvo 5blueskelvo' FROM (SELECT rowid, * FROM tags "
                    "ORDER BY rowid);"),
              1);
    EXPECT_EQ(catalog.tags("v"), (std::vector<std::string>{"blues", "jazz", "rock", "ünïcode"}));
    EXPECT_EQ(ids(catalog.search("rock blue", 10)), std::vector<std::string>{"v"});
    catalog.setTags("v", {}, "youtube");
    EXPECT_EQ(catalog.tags("v"), (std::vector<std::string>{"blues", "jazz"}));
    EXPECT_TRUE(catalog.search("rock", 10).empty());
    EXPECT_TRUE(catalog.tags("unknown").empty());
}

TEST_F(CatalogTest, SearchFindsEveryWordAsAPrefixAndTypedOperatorsAreWords) {
    // clang-format off
    const std::pair<const char*, const char*> queries[] = {
        {"guitar lesson", R"("guitar"* "lesson"*)"}, {"don't stop", R"("don"* "t"* "stop"*)"},
        {"lo-fi_beats", R"("lo"* "fi"* "beats"*)"}, {"  Ünïcode 日本語  ", R"("Ünïcode"* "日本語"*)"},
        {"rock AND roll OR NOT jazz", R"("rock"* "AND"* "roll"* "OR"* "NOT"* "jazz"*)"},
        {"title:foo NEAR(a b) \"quoted\" ^start *", R"("title"* "foo"* "NEAR"* "a"* "b"* "quoted"* "start"*)"},
        {"  - ' \" () , ", ""}, {"", ""}};
    // clang-format on
    for (const auto& [text, query] : queries) {
        EXPECT_EQ(Catalog::ftsQuery(text), query) << text;
    }
    add("g1", "Guitar lesson for beginners");
    add("g2", "Advanced guitar solo");
    add("d1", "Don't stop me now");
    add("c1", "Cooking pasta");
    catalog.saveSummary("c1", "An Italian grandmother explains carbonara.", "m1");
    catalog.setTags("c1", {"Recipes"}, "kelvo");
    // clang-format off
    const std::pair<const char*, std::vector<std::string>> searches[] = {
        {"guit", {"g1", "g2"}}, {"guitar begin", {"g1"}}, {"guitar pasta", {}}, {"carbon", {"c1"}},
        {"recipe", {"c1"}}, {"don't", {"d1"}}, {"don t stop", {"d1"}}, {"-guitar-solo-", {"g2"}},
        {"NOT guitar", {}}, {"title:guitar OR (solo", {}}};
    // clang-format on
    for (const auto& [text, found] : searches) {
        auto hits = ids(catalog.search(text, 10));
        std::sort(hits.begin(), hits.end());
        EXPECT_EQ(hits, found) << text;
    }
    EXPECT_EQ(catalog.search("carbonara solo", 10), std::vector<SearchHit>{});
    EXPECT_EQ(catalog.search("carbonara", 10),
              (std::vector<SearchHit>{
                  {"c1", "Cooking pasta", "An Italian grandmother explains carbonara."}}));
    EXPECT_EQ(catalog.search("solo", 10), (std::vector<SearchHit>{{"g2", "Advanced guitar solo"}}));
    EXPECT_TRUE(catalog.search("guitar", 0).empty());
    EXPECT_EQ(catalog.search("guitar", 1).size(), 1u);
    add("g1", "Piano lesson");  // the index follows the title
    EXPECT_EQ(ids(catalog.search("guitar", 10)), std::vector<std::string>{"g2"});
    EXPECT_EQ(ids(catalog.search("piano", 10)), std::vector<std::string>{"g1"});
    // A text without words never reaches the database: with the index gone it still answers.
    Access::exec(catalog, "DROP TABLE videos_fts;");
    EXPECT_TRUE(catalog.search("  -- ' - ", 10).empty());
    EXPECT_THROW(catalog.search("guitar", 10), CatalogError);
}

TEST_F(CatalogTest, PlaylistFolderNamesGetASuffixOnlyWhenTheyClashInOneTargetDirectory) {
    const auto folderOf = [&](std::int64_t id) {
        const auto all = catalog.playlists();
        const auto it = std::find_if(all.begin(), all.end(), [&](auto& p) { return p.id == id; });
        return it != all.end() ? it->folderName : "(no playlist)";
    };
    Access::run(catalog,  // stored without a folder name: it clashes through its sanitized title
                "INSERT INTO playlists (youtube_playlist_id, title, target_path) VALUES "
                "('PLlegacy', 'Talks', '/old');");
    // clang-format off
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"PLfirst000111", "Music", "/lib", "Music"},
        {"PLsecond222222", "music", "/lib", "music [222222]"},  // a clash in any letter case
        {"PLthird333333", "music", "/elsewhere", "music"},      // another directory
        {"PLfourth444444", "music", "/lib/", "music"},          // targets compare as text
        {"abc", "MUSIC", "/lib", "MUSIC [abc]"},                // a short id: all of it
        {"PLdot55555555", ".kelvo", "/lib", ""},                // straight into the target
        {"PLdot66666666", ".kelvo", "/lib", ""},                // "" never clashes
        {"PLslash777777", "Mu/sic", "/lib", "Mu-sic"},
        {"PLnew999999", "TALKS", "/old", "TALKS [999999]"}};
    // clang-format on
    for (const auto& [id, title, target, folder] : cases) {
        EXPECT_EQ(folderOf(catalog.addPlaylist(id, title, target, 60)), folder) << id;
    }
    // A known playlist is updated in place and never clashes with itself: the title stays,
    // target, interval and folder name are replaced, and it is on again.
    const auto id = catalog.addPlaylist("PLsame123456", "Mix", "/lib", 30);
    catalog.setPlaylistEnabled(id, false);
    catalog.touchChecked(id, 1700000000.5);
    EXPECT_EQ(catalog.addPlaylist("PLsame123456", "Music", "/lib", 120), id);
    const auto all = catalog.playlists();
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(),
                               [](const auto& a, const auto& b) { return a.title < b.title; }));
    EXPECT_EQ(*std::find_if(all.begin(), all.end(), [&](const auto& p) { return p.id == id; }),
              (PlaylistRecord{id, "PLsame123456", "Mix", "/lib", 120, true, 1700000000.5,
                              "Music [123456]"}));
}

TEST_F(CatalogTest, MembershipsLeaveAndComeBackKeepingTheirFirstSighting) {
    // Unknown playlists and videos are no errors.
    EXPECT_TRUE(catalog.items(77).empty());
    EXPECT_NO_THROW(catalog.setPlaylistEnabled(77, true));
    EXPECT_NO_THROW(catalog.touchChecked(77, 1.0));
    EXPECT_NO_THROW(catalog.markRemoved(77, "v", std::nullopt, std::nullopt, true));
    EXPECT_FALSE(catalog.inAnyPlaylist("v"));
    EXPECT_EQ(catalog.playlistTitle("v"), std::nullopt);

    const auto mix = catalog.addPlaylist("PLmix", "Mix", "/lib", 30);
    add("v", "T");
    catalog.upsertItem(mix, "v", "/lib/Mix/v.mp4", "/lib/Mix/v.nfo");
    Access::run(catalog, "UPDATE playlist_items SET first_seen_at = 12.5;");
    catalog.markRemoved(mix, "v", "/lib/Mix/_archive/v.mp4", std::nullopt, true);
    const auto item = catalog.items(mix).at(0);
    EXPECT_EQ(item, (PlaylistItemRecord{mix, "v", "/lib/Mix/_archive/v.mp4", std::nullopt,
                                        item.removedAt, item.removedAt}));
    EXPECT_NEAR(item.removedAt.value_or(0), raw(sandbox / "catalog.sqlite", "SELECT unixepoch();"),
                60);
    EXPECT_TRUE(catalog.inAnyPlaylist("v"));
    EXPECT_EQ(catalog.activeItemCount("v"), 0);
    catalog.markRemoved(mix, "v", std::nullopt, std::nullopt, false);
    EXPECT_EQ(catalog.items(mix).at(0).archivedAt, std::nullopt);
    EXPECT_EQ(catalog.playlistTitle("v"), "Mix");
    catalog.upsertItem(catalog.addPlaylist("PLother", "Other", "/lib", 30), "v", {}, {});
    EXPECT_EQ(catalog.playlistTitle("v"), "Other");  // a current membership first

    catalog.upsertItem(mix, "v", "/lib/Mix/v.mp4", std::nullopt);
    EXPECT_EQ(catalog.items(mix), (std::vector<PlaylistItemRecord>{{mix, "v", "/lib/Mix/v.mp4"}}));
    EXPECT_EQ(count("SELECT count(*) FROM playlist_items WHERE first_seen_at = 12.5;"), 1);
    EXPECT_EQ(catalog.activeItemCount("v"), 2);

    // Ids are bound, never written into the statement.
    const std::string tricky = "it's'; DELETE FROM playlist_items; --";
    add(tricky, "T");
    catalog.upsertItem(mix, tricky, std::nullopt, std::nullopt);
    EXPECT_EQ(catalog.activeItemCount(tricky), 1);
    EXPECT_FALSE(catalog.inAnyPlaylist("it''s'; DELETE FROM playlist_items; --"));
    EXPECT_EQ(catalog.items(mix).size(), 2u);
}

TEST_F(CatalogTest, FileLookupsTakeWhatIsStillOnDiskCurrentCopiesFirst) {
    const auto a = catalog.addPlaylist("PLa", "A", "/lib", 30);
    add("v", "T");
    add("w", "W");
    const std::string archived = file("A/_archive/v.mp4");
    catalog.upsertItem(a, "v", archived, file("A/gone.nfo", false));
    catalog.markRemoved(a, "v", archived, file("A/gone.nfo", false), true);
    const auto b = catalog.addPlaylist("PLb", "B", "/lib", 30);
    catalog.upsertItem(b, "v", file("B/v.mp4", false), file("B/v.nfo"));  // media deleted
    catalog.upsertItem(catalog.addPlaylist("PLc", "C", "/lib", 30), "v", {}, file("B/v.nfo"));
    catalog.setFilePath("v", file("Singles/v.mp4"));
    catalog.setFilePath("w", file("Singles/w.mkv", false));

    EXPECT_EQ(catalog.existingCopy("v"), (ExistingCopy{archived, file("A/gone.nfo", false)}));
    EXPECT_EQ(catalog.filePath("v"), file("Singles/v.mp4"));
    std::vector<std::string> files = {archived, file("B/v.nfo"), file("Singles/v.mp4"),
                                      file("Singles/v.nfo")};  // the single's sidecar beside it
    EXPECT_EQ(catalog.allFiles("v"), files);
    EXPECT_EQ(catalog.allFiles("w"), std::vector<std::string>{file("Singles/w.nfo")});
    files.push_back(file("Singles/w.nfo"));
    EXPECT_EQ(catalog.allFilesOfAllVideos(), files);

    file("B/v.mp4");  // the current copy is back
    EXPECT_EQ(catalog.existingCopy("v"), (ExistingCopy{file("B/v.mp4"), file("B/v.nfo")}));
    EXPECT_EQ(catalog.filePath("v"), file("B/v.mp4"));
    fs::remove(file("B/v.mp4"));
    fs::remove(file("Singles/v.mp4"));
    EXPECT_EQ(catalog.filePath("v"), archived);
    fs::remove(archived);
    EXPECT_EQ(catalog.filePath("v"), std::nullopt);
    EXPECT_EQ(catalog.existingCopy("v"), std::nullopt);
}

TEST_F(CatalogTest, ListingShowsWhatIsOnDiskNewestFirstAndNeverATombstone) {
    const auto describe = [](const std::vector<CatalogEntry>& entries) {
        std::vector<std::string> out;
        for (const CatalogEntry& e : entries) {
            std::string& line = out.emplace_back(e.videoID);
            for (const std::string& tag : e.tags) {
                line += " #" + tag;
            }
            line += (e.summary ? " (" + *e.summary + ")" : "") + (e.isArchived ? " archived" : "") +
                    (e.isMissing ? " missing" : "") + (e.error ? " error: " + *e.error : "") +
                    (e.playlistTitle ? " in " + *e.playlistTitle : "");
        }
        return out;
    };
    const auto mix = catalog.addPlaylist("PLmix", "Mix", "/lib", 30);
    add("current", "Current", VideoStatus::done, 60);
    catalog.upsertItem(mix, "current", file("Mix/current.mp4"), std::nullopt);
    add("archived", "Archived", VideoStatus::done, 50);
    catalog.upsertItem(mix, "archived", file("Mix/_archive/archived.mp4"), std::nullopt);
    catalog.markRemoved(mix, "archived", file("Mix/_archive/archived.mp4"), std::nullopt, true);
    add("missing", "Missing", VideoStatus::done, 40);  // every recorded file deleted from disk
    catalog.setFilePath("missing", file("Singles/missing.mp4", false));
    catalog.upsertItem(mix, "missing", file("Mix/missing.mp4", false), std::nullopt);
    add("single", "Single", VideoStatus::done, 30);
    catalog.setFilePath("single", file("Singles/single.mp4"));
    catalog.setTags("single", {"b", "a"}, "youtube");
    catalog.setTags("single", {"a", "c"}, "kelvo");
    catalog.saveSummary("single", "About it.", "m");
    add("failed", "Failed", VideoStatus::done, 20);
    catalog.setStatus("failed", VideoStatus::failed, "HTTP Error 403");
    add("signin", "Sign in", VideoStatus::needsSignIn, 15);
    catalog.setStatus("signin", VideoStatus::needsSignIn, "needs sign-in: age");
    add("queued", "Queued", VideoStatus::queued, 10);  // not missing; a stale error is not shown
    Access::run(catalog, "UPDATE videos SET error = 'stale' WHERE video_id = 'queued';");
    add("gone", "Gone", VideoStatus::done, 70);
    catalog.markDeleted("gone");

    EXPECT_EQ(describe(catalog.entries(std::nullopt, 50)),
              (std::vector<std::string>{"current in Mix", "archived archived in Mix",
                                        "missing missing in Mix", "single #a #b #c (About it.)",
                                        "failed error: HTTP Error 403",
                                        "signin error: needs sign-in: age", "queued"}));
    EXPECT_EQ(catalog.entries(std::nullopt, 50)[3].downloadedAt, 30);
    // A search narrows the listing and keeps it newest first; blanks alone do not search, a line
    // break is a search without words.
    add("new", "Current current current", VideoStatus::done, 5);
    EXPECT_EQ(ids(catalog.entries("current", 10)), (std::vector<std::string>{"current", "new"}));
    EXPECT_EQ(ids(catalog.entries(" \t\u3000 ", 2)),
              (std::vector<std::string>{"current", "archived"}));
    EXPECT_TRUE(catalog.entries("\n", 10).empty());
    EXPECT_TRUE(catalog.entries(std::nullopt, 0).empty());
    Access::run(
        catalog,  // even when the tombstone's search row came back
        "INSERT INTO videos_fts (video_id, title, summary, tags) VALUES ('gone', 'Gone', '', '');");
    EXPECT_TRUE(catalog.entries("gone", 10).empty());
    // With the current copy gone the archived one is listed; a failing lookup leaves its field
    // blank instead of hiding the library.
    fs::remove(file("Mix/current.mp4"));
    catalog.markRemoved(mix, "current", file("Mix/_archive/current.mp4"), std::nullopt, true);
    EXPECT_EQ(describe(catalog.entries(std::nullopt, 1)),
              std::vector<std::string>{"current archived in Mix"});
    Access::exec(catalog, "DROP TABLE tags; DROP TABLE playlist_items;");
    EXPECT_EQ(describe(catalog.entries("single", 1)),
              std::vector<std::string>{"single (About it.) missing"});
}

TEST_F(CatalogTest, DeletingLeavesATombstoneForgettingLeavesNothingAndInterruptedOnesFail) {
    const auto mix = catalog.addPlaylist("PLmix", "Mix", "/lib", 30);
    for (const std::string id : {"kept", "other"}) {
        add(id, "Searchable " + id, VideoStatus::done, 7);
        catalog.setTags(id, {"tag"}, "youtube");
        catalog.saveSummary(id, "summary", "m");
        catalog.setFilePath(id, file("Singles/" + id + ".mp4"));
        catalog.upsertItem(mix, id, file("Mix/" + id + ".mp4"), file("Mix/" + id + ".nfo"));
    }
    for (int run = 0; run < 2; ++run) {  // a second run changes nothing
        catalog.markDeleted("kept");
    }
    EXPECT_TRUE(catalog.isDeleted("kept"));
    EXPECT_FALSE(catalog.isDeleted("other"));
    EXPECT_FALSE(catalog.isDeleted("unknown"));
    EXPECT_EQ(catalog.video("kept"),
              videoRecord("kept", "Searchable kept", VideoStatus::deleted, 7));
    EXPECT_TRUE(catalog.allFiles("kept").empty());
    EXPECT_TRUE(catalog.tags("kept").empty());
    EXPECT_TRUE(catalog.inAnyPlaylist("kept"));  // the membership keeps it from coming back
    EXPECT_EQ(ids(catalog.search("searchable", 10)), std::vector<std::string>{"other"});
    EXPECT_EQ(count("SELECT count(*) FROM summaries;"), 1);

    catalog.forget("kept");
    catalog.forget("unknown");
    EXPECT_EQ(count("SELECT (SELECT count(*) FROM playlist_items) + (SELECT count(*) FROM "
                    "summaries) + (SELECT count(*) FROM tags) + (SELECT count(*) FROM videos_fts) "
                    "+ (SELECT count(*) FROM videos);"),
              5);  // the other video's rows

    add("a", "A", VideoStatus::downloading);
    add("b", "B", VideoStatus::downloading, 12);
    EXPECT_EQ(catalog.failInterruptedDownloads(), 2);
    EXPECT_EQ(catalog.failInterruptedDownloads(), 0);
    VideoRecord b = videoRecord("b", "B", VideoStatus::failed, 12);
    b.error = "interrupted before it finished";
    EXPECT_EQ(catalog.video("b"), b);
    EXPECT_EQ(catalog.video("a")->status, VideoStatus::failed);
    EXPECT_EQ(catalog.video("other")->status, VideoStatus::done);
}

}  // namespace
}  // namespace kelvo::test
