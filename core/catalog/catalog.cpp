#include "core/catalog/catalog.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "core/library/naming.h"
#include "core/text/unicode.h"

namespace kelvo {

namespace fs = std::filesystem;

namespace {

using Parameter = Catalog::Parameter;

Parameter str(std::string_view value) {
    return std::string(value);
}
Parameter optStr(const std::optional<std::string>& value) {
    return value ? Parameter(*value) : Parameter();
}
Parameter integer(std::int64_t value) {
    return value;
}
Parameter optInteger(std::optional<std::int64_t> value) {
    return value ? Parameter(*value) : Parameter();
}
Parameter real(double value) {
    return value;
}
Parameter optReal(std::optional<double> value) {
    return value ? Parameter(*value) : Parameter();
}

TimePoint now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A file-existence check, nothing more: an unreadable path counts as absent.
bool fileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::path(path), error);
}

// True when the text holds something besides tabs and Unicode space separators (line breaks
// count as something).
bool hasMoreThanBlanks(std::string_view utf8) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    const auto length = static_cast<int32_t>(utf8.size());
    int32_t offset = 0;
    while (offset < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, offset, length, c);
        if (c != '\t' && u_charType(c) != U_SPACE_SEPARATOR) {
            return true;
        }
    }
    return false;
}

std::string join(const std::vector<std::string>& lines, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += lines[i];
    }
    return out;
}

const std::string versionOneScript = join(
    {
        "BEGIN;",
        "CREATE TABLE IF NOT EXISTS playlists (",
        "  id INTEGER PRIMARY KEY,",
        "  youtube_playlist_id TEXT NOT NULL UNIQUE,",
        "  title TEXT NOT NULL,",
        "  target_path TEXT NOT NULL,",
        "  check_interval_min INTEGER NOT NULL DEFAULT 30,",
        "  enabled INTEGER NOT NULL DEFAULT 1,",
        "  last_checked_at REAL",
        ");",
        "CREATE TABLE IF NOT EXISTS videos (",
        "  video_id TEXT PRIMARY KEY,",
        "  title TEXT NOT NULL,",
        "  channel TEXT,",
        "  upload_date TEXT,",
        "  duration_sec INTEGER,",
        "  description TEXT,",
        "  status TEXT NOT NULL DEFAULT 'queued',",
        "  error TEXT,",
        "  downloaded_at REAL",
        ");",
        "CREATE TABLE IF NOT EXISTS playlist_items (",
        "  playlist_id INTEGER NOT NULL REFERENCES playlists(id) ON DELETE CASCADE,",
        "  video_id TEXT NOT NULL REFERENCES videos(video_id),",
        "  file_path TEXT,",
        "  nfo_path TEXT,",
        "  first_seen_at REAL NOT NULL,",
        "  removed_at REAL,",
        "  archived_at REAL,",
        "  PRIMARY KEY (playlist_id, video_id)",
        ");",
        "CREATE TABLE IF NOT EXISTS summaries (",
        "  video_id TEXT PRIMARY KEY REFERENCES videos(video_id),",
        "  summary TEXT NOT NULL,",
        "  model_version TEXT NOT NULL,",
        "  generated_at REAL NOT NULL",
        ");",
        "CREATE TABLE IF NOT EXISTS tags (",
        "  video_id TEXT NOT NULL REFERENCES videos(video_id),",
        "  tag TEXT NOT NULL,",
        "  source TEXT NOT NULL CHECK (source IN ('youtube','kelvo')),",
        "  PRIMARY KEY (video_id, tag, source)",
        ");",
        "CREATE VIRTUAL TABLE IF NOT EXISTS videos_fts USING fts5(",
        "  video_id UNINDEXED, title, summary, tags",
        ");",
        "PRAGMA user_version = 1;",
        "COMMIT;",
    },
    "\n");

constexpr const char* versionTwoScript =
    "BEGIN; ALTER TABLE playlists ADD COLUMN folder_name TEXT; PRAGMA user_version = 2; COMMIT;";
constexpr const char* versionThreeScript =
    "BEGIN; ALTER TABLE videos ADD COLUMN file_path TEXT; PRAGMA user_version = 3; COMMIT;";

// Lookups by video alone (file paths, playlist titles, copies, counts) and the newest-first
// listing would otherwise scan whole tables: the primary key of playlist_items starts with the
// playlist. Indexes change no stored data and no schema version; a kelvo without them reads the
// file the same way.
constexpr const char* lookupIndexesScript =
    "CREATE INDEX IF NOT EXISTS playlist_items_video ON playlist_items (video_id);\n"
    "CREATE INDEX IF NOT EXISTS videos_recent ON videos (COALESCE(downloaded_at, 0));";

constexpr int busyTimeoutMilliseconds = 5000;

const std::string interruptedError = "interrupted before it finished";

}  // namespace

// One prepared statement, finalized when it goes out of scope on every path.
class Catalog::Statement {
  public:
    Statement(sqlite3* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(Statement&& other) noexcept
        : db_(other.db_), statement_(std::exchange(other.statement_, nullptr)) {}
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement& operator=(Statement&&) = delete;

    sqlite3_stmt* handle() const { return statement_; }

    // Steps once: true for a row, false when done; any other result raises.
    bool next() {
        const int result = sqlite3_step(statement_);
        if (result == SQLITE_ROW) {
            return true;
        }
        if (result == SQLITE_DONE) {
            return false;
        }
        throw CatalogError(sqlite3_errmsg(db_));
    }

    // Steps a statement that returns no rows.
    void finish() {
        const int result = sqlite3_step(statement_);
        if (result != SQLITE_DONE) {
            throw CatalogError(sqlite3_errmsg(db_));
        }
    }

    bool isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

    std::optional<std::string> optionalText(int column) const {
        const unsigned char* value = sqlite3_column_text(statement_, column);
        if (value == nullptr) {
            return std::nullopt;
        }
        return std::string(reinterpret_cast<const char*>(value),
                           static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
    }
    std::string text(int column) const { return optionalText(column).value_or(std::string()); }

    std::int64_t int64(int column) const { return sqlite3_column_int64(statement_, column); }
    int int32(int column) const { return sqlite3_column_int(statement_, column); }
    std::optional<std::int64_t> optionalInt64(int column) const {
        return isNull(column) ? std::nullopt : std::optional(int64(column));
    }
    std::optional<double> optionalReal(int column) const {
        return isNull(column) ? std::nullopt
                              : std::optional(sqlite3_column_double(statement_, column));
    }
    VideoStatus status(int column) const {
        const auto stored = optionalText(column);
        return stored ? videoStatusFromText(*stored).value_or(VideoStatus::queued)
                      : VideoStatus::queued;
    }

  private:
    sqlite3* db_;
    sqlite3_stmt* statement_;
};

// ---- Opening and the statement layer ----

fs::path Catalog::defaultURL() {
    fs::path dataHome;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/') {
        dataHome = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == '\0') {
            throw fs::filesystem_error("no home folder (HOME is not set)",
                                       std::make_error_code(std::errc::no_such_file_or_directory));
        }
        dataHome = fs::path(home) / ".local" / "share";
    }
    fs::create_directories(dataHome);
    const fs::path folder = dataHome / "kelvo";
    if (fs::create_directory(folder)) {
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
    }
    return folder / "catalog.sqlite";
}

Catalog::Catalog(const fs::path& path) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_threadsafe() != 1) {
        // The connection is shared by the main thread and a background job.
        flags |= SQLITE_OPEN_FULLMUTEX;
    }
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : "open failed";
        sqlite3_close(db_);
        db_ = nullptr;
        throw CatalogError(message);
    }
    try {
        // The CLI and the tray app may use the database at the same time: wait for a lock.
        sqlite3_busy_timeout(db_, busyTimeoutMilliseconds);
        exec("PRAGMA foreign_keys = ON; PRAGMA journal_mode = WAL;");
        migrate();
    } catch (...) {
        // Closing also rolls back a schema script that failed half-way.
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

Catalog::~Catalog() {
    sqlite3_close(db_);
}

void Catalog::migrate() {
    int version = 0;
    {
        Statement statement = prepare("PRAGMA user_version;");
        while (statement.next()) {
            version = statement.int32(0);
        }
    }
    if (version > 3) {
        return;  // a newer kelvo's database is used as it is
    }
    if (version <= 0) {
        exec(versionOneScript);
    }
    if (version <= 1) {
        exec(versionTwoScript);
    }
    if (version <= 2) {
        exec(versionThreeScript);
    }
    exec(lookupIndexesScript);
}

[[noreturn]] void Catalog::fail() const {
    throw CatalogError(sqlite3_errmsg(db_));
}

void Catalog::exec(const std::string& sql) {
    char* error = nullptr;
    const int result = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
    if (result != SQLITE_OK) {
        const std::string message = error != nullptr ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        throw CatalogError(message);
    }
    sqlite3_free(error);
}

Catalog::Statement Catalog::prepare(const std::string& sql,
                                    const std::vector<Parameter>& parameters) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        fail();
    }
    Statement statement(db_, raw);
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const int position = static_cast<int>(i) + 1;
        const int result = std::visit(
            [&](const auto& value) -> int {
                using T = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<T, std::monostate>) {
                    return sqlite3_bind_null(raw, position);
                } else if constexpr (std::is_same_v<T, std::string>) {
                    return sqlite3_bind_text(raw, position, value.c_str(), -1, SQLITE_TRANSIENT);
                } else if constexpr (std::is_same_v<T, std::int64_t>) {
                    return sqlite3_bind_int64(raw, position, value);
                } else if constexpr (std::is_same_v<T, double>) {
                    return sqlite3_bind_double(raw, position, value);
                } else {
                    throw CatalogError("unsupported parameter type at " + std::to_string(position));
                }
            },
            parameters[i]);
        if (result != SQLITE_OK) {
            fail();
        }
    }
    return statement;
}

void Catalog::run(const std::string& sql, const std::vector<Parameter>& parameters) {
    prepare(sql, parameters).finish();
}

std::optional<int> Catalog::queryInt(const std::string& sql,
                                     const std::vector<Parameter>& parameters) {
    Statement statement = prepare(sql, parameters);
    std::optional<int> value;
    while (statement.next()) {
        value = statement.int32(0);
    }
    return value;
}

// ---- Videos, summaries, tags and search ----

void Catalog::upsertVideo(const VideoRecord& video) {
    run(join(
            {
                "INSERT INTO videos (video_id, title, channel, upload_date, duration_sec, "
                "description, status, error, downloaded_at)",
                "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
                "ON CONFLICT(video_id) DO UPDATE SET",
                "  title = excluded.title, channel = excluded.channel, upload_date = "
                "excluded.upload_date,",
                "  duration_sec = excluded.duration_sec, description = excluded.description,",
                "  status = excluded.status, error = excluded.error, downloaded_at = "
                "excluded.downloaded_at;",
            },
            "\n"),
        {str(video.videoID), str(video.title), optStr(video.channel), optStr(video.uploadDate),
         optInteger(video.durationSec), optStr(video.description), str(toText(video.status)),
         optStr(video.error), optReal(video.downloadedAt)});
    refreshSearchIndex(video.videoID);
}

std::optional<VideoRecord> Catalog::video(std::string_view videoID) {
    Statement statement = prepare(
        "SELECT video_id, title, channel, upload_date, duration_sec, description, status, "
        "error, downloaded_at FROM videos WHERE video_id = ?1;",
        {str(videoID)});
    std::optional<VideoRecord> record;
    while (statement.next()) {
        record = VideoRecord{
            .videoID = statement.optionalText(0).value_or(std::string(videoID)),
            .title = statement.text(1),
            .channel = statement.optionalText(2),
            .uploadDate = statement.optionalText(3),
            .durationSec = statement.optionalInt64(4),
            .description = statement.optionalText(5),
            .status = statement.status(6),
            .error = statement.optionalText(7),
            .downloadedAt = statement.optionalReal(8),
        };
    }
    return record;
}

void Catalog::setStatus(std::string_view videoID, VideoStatus status,
                        const std::optional<std::string>& error) {
    run("UPDATE videos SET status = ?2, error = ?3, downloaded_at = CASE WHEN ?2 = 'done' THEN ?4 "
        "ELSE downloaded_at END WHERE video_id = ?1;",
        {str(videoID), str(toText(status)), optStr(error), real(now())});
}

void Catalog::setFilePath(std::string_view videoID, std::string_view path) {
    run("UPDATE videos SET file_path = ?2 WHERE video_id = ?1;", {str(videoID), str(path)});
}

void Catalog::saveSummary(std::string_view videoID, std::string_view summary,
                          std::string_view modelVersion) {
    run(join(
            {
                "INSERT INTO summaries (video_id, summary, model_version, generated_at) VALUES "
                "(?1, ?2, ?3, ?4)",
                "ON CONFLICT(video_id) DO UPDATE SET summary = excluded.summary, model_version = "
                "excluded.model_version, generated_at = excluded.generated_at;",
            },
            "\n"),
        {str(videoID), str(summary), str(modelVersion), real(now())});
    refreshSearchIndex(videoID);
}

void Catalog::setTags(std::string_view videoID, const std::vector<std::string>& tags,
                      std::string_view source) {
    run("DELETE FROM tags WHERE video_id = ?1 AND source = ?2;", {str(videoID), str(source)});
    std::vector<std::string> inserted;
    for (const std::string& tag : tags) {
        std::string normalised = text::lowercased(text::trimmed(tag));
        if (normalised.empty() ||
            std::find(inserted.begin(), inserted.end(), normalised) != inserted.end()) {
            continue;
        }
        run("INSERT INTO tags (video_id, tag, source) VALUES (?1, ?2, ?3);",
            {str(videoID), str(normalised), str(source)});
        inserted.push_back(std::move(normalised));
    }
    refreshSearchIndex(videoID);
}

std::vector<std::string> Catalog::tags(std::string_view videoID) {
    Statement statement =
        prepare("SELECT DISTINCT tag FROM tags WHERE video_id = ?1 ORDER BY tag;", {str(videoID)});
    std::vector<std::string> out;
    while (statement.next()) {
        out.push_back(statement.text(0));
    }
    return out;
}

void Catalog::refreshSearchIndex(std::string_view videoID) {
    run("DELETE FROM videos_fts WHERE video_id = ?1;", {str(videoID)});
    run(join(
            {
                "INSERT INTO videos_fts (video_id, title, summary, tags)",
                "SELECT v.video_id, v.title, COALESCE(s.summary, ''),",
                "       COALESCE((SELECT group_concat(tag, ' ') FROM tags t WHERE t.video_id = "
                "v.video_id), '')",
                "FROM videos v LEFT JOIN summaries s ON s.video_id = v.video_id WHERE v.video_id "
                "= ?1;",
            },
            "\n"),
        {str(videoID)});
}

std::string Catalog::ftsQuery(std::string_view searchText) {
    std::vector<std::string> phrases;
    for (const std::string& word : text::words(searchText)) {
        phrases.push_back("\"" + word + "\"*");
    }
    return join(phrases, " ");
}

std::vector<SearchHit> Catalog::search(std::string_view searchText, std::int64_t limit) {
    const std::string match = ftsQuery(searchText);
    if (match.empty()) {
        return {};
    }
    Statement statement = prepare(join(
                                      {
                                          "SELECT f.video_id, v.title, s.summary FROM videos_fts f",
                                          "JOIN videos v ON v.video_id = f.video_id",
                                          "LEFT JOIN summaries s ON s.video_id = f.video_id",
                                          "WHERE videos_fts MATCH ?1 ORDER BY rank LIMIT ?2;",
                                      },
                                      "\n"),
                                  {str(match), integer(limit)});
    std::vector<SearchHit> hits;
    while (statement.next()) {
        hits.push_back(SearchHit{statement.text(0), statement.text(1), statement.optionalText(2)});
    }
    return hits;
}

// ---- Playlists and playlist items ----

std::int64_t Catalog::addPlaylist(std::string_view youtubeID, std::string_view title,
                                  std::string_view targetPath, std::int64_t intervalMin) {
    std::string folderName = title == ".kelvo" ? std::string() : Naming::playlistFolder(title);
    if (!folderName.empty()) {
        const std::string wanted = text::lowercased(folderName);
        for (const PlaylistRecord& other : playlists()) {
            if (other.targetPath != targetPath || other.youtubeID == youtubeID) {
                continue;
            }
            const std::string taken =
                other.folderName ? *other.folderName : Naming::playlistFolder(other.title);
            if (text::lowercased(taken) == wanted) {
                const std::vector<std::string> characters = text::graphemes(youtubeID);
                const std::size_t first = characters.size() > 6 ? characters.size() - 6 : 0;
                std::string suffix;
                for (std::size_t i = first; i < characters.size(); ++i) {
                    suffix += characters[i];
                }
                folderName += " [" + suffix + "]";
                break;
            }
        }
    }
    run(join(
            {
                "INSERT INTO playlists (youtube_playlist_id, title, target_path, "
                "check_interval_min, enabled, folder_name)",
                "VALUES (?1, ?2, ?3, ?4, 1, ?5)",
                "ON CONFLICT(youtube_playlist_id) DO UPDATE SET target_path = "
                "excluded.target_path,",
                "  check_interval_min = excluded.check_interval_min, enabled = 1, folder_name = "
                "excluded.folder_name;",
            },
            "\n"),
        {str(youtubeID), str(title), str(targetPath), integer(intervalMin), str(folderName)});
    for (const PlaylistRecord& playlist : playlists()) {
        if (playlist.youtubeID == youtubeID) {
            return playlist.id;
        }
    }
    throw CatalogError("playlist " + std::string(youtubeID) + " vanished while it was registered");
}

std::vector<PlaylistRecord> Catalog::playlists() {
    Statement statement = prepare(
        "SELECT id, youtube_playlist_id, title, target_path, check_interval_min, enabled, "
        "last_checked_at, folder_name FROM playlists ORDER BY title;");
    std::vector<PlaylistRecord> out;
    while (statement.next()) {
        out.push_back(PlaylistRecord{
            .id = statement.int64(0),
            .youtubeID = statement.text(1),
            .title = statement.text(2),
            .targetPath = statement.text(3),
            .intervalMin = statement.int64(4),
            .enabled = statement.int32(5) != 0,
            .lastCheckedAt = statement.optionalReal(6),
            .folderName = statement.optionalText(7),
        });
    }
    return out;
}

void Catalog::setPlaylistEnabled(std::int64_t id, bool enabled) {
    run("UPDATE playlists SET enabled = ?2 WHERE id = ?1;",
        {integer(id), integer(enabled ? 1 : 0)});
}

void Catalog::touchChecked(std::int64_t id, TimePoint at) {
    run("UPDATE playlists SET last_checked_at = ?2 WHERE id = ?1;", {integer(id), real(at)});
}

std::vector<PlaylistItemRecord> Catalog::items(std::int64_t playlistID) {
    Statement statement = prepare(
        "SELECT playlist_id, video_id, file_path, nfo_path, removed_at, archived_at FROM "
        "playlist_items WHERE playlist_id = ?1;",
        {integer(playlistID)});
    std::vector<PlaylistItemRecord> out;
    while (statement.next()) {
        out.push_back(PlaylistItemRecord{
            .playlistID = statement.int64(0),
            .videoID = statement.text(1),
            .filePath = statement.optionalText(2),
            .nfoPath = statement.optionalText(3),
            .removedAt = statement.optionalReal(4),
            .archivedAt = statement.optionalReal(5),
        });
    }
    return out;
}

void Catalog::upsertItem(std::int64_t playlistID, std::string_view videoID,
                         const std::optional<std::string>& filePath,
                         const std::optional<std::string>& nfoPath) {
    run(join(
            {
                "INSERT INTO playlist_items (playlist_id, video_id, file_path, nfo_path, "
                "first_seen_at)",
                "VALUES (?1, ?2, ?3, ?4, ?5)",
                "ON CONFLICT(playlist_id, video_id) DO UPDATE SET file_path = excluded.file_path, "
                "nfo_path = excluded.nfo_path,",
                "  removed_at = NULL, archived_at = NULL;",
            },
            "\n"),
        {integer(playlistID), str(videoID), optStr(filePath), optStr(nfoPath), real(now())});
}

void Catalog::markRemoved(std::int64_t playlistID, std::string_view videoID,
                          const std::optional<std::string>& filePath,
                          const std::optional<std::string>& nfoPath, bool archived) {
    const TimePoint removedAt = now();
    run("UPDATE playlist_items SET removed_at = ?3, archived_at = ?4, file_path = ?5, nfo_path = "
        "?6 WHERE playlist_id = ?1 AND video_id = ?2;",
        {integer(playlistID), str(videoID), real(removedAt),
         archived ? real(removedAt) : Parameter(), optStr(filePath), optStr(nfoPath)});
}

std::optional<ExistingCopy> Catalog::existingCopy(std::string_view videoID) {
    Statement statement = prepare(
        "SELECT file_path, nfo_path FROM playlist_items WHERE video_id = ?1 AND file_path "
        "IS NOT NULL ORDER BY removed_at IS NOT NULL;",
        {str(videoID)});
    while (statement.next()) {
        const auto path = statement.optionalText(0);
        if (path && fileExists(*path)) {
            return ExistingCopy{*path, statement.optionalText(1)};
        }
    }
    return std::nullopt;
}

// The id is bound as a parameter: quoting it into the statement text would be one missed
// escape away from injection.
bool Catalog::inAnyPlaylist(std::string_view videoID) {
    return queryInt("SELECT COUNT(*) FROM playlist_items WHERE video_id = ?1;", {str(videoID)})
               .value_or(0) > 0;
}

int Catalog::activeItemCount(std::string_view videoID) {
    return queryInt(
               "SELECT COUNT(*) FROM playlist_items WHERE video_id = ?1 AND removed_at IS NULL;",
               {str(videoID)})
        .value_or(0);
}

std::optional<std::string> Catalog::playlistTitle(std::string_view videoID) {
    Statement statement = prepare(
        join(
            {
                "SELECT p.title FROM playlist_items i JOIN playlists p ON p.id = i.playlist_id",
                "WHERE i.video_id = ?1 ORDER BY i.removed_at IS NOT NULL LIMIT 1;",
            },
            "\n"),
        {str(videoID)});
    std::optional<std::string> title;
    while (statement.next()) {
        title = statement.text(0);
    }
    return title;
}

// ---- Library listing and removal ----

namespace {

// The best existing file of a video: the first of its playlist copies (current ones first), then
// its single-video file, then the other copies.
std::optional<std::string> bestExistingFile(std::vector<std::string> copies,
                                            const std::optional<std::string>& single) {
    if (single) {
        copies.insert(copies.empty() ? copies.begin() : copies.begin() + 1, *single);
    }
    for (const std::string& candidate : copies) {
        if (fileExists(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

// A lookup that fails leaves its field blank: one broken row must not hide the library.
template <typename Lookup>
void quietly(Lookup&& lookup) {
    try {
        lookup();
    } catch (const CatalogError&) {
    } catch (const fs::filesystem_error&) {
    }
}

// The listing looks up the details of at most this many entries with one statement, well below
// SQLite's limit on the parameters of a statement.
constexpr std::size_t detailsBatch = 500;

}  // namespace

std::vector<CatalogEntry> Catalog::entries(const std::optional<std::string>& searchText,
                                           std::int64_t limit) {
    std::vector<Parameter> ids;
    if (searchText && hasMoreThanBlanks(*searchText)) {
        // The videos search() finds, ids only: the listing reads titles and summaries itself.
        if (const std::string match = ftsQuery(*searchText); !match.empty()) {
            Statement hits = prepare(
                "SELECT f.video_id FROM videos_fts f JOIN videos v ON v.video_id = "
                "f.video_id\nWHERE videos_fts MATCH ?1 ORDER BY rank LIMIT ?2;",
                {str(match), integer(limit)});
            while (hits.next()) {
                ids.emplace_back(hits.text(0));
            }
        }
        if (ids.empty()) {
            return {};
        }
    }
    std::string sql =
        "SELECT v.video_id, v.title, v.channel, v.upload_date, s.summary, v.status, "
        "v.downloaded_at, v.error, v.file_path\n"
        "FROM videos v LEFT JOIN summaries s ON s.video_id = v.video_id\n"
        "WHERE v.status != 'deleted_by_user'";
    if (!ids.empty()) {
        sql += " AND v.video_id IN (";
        for (std::size_t i = 0; i < ids.size(); ++i) {
            sql += i == 0 ? "?" : ",?";
        }
        sql += ")";
    }
    sql += " ORDER BY COALESCE(v.downloaded_at, 0) DESC LIMIT " + std::to_string(limit) + ";";

    std::vector<CatalogEntry> out;
    std::vector<std::optional<std::string>> singleFiles;
    {
        Statement statement = prepare(sql, ids);
        while (statement.next()) {
            CatalogEntry entry;
            entry.videoID = statement.text(0);
            entry.title = statement.text(1);
            entry.channel = statement.optionalText(2);
            entry.uploadDate = statement.optionalText(3);
            entry.summary = statement.optionalText(4);
            entry.status = statement.status(5);
            entry.downloadedAt = statement.optionalReal(6);
            if (entry.status == VideoStatus::needsSignIn || entry.status == VideoStatus::failed) {
                entry.error = statement.optionalText(7);
            }
            out.push_back(std::move(entry));
            singleFiles.push_back(statement.optionalText(8));
        }
    }
    for (std::size_t first = 0; first < out.size(); first += detailsBatch) {
        const std::size_t count = std::min(detailsBatch, out.size() - first);
        addDetails(std::span(out).subspan(first, count),
                   std::span(singleFiles).subspan(first, count));
    }
    return out;
}

// Each kind of detail is one statement over all the entries' ids, with the per-video lookup's
// order (current memberships first, then the rows in insertion order). When such a statement
// fails, that kind is looked up entry by entry, exactly as the single calls do, so a broken row
// still blanks only its own entry.
void Catalog::addDetails(std::span<CatalogEntry> entries,
                         std::span<const std::optional<std::string>> singleFiles) {
    std::vector<Parameter> ids;
    std::unordered_map<std::string_view, std::size_t> position;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ids.emplace_back(entries[i].videoID);
        position.emplace(entries[i].videoID, i);
    }
    std::string in = "(";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        in += i == 0 ? "?" : ",?";
    }
    in += ")";
    // Steps a statement over the ids, handing each row to `take` with its entry's position.
    // False when the statement failed.
    const auto each = [&](const std::string& sql, const auto& take) {
        try {
            Statement statement = prepare(sql, ids);
            while (statement.next()) {
                const auto found = position.find(statement.text(0));
                if (found != position.end()) {
                    take(found->second, statement);
                }
            }
            return true;
        } catch (const CatalogError&) {
            return false;
        }
    };

    std::vector<std::vector<std::string>> tagLists(entries.size());
    if (each("SELECT DISTINCT video_id, tag FROM tags WHERE video_id IN " + in +
                 " ORDER BY video_id, tag;",
             [&](std::size_t i, Statement& row) { tagLists[i].push_back(row.text(1)); })) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            entries[i].tags = std::move(tagLists[i]);
        }
    } else {
        for (CatalogEntry& entry : entries) {
            quietly([&] { entry.tags = tags(entry.videoID); });
        }
    }

    std::vector<std::vector<std::string>> copies(entries.size());
    const bool copiesKnown =
        each("SELECT video_id, file_path FROM playlist_items WHERE video_id IN " + in +
                 " AND file_path IS NOT NULL ORDER BY removed_at IS NOT NULL, rowid;",
             [&](std::size_t i, Statement& row) { copies[i].push_back(row.text(1)); });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        CatalogEntry& entry = entries[i];
        std::optional<std::string> path;
        quietly([&] {
            path = copiesKnown ? bestExistingFile(std::move(copies[i]), singleFiles[i])
                               : filePath(entry.videoID);
        });
        if (!path) {
            entry.isMissing = entry.status == VideoStatus::done;
        } else {
            entry.isArchived = path->find("/_archive/") != std::string::npos;
        }
    }

    std::vector<std::optional<std::string>> titles(entries.size());
    if (each("SELECT i.video_id, p.title FROM playlist_items i JOIN playlists p ON p.id = "
             "i.playlist_id WHERE i.video_id IN " +
                 in + " ORDER BY i.removed_at IS NOT NULL, i.rowid;",
             [&](std::size_t i, Statement& row) {
                 if (!titles[i]) {
                     titles[i] = row.text(1);
                 }
             })) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            entries[i].playlistTitle = std::move(titles[i]);
        }
    } else {
        for (CatalogEntry& entry : entries) {
            quietly([&] { entry.playlistTitle = playlistTitle(entry.videoID); });
        }
    }
}

std::optional<std::string> Catalog::filePath(std::string_view videoID) {
    std::vector<std::string> copies;
    {
        Statement statement = prepare(
            "SELECT file_path FROM playlist_items WHERE video_id = ?1 AND file_path IS NOT "
            "NULL ORDER BY removed_at IS NOT NULL;",
            {str(videoID)});
        while (statement.next()) {
            copies.push_back(statement.text(0));
        }
    }
    std::optional<std::string> single;
    {
        Statement statement =
            prepare("SELECT file_path FROM videos WHERE video_id = ?1 AND file_path IS NOT NULL;",
                    {str(videoID)});
        while (statement.next()) {
            single = statement.text(0);
        }
    }
    return bestExistingFile(std::move(copies), single);
}

std::vector<std::string> Catalog::allFiles(std::string_view videoID) {
    std::vector<std::string> candidates;
    {
        Statement statement = prepare(
            "SELECT file_path, nfo_path FROM playlist_items WHERE video_id = ?1;", {str(videoID)});
        while (statement.next()) {
            for (int column : {0, 1}) {
                if (auto path = statement.optionalText(column)) {
                    candidates.push_back(std::move(*path));
                }
            }
        }
    }
    {
        Statement statement =
            prepare("SELECT file_path FROM videos WHERE video_id = ?1 AND file_path IS NOT NULL;",
                    {str(videoID)});
        while (statement.next()) {
            const std::string path = statement.text(0);
            candidates.push_back(path);
            candidates.push_back(fs::path(path).replace_extension(".nfo").string());
        }
    }
    std::vector<std::string> out;
    for (std::string& candidate : candidates) {
        if (std::find(out.begin(), out.end(), candidate) == out.end() && fileExists(candidate)) {
            out.push_back(std::move(candidate));
        }
    }
    return out;
}

std::vector<std::string> Catalog::allFilesOfAllVideos() {
    std::vector<std::string> ids;
    {
        Statement statement = prepare("SELECT video_id FROM videos;");
        while (statement.next()) {
            if (auto id = statement.optionalText(0)) {
                ids.push_back(std::move(*id));
            }
        }
    }
    std::vector<std::string> out;
    for (const std::string& id : ids) {
        for (std::string& path : allFiles(id)) {
            out.push_back(std::move(path));
        }
    }
    return out;
}

void Catalog::markDeleted(std::string_view videoID) {
    const std::vector<Parameter> id{str(videoID)};
    run("DELETE FROM summaries WHERE video_id = ?1;", id);
    run("DELETE FROM tags WHERE video_id = ?1;", id);
    run("DELETE FROM videos_fts WHERE video_id = ?1;", id);
    run("UPDATE playlist_items SET file_path = NULL, nfo_path = NULL WHERE video_id = ?1;", id);
    run("UPDATE videos SET status = ?2, file_path = NULL WHERE video_id = ?1;",
        {str(videoID), str(toText(VideoStatus::deleted))});
}

bool Catalog::isDeleted(std::string_view videoID) {
    Statement statement = prepare("SELECT status FROM videos WHERE video_id = ?1;", {str(videoID)});
    bool deleted = false;
    while (statement.next()) {
        deleted = statement.optionalText(0) == toText(VideoStatus::deleted);
    }
    return deleted;
}

void Catalog::forget(std::string_view videoID) {
    const std::vector<Parameter> id{str(videoID)};
    run("DELETE FROM playlist_items WHERE video_id = ?1;", id);
    run("DELETE FROM summaries WHERE video_id = ?1;", id);
    run("DELETE FROM tags WHERE video_id = ?1;", id);
    run("DELETE FROM videos_fts WHERE video_id = ?1;", id);
    run("DELETE FROM videos WHERE video_id = ?1;", id);
}

int Catalog::failInterruptedDownloads() {
    // RETURNING counts this statement's rows only, whatever else runs on the connection.
    Statement statement =
        prepare("UPDATE videos SET status = ?1, error = ?2 WHERE status = ?3 RETURNING video_id;",
                {str(toText(VideoStatus::failed)), str(interruptedError),
                 str(toText(VideoStatus::downloading))});
    int changed = 0;
    while (statement.next()) {
        ++changed;
    }
    return changed;
}

}  // namespace kelvo
