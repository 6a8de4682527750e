#include "core/pipelines/downloader.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <exception>
#include <utility>

#include "core/engine/engine_error.h"
#include "core/library/naming.h"
#include "core/library/nfo_writer.h"
#include "core/library/video_files.h"

namespace kelvo {

namespace {

// Without a digest the sidecar carries at most this many of the service's own tags.
constexpr std::size_t maxSidecarTags = 8;

// Records a failed download; the record is best effort, the download's error is what counts.
void recordFailure(Catalog& catalog, const std::string& videoID, VideoStatus status,
                   const std::optional<std::string>& error) noexcept {
    try {
        catalog.setStatus(videoID, status, error);
    } catch (const std::exception&) {
    }
}

// 00:00 UTC of yt-dlp's eight-digit upload day, when it names a real day.
std::optional<std::filesystem::file_time_type> uploadTime(const std::optional<std::string>& date) {
    const std::string day = Naming::datePrefix(date);
    if (day == "undated") {
        return std::nullopt;
    }
    const std::chrono::year_month_day ymd{std::chrono::year(std::stoi(day.substr(0, 4))),
                                          std::chrono::month(std::stoul(day.substr(5, 2))),
                                          std::chrono::day(std::stoul(day.substr(8, 2)))};
    if (!ymd.ok()) {
        return std::nullopt;
    }
    const std::chrono::sys_seconds midnight{std::chrono::sys_days(ymd)};
    return std::chrono::time_point_cast<std::filesystem::file_time_type::duration>(
        std::chrono::file_clock::from_sys(midnight));
}

// "2024-01-31 14:05:00" in local time, as media servers read <dateadded>.
std::string localStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

Downloader::Downloader(Catalog& catalog, DownloadEngine& engine, Summarizer* summarizer,
                       LogCallback log)
    : catalog_(catalog), engine_(engine), summarizer_(summarizer), log_(std::move(log)) {}

GetResult Downloader::get(std::string_view link, const std::filesystem::path& folder) {
    const auto say = [this](const std::string& line) {
        if (log_) {
            log_(line);
        }
    };

    say("Reading video info…");
    const VideoMetadata meta = engine_.metadata(link);

    VideoRecord record = meta.record();
    record.status = VideoStatus::downloading;
    catalog_.upsertVideo(record);
    catalog_.setTags(meta.id, meta.tags, "youtube");

    const std::string base =
        Naming::fileBase(meta.uploadDate, meta.title, meta.id, VideoFiles::suffixRoom(options_));
    say("Downloading \"" + meta.title + "\" (best up to 1080p)…");

    std::filesystem::path file;
    try {
        file = engine_.download(link, folder, base);
    } catch (const EngineError& error) {
        if (error.kind() == EngineError::Kind::refused && queueOnRefusal_) {
            // YouTube refused this computer, not this video: it waits for a later run.
            recordFailure(catalog_, meta.id, VideoStatus::queued, std::nullopt);
        } else {
            recordFailure(catalog_, meta.id,
                          error.kind() == EngineError::Kind::needsSignIn ? VideoStatus::needsSignIn
                                                                         : VideoStatus::failed,
                          error.description());
        }
        throw;
    } catch (const std::exception& error) {
        recordFailure(catalog_, meta.id, VideoStatus::failed, error.what());
        throw;
    }

    std::optional<std::string> dateAdded;
    if (options_.uploadDateAsFileTime) {
        dateAdded = localStamp();
        if (const auto time = uploadTime(meta.uploadDate)) {
            std::filesystem::last_write_time(file, *time);
        }
    }

    std::optional<VideoDigest> digest;
    if (summarizer_ != nullptr) {
        say("Summarizing on this computer…");
        try {
            digest = summarizer_->digest(meta);
            if (!digest) {
                say("Summary skipped: on-device model not available.");
            }
        } catch (const std::exception& error) {
            say(std::string("Summary skipped: ") + error.what());
        }
    }

    GetResult result;
    result.videoID = meta.id;
    result.file = file;
    result.nfo = folder / (base + ".nfo");
    if (digest) {
        // Outside the summarizer's try: a catalog failure here ends the run like any other.
        catalog_.saveSummary(meta.id, digest->summary, summarizer_->modelVersion());
        catalog_.setTags(meta.id, digest->tags, "kelvo");
        result.summary = digest->summary;
        result.tags = digest->tags;
    } else {
        const std::size_t count = std::min(meta.tags.size(), maxSidecarTags);
        result.tags.assign(meta.tags.begin(), meta.tags.begin() + static_cast<long>(count));
    }

    NFOWriter::write(meta, result.summary, result.tags, result.nfo, dateAdded);
    catalog_.setStatus(meta.id, VideoStatus::done);
    catalog_.setFilePath(meta.id, file.string());
    return result;
}

}  // namespace kelvo
