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
    // SQL on the catalog's file behind its back.
    int sql(const std::string& text) { return raw(sandbox / "catalog.sqlite", text); }

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
    // clang-format off
    // The setup, the error, and the version, schema parts and old rows found afterwards.
    const std::tuple<std::string, std::string, int, int, int> cases[] = {
        {"", "", 3, 11, 0}, {v1, "", 3, 11, 1}, {v2, "", 3, 11, 2},
        {"CREATE TABLE future (x); PRAGMA user_version = 7;", "", 7, 1, -1},
        // A version-1 file without its playlists table fails on the way to version 2.
        {"CREATE TABLE videos (video_id TEXT PRIMARY KEY); PRAGMA user_version = 1;",
         "catalog: no such table: playlists", 1, 2, -1}};
    // clang-format on
    int n = 0;
    for (const auto& [setup, error, version, wholeSchema, oldRows] : cases) {
        SCOPED_TRACE(setup.substr(0, 60));
        const fs::path path = sandbox / (std::to_string(n++) + ".sqlite");
        raw(path, setup);
        std::string failure;
        try {
            { Catalog first(path); }
            Catalog again(path);  // a second run of the scripts would fail on ALTER TABLE
        } catch (const CatalogError& thrown) {
            failure = thrown.what();
        }
        EXPECT_EQ(failure, error);
        EXPECT_EQ(raw(path, "PRAGMA user_version;"), version);
        EXPECT_EQ(raw(path, parts), wholeSchema);
        EXPECT_EQ(raw(path, kept), oldRows);
    }
    EXPECT_THROW(Catalog(sandbox / "no" / "folder" / "catalog.sqlite"), CatalogError);
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
    std::atomic<bool> started = false;
    Catalog cli(sandbox / "catalog.sqlite");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((sandbox / "catalog.sqlite").c_str(), &other), SQLITE_OK);
    const char* hold = "BEGIN IMMEDIATE; INSERT INTO videos (video_id, title) VALUES ('held', '');";
    ASSERT_EQ(sqlite3_exec(other, hold, nullptr, nullptr, nullptr), SQLITE_OK);
    // The other connection lets go only once the CLI's write has begun, and so met the lock.
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

TEST_F(CatalogTest, RecordsKeepTheirStoredStatusesAndFoldersExpandHome) {
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
    sql("UPDATE videos SET status = 'Done';");
    EXPECT_EQ(catalog.video("v")->status, VideoStatus::queued);

    ScopedEnvironment environment{{"XDG_DATA_HOME", (sandbox / "data").string()},
                                  {"HOME", (sandbox / "home").string()}};
    EXPECT_EQ(Catalog::defaultURL(), sandbox / "data/kelvo/catalog.sqlite");
    EXPECT_EQ(fs::status(sandbox / "data/kelvo").permissions(), fs::perms::owner_all);
    PlaylistRecord playlist{.title = ".kelvo", .targetPath = "~/Videos"};
    EXPECT_EQ(playlist.folder(), sandbox / "home/Videos/kelvo");  // the title, sanitized
    playlist.folderName = "";                                     // straight into the target
    EXPECT_EQ(playlist.folder(), sandbox / "home/Videos");
}

TEST_F(CatalogTest, TagsAreNormalisedPerCallReplacedPerSourceAndSearchable) {
    add("v", "T");
    catalog.setTags("v", {"\u2028Rock\u00a0", "rock", "", " \t", "JAZZ\n", "Ünïcode"}, "youtube");
    catalog.setTags("v", {"jazz", "Blues"}, "kelvo");
    // Trimmed, lower-cased, once each per source, in the given order (the table's row order).
    EXPECT_EQ(sql("SELECT group_concat(rowid || tag || source, ' ') = '1rockyoutube 2jazzyoutube "
                  "3ünïcodeyoutube 4jazzkelvo 5blueskelvo' FROM (SELECT rowid, * FROM tags "
                  "ORDER BY rowid);"),
              1);
    EXPECT_EQ(catalog.tags("v"), (std::vector<std::string>{"blues", "jazz", "rock", "ünïcode"}));
    EXPECT_EQ(ids(catalog.search("rock blue", 10)), std::vector<std::string>{"v"});
    catalog.setTags("v", {}, "youtube");
    EXPECT_EQ(catalog.tags("v"), (std::vector<std::string>{"blues", "jazz"}));
    EXPECT_TRUE(catalog.search("rock", 10).empty());
}

TEST_F(CatalogTest, SearchFindsEveryWordAsAPrefixAndTypedOperatorsAreWords) {
    // clang-format off
    const std::pair<const char*, const char*> queries[] = {
        {"guitar lesson", R"("guitar"* "lesson"*)"}, {"don't stop", R"("don"* "t"* "stop"*)"},
        {"lo-fi_beats", R"("lo"* "fi"* "beats"*)"}, {"  Ünïcode 日本語  ", R"("Ünïcode"* "日本語"*)"},
        {"cafe\u0301\U0001F600\u0663", "\"cafe\u0301\"* \"\u0663\"*"},  // marks stay, emoji separate
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
    EXPECT_TRUE(catalog.search("guitar", 0).empty());
    EXPECT_EQ(catalog.search("guitar", 1).size(), 1u);
    add("g1", "Piano lesson");  // the index follows the title
    EXPECT_EQ(ids(catalog.search("guitar", 10)), std::vector<std::string>{"g2"});
    EXPECT_EQ(ids(catalog.search("piano", 10)), std::vector<std::string>{"g1"});
    // A text without words never reaches the database: with the index gone it still answers.
    sql("DROP TABLE videos_fts;");
    EXPECT_TRUE(catalog.search("  -- ' - ", 10).empty());
    EXPECT_THROW(catalog.search("guitar", 10), CatalogError);
}

TEST_F(CatalogTest, PlaylistFolderNamesGetASuffixOnlyWhenTheyClashInOneTargetDirectory) {
    const auto playlist = [&](std::int64_t id) {
        const auto all = catalog.playlists();
        const auto it = std::find_if(all.begin(), all.end(), [&](auto& p) { return p.id == id; });
        return it != all.end() ? *it : PlaylistRecord{};
    };
    // Stored without a folder name, it clashes through its sanitized title.
    sql("INSERT INTO playlists (youtube_playlist_id, title, target_path) VALUES ('PLlegacy', "
        "'Talks', '/old');");
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
        {"PLnew999999", "TALKS", "/old", "TALKS [999999]"},
        {"PLfirst000111", "Music", "/lib", "Music"}};  // not compared with itself
    // clang-format on
    for (const auto& [id, title, target, folder] : cases) {
        EXPECT_EQ(playlist(catalog.addPlaylist(id, title, target, 60)).folderName, folder) << id;
    }
    // A known playlist is updated in place: the title stays, target, interval and folder name
    // are replaced, and it is on again.
    const auto id = catalog.addPlaylist("PLsame123456", "Mix", "/lib", 30);
    catalog.setPlaylistEnabled(id, false);
    EXPECT_EQ(catalog.addPlaylist("PLsame123456", "Music", "/lib", 120), id);
    EXPECT_EQ(playlist(id), (PlaylistRecord{id, "PLsame123456", "Mix", "/lib", 120, true,
                                            std::nullopt, "Music [123456]"}));
    const auto all = catalog.playlists();
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(),
                               [](const auto& a, const auto& b) { return a.title < b.title; }));
}

TEST_F(CatalogTest, ListingAndFileLookupsFollowTheFilesOnDisk) {
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
    const auto old = catalog.addPlaylist("PLold", "Old", "/lib", 30);
    add("current", "Current", VideoStatus::done, 60);  // a copy here, an older one archived
    const std::string oldCopy = file("Old/_archive/current.mp4");
    catalog.upsertItem(old, "current", oldCopy, std::nullopt);
    catalog.markRemoved(old, "current", oldCopy, std::nullopt, true);
    catalog.upsertItem(mix, "current", file("Mix/current.mp4"), file("Mix/current.nfo"));
    add("archived", "Archived", VideoStatus::done, 50);
    catalog.upsertItem(mix, "archived", file("Mix/_archive/archived.mp4"), std::nullopt);
    catalog.markRemoved(mix, "archived", file("Mix/_archive/archived.mp4"), std::nullopt, true);
    add("missing", "Missing", VideoStatus::done, 40);  // every recorded file deleted from disk
    catalog.setFilePath("missing", file("Singles/missing.mp4", false));
    catalog.upsertItem(mix, "missing", file("Mix/missing.mp4", false), file("Mix/current.nfo"));
    add("single", "Single", VideoStatus::done, 30);
    catalog.setFilePath("single", file("Singles/single.mp4"));
    add("single", "Single", VideoStatus::done, 30);  // new metadata keeps the file path
    file("Singles/single.nfo");
    catalog.setTags("single", {"b", "a"}, "youtube");
    catalog.setTags("single", {"a", "c"}, "kelvo");
    catalog.saveSummary("single", "About it.", "m");
    add("failed", "Failed", VideoStatus::done, 20);
    catalog.setStatus("failed", VideoStatus::failed, "HTTP Error 403");
    add("signin", "Sign in", VideoStatus::done, 15);
    catalog.setStatus("signin", VideoStatus::needsSignIn, "needs sign-in");
    add("queued", "Queued", VideoStatus::queued, 10);  // not missing; a stale error is not shown
    sql("UPDATE videos SET error = 'stale' WHERE video_id = 'queued';");
    add("gone", "Gone", VideoStatus::done, 70);
    catalog.markDeleted("gone");

    EXPECT_EQ(describe(catalog.entries(std::nullopt, 50)),
              (std::vector<std::string>{"current in Mix", "archived archived in Mix",
                                        "missing missing in Mix", "single #a #b #c (About it.)",
                                        "failed error: HTTP Error 403",
                                        "signin error: needs sign-in", "queued"}));
    EXPECT_EQ(catalog.entries(std::nullopt, 50)[3].downloadedAt, 30);
    EXPECT_EQ(catalog.allFiles("single"),  // with the sidecar beside the single file
              (std::vector<std::string>{file("Singles/single.mp4"), file("Singles/single.nfo")}));
    // A search narrows the listing and keeps it newest first; blanks alone do not search, a line
    // break is a search without words.
    add("new", "Current current current", VideoStatus::done, 5);
    EXPECT_EQ(ids(catalog.entries("current", 10)), (std::vector<std::string>{"current", "new"}));
    EXPECT_EQ(ids(catalog.entries(" \t\u3000 ", 2)),
              (std::vector<std::string>{"current", "archived"}));
    EXPECT_TRUE(catalog.entries("\n", 10).empty());
    EXPECT_TRUE(catalog.entries(std::nullopt, 0).empty());
    sql("INSERT INTO videos_fts VALUES ('gone', 'Gone', '', '');");  // a stale search row
    EXPECT_TRUE(catalog.entries("gone", 10).empty());

    // The best file: a current copy, then the single file, then the other copies.
    catalog.setFilePath("current", file("Singles/current.mp4"));
    for (const std::string& best :
         {file("Mix/current.mp4"), file("Singles/current.mp4"), oldCopy}) {
        EXPECT_EQ(catalog.filePath("current"), best);
        fs::remove(best);
    }
    EXPECT_EQ(catalog.filePath("current"), std::nullopt);
    // A failing lookup leaves its field blank instead of hiding the library.
    sql("DROP TABLE tags; DROP TABLE playlist_items;");
    EXPECT_EQ(describe(catalog.entries("single", 1)),
              std::vector<std::string>{"single (About it.) missing"});
}

TEST_F(CatalogTest, DeletingLeavesATombstoneAndForgettingLeavesNothing) {
    const auto mix = catalog.addPlaylist("PLmix", "Mix", "/lib", 30);
    // The deleted video's id is bound into every statement, never written into one.
    const std::string kept = "it's'; DELETE FROM playlist_items; --";
    for (const std::string& id : {kept, std::string("other")}) {
        add(id, "Searchable " + id, VideoStatus::done, 7);
        catalog.setTags(id, {"tag"}, "youtube");
        catalog.saveSummary(id, "summary", "m");
        catalog.setFilePath(id, file("Singles/" + id + ".mp4"));
        catalog.upsertItem(mix, id, file("Mix/" + id + ".mp4"), file("Mix/" + id + ".nfo"));
    }
    // Every row of the other video, and of the deleted one the rows a tombstone keeps: it and its
    // membership, without paths, so that synchronisation does not fetch it again.
    const std::string rows =
        "SELECT (SELECT count(*) FROM playlist_items WHERE file_path IS NOT NULL) + (SELECT "
        "count(*) FROM playlist_items) + (SELECT count(*) FROM summaries) + (SELECT count(*) FROM "
        "tags) + (SELECT count(*) FROM videos_fts) + (SELECT count(*) FROM videos) + (SELECT "
        "count(*) FROM videos WHERE file_path IS NOT NULL);";
    for (int run = 0; run < 2; ++run) {  // a second run changes nothing
        catalog.markDeleted(kept);
        EXPECT_EQ(sql(rows), 7 + 2);
    }
    EXPECT_TRUE(catalog.isDeleted(kept));
    EXPECT_FALSE(catalog.isDeleted("other") || catalog.isDeleted("unknown"));
    EXPECT_EQ(catalog.video(kept),
              videoRecord(kept, "Searchable " + kept, VideoStatus::deleted, 7));
    EXPECT_TRUE(catalog.inAnyPlaylist(kept));
    EXPECT_EQ(ids(catalog.search("searchable", 10)), std::vector<std::string>{"other"});
    catalog.forget(kept);
    catalog.forget("unknown");
    EXPECT_EQ(sql(rows), 7);
}

}  // namespace
}  // namespace kelvo::test
