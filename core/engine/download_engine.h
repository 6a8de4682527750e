#pragma once

// What the single-video pipeline needs from a download engine.

#include <filesystem>
#include <string>
#include <string_view>

#include "core/engine/video_metadata.h"

namespace kelvo {

class DownloadEngine {
  public:
    virtual ~DownloadEngine() = default;

    // The information of one video. Throws EngineError.
    virtual VideoMetadata metadata(std::string_view link) = 0;

    // Downloads the video into `folder` (created with its parents when missing) as
    // `baseName` + ".mp4" and returns that file's path. Throws EngineError, or the file-system
    // error when the folder cannot be created.
    virtual std::filesystem::path download(std::string_view link,
                                           const std::filesystem::path& folder,
                                           std::string_view baseName) = 0;
};

}  // namespace kelvo
