#pragma once

// Recognising links of the video service in text the user copied or pasted. Pure functions,
// safe on any thread.

#include <optional>
#include <string>
#include <string_view>

namespace kelvo {

// One video (id + canonical watch URL) or one playlist (id).
struct YouTubeLink {
    enum class Kind { video, playlist };

    Kind kind = Kind::video;
    std::string id;   // the 11-character video id, or the playlist's `list` value unchanged
    std::string url;  // videos: the canonical watch URL; playlists: empty

    static YouTubeLink video(std::string id, std::string url);
    static YouTubeLink playlist(std::string id);

    // The link that the text names, or nothing. Accepts surrounding blanks, a missing scheme,
    // the web, mobile, music and short-link hosts, watch/shorts/live/embed/v paths and
    // playlist/watch links carrying `list`. A valid video id wins over `list`.
    static std::optional<YouTubeLink> classify(std::string_view text);

    // "https://www.youtube.com/watch?v=<id>".
    static std::string watchURL(std::string_view videoID);

    bool isVideo() const { return kind == Kind::video; }
    bool isPlaylist() const { return kind == Kind::playlist; }

    bool operator==(const YouTubeLink&) const = default;
};

// The `list` value of a playlist link; the text unchanged when it carries none (so a bare id
// passes through). An empty `list=` yields the empty string.
std::string playlistID(std::string_view text);

}  // namespace kelvo
