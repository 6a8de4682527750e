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

namespace {

// Fails unless `element` holds the trimmed `value` once, when the value can be expected back.
void checkValue(const std::map<std::string, std::vector<std::string>>& sidecar,
                const std::string& element, const std::string& value) {
    const std::string wanted = kelvo::text::trimmed(value);
    const auto found = sidecar.find(element);
    if (wanted.empty()) {
        check(found == sidecar.end(),
              "<" + element + "> written for the blank " + printable(value));
        return;
    }
    check(found != sidecar.end(), "<" + element + "> missing for " + printable(value));
    if (kelvo::fuzz::isXmlClean(value)) {
        check(found->second.size() == 1 && found->second.front() == wanted,
              "<" + element + "> reads back as " + printable(found->second.front()) + ", not " +
                  printable(wanted));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = kelvo::fuzz::fields(kelvo::fuzz::asText(data, size), 8);
    kelvo::VideoMetadata meta;
    meta.title = parts[0];
    meta.channel = parts[1].empty() ? std::nullopt : std::optional<std::string>(parts[1]);
    meta.uploadDate = parts[2].empty() ? std::nullopt : std::optional<std::string>(parts[2]);
    if (!parts[3].empty()) {
        meta.duration = std::strtod(std::string(parts[3]).c_str(), nullptr);
    }
    meta.categories = kelvo::fuzz::lines(parts[4]);
    const std::optional<std::string> summary =
        parts[5] == "-" ? std::nullopt : std::optional<std::string>(parts[5]);
    const std::vector<std::string> tags = kelvo::fuzz::lines(parts[6]);
    meta.id = parts[7];

    const std::string xml = kelvo::NFOWriter::xml(meta, summary, tags);
    const auto sidecar = kelvo::fuzz::checkSidecar(xml);

    checkValue(sidecar, "title", meta.title);
    checkValue(sidecar, "studio", meta.channel.value_or(""));
    checkValue(sidecar, "plot", summary.value_or(""));
    checkValue(sidecar, "uniqueid", meta.id);
    const auto count = [&](const std::string& element) {
        const auto found = sidecar.find(element);
        return found == sidecar.end() ? std::size_t{0} : found->second.size();
    };
    check(count("tag") <= tags.size(), "more <tag> elements than tags");
    check(count("genre") <= meta.categories.size(), "more <genre> elements than categories");
    check(count("runtime") == (meta.duration ? 1U : 0U), "<runtime> does not follow the duration");
    return 0;
}
