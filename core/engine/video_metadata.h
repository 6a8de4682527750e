#pragma once

// The handful of fields kelvo keeps from yt-dlp's information about one video.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog/records.h"

namespace kelvo {

struct VideoMetadata {
    std::string id;
    std::string title;
    std::optional<std::string> channel;
    std::optional<std::string> uploadDate;  // yt-dlp's eight digits, kept as text
    std::optional<double> duration;         // seconds
    std::optional<std::string> description;
    std::vector<std::string> tags;
    std::vector<std::string> categories;
    std::vector<std::string> chapterTitles;
    std::optional<std::string> webpageURL;

    // Decodes yt-dlp's JSON document; throws the decoder's error (a std::exception) when the
    // text is not such a document, lacks "id" or holds a key of the wrong type.
    static VideoMetadata decode(std::string_view json);

    // The video's catalog row: status queued, duration rounded half away from zero.
    VideoRecord record() const;

    bool operator==(const VideoMetadata&) const = default;
};

}  // namespace kelvo
