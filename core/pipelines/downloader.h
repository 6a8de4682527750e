#pragma once

// The single-video pipeline: reads a video's information, records it in the catalog, downloads
// it, asks the summarizer for a summary and tags, writes the .nfo sidecar and marks it done.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog/catalog.h"
#include "core/engine/download_engine.h"
#include "core/engine/download_options.h"
#include "core/summaries/summarizer.h"

namespace kelvo {

// Receives one progress line (no time stamp, no line break).
using LogCallback = std::function<void(const std::string&)>;

// What one successful get() produced.
struct GetResult {
    std::string videoID;                 // the id the service reported, not the one typed
    std::filesystem::path file;          // the media file
    std::filesystem::path nfo;           // <folder>/<base>.nfo
    std::optional<std::string> summary;  // the generated summary, when there is one
    std::vector<std::string> tags;       // the tags written into the sidecar

    bool operator==(const GetResult&) const = default;
};

// One instance per job. Holds references: the catalog, the engine and the summarizer must
// outlive it. Synchronous; runs on the job's worker thread, one get() at a time.
class Downloader {
  public:
    // `summarizer` may be null: no summaries, and nothing is logged about them.
    Downloader(Catalog& catalog, DownloadEngine& engine, Summarizer* summarizer, LogCallback log);

    // Fetches one video into `folder` (created by the engine when missing) and returns what was
    // written. Log lines, in order: "Reading video info…", "Downloading \"<title>\" (best up to
    // 1080p)…", and with a summarizer "Summarizing on this computer…" plus, when no summary
    // came, "Summary skipped: ...".
    //
    // Failures: reading the information throws the engine's error with the catalog untouched. A
    // failed download records the video as needsSignIn or failed with the error's text and
    // rethrows. A refusal (EngineError refused) is recorded failed with its plain message
    // too, or queued without error text after setQueueOnRefusal(true) (a sync run, whose
    // videos wait for the next run). Catalog errors and file-system errors (the sidecar) pass
    // through; nothing already on disk is deleted.
    GetResult get(std::string_view link, const std::filesystem::path& folder);

    // The user's choices; all off by default. The base name leaves room for the suffixes of the
    // extras asked for (VideoFiles::suffixRoom). With uploadDateAsFileTime the media file's
    // modification time becomes 00:00 UTC of the upload day (when known) and the sidecar gains
    // <dateadded> with the local time of the download.
    void setOptions(DownloadOptions options) { options_ = std::move(options); }
    const DownloadOptions& options() const { return options_; }

    void setQueueOnRefusal(bool queue) { queueOnRefusal_ = queue; }

    Catalog& catalog() const { return catalog_; }
    const LogCallback& log() const { return log_; }

  private:
    Catalog& catalog_;
    DownloadEngine& engine_;
    Summarizer* summarizer_;
    LogCallback log_;
    DownloadOptions options_;
    bool queueOnRefusal_ = false;
};

}  // namespace kelvo
