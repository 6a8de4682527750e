// Search text: no text the user types may make the full-text query fail. The input is searched
// in a small in-memory catalog, and also stored as a video's title that a search for the same
// text must then find.
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <memory>
#include <string>

#include "core/catalog/catalog.h"
#include "core/text/unicode.h"
#include "tests/fuzz/fuzz_check.h"

using kelvo::fuzz::check;
using kelvo::fuzz::printable;

namespace {

constexpr std::int64_t limit = 20;
constexpr const char* probeID = "probe000000";

kelvo::Catalog& catalog() {
    static const std::unique_ptr<kelvo::Catalog> shared = [] {
        auto made = std::make_unique<kelvo::Catalog>(":memory:");
        const char* titles[] = {
            "Alpha beta gamma",
            "Ünïcödé wörds and ﬁligature",
            "日本語のタイトル",
            "C++ \"quotes\" AND OR NOT NEAR(x y) col:umn ^start *star",
            "Emoji 🇺🇸 👩‍💻 and e\xcc\x81 marks",
        };
        int n = 0;
        for (const char* title : titles) {
            kelvo::VideoRecord video;
            video.videoID = "seed" + std::to_string(n++);
            video.title = title;
            video.status = kelvo::VideoStatus::done;
            video.downloadedAt = 1.0e9 + n;
            made->upsertVideo(video);
            made->setTags(video.videoID, {"tag one", "Zweites Schlagwort"}, "youtube");
            made->saveSummary(video.videoID, "a summary about alpha", "fuzz");
        }
        return made;
    }();
    return *shared;
}

// Whether a title holding `text` can be expected to turn up in a search for the same text.
// Titles come from JSON, so they are UTF-8; SQLite's full-text index reads a stored text only up
// to a NUL. A prepended format character (U+0600 ARABIC NUMBER SIGN, ...) makes one
// user-perceived character with the letter after it, which kelvo's word split then skips while
// SQLite's tokenizer keeps the letter: such titles are missed by a search for their last word.
// SQLite's tokenizer also knows letters only up to Unicode 6.1 and counts private-use and
// unassigned characters as letters, so words in newer scripts (Adlam, ...) or with private-use
// characters differ from kelvo's words, which follow ICU.
bool isFindable(const std::string& text) {
    if (!kelvo::fuzz::isValidUtf8(text) || text.find('\0') != std::string::npos) {
        return false;
    }
    const auto length = static_cast<int32_t>(text.size());
    int32_t offset = 0;
    while (offset < length) {
        UChar32 c = 0;
        U8_NEXT(text.data(), offset, length, c);
        UVersionInfo age;
        u_charAge(c, age);
        if (u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK) == U_GCB_PREPEND ||
            u_charType(c) == U_PRIVATE_USE_CHAR || u_charType(c) == U_UNASSIGNED || age[0] > 6 ||
            (age[0] == 6 && age[1] > 1)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(kelvo::fuzz::asText(data, size));
    kelvo::Catalog& store = catalog();
    try {
        const auto hits = store.search(text, limit);
        check(hits.size() <= static_cast<std::size_t>(limit), "search returned beyond its limit");
        const auto listed = store.entries(text, limit);
        check(listed.size() <= static_cast<std::size_t>(limit), "listing beyond its limit");

        kelvo::VideoRecord probe;
        probe.videoID = probeID;
        probe.title = text;
        store.upsertVideo(probe);
        if (!kelvo::Catalog::ftsQuery(text).empty() && isFindable(text)) {
            bool found = false;
            for (const auto& hit : store.search(text, 1000)) {
                found = found || hit.videoID == probeID;
            }
            check(found, "a search for " + printable(text) + " does not find the title " +
                             printable(text) + " (query " +
                             printable(kelvo::Catalog::ftsQuery(text)) + ")");
        }
        store.forget(probeID);
    } catch (const kelvo::CatalogError& error) {
        kelvo::fuzz::fail("search text " + printable(text) + " (query " +
                          printable(kelvo::Catalog::ftsQuery(text)) + ") failed: " + error.what());
    }
    return 0;
}
