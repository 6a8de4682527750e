// The sidecar: whatever the metadata, summary and tags hold, the document is well-formed XML,
// and text XML can carry comes back from a parser exactly as written (trimmed).
// Input fields, separated by "\x1e\x1e": title, channel, upload date, duration, categories
// (one a line), summary ("-" alone: none), tags (one a line), video id.
#include <cstdlib>
#include <string>

#include "core/library/nfo_writer.h"
#include "core/text/unicode.h"
#include "tests/fuzz/fuzz_check.h"

using kelvo::fuzz::check;
using kelvo::fuzz::printable;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto parts = kelvo::fuzz::split(kelvo::fuzz::asText(data, size), "\x1e\x1e", 8);
    parts.resize(8);
    const auto optional = [](const std::string& part) {
        return part.empty() ? std::nullopt : std::optional<std::string>(part);
    };
    kelvo::VideoMetadata meta;
    meta.title = parts[0];
    meta.channel = optional(parts[1]);
    meta.uploadDate = optional(parts[2]);
    if (!parts[3].empty()) {
        meta.duration = std::strtod(parts[3].c_str(), nullptr);
    }
    meta.categories = kelvo::fuzz::split(parts[4], "\n");
    const auto summary = parts[5] == "-" ? std::nullopt : std::optional<std::string>(parts[5]);
    const std::vector<std::string> tags = kelvo::fuzz::split(parts[6], "\n");
    meta.id = parts[7];

    const std::string xml = kelvo::NFOWriter::xml(meta, summary, tags);
    const auto sidecar = kelvo::fuzz::checkSidecar(xml);
    const auto count = [&](const std::string& element) {
        const auto found = sidecar.find(element);
        return found == sidecar.end() ? std::size_t{0} : found->second.size();
    };
    // An element holds the trimmed value once when there is one; XML-clean text comes back as is.
    for (const auto& [element, value] : {std::pair<std::string, std::string>{"title", meta.title},
                                         {"studio", meta.channel.value_or("")},
                                         {"plot", summary.value_or("")},
                                         {"uniqueid", meta.id}}) {
        const std::string wanted = kelvo::text::trimmed(value);
        check(count(element) == (wanted.empty() ? 0U : 1U),
              "<" + element + "> missing or written for " + printable(value));
        check(wanted.empty() || !kelvo::fuzz::isXmlClean(value) ||
                  sidecar.at(element).front() == wanted,
              "<" + element + "> does not read back as " + printable(wanted));
    }
    check(count("tag") <= tags.size(), "more <tag> elements than tags");
    check(count("genre") <= meta.categories.size(), "more <genre> elements than categories");
    check(count("runtime") == (meta.duration ? 1U : 0U), "<runtime> does not follow the duration");
    return 0;
}
