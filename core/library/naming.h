#pragma once

// The names of everything kelvo creates in the user's library: video base names, playlist
// folders, the archive folder. Pure functions, safe on any thread.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kelvo::Naming {

// The folder inside a playlist's folder that receives videos that left the playlist.
inline constexpr std::string_view archiveFolder = "_archive";

// A sanitized name component is never longer than this many user-perceived characters,
// nor than this many UTF-8 bytes (most file systems allow 255 bytes per name).
inline constexpr std::size_t maxCharacters = 150;
inline constexpr std::size_t maxBytes = 200;

// The folder name of a mirrored playlist: its title, sanitized, fallback "playlist".
std::string playlistFolder(std::string_view title);

// "2024-01-31 - Title [videoID]": the base name shared by a video file and its sidecar.
std::string fileBase(const std::optional<std::string>& uploadDate, std::string_view title,
                     std::string_view videoID);

// A file name may hold this many bytes on the file systems kelvo writes to.
inline constexpr std::size_t maxNameBytes = 255;

// fileBase with the title cut further, on a character boundary, so that the base name plus
// `suffixRoom` bytes of suffix still fits in maxNameBytes (the suffix is never what gets cut).
// fileBase(date, title, id) is this with a room of 15 bytes.
std::string fileBase(const std::optional<std::string>& uploadDate, std::string_view title,
                     std::string_view videoID, std::size_t suffixRoom);

// A safe file-name component made from `text`, or `fallback` when nothing usable remains.
std::string sanitize(std::string_view text, std::string_view fallback);
// sanitize with at most `byteLimit` bytes instead of maxBytes.
std::string sanitizeWithin(std::string_view text, std::string_view fallback, std::size_t byteLimit);

// "YYYY-MM-DD" from yt-dlp's eight-digit upload date, or "undated".
std::string datePrefix(const std::optional<std::string>& uploadDate);

// The id part of a file name is never longer than this many bytes. With a title at maxBytes the
// base name then leaves room for an extension, a " (2)" of a numbered move and the suffixes of
// yt-dlp's own partial files (".f137.mp4.part") within the file system's 255 bytes.
inline constexpr std::size_t maxVideoIDBytes = 24;

// ".kelvo-<uuid>.tmp" in the folder of `target`: a file being written aside before it is renamed
// into place. It never repeats the target's name, which may already be near the 255-byte limit.
std::filesystem::path temporaryBeside(const std::filesystem::path& target);

}  // namespace kelvo::Naming
