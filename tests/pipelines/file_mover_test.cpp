#include "core/pipelines/file_mover.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/pipelines/pipeline_fixture.h"

namespace fs = std::filesystem;

namespace kelvo {
namespace {

using test::filesBelow;
using test::readFile;
using test::writeFile;

TEST(FileMoverTest, MovesNumberClashingNames) {
    test::Sandbox box;
    struct Case {
        std::string name;
        std::vector<std::string> taken;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a [x].mp4", {}, "a [x].mp4"},
        {"a [x].mp4", {"a [x].mp4"}, "a [x] (2).mp4"},
        {"a [x].mp4", {"a [x].mp4", "a [x] (2).mp4"}, "a [x] (3).mp4"},
        {"a [x].mp4", {"a [x].mp4", "a [x] (3).mp4"}, "a [x] (2).mp4"},
        {"README", {"README"}, "README (2)"},
        {"v.f1.mp4", {"v.f1.mp4"}, "v.f1 (2).mp4"},
    };
    int round = 0;
    for (const Case& c : cases) {
        const fs::path from = box / std::to_string(round) / "from";
        const fs::path to = box / std::to_string(round++) / "to";
        writeFile(from / c.name, "moved");
        fs::create_directories(to);
        for (const std::string& name : c.taken) {
            writeFile(to / name, "already there");
        }
        const fs::path moved = FileMover::moveInto(from / c.name, to);
        EXPECT_EQ(moved, to / c.expected) << c.name;
        EXPECT_EQ(readFile(moved), "moved");
        EXPECT_FALSE(fs::exists(from / c.name));
        for (const std::string& name : c.taken) {
            EXPECT_EQ(readFile(to / name), "already there") << "replaced " << name;
        }
    }
}

TEST(FileMoverTest, DanglingLinkCountsAsTaken) {
    test::Sandbox box;
    writeFile(box / "from" / "v.mp4", "moved");
    fs::create_directories(box / "to");
    fs::create_symlink(box / "nowhere", box / "to" / "v.mp4");
    EXPECT_EQ(FileMover::moveInto(box / "from" / "v.mp4", box / "to"), box / "to" / "v (2).mp4");
}

TEST(FileMoverTest, CopyReusesAnExistingFileAndNeverLeavesAPartialOne) {
    test::Sandbox box;
    writeFile(box / "a" / "v.mp4", "original");
    writeFile(box / "b" / "v.mp4", "someone else's");
    EXPECT_EQ(FileMover::copyInto(box / "a" / "v.mp4", box / "b"), box / "b" / "v.mp4");
    EXPECT_EQ(readFile(box / "b" / "v.mp4"), "someone else's");

    fs::create_directories(box / "c");
    EXPECT_EQ(FileMover::copyInto(box / "a" / "v.mp4", box / "c"), box / "c" / "v.mp4");
    EXPECT_EQ(readFile(box / "c" / "v.mp4"), "original");
    EXPECT_EQ(readFile(box / "a" / "v.mp4"), "original");

    // A target that is not a folder: the error passes through and the source stays.
    writeFile(box / "not a folder", "");
    EXPECT_THROW(FileMover::copyInto(box / "a" / "v.mp4", box / "not a folder"),
                 fs::filesystem_error);
    EXPECT_THROW(FileMover::moveInto(box / "a" / "v.mp4", box / "not a folder"),
                 fs::filesystem_error);
    EXPECT_EQ(readFile(box / "a" / "v.mp4"), "original");
}

TEST(FileMoverTest, MovesAcrossFileSystems) {
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
    const fs::path moved = FileMover::moveInto(box / "v.mp4", other);
    EXPECT_EQ(moved, other / "v (2).mp4");
    EXPECT_EQ(readFile(moved), "moved far");
    EXPECT_FALSE(fs::exists(box / "v.mp4"));
    EXPECT_EQ(filesBelow(other), (std::vector<std::string>{"v (2).mp4", "v.mp4"}));
    fs::remove_all(other);
}

}  // namespace
}  // namespace kelvo
