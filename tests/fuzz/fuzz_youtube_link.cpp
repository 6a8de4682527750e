// Link parsing: any pasted text either names a video with a well-formed id or a playlist, or
// nothing; the canonical forms read back as the same link.
#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <string>

#include "core/links/youtube_link.h"
#include "core/text/unicode.h"
#include "tests/fuzz/fuzz_check.h"

using kelvo::YouTubeLink;
using kelvo::fuzz::check;
using kelvo::fuzz::printable;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = kelvo::fuzz::asText(data, size);
    const auto link = YouTubeLink::classify(text);
    kelvo::playlistID(text);  // takes any text, a link or not
    if (!link) {
        return 0;
    }
    const std::string about = "link " + printable(text) + " with the id " + printable(link->id);
    if (link->isVideo()) {
        check(link->id.size() == 11 &&
                  std::all_of(link->id.begin(), link->id.end(), kelvo::fuzz::isSafeIDByte) &&
                  link->url == YouTubeLink::watchURL(link->id) &&
                  YouTubeLink::classify(link->url) == link,
              about + ": a bad id, or its watch URL does not read back as the same video");
        return 0;
    }
    check(!link->id.empty() && link->url.empty(), about + ": an empty id or a url");
    // The listing link with every byte but the unreserved ones as %XX reads back the same.
    char* escaped = curl_easy_escape(nullptr, link->id.data(), static_cast<int>(link->id.size()));
    const std::string listing = "https://www.youtube.com/playlist?list=" + std::string(escaped);
    curl_free(escaped);
    check(YouTubeLink::classify(listing) == link,
          about + ": the playlist link " + listing + " reads back differently");
    // Adding a playlist takes the id with playlistID. Both must agree on every link they both
    // read; without a scheme classify reads "https://" + text, which libcurl accepts in a few odd
    // forms ("/host/...", "host:/...") where its own guess of the scheme gives up, and then
    // playlistID passes the text through unchanged.
    const std::string trimmed = kelvo::text::trimmed(text);
    const bool hasScheme = strncasecmp(trimmed.c_str(), "http://", 7) == 0 ||
                           strncasecmp(trimmed.c_str(), "https://", 8) == 0;
    if (!hasScheme && kelvo::playlistID(trimmed) == trimmed) {
        return 0;
    }
    check(kelvo::playlistID(trimmed) == link->id,
          about + ": playlistID gives " + printable(kelvo::playlistID(trimmed)));
    return 0;
}
