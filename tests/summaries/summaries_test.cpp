// What the model is given for one video, and what is kept of its answer.

#include <gtest/gtest.h>

#include "core/summaries/generated_digest.h"
#include "core/summaries/summarizer.h"
#include "core/summaries/summary_prompt.h"

namespace kelvo {
namespace {

std::vector<std::string> numbered(const std::string& stem, int count) {
    std::vector<std::string> out;
    for (int i = 1; i <= count; ++i) {
        out.push_back(stem + std::to_string(i));
    }
    return out;
}

std::string joined(const std::vector<std::string>& items, const std::string& separator) {
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : separator) + item;
    }
    return out;
}

TEST(SummaryPrompt, RendersTheLinesThatHaveValuesWithinTheirLimits) {
    // 1,600 characters of several code points each, an accented letter written with a combining
    // mark and a family emoji: the cut counts characters, not bytes or code points.
    const std::string pair = "e\u0301\U0001F468\u200D\U0001F469\u200D\U0001F467";
    std::string description = " ";
    for (int i = 0; i < 800; ++i) {
        description += pair;
    }
    // clang-format off
    const std::pair<VideoMetadata, std::string> cases[] = {
        {{}, "Title: "},
        {{.title = "T", .channel = "", .description = " \n\n \t"}, "Title: T\nChannel: "},
        {{.title = "Bread", .channel = "Baker", .uploadDate = "20240131", .duration = 600,
          .description = "\n  Flour, water, salt.  \n", .tags = {"bread", "sourdough"},
          .categories = {"Howto & Style", "Food"}, .chapterTitles = {"Intro", "Kneading"},
          .webpageURL = "https://example.invalid"},
         "Title: Bread\nChannel: Baker\nCategory: Howto & Style, Food\nYouTube tags: bread, "
         "sourdough\nChapters: Intro; Kneading\nDescription: Flour, water, salt."},
        // At most 20 tags, 20 chapters and 1,500 characters of description; categories unbounded.
        {{.title = "T", .description = description, .tags = numbered("t", 25),
          .categories = numbered("k", 25), .chapterTitles = numbered("c", 25)},
         "Title: T\nCategory: " + joined(numbered("k", 25), ", ") + "\nYouTube tags: " +
             joined(numbered("t", 20), ", ") + "\nChapters: " + joined(numbered("c", 20), "; ") +
             "\nDescription: " + description.substr(1, 750 * pair.size())},
    };
    // clang-format on
    for (const auto& [meta, prompt] : cases) {
        EXPECT_EQ(SummaryPrompt::render(meta), prompt);
    }
}

TEST(GeneratedDigest, ReadsAndNormalizesTheModelsAnswer) {
    const auto digest = [](const std::string& answer) {
        try {
            const VideoDigest kept = GeneratedDigest::fromJSON(answer).normalized();
            return kept.summary + " |" + joined(kept.tags, ",");
        } catch (const SummarizerError& error) {
            return std::string(error.what());
        }
    };
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        // Trimmed, lower-cased, each once, empty ones dropped, at most eight; other keys ignored.
        {R"({"summary": " Two.\n", "tags": [" Cooking ", "cooking", "", "Baking"], "x": 1})", "Two. |cooking,baking"},
        {R"({"summary": "s", "tags": ["a", "A", " a", "b", "c", "d", "e", "f", "g", "h", "i"]})", "s |a,b,c,d,e,f,g,h"},
        {R"({"summary": "", "tags": ["\nÄPFEL UND Birnen\r\n", "äpfel und birnen", "\u2028ΣΙΣ"]})", " |äpfel und birnen,σις"},
        {"{\"summary\": \"\xff\", \"tags\": []}", "the local model's answer is not JSON"},
        {R"(["S.", ["a"]])", "the local model's answer is not a JSON object"},
        {R"({"summary": null, "tags": []})", "the local model's answer has no \"summary\" text"},
        {R"({"summary": "S.", "tags": "a, b"})", "the local model's answer has no \"tags\" list"},
        {R"({"summary": "S.", "tags": ["a", 2]})", "the local model's answer has a tag that is not text"}};
    // clang-format on
    for (const auto& [answer, kept] : cases) {
        EXPECT_EQ(digest(answer), kept) << answer;
    }
}

}  // namespace
}  // namespace kelvo
