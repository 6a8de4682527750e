#include "core/summaries/summary_prompt.h"

#include <algorithm>
#include <vector>

#include "core/text/unicode.h"

namespace kelvo::SummaryPrompt {

const std::string_view instructions =
    "You write entries for a personal video library catalog. From a video's metadata, write one "
    "or two plain sentences saying what the video is about, and 3 to 8 short lowercase search "
    "tags. Use only the metadata given. Do not invent facts, names or numbers. Ignore links, "
    "sponsor messages and social-media plugs in the description.";

namespace {

std::string joined(const std::vector<std::string>& items, std::size_t limit,
                   std::string_view separator) {
    std::string out;
    const std::size_t count = std::min(limit, items.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            out += separator;
        }
        out += items[i];
    }
    return out;
}

// The first `limit` user-perceived characters of `text`.
std::string prefix(std::string_view text, std::size_t limit) {
    std::string out;
    std::size_t count = 0;
    for (const std::string& character : text::graphemes(text)) {
        if (count++ == limit) {
            break;
        }
        out += character;
    }
    return out;
}

}  // namespace

std::string render(const VideoMetadata& meta) {
    std::string prompt = "Title: " + meta.title;
    if (meta.channel) {
        prompt += "\nChannel: " + *meta.channel;
    }
    if (!meta.categories.empty()) {
        prompt += "\nCategory: " + joined(meta.categories, meta.categories.size(), ", ");
    }
    if (!meta.tags.empty()) {
        prompt += "\nYouTube tags: " + joined(meta.tags, maxTags, ", ");
    }
    if (!meta.chapterTitles.empty()) {
        prompt += "\nChapters: " + joined(meta.chapterTitles, maxChapters, "; ");
    }
    if (meta.description) {
        const std::string description = text::trimmed(*meta.description);
        if (!description.empty()) {
            prompt += "\nDescription: " + prefix(description, maxDescriptionCharacters);
        }
    }
    return prompt;
}

}  // namespace kelvo::SummaryPrompt
