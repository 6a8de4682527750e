#include "core/catalog/records.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <utility>

#include "core/library/naming.h"

namespace kelvo {

namespace {

constexpr std::array<std::pair<VideoStatus, std::string_view>, 6> statusTexts{{
    {VideoStatus::queued, "queued"},
    {VideoStatus::downloading, "downloading"},
    {VideoStatus::done, "done"},
    {VideoStatus::needsSignIn, "needs_sign_in"},
    {VideoStatus::failed, "failed"},
    {VideoStatus::deleted, "deleted_by_user"},
}};

std::filesystem::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
        return entry->pw_dir;
    }
    return "/";
}

// "~" alone or "~/..." names the home folder; any other path is taken as it stands.
std::filesystem::path expandTilde(const std::string& path) {
    if (path == "~") {
        return homeDirectory();
    }
    if (path.starts_with("~/")) {
        return homeDirectory() / path.substr(2);
    }
    return path;
}

}  // namespace

std::string_view toText(VideoStatus status) {
    for (const auto& [candidate, text] : statusTexts) {
        if (candidate == status) {
            return text;
        }
    }
    return "queued";
}

std::optional<VideoStatus> videoStatusFromText(std::string_view text) {
    for (const auto& [status, candidate] : statusTexts) {
        if (candidate == text) {
            return status;
        }
    }
    return std::nullopt;
}

std::filesystem::path PlaylistRecord::folder() const {
    const std::filesystem::path base = expandTilde(targetPath);
    const std::string name = folderName ? *folderName : Naming::sanitize(title, "playlist");
    return name.empty() ? base : base / name;
}

}  // namespace kelvo
