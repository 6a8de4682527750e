#pragma once

// The values that cross the catalog's boundary. Plain data with memberwise equality; none of
// them holds a reference to the database.

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// An absolute instant: seconds since 1970-01-01 00:00:00 UTC, fractions kept.
using TimePoint = double;

// The state of one video, stored in videos.status as text.
enum class VideoStatus { queued, downloading, done, needsSignIn, failed, deleted };

// The stored text of a status ("needs_sign_in", "deleted_by_user", ...).
std::string_view toText(VideoStatus status);
// The status whose stored text is exactly `text` (case-sensitive), or nothing.
std::optional<VideoStatus> videoStatusFromText(std::string_view text);

struct VideoRecord {
    std::string videoID;
    std::string title;
    std::optional<std::string> channel;
    std::optional<std::string> uploadDate;
    std::optional<std::int64_t> durationSec;
    std::optional<std::string> description;
    VideoStatus status = VideoStatus::queued;
    std::optional<std::string> error;
    std::optional<TimePoint> downloadedAt;

    bool operator==(const VideoRecord&) const = default;
};

struct SearchHit {
    std::string videoID;
    std::string title;
    std::optional<std::string> summary;

    bool operator==(const SearchHit&) const = default;
};

// One row of the library listing.
struct CatalogEntry {
    std::string videoID;
    std::string title;
    std::optional<std::string> channel;
    std::optional<std::string> uploadDate;
    std::optional<std::string> summary;
    std::vector<std::string> tags;
    VideoStatus status = VideoStatus::queued;
    std::optional<TimePoint> downloadedAt;
    bool isArchived = false;
    bool isMissing = false;
    std::optional<std::string> error;
    std::optional<std::string> playlistTitle;

    const std::string& id() const { return videoID; }
    // Fetched on its own, never through a playlist.
    bool isSingle() const { return !playlistTitle.has_value(); }

    bool operator==(const CatalogEntry&) const = default;
};

struct PlaylistRecord {
    std::int64_t id = 0;
    std::string youtubeID;
    std::string title;
    std::string targetPath;  // may begin with "~"
    std::int64_t intervalMin = 30;
    bool enabled = true;
    std::optional<TimePoint> lastCheckedAt;
    std::optional<std::string> folderName;

    // The playlist's download folder: targetPath ("~" expanded) / (folderName, else the
    // playlist folder name made from the title).
    std::filesystem::path folder() const;

    bool operator==(const PlaylistRecord&) const = default;
};

struct PlaylistItemRecord {
    std::int64_t playlistID = 0;
    std::string videoID;
    std::optional<std::string> filePath;
    std::optional<std::string> nfoPath;
    std::optional<TimePoint> removedAt;
    std::optional<TimePoint> archivedAt;

    bool operator==(const PlaylistItemRecord&) const = default;
};

// The only error catalog operations raise. what() is "catalog: " + message.
class CatalogError : public std::runtime_error {
  public:
    explicit CatalogError(std::string message)
        : std::runtime_error("catalog: " + message), message_(std::move(message)) {}
    const std::string& message() const { return message_; }

  private:
    std::string message_;
};

}  // namespace kelvo

template <>
struct std::hash<kelvo::VideoStatus> {
    std::size_t operator()(kelvo::VideoStatus status) const noexcept {
        return std::hash<int>()(static_cast<int>(status));
    }
};
