#include "core/summaries/summary_prompt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text/unicode.h"

namespace kelvo {
namespace {

std::vector<std::string> numbered(const std::string& stem, int count) {
    std::vector<std::string> out;
    for (int i = 1; i <= count; ++i) {
        out.push_back(stem + std::to_string(i));
    }
    return out;
}

std::string repeated(const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += piece;
    }
    return out;
}

TEST(SummaryPrompt, RendersTheLinesThatHaveValues) {
    struct Case {
        const char* name;
        VideoMetadata meta;
        std::string expected;
    };
    VideoMetadata full;
    full.title = "Bread";
    full.channel = "Baker";
    full.categories = {"Howto & Style", "Food"};
    full.tags = {"bread", "sourdough"};
    full.chapterTitles = {"Intro", "Kneading"};
    full.description = "\n  Flour, water, salt.  \n";
    full.uploadDate = "20240131";  // never part of the prompt
    full.duration = 600;
    full.webpageURL = "https://example.invalid";

    VideoMetadata emptyChannel;
    emptyChannel.title = "T";
    emptyChannel.channel = "";

    VideoMetadata blankDescription;
    blankDescription.title = "T";
    blankDescription.description = " \n\n \t";

    const std::vector<Case> cases = {
        {"title only",
         [] {
             VideoMetadata m;
             m.title = "Only";
             return m;
         }(),
         "Title: Only"},
        {"empty title", VideoMetadata{}, "Title: "},
        {"everything", full,
         "Title: Bread\nChannel: Baker\nCategory: Howto & Style, Food\nYouTube tags: bread, "
         "sourdough\nChapters: Intro; Kneading\nDescription: Flour, water, salt."},
        {"empty channel", emptyChannel, "Title: T\nChannel: "},
        {"blank description", blankDescription, "Title: T"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SummaryPrompt::render(c.meta), c.expected) << c.name;
    }
}

TEST(SummaryPrompt, BoundsTagsChaptersAndDescription) {
    VideoMetadata meta;
    meta.title = "T";
    meta.tags = numbered("t", 25);
    meta.chapterTitles = numbered("c", 25);
    meta.categories = numbered("k", 25);  // categories are not bounded
    // 1,600 characters, each several code points: an accented letter written with a combining
    // mark and a family emoji. The cut counts characters, not bytes or code points.
    meta.description = " " + repeated("e\u0301\U0001F468\u200D\U0001F469\u200D\U0001F467", 800);

    const std::string prompt = SummaryPrompt::render(meta);
    const std::vector<std::string> expectedTags(meta.tags.begin(), meta.tags.begin() + 20);
    std::string tagLine = "YouTube tags: ";
    std::string chapterLine = "Chapters: ";
    std::string categoryLine = "Category: ";
    for (int i = 1; i <= 25; ++i) {
        const std::string n = std::to_string(i);
        if (i <= 20) {
            tagLine += (i > 1 ? ", t" : "t") + n;
            chapterLine += (i > 1 ? "; c" : "c") + n;
        }
        categoryLine += (i > 1 ? ", k" : "k") + n;
    }
    EXPECT_NE(prompt.find("\n" + tagLine + "\n"), std::string::npos);
    EXPECT_NE(prompt.find("\n" + chapterLine + "\n"), std::string::npos);
    EXPECT_NE(prompt.find("\n" + categoryLine + "\n"), std::string::npos);

    const std::string label = "\nDescription: ";
    const std::size_t at = prompt.find(label);
    ASSERT_NE(at, std::string::npos);
    const std::string description = prompt.substr(at + label.size());
    EXPECT_EQ(text::graphemes(description).size(), SummaryPrompt::maxDescriptionCharacters);
    EXPECT_EQ(description, repeated("e\u0301\U0001F468\u200D\U0001F469\u200D\U0001F467", 750));
    EXPECT_NE(prompt.back(), '\n');
}

}  // namespace
}  // namespace kelvo
