#include "core/engine/video_metadata.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "core/engine/json_fields.h"

namespace kelvo {

using nlohmann::json;
namespace jf = json_fields;

VideoMetadata VideoMetadata::decode(std::string_view text) {
    const json document = json::parse(text);
    jf::requireObject(document, "document");

    VideoMetadata meta;
    auto id = jf::optionalString(document, "id");
    if (!id) {
        throw json::out_of_range::create(403, "key \"id\" not found", &document);
    }
    meta.id = std::move(*id);
    meta.title = jf::optionalString(document, "title").value_or(meta.id);
    meta.channel = jf::optionalString(document, "channel");
    // Both keys are decoded, so a wrong type in either fails even when "channel" is set.
    auto uploader = jf::optionalString(document, "uploader");
    if (!meta.channel) {
        meta.channel = std::move(uploader);
    }
    meta.description = jf::optionalString(document, "description");
    meta.tags = jf::optionalStringList(document, "tags").value_or(std::vector<std::string>{});
    meta.categories =
        jf::optionalStringList(document, "categories").value_or(std::vector<std::string>{});
    if (const json* chapters = jf::optionalArray(document, "chapters")) {
        for (const json& chapter : *chapters) {
            jf::requireObject(chapter, "chapters");
            if (auto title = jf::optionalString(chapter, "title")) {
                meta.chapterTitles.push_back(std::move(*title));
            }
        }
    }
    meta.duration = jf::optionalNumber(document, "duration");
    meta.uploadDate = jf::optionalString(document, "upload_date");
    meta.webpageURL = jf::optionalString(document, "webpage_url");
    return meta;
}

VideoRecord VideoMetadata::record() const {
    VideoRecord row;
    row.videoID = id;
    row.title = title;
    row.channel = channel;
    row.uploadDate = uploadDate;
    if (duration && std::isfinite(*duration)) {
        // std::llround rounds halves away from zero; durations beyond its range are clamped.
        constexpr double limit = 9.0e18;
        row.durationSec = std::llround(std::clamp(*duration, -limit, limit));
    }
    row.description = description;
    row.status = VideoStatus::queued;
    return row;
}

}  // namespace kelvo
