#include "core/library/video_files.h"

#include <algorithm>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace kelvo::VideoFiles {

namespace {

// Without any extra a base name leaves this much room (see Naming::maxVideoIDBytes).
constexpr std::size_t plainRoom = 15;
// " (99)" of a numbered move.
constexpr std::size_t numberRoom = 5;

}  // namespace

std::optional<std::string> companionSuffix(std::string_view base, std::string_view fileName) {
    if (base.empty() || !fileName.starts_with(base)) {
        return std::nullopt;
    }
    const std::string_view rest = fileName.substr(base.size());
    if (rest == sidecarSuffix || rest == thumbnailSuffix) {
        return std::string(rest);
    }
    if (rest.size() > subtitleExtension.size() + 1 && rest.front() == '.' &&
        rest.ends_with(subtitleExtension) &&
        isLanguageCode(rest.substr(1, rest.size() - 1 - subtitleExtension.size()))) {
        return std::string(rest);
    }
    return std::nullopt;
}

std::vector<fs::path> companions(const fs::path& video) {
    std::vector<fs::path> found;
    const std::string base = video.stem().string();
    std::error_code error;
    for (fs::directory_iterator it(video.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (companionSuffix(base, name) && it->is_regular_file(error)) {
            found.push_back(it->path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> withCompanions(const std::vector<std::string>& files) {
    std::vector<std::string> out;
    std::set<std::string> seen;
    const auto add = [&](const std::string& file) {
        if (seen.insert(file).second) {
            out.push_back(file);
        }
    };
    for (const std::string& file : files) {
        add(file);
        if (fs::path(file).extension() == sidecarSuffix) {
            continue;
        }
        for (const fs::path& companion : companions(file)) {
            add(companion.string());
        }
    }
    return out;
}

std::size_t suffixRoom(const DownloadOptions& options) {
    std::size_t room = plainRoom;
    if (options.thumbnails) {
        room = std::max(room, numberRoom + std::string_view("-poster.webp").size());
    }
    for (const std::string& language : options.subtitleLanguages) {
        if (isLanguageCode(language)) {
            room = std::max(room, numberRoom + language.size() + std::string_view("..vtt").size());
            room = std::max(room, language.size() + std::string_view("..vtt.part").size());
        }
    }
    return room;
}

}  // namespace kelvo::VideoFiles
