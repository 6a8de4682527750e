#include "core/text/unicode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvo::text {
namespace {

using Strings = std::vector<std::string>;

TEST(Unicode, GraphemesKeepCombiningMarksFlagsAndEmojiSequencesWhole) {
    // e + combining acute, a flag (two regional indicators), a family emoji joined by ZWJ.
    const std::string family =
        "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    const std::string text =
        "e\xCC\x81"
        "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA" +
        family + "x";
    EXPECT_EQ(graphemes(text),
              (Strings{"e\xCC\x81", "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA", family, "x"}));
    EXPECT_TRUE(graphemes("").empty());
    // Broken UTF-8 does not throw; the bad byte becomes U+FFFD.
    EXPECT_EQ(graphemes("a\xFF"), (Strings{"a", "\xEF\xBF\xBD"}));
}

TEST(Unicode, CharacterClasses) {
    EXPECT_TRUE(isWhitespace(" "));
    EXPECT_TRUE(isWhitespace("\t"));
    EXPECT_TRUE(isWhitespace("\n"));
    EXPECT_TRUE(isWhitespace("\xC2\xA0"));  // no-break space
    EXPECT_FALSE(isWhitespace("a"));
    EXPECT_TRUE(isLetterOrNumber("e\xCC\x81"));
    EXPECT_TRUE(isLetterOrNumber("\xE6\x97\xA5"));  // a CJK ideograph
    EXPECT_TRUE(isLetterOrNumber("\xD9\xA3"));      // Arabic-Indic digit three
    EXPECT_FALSE(isLetterOrNumber("'"));
    EXPECT_FALSE(isLetterOrNumber("_"));
    EXPECT_FALSE(isLetterOrNumber("\xF0\x9F\x98\x80"));  // an emoji
    EXPECT_TRUE(isControlOrFormat("\xC2\xAD"));          // soft hyphen
    EXPECT_TRUE(isControlOrFormat("\x07"));
    EXPECT_TRUE(isControlOrFormat("\xE2\x80\xAE"));  // right-to-left override
    EXPECT_FALSE(isControlOrFormat("a"));
    EXPECT_FALSE(isControlOrFormat(""));
}

TEST(Unicode, TrimmingAndLowerCase) {
    EXPECT_EQ(trimmed("  \t Swift\n"), "Swift");
    EXPECT_EQ(trimmed("\xE2\x80\xA8 in the middle \xC2\xA0"), "in the middle");
    EXPECT_EQ(trimmed(" \n "), "");
    EXPECT_EQ(lowercased("\xC3\x9C"
                         "BER Stra\xC3\x9F"
                         "E"),
              "\xC3\xBC"
              "ber stra\xC3\x9F"
              "e");
    EXPECT_EQ(lowercased("\xCE\xA3\xCE\x99\xCE\xA3"), "\xCF\x83\xCE\xB9\xCF\x82");  // final sigma
}

TEST(Unicode, WordsAreRunsOfLettersAndNumbers) {
    EXPECT_EQ(words("don't stop-me now_2"), (Strings{"don", "t", "stop", "me", "now", "2"}));
    EXPECT_EQ(words("(title:foo OR bar*) NEAR"), (Strings{"title", "foo", "OR", "bar", "NEAR"}));
    EXPECT_EQ(words(" - -- ' "), Strings{});
    EXPECT_EQ(words("caf"
                    "e\xCC\x81"
                    " \xE6\x97\xA5\xE6\x9C\xAC"),
              (Strings{"cafe\xCC\x81", "\xE6\x97\xA5\xE6\x9C\xAC"}));
}

}  // namespace
}  // namespace kelvo::text
