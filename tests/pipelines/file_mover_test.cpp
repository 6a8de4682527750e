#include "core/pipelines/file_mover.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/sandbox.h"

namespace fs = std::filesystem;

namespace kelvo {
namespace {

using test::readFile;
using test::writeFile;

// What happened to names in the watched folders since the last call, in order: "+name" created,
// ">name" renamed into the folder, "-name" deleted; a hidden (partial) file shows as ".part".
std::string events(const std::vector<fs::path>& watch = {}) {
    static const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    for (const fs::path& folder : watch) {
        ::inotify_add_watch(fd, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_DELETE);
    }
    alignas(inotify_event) char buffer[4096];
    std::string text;
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            text += (event->mask & IN_CREATE     ? "+"
                     : event->mask & IN_MOVED_TO ? ">"
                                                 : "-") +
                    std::string(event->name[0] == '.' ? ".part" : event->name) + " ";
            at += sizeof(inotify_event) + event->len;
        }
    }
    return text;
}

TEST(FileMoverTest, FreeNames) {
    test::Sandbox box;
    const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> cases = {
        // The names taken ("@": by a dangling symbolic link), a name, the first free one.
        {{}, "a [x].mp4", "a [x].mp4"},
        {{"a [x].mp4"}, "a [x].mp4", "a [x] (2).mp4"},
        {{"a [x].mp4", "a [x] (2).mp4"}, "a [x].mp4", "a [x] (3).mp4"},
        {{"a [x].mp4", "a [x] (3).mp4"}, "a [x].mp4", "a [x] (2).mp4"},
        {{"README"}, "README", "README (2)"},
        {{"v.f1.mp4"}, "v.f1.mp4", "v.f1 (2).mp4"},
        {{"@v.mp4"}, "v.mp4", "v (2).mp4"},
    };
    for (std::size_t n = 0; n < cases.size(); ++n) {
        const auto& [taken, name, expected] = cases[n];
        const fs::path folder = box / std::to_string(n);
        fs::create_directories(folder);
        for (const std::string& other : taken) {
            other[0] == '@' ? fs::create_symlink(box / "nowhere", folder / other.substr(1))
                            : writeFile(folder / other, "");
        }
        EXPECT_EQ(FileMover::freeDestination(folder, name), folder / expected);
    }
}

TEST(FileMoverTest, MovesAndCopiesNeverReplaceAndCopyAside) {
    test::Sandbox box;
    writeFile(box / "a/v.mp4", "moved");
    writeFile(box / "b/v.mp4", "already there");
    fs::create_directories(box / "c");
    // A move takes the first free name; a file already in its folder stays where it is.
    EXPECT_EQ(FileMover::moveInto(box / "a/v.mp4", box / "b"), box / "b/v (2).mp4");
    EXPECT_EQ(FileMover::moveInto(box / "b/v (2).mp4", box / "b"), box / "b/v (2).mp4");
    EXPECT_EQ(readFile(box / "b/v (2).mp4") + ", " + readFile(box / "b/v.mp4"),
              "moved, already there");
    EXPECT_FALSE(fs::exists(box / "a/v.mp4"));

    // A copy uses a file already there, or is written aside and renamed into place.
    events({box / "b", box / "c"});
    EXPECT_EQ(FileMover::copyInto(box / "b/v (2).mp4", box / "c"), box / "c/v (2).mp4");
    EXPECT_EQ(FileMover::copyInto(box / "c/v (2).mp4", box / "b"), box / "b/v (2).mp4");
    EXPECT_EQ(events(), "+.part >v (2).mp4 ");
    EXPECT_EQ(readFile(box / "c/v (2).mp4"), "moved");
    // A name near the file system's 255-byte limit: what is written aside never lengthens it.
    const std::string longName = std::string(247, 'x') + ".mp4";
    writeFile(box / "a" / longName, "long");
    EXPECT_EQ(FileMover::copyInto(box / "a" / longName, box / "c"), box / "c" / longName);

    // A target that is not a folder: the error passes through and the source stays.
    writeFile(box / "not a folder", "");
    EXPECT_THROW(FileMover::copyInto(box / "b/v.mp4", box / "not a folder"), fs::filesystem_error);
    EXPECT_THROW(FileMover::moveInto(box / "b/v.mp4", box / "not a folder"), fs::filesystem_error);
    EXPECT_EQ(readFile(box / "b/v.mp4"), "already there");
}

TEST(FileMoverTest, MovesAcrossFileSystemsCopyCompletelyFirst) {
    test::Sandbox box;
    const fs::path other = fs::path("/dev/shm") / ("kelvo-mover-" + std::to_string(::getpid()));
    struct stat here {};
    struct stat there {};
    if (::stat(box.root().c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 ||
        here.st_dev == there.st_dev || !fs::create_directories(other)) {
        GTEST_SKIP() << "no second file system to move to";
    }
    writeFile(box / "v.mp4", "moved far");
    writeFile(other / "v.mp4", "taken");
    events({box.root(), other});
    EXPECT_EQ(FileMover::moveInto(box / "v.mp4", other), other / "v (2).mp4");
    EXPECT_EQ(events(), "+.part >v (2).mp4 -v.mp4 ");
    EXPECT_EQ(readFile(other / "v (2).mp4"), "moved far");
    const std::string longName = std::string(247, 'x') + ".mp4";
    writeFile(box / longName, "long");
    EXPECT_EQ(FileMover::moveInto(box / longName, other), other / longName);
    fs::remove_all(other);
}

}  // namespace
}  // namespace kelvo
