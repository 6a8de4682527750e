// Names of video files, sidecars and playlist folders. What must hold for any title at all (no
// slash, no NUL, no hidden or empty name, the length limits) the naming fuzz target checks on
// every build; here are the exact names.

#include "core/library/naming.h"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

std::string times(std::size_t count, const std::string& piece) {
    std::string out;
    while (count-- > 0) {
        out += piece;
    }
    return out;
}

TEST(Naming, SanitizesTitles) {
    const std::string a149 = times(149, "a");
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"Hello: World?", "Hello - World"}, {"AC/DC", "AC-DC"}, {"a  \t b", "a b"},
        {"...hidden", "hidden"}, {"trailing...", "trailing"}, {"....", "FALLBACK"},
        {"???", "FALLBACK"}, {"", "FALLBACK"}, {"   ", "FALLBACK"},
        // The colon brings its own blank, which merges with a neighbouring one.
        {"a:b", "a -b"}, {"a :b", "a -b"}, {":a", "-a"}, {"a:", "a -"},
        {"back\\slash", "back-slash"}, {"*a<b>c|d\"e", "abcde"}, {"a ? b", "a b"},
        {"line\nbreak\r\nand\u00a0nbsp\u3000ideographic", "line break and nbsp ideographic"},
        {"bell\aand\x01" "controls", "bellandcontrols"},
        // Format characters go (soft hyphen, zero width space); emoji and accents stay.
        {"soft\u00adhyphen zero\u200bwidth\u202e", "softhyphen zerowidth"}, {"bad \xff", "bad \ufffd"},
        {"Caf\u00e9 \U0001F600 Cafe\u0301", "Caf\u00e9 \U0001F600 Cafe\u0301"},
        // Dots and blanks that would surface at the start: no hidden names.
        {". a", "a"}, {"a. .", "a"}, {". .a", "a"}, {".\u0301x", "x"},
        // A slash inside a larger character is still a slash.
        {"a/\u0301b", "a-b"}, {"a\u0600/b", "a-b"},
        // Marks with nothing to sit on (after a tab or a line break) would join the blank.
        {"a\t\u0301\U0001F3FB", "a"}, {"a\n\u0301b", "a b"},
        // At most 150 characters and 200 bytes, cut between characters, then trimmed again.
        {times(200, "x"), times(150, "x")}, {a149 + " bcd", a149}, {a149 + ".bcd", a149},
        {". " + times(200, "b"), times(149, "b")}, {times(150, "\u6f22"), times(66, "\u6f22")},
        {times(40, "\U0001F1E9\U0001F1EA"), times(25, "\U0001F1E9\U0001F1EA")},
    };
    // clang-format on
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(Naming::sanitize(input, "FALLBACK"), expected) << "input: " << input;
    }
}

TEST(Naming, NamesFilesAndFolders) {
    EXPECT_EQ(Naming::fileBase("20240131", "Hello: World?", "abcdefghijk"),
              "2024-01-31 - Hello - World [abcdefghijk]");
    EXPECT_EQ(Naming::fileBase(std::nullopt, "", "a-b_C9"), "undated - untitled [a-b_C9]");
    EXPECT_EQ(Naming::playlistFolder(""), "playlist");
    EXPECT_EQ(Naming::playlistFolder("My: list"), "My - list");
    EXPECT_EQ(Naming::datePrefix("20241399"), "2024-13-99");
    for (const char* undated :
         {"2024-01-31", "2024013a", "2024013", "202401311", "2024013\u0661"}) {
        EXPECT_EQ(Naming::datePrefix(std::string(undated)), "undated") << undated;
    }
    // Ids of other sites can hold anything: every byte but [A-Za-z0-9_-] becomes "_", so the
    // name stays inside its folder; a long one keeps its start and ends in a hash of all of it.
    EXPECT_EQ(Naming::fileBase("20240131", "T", "../x\\y \u00e9"), "2024-01-31 - T [___x_y___]");
    EXPECT_EQ(Naming::fileBase("20240131", "T", std::string(30, 'a') + "/"),
              "2024-01-31 - T [aaaaaaaaaaaaaaa-7d646284]");
    EXPECT_EQ(Naming::fileBase("20240131", "T", std::string(30, 'a')),
              "2024-01-31 - T [aaaaaaaaaaaaaaa-f262b5c3]");
}

}  // namespace
}  // namespace kelvo
