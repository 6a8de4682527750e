#pragma once

// What the summarizer makes of one video: a short summary and a few search tags.

#include <string>
#include <vector>

namespace kelvo {

struct VideoDigest {
    // One or two sentences, trimmed of white space and line breaks at both ends.
    std::string summary;
    // 0 to 8 distinct, non-empty, trimmed, lower-case tags in the model's order.
    std::vector<std::string> tags;

    bool operator==(const VideoDigest&) const = default;
};

}  // namespace kelvo
