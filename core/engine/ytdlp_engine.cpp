#include "core/engine/ytdlp_engine.h"

#include <unicode/utf8.h>

#include <condition_variable>
#include <mutex>

#include <nlohmann/json.hpp>

#include "core/engine/child_process.h"
#include "core/engine/engine_error.h"

namespace kelvo {

namespace fs = std::filesystem;

namespace {

bool isValidUTF8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            return false;
        }
    }
    return true;
}

// The environment of a yt-dlp child: ours, with deno's and ffmpeg's folders in front of PATH.
std::vector<std::string> childEnvironment(const fs::path& deno, const fs::path& ffmpeg) {
    Environment environment = currentEnvironment();
    const auto inherited = environment.find("PATH");
    const std::string searchPath =
        inherited != environment.end() ? inherited->second : std::string("/usr/bin:/bin");
    environment["PATH"] =
        deno.parent_path().string() + ":" + ffmpeg.parent_path().string() + ":" + searchPath;
    return environmentEntries(environment);
}

void refuseOption(std::string_view link) {
    if (link.starts_with('-')) {
        throw EngineError::failed("not a link: " + std::string(link));
    }
}

}  // namespace

YTDLPEngine::YTDLPEngine(const ToolLocator& locator, int attempts, std::stop_token stop)
    : attempts_(attempts), stop_(std::move(stop)) {
    const std::pair<const char*, fs::path*> tools[] = {
        {"yt-dlp", &ytdlp_}, {"deno", &deno_}, {"ffmpeg", &ffmpeg_}};
    for (const auto& [name, path] : tools) {
        auto found = locator.find(name);
        if (!found) {
            throw EngineError::toolMissing(name);
        }
        *path = std::move(*found);
    }
}

std::map<std::string, std::string> YTDLPEngine::toolPaths() const {
    return {{"yt-dlp", ytdlp_.string()}, {"deno", deno_.string()}, {"ffmpeg", ffmpeg_.string()}};
}

RunOutput YTDLPEngine::run(const std::vector<std::string>& arguments) const {
    std::vector<std::string> full;
    if (!options_.cookiesFromBrowser.empty()) {
        full = {"--cookies-from-browser", options_.cookiesFromBrowser};
    }
    full.insert(full.end(), arguments.begin(), arguments.end());
    const ChildResult child =
        runChild(ytdlp_, full, childEnvironment(deno_, ffmpeg_), stop_, killGrace_);
    RunOutput output{child.out, child.err};
    if (!isValidUTF8(output.err)) {
        output.err.clear();
    }
    if (!child.succeeded()) {
        throw EngineError::classify(output.err);
    }
    return output;
}

void YTDLPEngine::pause(std::chrono::milliseconds duration) const {
    if (sleeper_) {
        sleeper_(duration, stop_);
    } else {
        std::mutex mutex;
        std::condition_variable_any wakeUp;
        std::unique_lock lock(mutex);
        wakeUp.wait_for(lock, stop_, duration, [] { return false; });
    }
    if (stop_.stop_requested()) {
        throw EngineError::stopped();
    }
}

RunOutput YTDLPEngine::runWithRetries(const std::vector<std::string>& arguments) const {
    for (int attempt = 1;; ++attempt) {
        try {
            return run(arguments);
        } catch (const EngineError& error) {
            if (!error.isTransient() || attempt >= attempts_) {
                throw;
            }
        }
        pause(std::chrono::seconds(2 * attempt));
    }
}

std::string YTDLPEngine::flatPlaylist(std::string_view address) const {
    return runWithRetries({"--flat-playlist", "-J", "--no-warnings", std::string(address)}).out;
}

VideoMetadata YTDLPEngine::metadata(std::string_view link) {
    refuseOption(link);
    const RunOutput output =
        runWithRetries({"-J", "--no-playlist", "--no-warnings", std::string(link)});
    try {
        return VideoMetadata::decode(output.out);
    } catch (const nlohmann::json::exception& error) {
        throw EngineError::failed(std::string("could not read yt-dlp metadata: ") + error.what());
    }
}

std::string YTDLPEngine::outputTemplate(const fs::path& folder, std::string_view baseName) {
    const std::string path = (folder / std::string(baseName)).string();
    std::string escaped;
    escaped.reserve(path.size() + 16);
    for (char c : path) {
        if (c == '%') {
            escaped += "%%";
        } else if (c == '$') {
            // yt-dlp expands $NAME and ${NAME} from its environment in the template, and "$$"
            // is no escape there. A "$" followed by an empty template field is never read as a
            // variable, and the field evaluates to nothing.
            escaped += "$%(kelvo|)s";
        } else {
            escaped += c;
        }
    }
    return escaped + ".%(ext)s";
}

std::vector<std::string> YTDLPEngine::downloadArguments(std::string_view link,
                                                        const fs::path& folder,
                                                        std::string_view baseName) const {
    std::vector<std::string> arguments{"--no-playlist",
                                       "--no-progress",
                                       "--no-warnings",
                                       "-f",
                                       std::string(formatSelector),
                                       "--merge-output-format",
                                       "mp4",
                                       "--ffmpeg-location",
                                       ffmpeg_.string(),
                                       "--retries",
                                       "10",
                                       "--fragment-retries",
                                       "10"};
    const DownloadOptions& options = options_;
    if (options.thumbnails) {
        // Named for media servers; yt-dlp downloads it as .webp or .jpg and converts it.
        arguments.insert(
            arguments.end(),
            {"--write-thumbnail", "--convert-thumbnails", "jpg", "-o",
             "thumbnail:" + outputTemplate(folder, std::string(baseName) + "-poster")});
    }
    std::string languages;
    for (const std::string& language : options.subtitleLanguages) {
        // A code is a plain word: yt-dlp reads the list as patterns.
        if (isLanguageCode(language)) {
            languages += (languages.empty() ? "" : ",") + language;
        }
    }
    if (!languages.empty()) {
        // Written as "<base>.<language>.srt"; a language the video lacks is only a warning.
        arguments.emplace_back("--write-subs");
        if (options.automaticCaptions) {
            arguments.emplace_back("--write-auto-subs");
        }
        arguments.insert(arguments.end(), {"--sub-langs", languages, "--convert-subs", "srt"});
    }
    if (options.sponsorChapters) {
        // Segments become chapters of the MP4; nothing is cut.
        arguments.insert(arguments.end(), {"--sponsorblock-mark", "all"});
    }
    arguments.insert(arguments.end(), {"-o", outputTemplate(folder, baseName), std::string(link)});
    return arguments;
}

fs::path YTDLPEngine::download(std::string_view link, const fs::path& folder,
                               std::string_view baseName) {
    refuseOption(link);
    fs::create_directories(folder);
    runWithRetries(downloadArguments(link, folder, baseName));
    const fs::path expected = folder / (std::string(baseName) + ".mp4");
    if (fs::exists(expected)) {
        return expected;
    }
    throw EngineError::failed("yt-dlp reported success but " + expected.filename().string() +
                              " is missing");
}

}  // namespace kelvo
