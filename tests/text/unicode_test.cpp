// The Unicode rules under names, tags and search. The layers above pin most of them through
// their exact outputs; here are the ones they do not reach.

#include "core/text/unicode.h"

#include <gtest/gtest.h>

namespace kelvo::text {
namespace {

using Strings = std::vector<std::string>;

TEST(Unicode, SplitsClassifiesTrimsAndLowers) {
    // An accent on its letter, a flag (two regional indicators), a family joined by ZWJs.
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
    EXPECT_EQ(graphemes("e\u0301\U0001F1E9\U0001F1EA" + family + "x"),
              (Strings{"e\u0301", "\U0001F1E9\U0001F1EA", family, "x"}));
    EXPECT_EQ(graphemes("a\xFF"), (Strings{"a", "\uFFFD"}));  // bytes that are not UTF-8
    EXPECT_TRUE(isLetterOrNumber("e\u0301") && isLetterOrNumber("\u0663"));
    EXPECT_FALSE(isLetterOrNumber("_") || isLetterOrNumber("\U0001F600"));
    EXPECT_TRUE(isControlOrFormat("\u202E") && !isControlOrFormat(""));
    EXPECT_EQ(trimmed("\u2028 in the middle \u00A0\n"), "in the middle");
    EXPECT_EQ(lowercased("\u00DCBER Stra\u00DFE \u03A3\u0399\u03A3"),
              "\u00FCber stra\u00DFe \u03C3\u03B9\u03C2");
    EXPECT_EQ(words("(title:foo OR bar*) caf\u00E9\u0301 \u65E5\u672C"),
              (Strings{"title", "foo", "OR", "bar", "caf\u00E9\u0301", "\u65E5\u672C"}));
}

}  // namespace
}  // namespace kelvo::text
