// yt-dlp's flat playlist listing: it decodes or fails with the JSON decoder's error; the items
// taken from it keep the listing's order and make safe names.
#include <nlohmann/json.hpp>

#include "core/library/naming.h"
#include "core/links/ytdlp_playlist_source.h"
#include "tests/fuzz/fuzz_check.h"

using kelvo::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvo::YTDLPPlaylistSource::Flat flat;
    try {
        flat = kelvo::YTDLPPlaylistSource::Flat::decode(kelvo::fuzz::asText(data, size));
    } catch (const nlohmann::json::exception&) {
        return 0;
    }
    const auto items = kelvo::YTDLPPlaylistSource::itemsOf(flat);
    check(flat.entries || items.empty(), "items from a listing without entries");
    // Items are the entries with ids, in order.
    std::size_t next = 0;
    for (const kelvo::RemoteItem& item : items) {
        while (next < flat.entries->size() && (*flat.entries)[next].id != item.videoID) {
            ++next;
        }
        check(next < flat.entries->size(),
              "item " + kelvo::fuzz::printable(item.videoID) + " is not an entry, or out of order");
        check(item.title == (*flat.entries)[next++].title.value_or(item.videoID),
              "item title is neither the entry's title nor its id");
        kelvo::fuzz::checkFileBase(kelvo::Naming::fileBase(std::nullopt, item.title, item.videoID),
                                   std::nullopt, item.videoID);
    }
    kelvo::fuzz::checkName(kelvo::Naming::playlistFolder(flat.title.value_or("")),
                           "playlist folder");
    return 0;
}
