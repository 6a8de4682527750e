// The installed tree: `cmake --install` of this build into a scratch prefix, then what a user
// (and a packager) relies on.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <set>
#include <sstream>

#include "tests/support/process.h"
#include "tests/support/sandbox.h"
#include "tests/support/xml.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace kelvo::test {
namespace {

TEST(InstallTest, EveryPieceInPlaceListedRunnableAndValid) {
    Sandbox box;
    const fs::path prefix = box / "prefix";
    // Every install rewrites the build's install_manifest.txt: install and read it under a lock.
    const int lock =
        ::open(KELVO_BINARY_DIR "/install_test.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ::flock(lock, LOCK_EX);
    const ProcessResult install =
        runProcess({KELVO_CMAKE, "--install", KELVO_BINARY_DIR, "--prefix", prefix.string()});
    std::istringstream lines(readFile(KELVO_BINARY_DIR "/install_manifest.txt"));
    ::close(lock);
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    std::set<std::string> manifest;
    for (std::string line; std::getline(lines, line);) {
        manifest.insert(line);
    }

    // Uninstalling by the manifest leaves no file behind.
    std::set<std::string> installed;
    for (const auto& entry : fs::recursive_directory_iterator(prefix)) {
        if (!entry.is_directory()) {
            installed.insert(entry.path().string());
        }
    }
    EXPECT_EQ(installed, manifest);
    for (const auto& [piece, executable] : std::vector<std::pair<std::string, bool>>{
             {"bin/kelvo", true},
             {"bin/kelvo-cli", true},
             {"share/applications/kelvo.desktop", false},
             {"share/icons/hicolor/scalable/apps/kelvo.svg", false},
             {"share/metainfo/io.github.kelvo.metainfo.xml", false},
             {"lib/systemd/user/kelvo-watch.service", false}}) {
        EXPECT_TRUE(installed.contains((prefix / piece).string())) << piece;
        EXPECT_EQ(::access((prefix / piece).c_str(), X_OK) == 0, executable) << piece;
    }
    EXPECT_TRUE(fs::is_directory(prefix / "libexec/kelvo"));

    // The programs run; the watch unit, the desktop entry and the metainfo name them.
    const std::string cli = (prefix / "bin/kelvo-cli").string();
    EXPECT_THAT(runProcess({cli, "--version"}).out, ::testing::StartsWith("kelvo "));
    EXPECT_THAT(readFile(prefix / "lib/systemd/user/kelvo-watch.service"),
                HasSubstr("\nExecStart=" + cli + " watch\n"));
    const fs::path desktop = prefix / "share/applications/kelvo.desktop";
    const fs::path metainfo = prefix / "share/metainfo/io.github.kelvo.metainfo.xml";
    EXPECT_THAT(readFile(desktop), HasSubstr("\nExec=kelvo\n"));
    EXPECT_THAT(readFile(desktop), HasSubstr("\nIcon=kelvo\n"));
    EXPECT_THAT(readFile(metainfo),
                HasSubstr("<launchable type=\"desktop-id\">kelvo.desktop</launchable>"));
    const ProcessResult entry = runProcess({"desktop-file-validate", desktop.string()});
    EXPECT_EQ(entry.status, 0) << entry.out << entry.err;
    EXPECT_THAT(entry.out + entry.err, ::testing::Not(HasSubstr("error")));
    const ProcessResult appstream =
        runProcess({"appstreamcli", "validate", "--no-net", metainfo.string()});
    EXPECT_EQ(appstream.status, 0) << appstream.out << appstream.err;
    EXPECT_EQ(xmlProblem(readFile(prefix / "share/icons/hicolor/scalable/apps/kelvo.svg")), "");

    // A yt-dlp dropped into <prefix>/libexec/kelvo wins over the one on PATH.
    for (const char* name : {"yt-dlp", "deno"}) {
        writeFile(prefix / "libexec/kelvo" / name,
                  "#!/bin/sh\necho \"$@\" > '" + (box / "ran").string() + "'\nexit 1\n");
        fs::permissions(prefix / "libexec/kelvo" / name, fs::perms::owner_all);
    }
    fs::create_symlink("/usr/bin/ffmpeg", prefix / "libexec/kelvo/ffmpeg");
    const ProcessResult get =
        runProcess({cli, "get", "https://www.youtube.com/watch?v=aaaaaaaaaaa"},
                   {.environment = {{"KELVO_TOOLS_DIR", std::nullopt}}});
    EXPECT_EQ(get.status, 1) << get.out << get.err;
    EXPECT_THAT(readFile(box / "ran"), HasSubstr("aaaaaaaaaaa")) << get.err;
}

}  // namespace
}  // namespace kelvo::test
