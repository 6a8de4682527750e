#include "core/summaries/generated_digest.h"

#include <algorithm>

#include "core/summaries/summarizer.h"
#include "core/text/unicode.h"

namespace kelvo {

const std::string_view GeneratedDigest::summaryDescription =
    "One or two plain sentences describing what the video is about.";
const std::string_view GeneratedDigest::tagsDescription =
    "Between 3 and 8 short lowercase search tags, one to three words each.";

nlohmann::json GeneratedDigest::schema() {
    return {
        {"type", "object"},
        {"properties",
         {
             {"summary", {{"type", "string"}, {"description", summaryDescription}}},
             {"tags",
              {{"type", "array"},
               {"items", {{"type", "string"}}},
               {"description", tagsDescription}}},
         }},
        {"required", {"summary", "tags"}},
        {"additionalProperties", false},
    };
}

GeneratedDigest GeneratedDigest::fromJSON(std::string_view text) {
    const nlohmann::json answer = nlohmann::json::parse(text, nullptr, false);
    if (answer.is_discarded()) {
        throw SummarizerError("the local model's answer is not JSON");
    }
    if (!answer.is_object()) {
        throw SummarizerError("the local model's answer is not a JSON object");
    }
    GeneratedDigest digest;
    const auto summary = answer.find("summary");
    if (summary == answer.end() || !summary->is_string()) {
        throw SummarizerError("the local model's answer has no \"summary\" text");
    }
    digest.summary = summary->get<std::string>();
    const auto tags = answer.find("tags");
    if (tags == answer.end() || !tags->is_array()) {
        throw SummarizerError("the local model's answer has no \"tags\" list");
    }
    for (const nlohmann::json& tag : *tags) {
        if (!tag.is_string()) {
            throw SummarizerError("the local model's answer has a tag that is not text");
        }
        digest.tags.push_back(tag.get<std::string>());
    }
    return digest;
}

VideoDigest GeneratedDigest::normalized() const {
    VideoDigest digest{text::trimmed(summary), {}};
    for (const std::string& tag : tags) {
        if (digest.tags.size() == maxTags) {
            break;
        }
        std::string kept = text::lowercased(text::trimmed(tag));
        if (kept.empty() ||
            std::find(digest.tags.begin(), digest.tags.end(), kept) != digest.tags.end()) {
            continue;
        }
        digest.tags.push_back(std::move(kept));
    }
    return digest;
}

}  // namespace kelvo
