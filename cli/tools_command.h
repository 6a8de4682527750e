#pragma once

// kelvo-cli tools: which yt-dlp, deno and ffmpeg kelvo runs, and keeping its own yt-dlp and deno
// current (see core/tools/tool_updater.h).

namespace kelvo {

// Prints for yt-dlp, deno and ffmpeg the file kelvo would run (or the folders it searched), its
// version and, for yt-dlp, its age in days. Returns the exit status.
int printTools(bool json);

// Installs the latest yt-dlp and deno into kelvo's tools folder, or with `checkOnly` only shows
// their latest versions. One "<tool> <old> → <new>" line per tool on stdout, progress on stderr;
// Ctrl+C stops it and leaves the installed tools as they were. The caller holds the job lock.
// Needs a QCoreApplication. Returns the exit status.
int updateTools(bool checkOnly);

}  // namespace kelvo
