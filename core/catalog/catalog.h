#pragma once

// kelvo's catalog: the one SQLite database of playlists, videos, memberships, summaries and
// tags, with full-text search and the library listing. The only code in kelvo that talks SQLite.
//
// Every operation prepares, runs and finalizes its statements before it returns; nothing is
// cached between calls. Failures raise CatalogError ("catalog: " + SQLite's message); a missing
// row or file is never an error but an absent result, an empty list, false or 0.
//
// One connection is shared by the main thread and a background job: it runs in SQLite's
// serialized mode. It waits up to five seconds for a database locked by another process (the
// CLI beside the tray app) instead of failing at once.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/catalog/records.h"

struct sqlite3;

namespace kelvo {

// A file of a video already on disk through some playlist, with its sidecar when recorded.
struct ExistingCopy {
    std::string filePath;
    std::optional<std::string> nfoPath;

    bool operator==(const ExistingCopy&) const = default;
};

class Catalog {
  public:
    // The schema version this code creates and migrates to.
    static constexpr std::int32_t schemaVersion = 3;

    // $XDG_DATA_HOME/kelvo/catalog.sqlite (default ~/.local/share/kelvo), creating the folder
    // (mode 0700) when needed. File-system errors pass through unchanged.
    static std::filesystem::path defaultURL();

    // Opens or creates the database at `path`, turns on foreign keys and write-ahead logging and
    // brings the schema to version 3 (a newer one is used as it is). Raises CatalogError.
    explicit Catalog(const std::filesystem::path& path);
    ~Catalog();
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;

    // ---- Videos, summaries, tags and search ----

    // Inserts the video or overwrites every column of it but file_path; rebuilds its search row.
    void upsertVideo(const VideoRecord& video);
    // The video's row, or nothing.
    std::optional<VideoRecord> video(std::string_view videoID);
    // Replaces status and error text (no error clears it); `done` also stamps downloaded_at.
    void setStatus(std::string_view videoID, VideoStatus status,
                   const std::optional<std::string>& error = std::nullopt);
    // Records the file a single-video download produced.
    void setFilePath(std::string_view videoID, std::string_view path);
    // Inserts or replaces the video's summary; rebuilds its search row.
    void saveSummary(std::string_view videoID, std::string_view summary,
                     std::string_view modelVersion);
    // Replaces the video's tags of one source ("youtube" or "kelvo"): trimmed, lower-cased, each
    // once, empty ones skipped, in the given order. Rebuilds its search row.
    void setTags(std::string_view videoID, const std::vector<std::string>& tags,
                 std::string_view source);
    // The distinct tags of the video from both sources, in binary text order.
    std::vector<std::string> tags(std::string_view videoID);
    // Full-text search over title, summary and tags: every word of `text` must match as a prefix.
    // Best match first, at most `limit` hits. No words: empty, without touching the database.
    std::vector<SearchHit> search(std::string_view text, std::int64_t limit);
    // The FTS5 match expression for a search text: each letter-or-number run as a quoted prefix
    // phrase ("word"*), joined by spaces; empty when the text holds no words.
    static std::string ftsQuery(std::string_view text);

    // ---- Playlists and playlist items ----

    // Registers a playlist (or updates a known one: the title stays, target path, interval and
    // folder name are replaced) and enables it. The folder name is the sanitized title, with
    // " [" + the id's last six characters + "]" when another playlist in the same target
    // directory already uses that name (in any letter case); "" for a playlist titled ".kelvo".
    // Returns the playlist's row id.
    std::int64_t addPlaylist(std::string_view youtubeID, std::string_view title,
                             std::string_view targetPath, std::int64_t intervalMin);
    // Every playlist, disabled ones too, ordered by title.
    std::vector<PlaylistRecord> playlists();
    // Switches a playlist on or off; its items stay.
    void setPlaylistEnabled(std::int64_t id, bool enabled);
    // Stamps the time of a playlist's last check.
    void touchChecked(std::int64_t id, TimePoint at);
    // The playlist's memberships, current and removed, in no particular order.
    std::vector<PlaylistItemRecord> items(std::int64_t playlistID);
    // Records a current membership: a new row is first seen now; a known one takes the given
    // paths (absent ones clear the stored ones) and is current and unarchived again.
    void upsertItem(std::int64_t playlistID, std::string_view videoID,
                    const std::optional<std::string>& filePath,
                    const std::optional<std::string>& nfoPath);
    // Marks a membership removed now (and archived now when `archived`), with the files' new
    // places. No such row: nothing happens.
    void markRemoved(std::int64_t playlistID, std::string_view videoID,
                     const std::optional<std::string>& filePath,
                     const std::optional<std::string>& nfoPath, bool archived);
    // The first recorded playlist file of the video that exists on disk, current memberships
    // first; nothing when none exists.
    std::optional<ExistingCopy> existingCopy(std::string_view videoID);
    // True when the video has any membership, current or removed.
    bool inAnyPlaylist(std::string_view videoID);
    // The number of the video's current memberships.
    int activeItemCount(std::string_view videoID);
    // The title of a playlist holding the video, a current membership preferred; nothing when
    // the video was never in a playlist.
    std::optional<std::string> playlistTitle(std::string_view videoID);

    // ---- Library listing and removal ----

    // The library listing, newest download first, at most `limit` entries. A search text with
    // more than blanks narrows it to the videos `search` finds. Videos deleted by the user are
    // never listed. Each entry carries its tags, playlist title, archive and missing-file flags
    // and, for failed ones, the error text; a failing lookup for one entry leaves it blank.
    std::vector<CatalogEntry> entries(const std::optional<std::string>& search, std::int64_t limit);
    // The best existing file of the video: a current playlist copy, then the single-video file,
    // then the other playlist copies. Nothing when none exists.
    std::optional<std::string> filePath(std::string_view videoID);
    // Every existing file of the video (media and sidecars), each once.
    std::vector<std::string> allFiles(std::string_view videoID);
    // allFiles of every video in the catalog, in row order.
    std::vector<std::string> allFilesOfAllVideos();
    // Turns the video into a tombstone: summary, tags, search row and file paths go, the row
    // stays with status deleted so playlist synchronisation does not fetch it again.
    void markDeleted(std::string_view videoID);
    // True when the video exists and was deleted by the user.
    bool isDeleted(std::string_view videoID);
    // Removes every row of the video, so a playlist that lists it fetches it anew.
    void forget(std::string_view videoID);

    // Marks every video left `downloading` (by a crash or a quit during a job) as `failed` with
    // the error "interrupted before it finished". Returns how many videos changed.
    int failInterruptedDownloads();

    // A statement parameter. Strings, 64-bit integers, doubles and absent values (monostate)
    // bind; Booleans and time points are refused with "unsupported parameter type at N", so a
    // caller that forgot to convert one gets an error instead of a silently wrong value.
    using Parameter = std::variant<std::monostate, std::string, std::int64_t, double, bool,
                                   std::chrono::system_clock::time_point>;

  private:
    class Statement;
    friend struct CatalogTestAccess;

    void migrate();
    void refreshSearchIndex(std::string_view videoID);
    // Fills in the tags, file flags and playlist title of listed entries; `singleFiles` holds
    // each one's single-video file.
    void addDetails(std::span<CatalogEntry> entries,
                    std::span<const std::optional<std::string>> singleFiles);

    // Runs SQL text of one or more statements without reading rows.
    void exec(const std::string& sql);
    // Prepares one statement and binds `parameters` to ?1, ?2, ...
    Statement prepare(const std::string& sql, const std::vector<Parameter>& parameters = {});
    // Prepares, binds and steps a statement that returns no rows.
    void run(const std::string& sql, const std::vector<Parameter>& parameters = {});
    // Column 0 of the last row of a query as a 32-bit integer; nothing when there is no row.
    std::optional<int> queryInt(const std::string& sql,
                                const std::vector<Parameter>& parameters = {});
    [[noreturn]] void fail() const;

    sqlite3* db_ = nullptr;
};

}  // namespace kelvo
