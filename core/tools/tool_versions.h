#pragma once

// What version of yt-dlp, deno or ffmpeg is installed, and how old a yt-dlp is.

#include <chrono>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace kelvo {

// The version word of a tool's `--version` output, read from its first line: the word after
// "version" ("ffmpeg version 5.1.6-0+deb12u1 ..."), else the first word that begins with a digit
// ("deno 2.5.6 (stable, ...)", "2025.11.12"; a leading "v" is dropped), else the trimmed line.
// Nothing for empty output.
std::optional<std::string> versionFromOutput(std::string_view output);

// Runs `<tool> --version` (ffmpeg: -version) and reads its version (versionFromOutput). Nothing
// when the tool cannot be run, fails, prints nothing, or has not answered within `limit`; a stop
// request ends the run too.
std::optional<std::string> toolVersion(const std::filesystem::path& tool,
                                       std::chrono::milliseconds limit = std::chrono::seconds(15),
                                       std::stop_token stop = {});

// How many days before `today` a yt-dlp of this version was released: its version begins with
// the release date, "2025.11.12" (nightly builds add ".123456"). Nothing for other versions.
std::optional<int> ytdlpAgeDays(std::string_view version, std::chrono::sys_days today);

// Today, in UTC.
std::chrono::sys_days utcToday();

}  // namespace kelvo
