#include "tests/fuzz/fuzz_check.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/library/naming.h"
#include "core/text/unicode.h"

namespace kelvo::fuzz {

namespace {

constexpr std::string_view separator = "\x1e\x1e";

// The code points of valid UTF-8 text.
std::vector<UChar32> codePoints(std::string_view text) {
    std::vector<UChar32> out;
    const auto length = static_cast<int32_t>(text.size());
    int32_t offset = 0;
    while (offset < length) {
        UChar32 c = 0;
        U8_NEXT(text.data(), offset, length, c);
        out.push_back(c);
    }
    return out;
}

// A control character, or a format character that stands alone as a user-perceived character
// (bidirectional overrides, zero-width space, byte-order mark, ...).
bool isInvisibleControl(UChar32 c) {
    const int8_t type = u_charType(c);
    if (type == U_CONTROL_CHAR) {
        return true;
    }
    return type == U_FORMAT_CHAR &&
           u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK) == U_GCB_CONTROL;
}

bool isSafeIDByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct XmlCharFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

bool isBlank(const xmlChar* text) {
    for (; text != nullptr && *text != '\0'; ++text) {
        if (*text != ' ' && *text != '\n' && *text != '\t' && *text != '\r') {
            return false;
        }
    }
    return true;
}

}  // namespace

void fail(const std::string& what) {
    std::fprintf(stderr, "\ninvariant failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return size == 0 ? std::string_view()
                     : std::string_view(reinterpret_cast<const char*>(data), size);
}

std::vector<std::string_view> fields(std::string_view input, std::size_t count) {
    std::vector<std::string_view> out;
    while (out.size() + 1 < count) {
        const std::size_t at = input.find(separator);
        if (at == std::string_view::npos) {
            break;
        }
        out.push_back(input.substr(0, at));
        input.remove_prefix(at + separator.size());
    }
    out.push_back(input);
    out.resize(count);
    return out;
}

std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        out.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return out;
}

bool isValidUtf8(std::string_view text) {
    const auto length = static_cast<int32_t>(text.size());
    int32_t offset = 0;
    while (offset < length) {
        UChar32 c = 0;
        U8_NEXT(text.data(), offset, length, c);
        if (c < 0) {
            return false;
        }
    }
    return true;
}

bool isXmlClean(std::string_view text) {
    if (!isValidUtf8(text)) {
        return false;
    }
    for (const UChar32 c : codePoints(text)) {
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0xFFFE || c == 0xFFFF) {
            return false;
        }
    }
    return true;
}

std::string printable(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        }
    }
    return out + "\"";
}

void checkName(std::string_view name, std::string_view what) {
    const std::string about = std::string(what) + " " + printable(name);
    check(!name.empty(), std::string(what) + " is empty");
    check(isValidUtf8(name), about + " is not UTF-8");
    check(name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos,
          about + " holds a slash, backslash or NUL");
    check(name.front() != '.', about + " starts with a dot");
    check(name.size() <= Naming::maxBytes, about + " is longer than the byte limit");
    const std::vector<UChar32> points = codePoints(name);
    for (const UChar32 c : points) {
        check(!isInvisibleControl(c), about + " holds a control character");
    }
    const std::vector<std::string> characters = text::graphemes(name);
    check(!text::isWhitespace(characters.front()) && !text::isWhitespace(characters.back()),
          about + " has white space at one end");
    check(characters.size() <= Naming::maxCharacters,
          about + " has more characters than the limit");
}

void checkFileBase(std::string_view base, const std::optional<std::string>& uploadDate,
                   std::string_view videoID) {
    const std::string about = "file base " + printable(base);
    const std::string prefix = Naming::datePrefix(uploadDate) + " - ";
    check(base.starts_with(prefix), about + " does not start with " + printable(prefix));
    const std::size_t idPart = videoID.size() + 3;  // " [" + id + "]"
    check(base.size() > prefix.size() + idPart, about + " has no title part");
    const std::string_view tail = base.substr(base.size() - idPart);
    check(tail.starts_with(" [") && tail.ends_with("]"), about + " does not end in \" [id]\"");
    for (const char c : tail.substr(2, videoID.size())) {
        check(isSafeIDByte(c), about + " carries an unsafe id");
    }
    checkName(base.substr(prefix.size(), base.size() - prefix.size() - idPart), "title part");
    check(base.find('/') == std::string_view::npos && base.find('\0') == std::string_view::npos,
          about + " holds a slash or NUL");
}

std::map<std::string, std::vector<std::string>> checkSidecar(const std::string& xml) {
    static const bool initialized = [] {
        xmlInitParser();
        return true;
    }();
    (void)initialized;
    xmlResetLastError();
    std::unique_ptr<xmlDoc, DocFree> doc(
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "sidecar.nfo", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc) {
        const xmlError* error = xmlGetLastError();
        fail("sidecar is not well-formed XML (" +
             std::string(error != nullptr && error->message != nullptr ? error->message : "?") +
             "):\n" + xml);
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    check(root != nullptr && std::string_view(reinterpret_cast<const char*>(root->name)) == "movie",
          "sidecar's root is not <movie>:\n" + xml);
    std::map<std::string, std::vector<std::string>> values;
    for (const xmlNode* node = root->children; node != nullptr; node = node->next) {
        if (node->type == XML_TEXT_NODE) {
            check(isBlank(node->content), "sidecar has loose text inside <movie>:\n" + xml);
            continue;
        }
        check(node->type == XML_ELEMENT_NODE, "sidecar has a non-element inside <movie>:\n" + xml);
        for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
            check(child->type == XML_TEXT_NODE, "sidecar element holds more than text:\n" + xml);
        }
        std::unique_ptr<xmlChar, XmlCharFree> content(xmlNodeGetContent(node));
        values[reinterpret_cast<const char*>(node->name)].emplace_back(
            content ? reinterpret_cast<const char*>(content.get()) : "");
    }
    return values;
}

}  // namespace kelvo::fuzz
