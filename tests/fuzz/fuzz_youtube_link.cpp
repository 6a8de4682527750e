// Link parsing: any pasted text either names a video with a well-formed id or a playlist, or
// nothing; the canonical forms read back as the same link.
#include <string>

#include "core/links/youtube_link.h"
#include "core/text/unicode.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using kelvo::YouTubeLink;
using kelvo::fuzz::check;
using kelvo::fuzz::printable;

bool isVideoID(const std::string& id) {
    if (id.size() != 11) {
        return false;
    }
    for (const char c : id) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!safe) {
            return false;
        }
    }
    return true;
}

std::string asciiLowercased(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// Every byte but the unreserved ones as %XX.
std::string percentEncoded(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = kelvo::fuzz::asText(data, size);
    const auto link = YouTubeLink::classify(text);
    kelvo::playlistID(text);  // takes any text, a link or not
    if (!link) {
        return 0;
    }
    const std::string about = "link " + printable(text);
    if (link->isVideo()) {
        check(isVideoID(link->id), about + " gave the video id " + printable(link->id));
        check(link->url == YouTubeLink::watchURL(link->id), about + " gave the url " + link->url);
        check(YouTubeLink::classify(link->url) == link,
              about + ": its watch URL does not read back as the same video");
        return 0;
    }
    check(!link->id.empty(), about + " gave an empty playlist id");
    check(link->url.empty(), about + " gave a playlist a url");
    const std::string listing = "https://www.youtube.com/playlist?list=" + percentEncoded(link->id);
    const auto again = YouTubeLink::classify(listing);
    check(again == link, about + ": the playlist link " + listing + " reads back differently");
    // Adding a playlist takes the id with playlistID. Both must agree on every link they both
    // read; without a scheme classify reads "https://" + text, which libcurl accepts in a few odd
    // forms ("/host/...", "host:/...") where its own guess of the scheme gives up, and then
    // playlistID passes the text through unchanged.
    const std::string trimmed = kelvo::text::trimmed(text);
    const bool hasScheme = asciiLowercased(trimmed).starts_with("http://") ||
                           asciiLowercased(trimmed).starts_with("https://");
    if (!hasScheme && kelvo::playlistID(trimmed) == trimmed) {
        return 0;
    }
    check(kelvo::playlistID(trimmed) == link->id, about + ": playlistID gives " +
                                                      printable(kelvo::playlistID(trimmed)) +
                                                      " but classify " + printable(link->id));
    return 0;
}
