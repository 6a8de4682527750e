#pragma once

// The texts given to the language model for one video.

#include <cstddef>
#include <string>
#include <string_view>

#include "core/engine/video_metadata.h"

namespace kelvo::SummaryPrompt {

// The system instructions every generation starts with (one line).
extern const std::string_view instructions;

// Limits of one prompt: list elements for tags and chapters, user-perceived characters for the
// description.
inline constexpr std::size_t maxTags = 20;
inline constexpr std::size_t maxChapters = 20;
inline constexpr std::size_t maxDescriptionCharacters = 1500;

// The per-video prompt: "Title: ...", then Channel, Category, YouTube tags, Chapters and
// Description lines where the metadata has them, joined with line feeds (none at the end).
std::string render(const VideoMetadata& meta);

}  // namespace kelvo::SummaryPrompt
