#include "core/library/naming.h"

#include <vector>

#include "core/text/unicode.h"

namespace kelvo::Naming {

namespace {

bool isBlankOrDot(const std::string& character) { return character == " " || character == "."; }

// Video ids from YouTube hold only letters, digits, "_" and "-". A link of another site can
// carry anything, so every other byte becomes "_": the id can then never climb out of the
// download folder ("../") nor carry a slash into the name.
std::string safeVideoID(std::string_view videoID) {
    std::string out;
    out.reserve(videoID.size());
    for (const char c : videoID) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
        out += safe ? c : '_';
    }
    return out;
}

}  // namespace

std::string playlistFolder(std::string_view title) { return sanitize(title, "playlist"); }

std::string fileBase(const std::optional<std::string>& uploadDate, std::string_view title,
                     std::string_view videoID) {
    return datePrefix(uploadDate) + " - " + sanitize(title, "untitled") + " [" +
           safeVideoID(videoID) + "]";
}

std::string sanitize(std::string_view text, std::string_view fallback) {
    // 1. Map every character; 2. collapse white space into single blanks, none at either end.
    std::vector<std::string> characters;
    bool pendingBlank = false;
    for (std::string& character : text::graphemes(text)) {
        if (character == "/" || character == "\\") {
            character = "-";
        } else if (character == ":") {
            character = " -";
        } else if (character == "*" || character == "?" || character == "\"" || character == "<" ||
                   character == ">" || character == "|") {
            continue;
        } else if (text::isWhitespace(character)) {
            pendingBlank = !characters.empty();
            continue;
        } else if (text::isControlOrFormat(character)) {
            continue;
        }
        if (pendingBlank || character == " -") {
            // ":" brings its own blank; it merges with a pending one.
            if (!characters.empty()) {
                characters.emplace_back(" ");
            }
            pendingBlank = false;
            if (character == " -") {
                character = "-";
            }
        }
        characters.push_back(std::move(character));
    }

    // 3. No leading dots.
    std::size_t first = 0;
    while (first < characters.size() && characters[first] == ".") {
        ++first;
    }
    // A blank can follow the dots (".. a"); blanks never start a name.
    while (first < characters.size() && characters[first] == " ") {
        ++first;
    }

    // 4. At most 150 characters and 200 bytes, cut on a character boundary.
    std::vector<std::string> kept;
    std::size_t bytes = 0;
    for (std::size_t i = first; i < characters.size() && kept.size() < maxCharacters; ++i) {
        if (bytes + characters[i].size() > maxBytes) {
            break;
        }
        bytes += characters[i].size();
        kept.push_back(std::move(characters[i]));
    }

    // 5. No trailing dots or blanks.
    while (!kept.empty() && isBlankOrDot(kept.back())) {
        kept.pop_back();
    }

    std::string out;
    out.reserve(bytes);
    for (const std::string& character : kept) {
        out += character;
    }
    return out.empty() ? std::string(fallback) : out;
}

std::string datePrefix(const std::optional<std::string>& uploadDate) {
    if (!uploadDate || uploadDate->size() != 8) {
        return "undated";
    }
    for (const char c : *uploadDate) {
        if (c < '0' || c > '9') {
            return "undated";
        }
    }
    const std::string& d = *uploadDate;
    return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
}

}  // namespace kelvo::Naming
