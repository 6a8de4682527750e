#pragma once

// The files that belong to one video: the media file and, beside it under the same base name,
// the .nfo sidecar, the thumbnail and the subtitles. Every place that moves, copies, counts or
// trashes a video's files finds them here, by the media file's base name.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/download_options.h"

namespace kelvo::VideoFiles {

inline constexpr std::string_view sidecarSuffix = ".nfo";
// "<base>-poster.jpg": the picture Jellyfin and Kodi both take as the poster of a video file
// that shares its folder with others.
inline constexpr std::string_view thumbnailSuffix = "-poster.jpg";
// Subtitles are "<base>.<language>.srt".
inline constexpr std::string_view subtitleExtension = ".srt";

// What follows `base` in `fileName` when that file belongs to the video named `base`:
// ".nfo", "-poster.jpg" or ".<language>.srt"; nothing for any other name (the video itself,
// "<base> (2).nfo" of another video, partial files).
std::optional<std::string> companionSuffix(std::string_view base, std::string_view fileName);

// The files beside `video` that belong to it, sorted by name. A folder that cannot be read
// yields none.
std::vector<std::filesystem::path> companions(const std::filesystem::path& video);

// `files` (a video's recorded files) with the companions of each one on disk added after it,
// every path once, in that order.
std::vector<std::string> withCompanions(const std::vector<std::string>& files);

// How many bytes a video's base name must leave free within the file system's 255 for the
// longest name derived from it: an extra's suffix, a " (99)" of a numbered move and the
// temporaries yt-dlp writes on the way ("-poster.webp", ".<language>.vtt.part").
std::size_t suffixRoom(const DownloadOptions& options);

}  // namespace kelvo::VideoFiles
