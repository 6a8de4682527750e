// Opening, schema versions, the statement layer's errors, sharing one file between connections,
// the default location and the record helpers.

#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <set>
#include <thread>

#include "core/library/naming.h"
#include "tests/catalog/catalog_test_support.h"

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;
using Access = CatalogTestAccess;

// A raw connection for building old databases and looking behind the catalog's back.
class RawDatabase {
  public:
    explicit RawDatabase(const fs::path& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
    }
    ~RawDatabase() { sqlite3_close(db_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    void exec(const std::string& sql) {
        char* error = nullptr;
        const int result = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
        const std::string message = error != nullptr ? error : "";
        sqlite3_free(error);
        ASSERT_EQ(result, SQLITE_OK) << message << "\n" << sql;
    }
    int integer(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db_);
        const int value =
            sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
        sqlite3_finalize(statement);
        return value;
    }
    std::set<std::string> columns(const std::string& table) {
        std::set<std::string> out;
        sqlite3_stmt* statement = nullptr;
        const std::string sql = "PRAGMA table_info(" + table + ");";
        sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            out.insert(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)));
        }
        sqlite3_finalize(statement);
        return out;
    }
    std::set<std::string> tables() {
        std::set<std::string> out;
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db_, "SELECT name FROM sqlite_master WHERE type = 'table';", -1,
                           &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            out.insert(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
        return out;
    }

  private:
    sqlite3* db_ = nullptr;
};

// The first released schema, written out independently of the catalog's own script.
const char* const versionOneSchema = R"(
CREATE TABLE playlists (id INTEGER PRIMARY KEY, youtube_playlist_id TEXT NOT NULL UNIQUE,
  title TEXT NOT NULL, target_path TEXT NOT NULL, check_interval_min INTEGER NOT NULL DEFAULT 30,
  enabled INTEGER NOT NULL DEFAULT 1, last_checked_at REAL);
CREATE TABLE videos (video_id TEXT PRIMARY KEY, title TEXT NOT NULL, channel TEXT,
  upload_date TEXT, duration_sec INTEGER, description TEXT, status TEXT NOT NULL DEFAULT 'queued',
  error TEXT, downloaded_at REAL);
CREATE TABLE playlist_items (
  playlist_id INTEGER NOT NULL REFERENCES playlists(id) ON DELETE CASCADE,
  video_id TEXT NOT NULL REFERENCES videos(video_id), file_path TEXT, nfo_path TEXT,
  first_seen_at REAL NOT NULL, removed_at REAL, archived_at REAL,
  PRIMARY KEY (playlist_id, video_id));
CREATE TABLE summaries (video_id TEXT PRIMARY KEY REFERENCES videos(video_id),
  summary TEXT NOT NULL, model_version TEXT NOT NULL, generated_at REAL NOT NULL);
CREATE TABLE tags (video_id TEXT NOT NULL REFERENCES videos(video_id), tag TEXT NOT NULL,
  source TEXT NOT NULL CHECK (source IN ('youtube','kelvo')), PRIMARY KEY (video_id, tag, source));
CREATE VIRTUAL TABLE videos_fts USING fts5(video_id UNINDEXED, title, summary, tags);
INSERT INTO playlists (youtube_playlist_id, title, target_path) VALUES ('PLold', 'Old', '/lib');
INSERT INTO videos (video_id, title, status) VALUES ('old00000001', 'Kept title', 'done');
PRAGMA user_version = 1;
)";

// The per-video lookups and the newest-first listing stay fast only with these two indexes.
constexpr const char* lookupIndexCount =
    "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
    "name IN ('playlist_items_video', 'videos_recent');";

TEST(CatalogOpen, NewFileGetsTheWholeSchemaAndReopensWithoutRunningScripts) {
    Sandbox sandbox;
    const auto path = sandbox / "catalog.sqlite";
    { Catalog first(path); }
    {
        Catalog second(path);  // a second run of the scripts would fail on ALTER TABLE
        second.upsertVideo(videoRecord("v", "T"));
        EXPECT_TRUE(fs::exists(path.string() + "-wal"));  // write-ahead logging is on
    }
    RawDatabase raw(path);
    EXPECT_EQ(raw.integer("PRAGMA user_version;"), Catalog::schemaVersion);
    const auto tables = raw.tables();
    for (const char* table :
         {"playlists", "videos", "playlist_items", "summaries", "tags", "videos_fts"}) {
        EXPECT_TRUE(tables.contains(table)) << table;
    }
    EXPECT_TRUE(raw.columns("playlists").contains("folder_name"));
    EXPECT_TRUE(raw.columns("videos").contains("file_path"));
    EXPECT_EQ(raw.integer(lookupIndexCount), 2);
}

TEST(CatalogOpen, MigratesOlderVersionsAndKeepsTheirRows) {
    struct Case {
        int version;
        bool hasFolderName;
    };
    for (const Case& c : {Case{1, false}, Case{2, true}}) {
        SCOPED_TRACE(c.version);
        Sandbox sandbox;
        const auto path = sandbox / "catalog.sqlite";
        {
            RawDatabase raw(path);
            raw.exec(versionOneSchema);
            if (c.hasFolderName) {
                raw.exec(
                    "ALTER TABLE playlists ADD COLUMN folder_name TEXT;"
                    "UPDATE playlists SET folder_name = 'kept';"
                    "PRAGMA user_version = 2;");
            }
        }
        Catalog catalog(path);
        RawDatabase raw(path);
        EXPECT_EQ(raw.integer("PRAGMA user_version;"), 3);
        EXPECT_TRUE(raw.columns("playlists").contains("folder_name"));
        EXPECT_TRUE(raw.columns("videos").contains("file_path"));
        EXPECT_EQ(raw.integer(lookupIndexCount), 2);
        const auto video = catalog.video("old00000001");
        ASSERT_TRUE(video);
        EXPECT_EQ(video->title, "Kept title");
        EXPECT_EQ(video->status, VideoStatus::done);
        const auto playlists = catalog.playlists();
        ASSERT_EQ(playlists.size(), 1u);
        EXPECT_EQ(playlists[0].folderName,
                  c.hasFolderName ? std::optional<std::string>("kept") : std::nullopt);
    }
}

TEST(CatalogOpen, NewerVersionIsUsedAsItIs) {
    Sandbox sandbox;
    const auto path = sandbox / "catalog.sqlite";
    {
        RawDatabase raw(path);
        raw.exec("CREATE TABLE future (x); PRAGMA user_version = 7;");
    }
    { Catalog catalog(path); }
    RawDatabase raw(path);
    EXPECT_EQ(raw.integer("PRAGMA user_version;"), 7);
    EXPECT_EQ(raw.tables(), std::set<std::string>{"future"});
}

TEST(CatalogOpen, FailedMigrationRaisesTheScriptMessageAndLeavesTheFileAsItWas) {
    Sandbox sandbox;
    const auto path = sandbox / "catalog.sqlite";
    {
        RawDatabase raw(path);
        raw.exec("CREATE TABLE videos (video_id TEXT PRIMARY KEY); PRAGMA user_version = 1;");
    }
    try {
        Catalog catalog(path);
        FAIL() << "opened a version-1 file without a playlists table";
    } catch (const CatalogError& error) {
        EXPECT_EQ(error.message(), "no such table: playlists");
        EXPECT_STREQ(error.what(), "catalog: no such table: playlists");
    }
    RawDatabase raw(path);
    EXPECT_EQ(raw.integer("PRAGMA user_version;"), 1);
    EXPECT_FALSE(raw.columns("videos").contains("file_path"));
}

TEST(CatalogOpen, MissingFolderGivesSQLitesMessage) {
    Sandbox sandbox;
    try {
        Catalog catalog(sandbox / "no" / "such" / "folder" / "catalog.sqlite");
        FAIL() << "opened a file in a folder that does not exist";
    } catch (const CatalogError& error) {
        EXPECT_EQ(error.message(), "unable to open database file");
    }
}

TEST_F(CatalogTest, StatementLayerReportsEveryFailureAndFinalizesItsStatements) {
    addVideo("v1", "Title");
    using P = Catalog::Parameter;
    const auto now = std::chrono::system_clock::now();
    struct Case {
        const char* name;
        std::function<void()> call;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"Boolean third",
         [&] {
             Access::run(*catalog, "SELECT ?1, ?2, ?3;", {P(std::string("a")), P(1.5), P(true)});
         },
         "unsupported parameter type at 3"},
        {"time point first", [&] { Access::run(*catalog, "SELECT ?1;", {P(now)}); },
         "unsupported parameter type at 1"},
        {"bind past the parameter count",
         [&] {
             Access::run(*catalog, "SELECT ?1;", {P(), P(std::int64_t{2})});
         },
         "column index out of range"},
        {"prepare", [&] { Access::run(*catalog, "SELEC 1;"); }, "near \"SELEC\": syntax error"},
        {"exec", [&] { Access::exec(*catalog, "CREATE TABLE videos (x);"); },
         "table videos already exists"},
        {"step: check constraint", [&] { catalog->setTags("v1", {"a"}, "elsewhere"); },
         "CHECK constraint failed: source IN ('youtube','kelvo')"},
        {"step: foreign key", [&] { catalog->saveSummary("nobody", "s", "m"); },
         "FOREIGN KEY constraint failed"},
        {"step: foreign key of an item", [&] { catalog->upsertItem(42, "v1", {}, {}); },
         "FOREIGN KEY constraint failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.call();
            ADD_FAILURE() << "no error";
        } catch (const CatalogError& error) {
            EXPECT_EQ(error.message(), c.message);
            EXPECT_EQ(std::string(error.what()), "catalog: " + c.message);
        }
        EXPECT_EQ(Access::leakedStatements(*catalog), std::vector<std::string>{});
    }
    // The connection stays usable after the failures.
    EXPECT_EQ(catalog->video("v1")->title, "Title");
}

TEST(CatalogSharing, SecondConnectionWaitsForALockInsteadOfFailing) {
    Sandbox sandbox;
    const auto path = sandbox / "catalog.sqlite";
    Catalog app(path);
    Catalog cli(path);
    RawDatabase other(path);
    other.exec("BEGIN IMMEDIATE; INSERT INTO videos (video_id, title) VALUES ('held', 'Held');");
    auto write =
        std::async(std::launch::async, [&] { cli.upsertVideo(videoRecord("waited", "Waited")); });
    EXPECT_EQ(write.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    other.exec("COMMIT;");
    EXPECT_NO_THROW(write.get());
    EXPECT_TRUE(app.video("waited"));
    EXPECT_TRUE(app.video("held"));
    EXPECT_EQ(app.search("waited", 5).size(), 1u);
}

class EnvironmentVariable {
  public:
    EnvironmentVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~EnvironmentVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(CatalogLocation, FollowsXDGDataHomeElseHomeAndCreatesAPrivateFolder) {
    Sandbox sandbox;
    {
        EnvironmentVariable xdg("XDG_DATA_HOME", (sandbox / "data").c_str());
        EXPECT_EQ(Catalog::defaultURL(), sandbox / "data" / "kelvo" / "catalog.sqlite");
        struct stat info {};
        ASSERT_EQ(::stat((sandbox / "data" / "kelvo").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    for (const char* xdgValue : {static_cast<const char*>(nullptr), "relative/ignored"}) {
        EnvironmentVariable xdg("XDG_DATA_HOME", xdgValue);
        EnvironmentVariable home("HOME", (sandbox / "home").c_str());
        EXPECT_EQ(Catalog::defaultURL(),
                  sandbox / "home" / ".local" / "share" / "kelvo" / "catalog.sqlite");
    }
    // A file where the folder should be is the file system's error, passed on unchanged.
    writeFile(sandbox / "blocked" / "kelvo", "not a folder");
    EnvironmentVariable xdg("XDG_DATA_HOME", (sandbox / "blocked").c_str());
    EXPECT_THROW(Catalog::defaultURL(), fs::filesystem_error);
}

TEST(CatalogRecords, StatusTextsRoundTripAndNothingElseConverts) {
    const std::pair<VideoStatus, const char*> table[] = {
        {VideoStatus::queued, "queued"}, {VideoStatus::downloading, "downloading"},
        {VideoStatus::done, "done"},     {VideoStatus::needsSignIn, "needs_sign_in"},
        {VideoStatus::failed, "failed"}, {VideoStatus::deleted, "deleted_by_user"},
    };
    for (const auto& [status, stored] : table) {
        EXPECT_EQ(toText(status), stored);
        EXPECT_EQ(videoStatusFromText(stored), status);
    }
    for (const char* other : {"", "Done", "QUEUED", "deleted", "needsSignIn", "done "}) {
        EXPECT_EQ(videoStatusFromText(other), std::nullopt) << other;
    }
}

TEST_F(CatalogTest, StoredStatusesReadBackAndUnknownTextReadsAsQueued) {
    for (const VideoStatus status :
         {VideoStatus::queued, VideoStatus::downloading, VideoStatus::done,
          VideoStatus::needsSignIn, VideoStatus::failed, VideoStatus::deleted}) {
        addVideo("v", "T", status);
        EXPECT_EQ(catalog->video("v")->status, status);
    }
    Access::run(*catalog, "UPDATE videos SET status = 'Done' WHERE video_id = 'v';");
    EXPECT_EQ(catalog->video("v")->status, VideoStatus::queued);
}

TEST(CatalogRecords, PlaylistFolderExpandsHomeAndHonoursAnEmptyFolderName) {
    const fs::path home = std::getenv("HOME");
    PlaylistRecord record;
    record.title = ".kelvo";
    record.targetPath = "~/Videos/kelvo/Playlist";
    const fs::path base = home / "Videos" / "kelvo" / "Playlist";
    EXPECT_EQ(record.folder(), base / Naming::sanitize(".kelvo", "playlist"));
    record.folderName = "";
    EXPECT_EQ(record.folder(), base);
    record.folderName = "Mix [abc123]";
    EXPECT_EQ(record.folder(), base / "Mix [abc123]");
    record.targetPath = "/srv/~media";
    EXPECT_EQ(record.folder(), fs::path("/srv/~media/Mix [abc123]"));
    record.targetPath = "~";
    EXPECT_EQ(record.folder(), home / "Mix [abc123]");
}

}  // namespace
}  // namespace kelvo::test
