#include "core/pipelines/file_mover.h"

#include <string>
#include <system_error>

#include "core/library/naming.h"

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

fs::path moveInto(const fs::path& source, const fs::path& folder) {
    // A file already in the folder stays: moving it onto its own name would only renumber it.
    if (sameFolder(source.parent_path(), folder)) {
        return source;
    }
    const fs::path target = freeDestination(folder, source.filename());
    try {
        fs::rename(source, target);
    } catch (const fs::filesystem_error& error) {
        if (error.code() != std::errc::cross_device_link) {
            throw;
        }
        // Another file system: the copy is complete under its final name before the original
        // goes, so an interruption leaves two copies rather than none.
        copyThroughPartial(source, target);
        fs::remove(source);
    }
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

}  // namespace kelvo::FileMover
