#pragma once

// The ".nfo" sidecar written next to every video: a small XML document with the root element
// <movie> that media-library software reads (title, summary as plot and outline, channel as
// studio, dates, running time, categories as genres, tags and the video id).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/engine/video_metadata.h"

namespace kelvo::NFOWriter {

// The sidecar document: line-feed separated lines, one trailing line feed, every value trimmed
// and XML-escaped. Lines without a usable value are left out; tags are de-duplicated without
// regard to case (the first spelling wins). `dateAdded` ("2024-01-31 14:05:00", when the video
// was saved) becomes <dateadded>, which media servers sort "recently added" by.
std::string xml(const VideoMetadata& meta, const std::optional<std::string>& summary,
                const std::vector<std::string>& tags,
                const std::optional<std::string>& dateAdded = std::nullopt);

// Writes xml(meta, summary, tags) to `to` as UTF-8, replacing any earlier file atomically: the
// text goes to a unique temporary file in the same folder, is flushed to disk and renamed into
// place. On failure nothing is left at `to` that was not there before and the temporary file is
// removed; the std::filesystem::filesystem_error is thrown.
void write(const VideoMetadata& meta, const std::optional<std::string>& summary,
           const std::vector<std::string>& tags, const std::filesystem::path& to,
           const std::optional<std::string>& dateAdded = std::nullopt);

}  // namespace kelvo::NFOWriter
