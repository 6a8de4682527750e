#include "core/links/ytdlp_playlist_source.h"

#include <algorithm>
#include <array>

#include <nlohmann/json.hpp>

#include "core/engine/engine_error.h"
#include "core/engine/json_fields.h"
#include "core/text/unicode.h"

namespace kelvo {

using nlohmann::json;
namespace jf = json_fields;

namespace {

constexpr std::array<std::string_view, 4> unavailableWords = {"private", "premium_only",
                                                              "subscriber_only", "needs_auth"};

constexpr std::array<std::string_view, 3> waitingLiveStatuses = {"is_upcoming", "is_live",
                                                                 "post_live"};

}  // namespace

YTDLPPlaylistSource::Flat YTDLPPlaylistSource::Flat::decode(std::string_view text) {
    const json document = json::parse(text);
    jf::requireObject(document, "document");
    Flat flat;
    flat.id = jf::optionalString(document, "id");
    flat.title = jf::optionalString(document, "title");
    if (const json* entries = jf::optionalArray(document, "entries")) {
        flat.entries.emplace();
        flat.entries->reserve(entries->size());
        for (const json& element : *entries) {
            jf::requireObject(element, "entries");
            flat.entries->push_back(Entry{jf::optionalString(element, "id"),
                                          jf::optionalString(element, "title"),
                                          jf::optionalString(element, "availability"),
                                          jf::optionalString(element, "live_status")});
        }
    }
    return flat;
}

std::string YTDLPPlaylistSource::url(std::string_view playlistID) {
    return "https://www.youtube.com/playlist?list=" + std::string(playlistID);
}

YTDLPPlaylistSource::Flat YTDLPPlaylistSource::fetch(std::string_view playlistID) const {
    const std::string listing = engine_.flatPlaylist(url(playlistID));
    try {
        return Flat::decode(listing);
    } catch (const json::exception& error) {
        throw EngineError::failed(std::string("could not read playlist listing: ") + error.what());
    }
}

std::optional<RemotePlaylist> YTDLPPlaylistSource::playlist(std::string_view playlistID) {
    const Flat flat = fetch(playlistID);
    RemotePlaylist result;
    result.id = flat.id.value_or(std::string(playlistID));
    result.title = flat.title.value_or(std::string(playlistID));
    if (flat.entries) {
        result.itemCount = static_cast<std::int64_t>(flat.entries->size());
    }
    return result;
}

std::vector<RemoteItem> YTDLPPlaylistSource::items(std::string_view playlistID) {
    return itemsOf(fetch(playlistID));
}

std::vector<RemoteItem> YTDLPPlaylistSource::itemsOf(const Flat& flat) {
    std::vector<RemoteItem> items;
    if (!flat.entries) {
        return items;
    }
    for (const Entry& entry : *flat.entries) {
        if (!entry.id) {
            continue;
        }
        RemoteItem item;
        item.videoID = *entry.id;
        item.title = entry.title.value_or(*entry.id);
        const std::string lower = text::lowercased(item.title);
        if (lower == "[private video]" || lower == "[deleted video]") {
            item.available = false;
        } else if (entry.availability && std::find(unavailableWords.begin(), unavailableWords.end(),
                                                   *entry.availability) != unavailableWords.end()) {
            item.available = false;
        }
        item.waiting =
            entry.liveStatus && std::find(waitingLiveStatuses.begin(), waitingLiveStatuses.end(),
                                          *entry.liveStatus) != waitingLiveStatuses.end();
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace kelvo
