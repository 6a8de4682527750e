#include "app/trash.h"

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <filesystem>
#include "tests/app_services/qt_environment.h"

#include "tests/app_services/child_process.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::Sandbox;
using test::writeFile;

fs::path homeTrash() {
    return fs::path(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                        .toStdString()) /
           "Trash";
}

TEST(TrashTest, AMovedFileShowsUpInTheTrashList) {
    Sandbox box;
    const fs::path video = box / "2024-01-01 - Über [abc].mp4";
    writeFile(video, "video");
    const TrashResult result = moveToTrash(QString::fromStdString(video.string()));
    EXPECT_EQ(result.outcome, TrashResult::Outcome::moved);
    EXPECT_TRUE(result.ok());
    EXPECT_FALSE(fs::exists(video));

    const std::string listing = test::runAndCapture({"/usr/bin/trash-list"});
    EXPECT_NE(listing.find(video.string()), std::string::npos) << listing;
}

TEST(TrashTest, AMissingFileIsReportedAsMissing) {
    Sandbox box;
    const TrashResult result = moveToTrash(QString::fromStdString((box / "gone.mp4").string()));
    EXPECT_EQ(result.outcome, TrashResult::Outcome::missing);
    EXPECT_TRUE(result.ok());
}

TEST(TrashTest, AFailureLeavesTheFileAndGivesTheReason) {
    Sandbox box;
    const fs::path video = box / "keep.mp4";
    writeFile(video, "video");
    const fs::path trash = homeTrash();
    fs::remove_all(trash);
    writeFile(trash, "not a folder");  // the Trash cannot be made

    const TrashResult result = moveToTrash(QString::fromStdString(video.string()));
    fs::remove(trash);
    EXPECT_EQ(result.outcome, TrashResult::Outcome::failed);
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_TRUE(fs::exists(video));
    // Nothing was dropped into the working folder instead.
    EXPECT_FALSE(fs::exists(fs::current_path() / "files" / "keep.mp4"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "info" / "keep.mp4.trashinfo"));
}

}  // namespace
}  // namespace kelvo
