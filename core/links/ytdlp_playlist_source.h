#pragma once

// Playlist listing through yt-dlp's flat playlist mode: one run per call.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/ytdlp_engine.h"
#include "core/links/playlist_source.h"

namespace kelvo {

class YTDLPPlaylistSource : public PlaylistSource {
  public:
    // yt-dlp's flat listing document; every field optional.
    struct Entry {
        std::optional<std::string> id;
        std::optional<std::string> title;
        std::optional<std::string> availability;
        std::optional<std::string> liveStatus{};  // "live_status"
    };
    struct Flat {
        std::optional<std::string> id;
        std::optional<std::string> title;
        std::optional<std::vector<Entry>> entries;

        // Throws the decoder's error when the text is not such a document or a key holds a
        // value of another JSON type.
        static Flat decode(std::string_view json);
    };

    explicit YTDLPPlaylistSource(YTDLPEngine engine) : engine_(std::move(engine)) {}

    // "https://www.youtube.com/playlist?list=" + the id unchanged.
    static std::string url(std::string_view playlistID);

    // Never nothing: missing id/title fall back to the requested id. Throws EngineError
    // (failed "could not read playlist listing: ..." for an unreadable listing).
    std::optional<RemotePlaylist> playlist(std::string_view playlistID) override;
    std::vector<RemoteItem> items(std::string_view playlistID) override;

    // The items of a decoded listing: id-less entries dropped, titles defaulting to the id,
    // "[private video]"/"[deleted video]" (any case) and the availability words "private",
    // "premium_only", "subscriber_only", "needs_auth" unavailable; the live_status values
    // "is_upcoming", "is_live" and "post_live" waiting.
    static std::vector<RemoteItem> itemsOf(const Flat& flat);

    const YTDLPEngine& engine() const { return engine_; }

  private:
    Flat fetch(std::string_view playlistID) const;

    YTDLPEngine engine_;
};

}  // namespace kelvo
