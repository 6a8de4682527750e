#pragma once

// The interface the single-video pipeline asks for a summary. One production implementation:
// OnDeviceSummarizer (a language model running on this computer).

#include <optional>
#include <stdexcept>
#include <string>

#include "core/engine/video_metadata.h"
#include "core/summaries/video_digest.h"

namespace kelvo {

// A generation that was attempted and failed: the model server refused, timed out or answered
// something that is not a digest. what() is the text the activity log shows after
// "Summary skipped: ".
class SummarizerError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Summarizer {
  public:
    virtual ~Summarizer() = default;

    // Names the model; stored next to every summary it made.
    virtual std::string modelVersion() const = 0;

    // True when a digest can be asked for right now (checked afresh on every call).
    virtual bool isAvailable() const = 0;
    // "available", or why no summaries can be made.
    virtual std::string unavailableReason() const = 0;

    // The digest of one video; no value when the model cannot be used. Throws SummarizerError
    // when a generation was attempted and failed.
    virtual std::optional<VideoDigest> digest(const VideoMetadata& meta) = 0;
};

}  // namespace kelvo
