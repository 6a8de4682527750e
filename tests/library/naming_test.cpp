#include "core/library/naming.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/text/unicode.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;

struct SanitizeCase {
    std::string input;
    std::string expected;
};

TEST(Naming, SanitizesTitles) {
    const std::vector<SanitizeCase> cases = {
        // The worked examples.
        {"Hello: World?", "Hello - World"},
        {"AC/DC", "AC-DC"},
        {"a  \t b", "a b"},
        {"...hidden", "hidden"},
        {"trailing...", "trailing"},
        {"....", "FALLBACK"},
        {"???", "FALLBACK"},
        {"", "FALLBACK"},
        {"   ", "FALLBACK"},
        // The colon brings its own blank, which merges with a neighbouring one.
        {"a:b", "a -b"},
        {"a :b", "a -b"},
        {":a", "-a"},
        {"a:", "a -"},
        {"back\\slash", "back-slash"},
        {"*a<b>c|d\"e", "abcde"},
        {"a ? b", "a b"},
        {"line\nbreak\r\nand\u00a0nbsp\u3000ideographic", "line break and nbsp ideographic"},
        {"bell\aand\x01"
         "controls",
         "bellandcontrols"},
        // A soft hyphen is a format character of its own; emoji and accents are kept.
        {"soft\u00adhyphen", "softhyphen"},
        {"Caf\u00e9 \U0001F600 Cafe\u0301", "Caf\u00e9 \U0001F600 Cafe\u0301"},
        {"zero\u200bwidth", "zerowidth"},
        // A blank left behind the leading dots goes too.
        {". a", "a"},
        {"a. .", "a"},
        // Dots that would surface at the start after the blank is trimmed: no hidden names.
        {". .a", "a"},
        {".\u0301x", "x"},
        // A slash inside a larger character is still a slash.
        {"a/\u0301b", "a-b"},
        {"a\u0600/b", "a-b"},
    };
    for (const SanitizeCase& c : cases) {
        EXPECT_EQ(Naming::sanitize(c.input, "FALLBACK"), c.expected) << "input: " << c.input;
    }
}

TEST(Naming, NamesFilesAndFolders) {
    EXPECT_EQ(Naming::fileBase("20240131", "Hello: World?", "abcdefghijk"),
              "2024-01-31 - Hello - World [abcdefghijk]");
    EXPECT_EQ(Naming::fileBase(std::nullopt, "", "abcdefghijk"),
              "undated - untitled [abcdefghijk]");
    EXPECT_EQ(Naming::fileBase("20240131", "x", "a-b_C9"), "2024-01-31 - x [a-b_C9]");

    EXPECT_EQ(Naming::datePrefix("20240131"), "2024-01-31");
    EXPECT_EQ(Naming::datePrefix("20241399"), "2024-13-99");
    for (const char* undated : {"2024-01-31", "2024013a", "2024013", "202401311", ""}) {
        EXPECT_EQ(Naming::datePrefix(std::string(undated)), "undated") << undated;
    }
    EXPECT_EQ(Naming::datePrefix("2024013\u0661"), "undated");  // an Arabic-Indic digit
    EXPECT_EQ(Naming::datePrefix(std::nullopt), "undated");

    EXPECT_EQ(Naming::playlistFolder(""), "playlist");
    EXPECT_EQ(Naming::playlistFolder("My: list"), "My - list");
    EXPECT_EQ(Naming::archiveFolder, "_archive");
}

TEST(Naming, CutsLongNamesAtCharacterAndByteLimits) {
    // 200 ASCII characters: the first 150, bytes never the limit.
    const std::string ascii(200, 'x');
    EXPECT_EQ(Naming::sanitize(ascii, "f"), std::string(150, 'x'));

    // A cut that ends on a blank or dots loses them after the cut.
    EXPECT_EQ(Naming::sanitize(std::string(149, 'a') + " bcd", "f"), std::string(149, 'a'));
    EXPECT_EQ(Naming::sanitize(std::string(148, 'a') + "..bcd", "f"), std::string(148, 'a'));

    // The leading blank after removed dots counts toward the 150 before it is trimmed.
    EXPECT_EQ(Naming::sanitize(". " + std::string(200, 'b'), "f"), std::string(149, 'b'));

    // Three-byte characters: 200 bytes hold 66 of them, well below 150 characters.
    std::string cjk;
    for (int i = 0; i < 150; ++i) {
        cjk += "\u6f22";
    }
    const std::string cut = Naming::sanitize(cjk, "f");
    EXPECT_EQ(cut.size(), 198u);
    EXPECT_EQ(text::graphemes(cut).size(), 66u);

    // Flags are two code points of four bytes each; a cut never splits one.
    std::string flags;
    for (int i = 0; i < 40; ++i) {
        flags += "\U0001F1E9\U0001F1EA";  // one flag, 8 bytes
    }
    const std::string flagCut = Naming::sanitize(flags, "f");
    EXPECT_EQ(flagCut.size(), 200u);
    EXPECT_EQ(flagCut, flags.substr(0, 200));
}

TEST(Naming, KeepsUnsafeVideoIDsInsideTheFolder) {
    const test::Sandbox sandbox;
    const fs::path folder = sandbox / "Singles";
    fs::create_directories(folder);
    for (const char* id : {"../../../escape", "a/b", "..", "x\\y", "with blank", "\u00e9t\u00e9",
                           "-rf", ".hidden"}) {
        const std::string base = Naming::fileBase("20240131", "Title", id);
        EXPECT_EQ(base.find('/'), std::string::npos) << id;
        EXPECT_EQ(base.find(' ', base.find('[')), std::string::npos) << id;
        const fs::path file = folder / (base + ".mp4");
        test::writeFile(file, "x");
        EXPECT_EQ(fs::canonical(file).parent_path(), fs::canonical(folder)) << id;
    }
    EXPECT_EQ(Naming::fileBase("20240131", "T", "../x"), "2024-01-31 - T [___x]");
}

// Random titles from a fixed seed, drawn from the characters that make names hard: path and
// shell characters, dots, every kind of white space, controls, format characters, combining
// marks, emoji sequences, wide scripts.
std::string randomTitle(std::mt19937& random) {
    using namespace std::literals;
    static const std::vector<std::u32string_view> pools = {
        U"abcXYZ019 -_,()[]'&"sv,
        U"/\\:*?\"<>|."sv,
        U"\t\n\r \u00a0\u2028\u2029\u3000\u0085\u200a"sv,
        U"\u0000\u0001\u0007\u001b\u007f\u0080\u009f"sv,
        U"\u00ad\u200b\u200c\u200d\u200e\u200f\u202e\u2060\ufeff\u0600\u061c"sv,
        U"\u0301\u0308\u20e3\u0338\ufe0f\U0001F3FB"sv,
        U"\u00e9\u00df\u0130\u03a3\u0416\u05d0\u0627\u0915\u093f\u0e01\u1100\u1161\uac00"sv,
        U"\u6f22\u5b57\u3042\u30a2\uff21"sv,
        U"\U0001F600\U0001F468\U0001F469\U0001F1E9\U0001F1EA\U0001F44D\u2764"sv,
        U"\ufffd\uffff\U0010FFFD"sv,
    };
    std::uniform_int_distribution<std::size_t> lengthPick(0, 1000);
    std::uniform_int_distribution<std::size_t> poolPick(0, pools.size() - 1);
    const std::size_t length = lengthPick(random);
    std::u32string title;
    for (std::size_t i = 0; i < length; ++i) {
        const std::u32string_view pool = pools[poolPick(random)];
        title += pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
    }
    std::string utf8;
    for (const char32_t c : title) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

TEST(Naming, RandomTitlesAlwaysGiveUsableNames) {
    const test::Sandbox sandbox;
    std::mt19937 random(20240131);
    for (int round = 0; round < 1500; ++round) {
        std::string title = randomTitle(random);
        if (round % 10 == 0) {
            title = std::string(1000, round % 20 == 0 ? '.' : 'w') + title;  // very long titles
        }
        const std::string name = Naming::sanitize(title, "untitled");
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_FALSE(name.empty());
        EXPECT_EQ(name.find('/'), std::string::npos);
        EXPECT_EQ(name.find('\0'), std::string::npos);
        EXPECT_NE(name.front(), '.');
        EXPECT_NE(name.front(), ' ');
        EXPECT_NE(name.back(), ' ');
        EXPECT_LE(name.size(), Naming::maxBytes);
        EXPECT_LE(text::graphemes(name).size(), Naming::maxCharacters);

        // A video file and its sidecar with that title can be created in the folder.
        const std::string base = Naming::fileBase("20240131", title, "abcdefghijk");
        for (const char* extension : {".mp4", ".nfo"}) {
            const fs::path file = sandbox / (base + extension);
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
            ASSERT_GE(fd, 0) << "cannot create " << file << ": " << std::strerror(errno);
            ::close(fd);
            EXPECT_EQ(file.parent_path(), sandbox.root());
            fs::remove(file);
        }
    }
}

}  // namespace
}  // namespace kelvo
