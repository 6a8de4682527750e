// Search text: no text the user types may make the full-text query or the listing fail. The
// input is also stored as a video's title that a search for the same text must then find.
#include <string>

#include "core/catalog/catalog.h"
#include "tests/catalog/catalog_test_support.h"
#include "tests/fuzz/fuzz_check.h"

using kelvo::fuzz::check;
using kelvo::fuzz::printable;

namespace {

// Whether a title holding `text` can be expected to turn up in a search for the same text.
// Titles come from JSON, so they are UTF-8; SQLite's full-text index reads a stored text only up
// to a NUL. A prepended format character (U+0600 ARABIC NUMBER SIGN, ...) makes one
// user-perceived character with the letter after it, which kelvo's word split then skips while
// SQLite's tokenizer keeps the letter: such titles are missed by a search for their last word.
// SQLite's tokenizer also knows letters only up to Unicode 6.1 and counts private-use and
// unassigned characters as letters, so words in newer scripts (Adlam, ...) or with private-use
// characters differ from kelvo's words, which follow ICU.
bool isFindable(const std::string& text) {
    const auto points = kelvo::fuzz::codePoints(text);
    return points && std::none_of(points->begin(), points->end(), [](UChar32 c) {
               UVersionInfo age;
               u_charAge(c, age);
               return c == 0 ||
                      u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK) == U_GCB_PREPEND ||
                      u_charType(c) == U_PRIVATE_USE_CHAR || u_charType(c) == U_UNASSIGNED ||
                      age[0] > 6 || (age[0] == 6 && age[1] > 1);
           });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kelvo::Catalog store(":memory:");
    const std::string text = kelvo::fuzz::asText(data, size);
    const std::string query = kelvo::Catalog::ftsQuery(text);
    try {
        store.upsertVideo(kelvo::test::videoRecord("probe", text, kelvo::VideoStatus::done));
        store.entries(text, 5);
        if (!query.empty() && isFindable(text)) {
            check(store.search(text, 5).size() == 1, "a search for " + printable(text) +
                                                         " (query " + printable(query) +
                                                         ") does not find that title");
        }
    } catch (const kelvo::CatalogError& error) {
        kelvo::fuzz::fail("search text " + printable(text) + " (query " + printable(query) +
                          ") failed: " + error.what());
    }
    return 0;
}
