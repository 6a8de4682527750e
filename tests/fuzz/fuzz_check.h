#pragma once

// What the fuzz targets share: a loud failure, splitting one input into fields, and the
// properties every name and every sidecar kelvo writes must have.

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include <nlohmann/json.hpp>

#include "core/library/naming.h"
#include "core/text/unicode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kelvo::fuzz {

// Prints "invariant failed: <what>" and aborts, so that both libFuzzer and the replay driver
// keep the input that led here.
[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "\ninvariant failed: %s\n", what.c_str());
    std::abort();
}

inline void check(bool holds, const std::string& what) {
    if (!holds) {
        fail(what);
    }
}

inline std::string asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The text cut at `separator` into at most `count` pieces, the last one taking the rest. Fuzz
// inputs of several fields separate them with "\x1e\x1e".
inline std::vector<std::string> split(std::string_view text, std::string_view separator,
                                      std::size_t count = SIZE_MAX) {
    std::vector<std::string> out;
    for (std::size_t at = 0;
         out.size() + 1 < count && (at = text.find(separator)) != std::string_view::npos;
         text.remove_prefix(at + separator.size())) {
        out.emplace_back(text.substr(0, at));
    }
    out.emplace_back(text);
    return out;
}

// The code points of the text; nothing when it is not well-formed UTF-8 (surrogates, overlong
// forms and code points beyond U+10FFFF are not).
inline std::optional<std::vector<UChar32>> codePoints(std::string_view text) {
    std::vector<UChar32> out;
    for (int32_t offset = 0, length = static_cast<int32_t>(text.size()); offset < length;) {
        UChar32 c = 0;
        U8_NEXT(text.data(), offset, length, c);
        if (c < 0) {
            return std::nullopt;
        }
        out.push_back(c);
    }
    return out;
}

// True when XML 1.0 can carry the text unchanged: UTF-8 without control characters other than
// tab and line feed (a parser reads a carriage return as a line feed), U+FFFE and U+FFFF.
inline bool isXmlClean(std::string_view text) {
    const auto points = codePoints(text);
    return points && std::none_of(points->begin(), points->end(), [](UChar32 c) {
               return (c < 0x20 && c != '\t' && c != '\n') || c == 0xFFFE || c == 0xFFFF;
           });
}

// The text for a failure message, as a JSON string of ASCII (bytes that are not UTF-8 show as
// U+FFFD; the crash file keeps them).
inline std::string printable(std::string_view text) {
    return nlohmann::json(text).dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

inline bool isSafeIDByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

// Fails unless `name` is a safe file-name component: not empty, UTF-8, no "/", "\" or NUL, no
// control character, no white space at either end, no leading ".", at most Naming::maxCharacters
// user-perceived characters and Naming::maxBytes bytes.
inline void checkName(std::string_view name, const std::string& what) {
    const std::string about = what + " " + printable(name);
    check(!name.empty(), what + " is empty");
    const auto points = codePoints(name);
    check(points.has_value(), about + " is not UTF-8");
    check(name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos,
          about + " holds a slash, backslash or NUL");
    check(name.front() != '.', about + " starts with a dot");
    check(name.size() <= Naming::maxBytes, about + " is longer than the byte limit");
    for (const UChar32 c : *points) {
        // Format characters that stand alone (bidirectional overrides, zero-width space, ...)
        // count as controls.
        const bool control =
            u_charType(c) == U_CONTROL_CHAR ||
            (u_charType(c) == U_FORMAT_CHAR &&
             u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK) == U_GCB_CONTROL);
        check(!control, about + " holds a control character");
    }
    const std::vector<std::string> characters = text::graphemes(name);
    check(!text::isWhitespace(characters.front()) && !text::isWhitespace(characters.back()),
          about + " has white space at one end");
    check(characters.size() <= Naming::maxCharacters,
          about + " has more characters than the limit");
}

// Fails unless `base` is "<date prefix> - <safe name> [<id>]" where the id part has the length
// of `videoID` up to Naming::maxVideoIDBytes and holds only letters, digits, "_" and "-".
inline void checkFileBase(std::string_view base, const std::optional<std::string>& uploadDate,
                          std::string_view videoID) {
    const std::string about = "file base " + printable(base);
    const std::string prefix = Naming::datePrefix(uploadDate) + " - ";
    const std::size_t idPart = std::min(videoID.size(), Naming::maxVideoIDBytes) + 3;  // " [id]"
    check(base.starts_with(prefix) && base.size() > prefix.size() + idPart,
          about + " lacks the date prefix or the title");
    const std::string_view tail = base.substr(base.size() - idPart);
    check(tail.starts_with(" [") && tail.ends_with("]") &&
              std::all_of(tail.begin() + 2, tail.end() - 1, isSafeIDByte),
          about + " does not end in a safe \" [id]\"");
    checkName(base.substr(prefix.size(), base.size() - prefix.size() - idPart), "title part");
}

// Parses a sidecar with libxml2 and fails unless it is a well-formed document whose root
// <movie> holds only elements with text content. Returns each element name's texts in order.
inline std::map<std::string, std::vector<std::string>> checkSidecar(const std::string& xml) {
    const std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "sidecar.nfo", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        xmlFreeDoc);
    check(doc != nullptr, "sidecar is not well-formed XML:\n" + xml);
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    check(root != nullptr && xmlStrEqual(root->name, BAD_CAST "movie"),
          "sidecar's root is not <movie>:\n" + xml);
    std::map<std::string, std::vector<std::string>> values;
    for (const xmlNode* node = root->children; node != nullptr; node = node->next) {
        check(node->type == XML_ELEMENT_NODE || xmlIsBlankNode(node) != 0,
              "sidecar has something else than elements inside <movie>:\n" + xml);
        if (node->type != XML_ELEMENT_NODE) {
            continue;
        }
        for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
            check(child->type == XML_TEXT_NODE, "sidecar element holds more than text:\n" + xml);
        }
        xmlChar* content = xmlNodeGetContent(node);
        values[reinterpret_cast<const char*>(node->name)].emplace_back(
            content != nullptr ? reinterpret_cast<const char*>(content) : "");
        xmlFree(content);
    }
    return values;
}

}  // namespace kelvo::fuzz
