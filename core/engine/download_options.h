#pragma once

// The user's opt-in choices for downloads. Every one is off by default, and then kelvo's yt-dlp
// command lines, the files it writes and the sidecars stay exactly as without them.

#include <string>
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

}  // namespace kelvo
