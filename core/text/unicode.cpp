#include "core/text/unicode.h"

#include <memory>
#include <stdexcept>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace kelvo::text {

namespace {

// A character break iterator per thread: creating one is costly, and one must not be shared
// between threads.
icu::BreakIterator& characterBreaks() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !made) {
            throw std::runtime_error("ICU character break iterator unavailable");
        }
        return made;
    }();
    return *iterator;
}

UChar32 firstCodePoint(std::string_view character) {
    if (character.empty()) {
        return U_SENTINEL;
    }
    int32_t offset = 0;
    UChar32 c = 0;
    U8_NEXT_OR_FFFD(character.data(), offset, static_cast<int32_t>(character.size()), c);
    return c;
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

}  // namespace

std::vector<std::string> graphemes(std::string_view utf8) {
    std::vector<std::string> out;
    if (utf8.empty()) {
        return out;
    }
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    icu::BreakIterator& breaks = characterBreaks();
    breaks.setText(text);
    int32_t start = breaks.first();
    for (int32_t end = breaks.next(); end != icu::BreakIterator::DONE;
         start = end, end = breaks.next()) {
        out.push_back(toUtf8(text.tempSubStringBetween(start, end)));
    }
    return out;
}

bool isWhitespace(std::string_view character) {
    const UChar32 c = firstCodePoint(character);
    return c >= 0 && u_isUWhiteSpace(c);
}

bool isLetterOrNumber(std::string_view character) {
    const UChar32 c = firstCodePoint(character);
    if (c < 0) {
        return false;
    }
    const int32_t mask = U_GC_L_MASK | U_GC_N_MASK;
    return (U_MASK(u_charType(c)) & mask) != 0;
}

bool isControlOrFormat(std::string_view character) {
    if (character.empty()) {
        return false;
    }
    int32_t offset = 0;
    const auto length = static_cast<int32_t>(character.size());
    while (offset < length) {
        UChar32 c = 0;
        U8_NEXT_OR_FFFD(character.data(), offset, length, c);
        const int8_t type = u_charType(c);
        if (type != U_CONTROL_CHAR && type != U_FORMAT_CHAR) {
            return false;
        }
    }
    return true;
}

std::string trimmed(std::string_view utf8) {
    const auto length = static_cast<int32_t>(utf8.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c = 0;
        U8_NEXT_OR_FFFD(utf8.data(), next, length, c);
        if (!u_isUWhiteSpace(c)) {
            break;
        }
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c = 0;
        U8_PREV_OR_FFFD(utf8.data(), begin, previous, c);
        if (!u_isUWhiteSpace(c)) {
            break;
        }
        end = previous;
    }
    return std::string(utf8.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin)));
}

std::string lowercased(std::string_view utf8) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    text.toLower(icu::Locale::getRoot());
    return toUtf8(text);
}

std::vector<std::string> words(std::string_view utf8) {
    std::vector<std::string> out;
    std::string current;
    for (std::string& character : graphemes(utf8)) {
        if (isLetterOrNumber(character)) {
            current += character;
        } else if (!current.empty()) {
            out.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty()) {
        out.push_back(std::move(current));
    }
    return out;
}

}  // namespace kelvo::text
