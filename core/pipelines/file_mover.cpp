#include "core/pipelines/file_mover.h"

#include <string>
#include <system_error>

#include "core/library/naming.h"
#include "core/library/video_files.h"

namespace fs = std::filesystem;

namespace kelvo::FileMover {

namespace {

// Taken when anything is there, a dangling symbolic link included: a move never replaces it.
bool taken(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

// Copies `source` to `target` through a partial file renamed into place.
void copyThroughPartial(const fs::path& source, const fs::path& target) {
    const fs::path partial = Naming::temporaryBeside(target);
    try {
        fs::copy_file(source, partial);
        // A copy keeps the original's time: with the upload date as file time it is that date.
        std::error_code ignored;
        fs::last_write_time(partial, fs::last_write_time(source, ignored), ignored);
        fs::rename(partial, target);
    } catch (...) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        throw;
    }
}

bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code error;
    const bool same = fs::equivalent(a, b, error);
    return !error && same;
}

}  // namespace

fs::path freeDestination(const fs::path& folder, const fs::path& fileName) {
    fs::path candidate = folder / fileName;
    if (!taken(candidate)) {
        return candidate;
    }
    const std::string stem = fileName.stem().string();
    const std::string extension = fileName.extension().string();
    for (unsigned long number = 2;; ++number) {
        candidate = folder / (stem + " (" + std::to_string(number) + ")" + extension);
        if (!taken(candidate)) {
            return candidate;
        }
    }
}

namespace {

// Renames `source` to `target`. On another file system the copy is complete under its final name
// before the original goes, so an interruption leaves two copies rather than none.
void renameOrCopy(const fs::path& source, const fs::path& target) {
    try {
        fs::rename(source, target);
    } catch (const fs::filesystem_error& error) {
        if (error.code() != std::errc::cross_device_link) {
            throw;
        }
        copyThroughPartial(source, target);
        fs::remove(source);
    }
}

}  // namespace

fs::path moveInto(const fs::path& source, const fs::path& folder) {
    // A file already in the folder stays: moving it onto its own name would only renumber it.
    if (sameFolder(source.parent_path(), folder)) {
        return source;
    }
    const fs::path target = freeDestination(folder, source.filename());
    renameOrCopy(source, target);
    return target;
}

fs::path copyInto(const fs::path& source, const fs::path& folder) {
    const fs::path target = folder / source.filename();
    if (taken(target)) {
        return target;
    }
    copyThroughPartial(source, target);
    return target;
}

fs::path moveVideoInto(const fs::path& video, const fs::path& folder) {
    const std::vector<fs::path> extras = VideoFiles::companions(video);
    const fs::path moved = moveInto(video, folder);
    if (moved == video) {
        return moved;
    }
    const std::string base = video.stem().string();
    for (const fs::path& extra : extras) {
        const auto suffix = VideoFiles::companionSuffix(base, extra.filename().string());
        const fs::path target = folder / (moved.stem().string() + suffix.value_or(""));
        if (!suffix || taken(target)) {
            continue;
        }
        renameOrCopy(extra, target);
    }
    return moved;
}

fs::path copyVideoInto(const fs::path& video, const fs::path& folder) {
    for (const fs::path& extra : VideoFiles::companions(video)) {
        copyInto(extra, folder);
    }
    return copyInto(video, folder);
}

}  // namespace kelvo::FileMover
