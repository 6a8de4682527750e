#pragma once

// What the playlist sync needs to know about a remote playlist.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

struct RemotePlaylist {
    std::string id;
    std::string title;
    std::optional<std::int64_t> itemCount;  // entries listed; none without an entries array

    bool operator==(const RemotePlaylist&) const = default;
};

struct RemoteItem {
    std::string videoID;
    std::string title;
    bool available = true;  // false: private, deleted, paid or sign-in-only
    // A premiere not yet shown, a stream still live or just ended: not a plain video yet, so
    // it is left for a later run.
    bool waiting = false;

    bool operator==(const RemoteItem&) const = default;
};

// Lists a remote playlist. Operations block while the listing is fetched; call them from a
// background thread.
class PlaylistSource {
  public:
    virtual ~PlaylistSource() = default;

    // The playlist's id, title and size, or nothing when unknown.
    virtual std::optional<RemotePlaylist> playlist(std::string_view playlistID) = 0;
    // The entries in playlist order.
    virtual std::vector<RemoteItem> items(std::string_view playlistID) = 0;
};

}  // namespace kelvo
