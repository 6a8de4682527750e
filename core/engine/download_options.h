#pragma once

// The user's opt-in choices for downloads. Every one is off by default, and then kelvo's yt-dlp
// command lines, the files it writes and the sidecars stay exactly as without them.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

struct DownloadOptions {
    // A browser name for yt-dlp's --cookies-from-browser on every run; empty for none.
    std::string cookiesFromBrowser{};
    // Seconds kelvo waits between the videos of one run (0: none).
    int pauseBetweenDownloadsSeconds = 0;
    // The video's thumbnail as a JPEG beside it.
    bool thumbnails = false;
    // Subtitle languages written as SRT beside the video ("en", "de", ...).
    std::vector<std::string> subtitleLanguages{};
    // Also YouTube's automatic captions for those languages.
    bool automaticCaptions = false;
    // SponsorBlock segments marked as chapters in the MP4 (nothing is cut).
    bool sponsorChapters = false;
    // The video file's modification time is its upload date; the sidecar gains <dateadded>.
    bool uploadDateAsFileTime = false;
    // Each _archive folder holds .ignore and .nomedia so media servers leave it out.
    bool keepArchivesOut = false;

    bool operator==(const DownloadOptions&) const = default;
};

// A subtitle language code as yt-dlp names subtitles ("en", "pt-BR", "zh-Hans"): 1 to 16
// letters, digits, "-" or "_". Any other text is neither passed to yt-dlp (which reads the list
// as patterns) nor taken for a subtitle file's language.
inline bool isLanguageCode(std::string_view code) {
    return !code.empty() && code.size() <= 16 && std::all_of(code.begin(), code.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
}

}  // namespace kelvo
