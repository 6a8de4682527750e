#pragma once

// The structure the language model is asked to fill in, its JSON schema, and how its raw
// answer becomes a VideoDigest.

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/summaries/video_digest.h"

namespace kelvo {

struct GeneratedDigest {
    std::string summary;
    std::vector<std::string> tags;

    // The descriptions the model sees for the two properties.
    static const std::string_view summaryDescription;
    static const std::string_view tagsDescription;
    // Generated tags beyond this many are dropped.
    static constexpr std::size_t maxTags = 8;

    // A JSON schema of an object with exactly the properties "summary" (string) and "tags"
    // (array of strings), both required, nothing else allowed.
    static nlohmann::json schema();

    // Reads the model's answer text (a JSON object with a string "summary" and a "tags" array
    // of strings; other keys are ignored). Throws SummarizerError when it is anything else.
    static GeneratedDigest fromJSON(std::string_view text);

    // The digest kept: summary trimmed; tags trimmed, lower-cased, empty ones and repeats
    // dropped, at most maxTags, in the model's order.
    VideoDigest normalized() const;

    bool operator==(const GeneratedDigest&) const = default;
};

}  // namespace kelvo
