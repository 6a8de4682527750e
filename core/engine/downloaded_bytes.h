#pragma once

// Download progress as the size of yt-dlp's files on disk.

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace kelvo {

// The bytes downloaded so far for `baseName` in `folder`: the summed sizes of the regular
// files whose names begin with the base name (".part", ".ytdl", ".f137.mp4", the final ".mp4"
// ...). 0 when the folder is missing or unreadable. For progress display only.
std::uintmax_t downloadedBytes(const std::filesystem::path& folder, std::string_view baseName);

}  // namespace kelvo
