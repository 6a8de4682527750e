#pragma once

// The yt-dlp runner and kelvo's one DownloadEngine.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/download_engine.h"
#include "core/engine/download_options.h"
#include "core/engine/tool_locator.h"

namespace kelvo {

// What one yt-dlp run printed.
struct RunOutput {
    std::string out;  // standard output, raw bytes (empty when unreadable)
    std::string err;  // standard error as UTF-8 text (empty when unreadable or not UTF-8)
};

// Runs yt-dlp. All operations block the calling thread while yt-dlp runs and during retry
// pauses; call them from a background thread.
//
// Stopping: when the stop token is requested while yt-dlp runs, the child (and its process
// group, e.g. ffmpeg) gets SIGTERM, then SIGKILL after `killGrace`; it is reaped, the capture
// files are removed and the call throws EngineError::stopped() (failed, "stopped"). A stop
// during a retry pause ends the pause at once and throws the same; a run is never started once
// a stop was requested. Partial files stay for yt-dlp to resume.
class YTDLPEngine : public DownloadEngine {
  public:
    // Pauses between attempts; must return early when the token is stopped.
    using Sleeper = std::function<void(std::chrono::milliseconds, std::stop_token)>;

    // "bv*[vcodec^=avc1][height<=1080]+ba[ext=m4a]": H.264 up to 1080 lines plus m4a audio.
    static constexpr std::string_view formatSelector =
        "bv*[vcodec^=avc1][height<=1080]+ba[ext=m4a]";

    // Finds "yt-dlp", "deno" and "ffmpeg" in that order; throws EngineError::toolMissing naming
    // the first one missing. `attempts` is how often one invocation may run in total.
    YTDLPEngine(const ToolLocator& locator, int attempts, std::stop_token stop = {});

    const std::filesystem::path& ytdlp() const { return ytdlp_; }
    const std::filesystem::path& deno() const { return deno_; }
    const std::filesystem::path& ffmpeg() const { return ffmpeg_; }
    int attempts() const { return attempts_; }

    // {"yt-dlp": path, "deno": path, "ffmpeg": path}.
    std::map<std::string, std::string> toolPaths() const;

    void setStopToken(std::stop_token stop) { stop_ = std::move(stop); }
    // The user's opt-in download choices; all off by default. A cookies browser puts
    // "--cookies-from-browser NAME" in front of every run's arguments.
    void setOptions(DownloadOptions options) { options_ = std::move(options); }
    const DownloadOptions& options() const { return options_; }
    // Replaces the pause between attempts (tests record the pauses instead of waiting).
    void setSleeper(Sleeper sleeper) { sleeper_ = std::move(sleeper); }
    // How long a stopped yt-dlp may take to exit after SIGTERM before it is killed.
    void setKillGrace(std::chrono::milliseconds grace) { killGrace_ = grace; }

    // One yt-dlp invocation with these arguments (after the cookies option, when one is set).
    // Non-zero exit: EngineError::classify of the error text. A capture file that cannot be
    // created: std::filesystem::filesystem_error; a child that cannot be started:
    // std::system_error. Neither is wrapped.
    RunOutput run(const std::vector<std::string>& arguments) const;

    // run() again after transient failures, pausing 2 x attempt seconds, up to attempts() runs.
    RunOutput runWithRetries(const std::vector<std::string>& arguments) const;

    // yt-dlp's raw JSON listing ("--flat-playlist -J --no-warnings <address>").
    std::string flatPlaylist(std::string_view address) const;

    // "-J --no-playlist --no-warnings <link>", decoded. A link beginning with "-" is refused
    // without a run: failed("not a link: " + link).
    VideoMetadata metadata(std::string_view link) override;

    // The 16-argument download (see downloadArguments). Refuses links beginning with "-" like
    // metadata(). Throws failed("yt-dlp reported success but <base>.mp4 is missing") when
    // yt-dlp exits 0 without producing the file.
    std::filesystem::path download(std::string_view link, const std::filesystem::path& folder,
                                   std::string_view baseName) override;

    // The exact argument list download() passes to yt-dlp. With every media option off it is the
    // 16 arguments above; the options add theirs before "-o": "--write-thumbnail
    // --convert-thumbnails jpg -o thumbnail:<base>-poster.%(ext)s", "--write-subs
    // [--write-auto-subs] --sub-langs en,de --convert-subs srt", "--sponsorblock-mark all".
    std::vector<std::string> downloadArguments(std::string_view link,
                                               const std::filesystem::path& folder,
                                               std::string_view baseName) const;

    // folder/baseName + ".%(ext)s", with "%" written "%%" and "$" written "$%(kelvo|)s" so
    // that yt-dlp neither reads template fields nor expands environment variables in the name.
    static std::string outputTemplate(const std::filesystem::path& folder,
                                      std::string_view baseName);

  private:
    void pause(std::chrono::milliseconds duration) const;

    std::filesystem::path ytdlp_;
    std::filesystem::path deno_;
    std::filesystem::path ffmpeg_;
    int attempts_;
    std::stop_token stop_;
    DownloadOptions options_;
    Sleeper sleeper_;
    std::chrono::milliseconds killGrace_{3000};
};

}  // namespace kelvo
