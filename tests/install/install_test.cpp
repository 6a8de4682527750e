// The installed tree: `cmake --install` of this build into a scratch prefix, then what a user
// (and a packager) would rely on.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/sandbox.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// Runs a program (looked up in PATH) with an argument vector; `unset` names variables the
// child must not see.
Outcome run(const std::vector<std::string>& arguments, const fs::path& scratch,
            const std::vector<std::string>& unset = {}) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        bool keep = true;
        for (const std::string& name : unset) {
            keep = keep && text.rfind(name + "=", 0) != 0;
        }
        if (keep) {
            environment.push_back(text);
        }
    }
    std::vector<char*> envp;
    for (std::string& text : environment) {
        envp.push_back(text.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = arguments;
    std::vector<char*> argv;
    for (std::string& argument : args) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const fs::path log = scratch / "run.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Outcome result;
    if (error != 0) {
        result.output = "cannot start " + arguments.front();
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = kelvo::test::readFile(log);
    return result;
}

bool isExecutableFile(const fs::path& path) {
    return fs::is_regular_file(path) && ::access(path.c_str(), X_OK) == 0;
}

// The value of `key=` in an INI-style file; empty when absent.
std::string iniValue(const fs::path& file, const std::string& key) {
    std::istringstream lines(kelvo::test::readFile(file));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(key + "=", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return {};
}

class InstallTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        box_ = new kelvo::test::Sandbox();
        prefix_ = *box_ / "prefix";
        // Each test runs in a process of its own, maybe in parallel, and every install rewrites
        // the build's install_manifest.txt: install and read the manifest under a lock.
        const fs::path lockPath = fs::path(KELVO_BINARY_DIR) / "install_test.lock";
        const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ::flock(lock, LOCK_EX);
        install_ = run({KELVO_CMAKE, "--install", KELVO_BINARY_DIR, "--prefix", prefix_.string()},
                       box_->root());
        std::istringstream lines(
            kelvo::test::readFile(fs::path(KELVO_BINARY_DIR) / "install_manifest.txt"));
        for (std::string line; std::getline(lines, line);) {
            manifest_.insert(line);
        }
        ::close(lock);
    }
    static void TearDownTestSuite() {
        delete box_;
        box_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(install_.status, 0) << install_.output; }

    static kelvo::test::Sandbox* box_;
    static fs::path prefix_;
    static Outcome install_;
    static std::set<std::string> manifest_;
};

kelvo::test::Sandbox* InstallTest::box_ = nullptr;
fs::path InstallTest::prefix_;
Outcome InstallTest::install_;
std::set<std::string> InstallTest::manifest_;

TEST_F(InstallTest, PlacesEveryPieceAndListsEachFileForUninstall) {
    struct Expected {
        const char* path;
        bool executable;
    };
    const Expected expected[] = {
        {"bin/kelvo", true},
        {"bin/kelvo-cli", true},
        {"share/applications/kelvo.desktop", false},
        {"share/icons/hicolor/scalable/apps/kelvo.svg", false},
        {"share/metainfo/io.github.kelvo.metainfo.xml", false},
        {"lib/systemd/user/kelvo-watch.service", false},
    };
    for (const Expected& item : expected) {
        const fs::path path = prefix_ / item.path;
        EXPECT_TRUE(fs::is_regular_file(path)) << item.path;
        EXPECT_EQ(isExecutableFile(path), item.executable) << item.path;
        EXPECT_TRUE(manifest_.count(path.string())) << item.path << " missing from the manifest";
    }
    EXPECT_TRUE(fs::is_directory(prefix_ / "libexec" / "kelvo"));

    // Uninstalling by the manifest leaves no file behind.
    for (const auto& entry : fs::recursive_directory_iterator(prefix_)) {
        if (!entry.is_directory()) {
            EXPECT_TRUE(manifest_.count(entry.path().string()))
                << entry.path() << " is installed but not in the manifest";
        }
    }
}

TEST_F(InstallTest, InstalledCliRunsAndTellsItsVersion) {
    const Outcome version =
        run({(prefix_ / "bin" / "kelvo-cli").string(), "--version"}, box_->root());
    EXPECT_EQ(version.status, 0) << version.output;
    EXPECT_EQ(version.output.rfind("kelvo ", 0), 0u) << version.output;
}

TEST_F(InstallTest, DesktopEntryAndMetainfoValidateAndPointAtInstalledFiles) {
    const fs::path desktop = prefix_ / "share/applications/kelvo.desktop";
    const fs::path metainfo = prefix_ / "share/metainfo/io.github.kelvo.metainfo.xml";

    const Outcome entry = run({"desktop-file-validate", desktop.string()}, box_->root());
    EXPECT_EQ(entry.status, 0) << entry.output;
    EXPECT_EQ(entry.output.find("error"), std::string::npos) << entry.output;
    const Outcome appstream =
        run({"appstreamcli", "validate", "--no-net", metainfo.string()}, box_->root());
    EXPECT_EQ(appstream.status, 0) << appstream.output;

    EXPECT_TRUE(isExecutableFile(prefix_ / "bin" / iniValue(desktop, "Exec")));
    EXPECT_TRUE(fs::is_regular_file(prefix_ / "share/icons/hicolor/scalable/apps" /
                                    (iniValue(desktop, "Icon") + ".svg")));
    // The metainfo names the desktop entry it describes; the app announces the same id.
    EXPECT_NE(kelvo::test::readFile(metainfo).find(
                  "<launchable type=\"desktop-id\">kelvo.desktop</launchable>"),
              std::string::npos);
    const Outcome icon = run(
        {"xmllint", "--noout", (prefix_ / "share/icons/hicolor/scalable/apps/kelvo.svg").string()},
        box_->root());
    EXPECT_EQ(icon.status, 0) << icon.output;
}

TEST_F(InstallTest, WatchUnitStartsTheInstalledCli) {
    const fs::path unit = prefix_ / "lib/systemd/user/kelvo-watch.service";
    EXPECT_EQ(iniValue(unit, "ExecStart"), (prefix_ / "bin" / "kelvo-cli").string() + " watch");
}

// A yt-dlp dropped into <prefix>/libexec/kelvo wins over the one on PATH.
TEST_F(InstallTest, ToolsFolderIsSearchedBeforePath) {
    const fs::path tools = prefix_ / "libexec" / "kelvo";
    const fs::path marker = *box_ / "yt-dlp-ran";
    const std::string stub = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + marker.string() +
                             "'\necho 'ERROR: stand-in refuses' >&2\nexit 1\n";
    for (const char* name : {"yt-dlp", "deno"}) {
        kelvo::test::writeFile(tools / name, stub);
        fs::permissions(tools / name, fs::perms::owner_all);
    }
    fs::create_symlink("/usr/bin/ffmpeg", tools / "ffmpeg");

    const Outcome get = run({(prefix_ / "bin" / "kelvo-cli").string(), "get",
                             "https://www.youtube.com/watch?v=aaaaaaaaaaa"},
                            box_->root(), {"KELVO_TOOLS_DIR"});
    EXPECT_EQ(get.status, 1) << get.output;
    EXPECT_NE(kelvo::test::readFile(marker).find("aaaaaaaaaaa"), std::string::npos)
        << "the stand-in in libexec/kelvo did not run: " << get.output;

    for (const char* name : {"yt-dlp", "deno", "ffmpeg"}) {
        fs::remove(tools / name);
    }
}

}  // namespace
