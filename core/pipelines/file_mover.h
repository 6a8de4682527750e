#pragma once

// Moving and copying library files between a playlist's folder and its archive (or another
// playlist's folder) without ever losing one.

#include <filesystem>

namespace kelvo::FileMover {

// The first free name for `fileName` in `folder`: the name itself, else "<stem> (2)<.ext>",
// "<stem> (3)<.ext>", ... (a name without extension just ends with the parenthesis).
std::filesystem::path freeDestination(const std::filesystem::path& folder,
                                      const std::filesystem::path& fileName);

// Moves `source` into `folder` under the first free name and returns the new path; a file that
// is already in `folder` stays where it is. Across file systems the file is copied, then the
// source removed, so the file always exists somewhere.
// File-system errors pass through unchanged.
std::filesystem::path moveInto(const std::filesystem::path& source,
                               const std::filesystem::path& folder);

// Copies `source` into `folder` under its own name and returns that path; a file already there
// is used unchanged. The copy is written aside and renamed into place, so an interrupted copy
// never leaves a partial file under the final name.
std::filesystem::path copyInto(const std::filesystem::path& source,
                               const std::filesystem::path& folder);

// moveInto for a video and the files that belong to it (VideoFiles::companions): the video goes
// under the first free name, each companion under that name's stem plus its own suffix, so a
// numbered "<base> (2).mp4" keeps "<base> (2).nfo" beside it. A companion whose new name is
// taken stays where it is. Returns the video's new path.
std::filesystem::path moveVideoInto(const std::filesystem::path& video,
                                    const std::filesystem::path& folder);

// copyInto for a video and the files that belong to it. Returns the video's path in `folder`.
std::filesystem::path copyVideoInto(const std::filesystem::path& video,
                                    const std::filesystem::path& folder);

}  // namespace kelvo::FileMover
