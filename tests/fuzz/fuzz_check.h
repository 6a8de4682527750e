#pragma once

// What the fuzz targets share: a loud failure, splitting one input into fields, and the
// properties every name and every sidecar kelvo writes must have.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kelvo::fuzz {

// Prints "invariant failed: <what>" and aborts, so both libFuzzer and the replay driver report
// the input that led here.
[[noreturn]] void fail(const std::string& what);

inline void check(bool holds, const std::string& what) {
    if (!holds) {
        fail(what);
    }
}

// The input as text.
std::string_view asText(const std::uint8_t* data, std::size_t size);

// The input cut into `count` fields at the two-byte separator "\x1e\x1e"; missing fields are
// empty and the last field takes the rest, separators included.
std::vector<std::string_view> fields(std::string_view input, std::size_t count);

// The text cut at line feeds (an empty text gives no lines).
std::vector<std::string> lines(std::string_view text);

// True when the text is well-formed UTF-8 (no surrogates, overlong forms or code points beyond
// U+10FFFF).
bool isValidUtf8(std::string_view text);

// True when XML 1.0 can carry the text unchanged: valid UTF-8 without control characters other
// than tab and line feed, and without U+FFFE and U+FFFF. (A carriage return would come back from
// a parser as a line feed.)
bool isXmlClean(std::string_view text);

// A printable form of a text for failure messages: C escapes for everything outside ASCII
// graphics.
std::string printable(std::string_view text);

// Fails unless `name` is a safe file-name component: not empty, valid UTF-8, no "/", "\" or NUL,
// no control characters, no white-space character at either end, not starting with ".", at most
// Naming::maxCharacters user-perceived characters and Naming::maxBytes bytes.
void checkName(std::string_view name, std::string_view what);

// Fails unless `base` is "<date prefix> - <safe name> [<id>]" where the id part has the length
// of `videoID` and holds only letters, digits, "_" and "-".
void checkFileBase(std::string_view base, const std::optional<std::string>& uploadDate,
                   std::string_view videoID);

// Parses a sidecar with libxml2 and fails unless it is a well-formed document whose root is
// <movie> holding only elements with text content. Returns each element name's texts in order.
std::map<std::string, std::vector<std::string>> checkSidecar(const std::string& xml);

}  // namespace kelvo::fuzz
