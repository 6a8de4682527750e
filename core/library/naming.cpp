#include "core/library/naming.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>
#include <uuid/uuid.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/text/unicode.h"

namespace kelvo::Naming {

namespace {

// A slash or backslash stays one inside a larger user-perceived character ("/" + U+0301, or a
// prepended U+0600 + "/"): a name must never hold a path separator.
bool holdsSlash(const std::string& character) {
    return character.find_first_of("/\\") != std::string::npos;
}

// Likewise a dot with marks on it still makes a leading-dot (hidden) name.
bool isDot(const std::string& character) {
    return !character.empty() && character.front() == '.';
}

// Combining marks and other extenders that begin a user-perceived character have no base to sit
// on (they followed a line break or a tab). Kept behind a blank they would join it, and the name
// could end in a blank after all.
bool isBaseless(const std::string& character) {
    UChar32 c = 0;
    int32_t offset = 0;
    U8_NEXT(character.data(), offset, static_cast<int32_t>(character.size()), c);
    const int32_t kind = u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK);
    return kind == U_GCB_EXTEND || kind == U_GCB_SPACING_MARK;
}

// Video ids from YouTube hold only letters, digits, "_" and "-" (11 of them). A link of another
// site can carry anything, so every other byte becomes "_": the id can then never climb out of
// the download folder ("../") nor carry a slash into the name. A longer id keeps its start and
// ends in a hash of the whole id, so two long ids that share a start still name two files.
std::string safeVideoID(std::string_view videoID) {
    std::string out;
    out.reserve(videoID.size());
    for (const char c : videoID) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
        out += safe ? c : '_';
    }
    if (out.size() > maxVideoIDBytes) {
        std::uint32_t hash = 2166136261u;  // FNV-1a over the id as given
        for (const char c : videoID) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        }
        char suffix[10];
        std::snprintf(suffix, sizeof suffix, "-%08x", hash);
        out.resize(maxVideoIDBytes - 9);
        out += suffix;
    }
    return out;
}

}  // namespace

std::string playlistFolder(std::string_view title) {
    return sanitize(title, "playlist");
}

std::string fileBase(const std::optional<std::string>& uploadDate, std::string_view title,
                     std::string_view videoID) {
    return fileBase(uploadDate, title, videoID, 15);
}

std::string fileBase(const std::optional<std::string>& uploadDate, std::string_view title,
                     std::string_view videoID, std::size_t suffixRoom) {
    const std::string prefix = datePrefix(uploadDate) + " - ";
    const std::string tail = " [" + safeVideoID(videoID) + "]";
    const std::size_t taken = prefix.size() + tail.size() + suffixRoom;
    const std::size_t budget = taken < maxNameBytes ? std::min(maxBytes, maxNameBytes - taken) : 8;
    return prefix + sanitizeWithin(title, "untitled", budget) + tail;
}

std::string sanitize(std::string_view text, std::string_view fallback) {
    return sanitizeWithin(text, fallback, maxBytes);
}

std::string sanitizeWithin(std::string_view text, std::string_view fallback,
                           std::size_t byteLimit) {
    // 1. Map every character; 2. collapse white space into single blanks, none at either end.
    std::vector<std::string> characters;
    bool pendingBlank = false;
    for (std::string& character : text::graphemes(text)) {
        if (holdsSlash(character)) {
            character = "-";
        } else if (character == ":") {
            character = " -";
        } else if (character == "*" || character == "?" || character == "\"" || character == "<" ||
                   character == ">" || character == "|") {
            continue;
        } else if (text::isWhitespace(character)) {
            pendingBlank = !characters.empty();
            continue;
        } else if (text::isControlOrFormat(character) || isBaseless(character)) {
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
    while (first < characters.size() && isDot(characters[first])) {
        ++first;
    }

    // 4. At most 150 characters and `byteLimit` bytes, cut on a character boundary.
    std::vector<std::string> kept;
    std::size_t bytes = 0;
    for (std::size_t i = first; i < characters.size() && kept.size() < maxCharacters; ++i) {
        if (bytes + characters[i].size() > byteLimit) {
            break;
        }
        bytes += characters[i].size();
        kept.push_back(std::move(characters[i]));
    }

    // 5. No trailing dots or blanks.
    while (!kept.empty() && (kept.back() == " " || kept.back() == ".")) {
        kept.pop_back();
    }

    // 6. No leading blank (one can follow the dots of step 3). A dot behind that blank would
    // make the name hidden (". .a"), so dots and blanks go until neither starts the name.
    std::size_t begin = 0;
    while (begin < kept.size() && (kept[begin] == " " || isDot(kept[begin]))) {
        ++begin;
    }

    std::string out;
    out.reserve(bytes);
    for (std::size_t i = begin; i < kept.size(); ++i) {
        out += kept[i];
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

std::filesystem::path temporaryBeside(const std::filesystem::path& target) {
    uuid_t id;
    uuid_generate(id);
    char text[37];
    uuid_unparse_lower(id, text);
    return target.parent_path() / (std::string(".kelvo-") + text + ".tmp");
}

}  // namespace kelvo::Naming
