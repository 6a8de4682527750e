#include "core/links/youtube_link.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "core/text/unicode.h"

namespace kelvo {

namespace {

constexpr std::string_view watchHost = "www.youtube.com";
constexpr std::array<std::string_view, 6> knownHosts = {
    "youtube.com",       "www.youtube.com", "m.youtube.com",
    "music.youtube.com", "youtu.be",        "www.youtu.be",
};
constexpr std::string_view shortHost = "youtu.be";
constexpr std::array<std::string_view, 4> idSegments = {"shorts", "live", "embed", "v"};

struct QueryItem {
    std::string name;
    std::optional<std::string> value;  // nothing: the item had no "="
};

// The parts of a parsed link that kelvo reads; text percent-decoded.
struct LinkParts {
    std::string host;
    std::vector<std::string> segments;  // the path split at "/", empty segments dropped
    std::optional<std::vector<QueryItem>> query;
};

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlString {
    char* text = nullptr;
    ~CurlString() { curl_free(text); }
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "%41" -> "A"; nothing when a "%" is not followed by two hex digits (not a valid link).
std::optional<std::string> percentDecoded(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        result += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return result;
}

std::optional<std::vector<QueryItem>> queryItems(std::string_view query) {
    std::vector<QueryItem> items;
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string_view::npos) {
            end = query.size();
        }
        const std::string_view item = query.substr(start, end - start);
        const std::size_t equals = item.find('=');
        QueryItem decoded;
        auto name = percentDecoded(item.substr(0, equals));
        if (!name) {
            return std::nullopt;
        }
        decoded.name = std::move(*name);
        if (equals != std::string_view::npos) {
            auto value = percentDecoded(item.substr(equals + 1));
            if (!value) {
                return std::nullopt;
            }
            decoded.value = std::move(*value);
        }
        items.push_back(std::move(decoded));
        start = end + 1;
    }
    return items;
}

// Parses a link with libcurl's URL API. `guessScheme` lets a link without scheme through
// (read as https). Nothing when the text is not a well-formed link.
std::optional<LinkParts> parse(const std::string& text, bool guessScheme) {
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url) {
        return std::nullopt;
    }
    const unsigned int flags = guessScheme ? CURLU_DEFAULT_SCHEME : 0U;
    if (curl_url_set(url.get(), CURLUPART_URL, text.c_str(), flags) != CURLUE_OK) {
        return std::nullopt;
    }
    LinkParts parts;
    {
        CurlString host;
        if (curl_url_get(url.get(), CURLUPART_HOST, &host.text, 0) == CURLUE_OK &&
            host.text != nullptr) {
            parts.host = host.text;
        }
    }
    {
        CurlString path;
        if (curl_url_get(url.get(), CURLUPART_PATH, &path.text, 0) == CURLUE_OK &&
            path.text != nullptr) {
            auto decoded = percentDecoded(path.text);
            if (!decoded) {
                return std::nullopt;
            }
            std::string_view rest = *decoded;
            while (!rest.empty()) {
                const std::size_t slash = rest.find('/');
                const std::string_view segment = rest.substr(0, slash);
                if (!segment.empty()) {
                    parts.segments.emplace_back(segment);
                }
                if (slash == std::string_view::npos) {
                    break;
                }
                rest.remove_prefix(slash + 1);
            }
        }
    }
    {
        CurlString query;
        if (curl_url_get(url.get(), CURLUPART_QUERY, &query.text, 0) == CURLUE_OK &&
            query.text != nullptr) {
            auto items = queryItems(query.text);
            if (!items) {
                return std::nullopt;
            }
            parts.query = std::move(items);
        }
    }
    return parts;
}

// The first item named `key` when it has a non-empty value; later items of the same name
// are never consulted.
std::optional<std::string> lookup(const LinkParts& parts, std::string_view key) {
    if (!parts.query) {
        return std::nullopt;
    }
    const auto it = std::find_if(parts.query->begin(), parts.query->end(),
                                 [&](const QueryItem& item) { return item.name == key; });
    if (it == parts.query->end() || !it->value || it->value->empty()) {
        return std::nullopt;
    }
    return it->value;
}

bool isVideoID(std::string_view candidate) {
    return candidate.size() == 11 && std::all_of(candidate.begin(), candidate.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-';
           });
}

std::string asciiLowercased(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return result;
}

}  // namespace

YouTubeLink YouTubeLink::video(std::string id, std::string url) {
    return YouTubeLink{Kind::video, std::move(id), std::move(url)};
}

YouTubeLink YouTubeLink::playlist(std::string id) {
    return YouTubeLink{Kind::playlist, std::move(id), {}};
}

std::string YouTubeLink::watchURL(std::string_view videoID) {
    return "https://" + std::string(watchHost) + "/watch?v=" + std::string(videoID);
}

std::optional<YouTubeLink> YouTubeLink::classify(std::string_view input) {
    std::string text = text::trimmed(input);
    if (text.empty()) {
        return std::nullopt;
    }
    const auto characters = text::graphemes(text);
    if (std::any_of(characters.begin(), characters.end(),
                    [](const std::string& c) { return text::isWhitespace(c); })) {
        return std::nullopt;
    }
    const std::string lower = asciiLowercased(text);
    if (!lower.starts_with("http://") && !lower.starts_with("https://")) {
        text = "https://" + text;
    }

    const auto parts = parse(text, false);
    if (!parts || parts->host.empty()) {
        return std::nullopt;
    }
    const std::string host = asciiLowercased(parts->host);
    if (std::find(knownHosts.begin(), knownHosts.end(), host) == knownHosts.end()) {
        return std::nullopt;
    }

    const auto& segments = parts->segments;
    std::optional<std::string> candidate;
    if (host.ends_with(shortHost)) {
        if (!segments.empty()) {
            candidate = segments.front();
        }
    } else if (!segments.empty()) {
        if (segments.front() == "watch") {
            candidate = lookup(*parts, "v");
        } else if (segments.size() > 1 && std::find(idSegments.begin(), idSegments.end(),
                                                    segments.front()) != idSegments.end()) {
            candidate = segments[1];
        }
    }
    if (candidate && isVideoID(*candidate)) {
        return video(*candidate, watchURL(*candidate));
    }

    const auto list = lookup(*parts, "list");
    if (!list || segments.empty()) {
        return std::nullopt;
    }
    if (segments.front() == "playlist" || segments.front() == "watch") {
        return playlist(*list);
    }
    return std::nullopt;
}

std::string playlistID(std::string_view text) {
    const std::string original(text);
    const auto parts = parse(original, true);
    if (!parts || !parts->query) {
        return original;
    }
    const auto it = std::find_if(parts->query->begin(), parts->query->end(),
                                 [](const QueryItem& item) { return item.name == "list"; });
    if (it == parts->query->end() || !it->value) {
        return original;
    }
    return *it->value;
}

}  // namespace kelvo
