// kelvo-cli as a new user runs it: real processes, the yt-dlp stand-in, a home of its own. What
// the pipelines and the model do is tested below them; here the commands, their output and exit
// statuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <nlohmann/json.hpp>

#include "tests/fixtures/fake_service.h"
#include "tests/support/process.h"
#include "tests/support/sandbox.h"

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class CliTest : public ::testing::Test {
  protected:
    Sandbox box;
    FakeService service{box / "service"};
    fs::path home = box / "home";
    // Every kelvo-cli started here gets this home, its data and config folders, and a
    // summarizer address where nothing listens.
    ProcessOptions options{.environment = {{"HOME", home.string()},
                                           {"XDG_DATA_HOME", (home / ".local/share").string()},
                                           {"XDG_CONFIG_HOME", (home / ".config").string()},
                                           {"KELVO_MODEL_URL", "http://127.0.0.1:9/v1"}}};

    ProcessResult cli(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), KELVO_CLI);
        return runProcess(arguments, options);
    }
    // Lists the playlist "PL<title>" with the videos "Clip xxx" (id "xxxxxxxxxxx") of `letters`.
    void list(const std::string& title, const std::string& letters) {
        FakePlaylist remote{.id = "PL" + title, .title = title};
        for (char letter : letters) {
            remote.entries.push_back({.id = std::string(11, letter)});
        }
        service.addPlaylist(remote);
    }
    static std::string file(char letter) {
        return "2024-01-31 - Clip " + std::string(3, letter) + " [" + std::string(11, letter) +
               "].mp4";
    }
    // Whether any process runs the stand-in of this test.
    bool ytdlpRunning() const {
        const std::string tool = (service.toolsDir() / "yt-dlp").string();
        return std::ranges::any_of(fs::directory_iterator("/proc"), [&](const auto& process) {
            return readFile(process.path() / "cmdline").find(tool) != std::string::npos;
        });
    }
};

TEST_F(CliTest, UsageErrorsExitTwoAndHelpExitsZero) {
    const std::vector<std::vector<std::string>> usageErrors = {
        {},      {"frobnicate"},           {"list", "--bogus"}, {"add", "PLmix", "--every", "45"},
        {"get"}, {"list", "--limit", "0"}, {"reset"},           {"get", "   "},
    };
    for (const std::vector<std::string>& arguments : usageErrors) {
        const ProcessResult result = cli(arguments);
        EXPECT_EQ(result.status, 2) << testing::PrintToString(arguments);
        EXPECT_NE(result.err, "");
    }
    const ProcessResult help = cli({"sync", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("--due"));
    EXPECT_TRUE(service.calls().empty());
}

TEST_F(CliTest, ANewUsersDay) {
    for (char letter : std::string("abcdswx")) {
        service.addVideo({.id = std::string(11, letter),
                          .title = "Clip " + std::string(3, letter),
                          .info = {{"upload_date", "20240131"}},
                          .behaviour = letter == 'x' ? FakeBehaviour::signIn : FakeBehaviour::ok,
                          .phase = FakePhase::download,
                          .sleepSeconds = letter == 'w' ? 30.0 : 0.0});
    }
    const fs::path folder = home / "Videos/kelvo/Playlist/Mix";
    const std::string w = "https://www.youtube.com/watch?v=wwwwwwwwwww";

    // Added and synced at once, progress on stderr; the next sync follows the playlist and
    // notifies; then nothing is due.
    list("Mix", "ab");
    ProcessResult result =
        cli({"add", "https://www.youtube.com/playlist?list=PLMix", "--every", "15"});
    EXPECT_EQ(result.out, "✓ Mix → " + folder.string() +
                              "\n✓ Mix: 2 new, 0 copied, 0 restored, 0 archived, 0 unchanged\n");
    EXPECT_THAT(result.err, HasSubstr("Checking Mix…"));
    list("Mix", "bc");
    result = cli({"sync"});
    EXPECT_EQ(result.out, "✓ Mix: 1 new, 0 copied, 0 restored, 1 archived, 1 unchanged\n");
    EXPECT_THAT(result.err, HasSubstr("kelvo: 1 video ready · 1 archived"));
    result = cli({"sync", "--due"});
    EXPECT_EQ(std::make_pair(result.status, result.out), std::make_pair(0, std::string()));

    // Listings; remove moves both files to the Trash and the video leaves the Library.
    EXPECT_EQ(nlohmann::json::parse(cli({"playlists", "--json"}).out).at(0).at("intervalMin"), 15);
    EXPECT_EQ(nlohmann::json::parse(cli({"list", "--json"}).out).size(), 3u);
    EXPECT_EQ(cli({"list", "--search", "ccc"}).out.substr(0, 12), "ccccccccccc\t");
    EXPECT_EQ(cli({"remove", "ccccccccccc"}).out, "✓ Moved 2 files of \"Clip ccc\" to the Trash\n");
    EXPECT_TRUE(fs::exists(home / ".local/share/Trash/files" / file('c')));
    EXPECT_FALSE(fs::exists(folder / file('c')));
    EXPECT_EQ(cli({"list", "--search", "ccc"}).out, "");
    EXPECT_EQ(cli({"remove", "zzzzzzzzzzz"}).status, 1);

    // Single videos: one that arrives, one that needs sign-in.
    result = cli({"get", "https://youtu.be/sssssssssss"});
    EXPECT_EQ(result.out, (home / "Videos/kelvo/Singles" / file('s')).string() + "\n");
    EXPECT_THAT(result.err, HasSubstr("kelvo: Ready: 2024-01-31 - Clip sss [sssssssssss]"));
    result = cli({"get", "https://www.youtube.com/watch?v=xxxxxxxxxxx"});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.out, HasSubstr("✗ needs sign-in: "));
    EXPECT_THAT(result.err, HasSubstr("kelvo: Download failed: needs sign-in: "));
    EXPECT_THAT(cli({"list"}).out, HasSubstr("xxxxxxxxxxx\tNeeds sign-in"));

    // While a sync runs, another sync or a get is refused as busy; SIGTERM ends it, and the
    // next entry is never started.
    list("Slow", "wd");
    ASSERT_EQ(cli({"add", "PLSlow", "--no-sync"}).status, 0);
    {
        Process sync({KELVO_CLI, "sync"}, options);
        ASSERT_TRUE(waitUntil([&] { return service.callsWith(w) == 2; }));
        result = cli({"sync"});
        EXPECT_EQ(result.status, 1);
        EXPECT_THAT(result.err, HasSubstr("busy"));
        EXPECT_EQ(cli({"get", "https://youtu.be/ddddddddddd"}).status, 1);
        sync.signal(SIGTERM);
        ASSERT_TRUE(sync.wait(std::chrono::seconds(15)));
        EXPECT_EQ(sync.result().status, 1);
        EXPECT_FALSE(ytdlpRunning());
        EXPECT_EQ(service.callsWith("https://www.youtube.com/watch?v=ddddddddddd"), 0);
    }
    // watch syncs what is due (the stopped run left Slow due) until SIGTERM.
    list("Slow", "dw");
    {
        Process watch({KELVO_CLI, "watch"}, options);
        ASSERT_TRUE(waitUntil([&] {
            return fs::exists(folder / "../Slow" / file('d')) && service.callsWith(w) == 4;
        }));
        watch.signal(SIGTERM);
        ASSERT_TRUE(watch.wait(std::chrono::seconds(15)));
        EXPECT_EQ(watch.result().status, 0);
        EXPECT_FALSE(ytdlpRunning());
    }

    // Stop: kept, no longer synced; the log tells.
    EXPECT_EQ(cli({"stop", "mix"}).out, "Stopped syncing Mix\n");
    EXPECT_EQ(cli({"stop", "PLSlow"}).out, "Stopped syncing Slow\n");
    EXPECT_EQ(cli({"stop", "Nope"}).status, 1);
    EXPECT_THAT(cli({"sync"}).err, HasSubstr("nothing to do"));
    result = cli({"log", "--lines", "500"});
    EXPECT_THAT(result.out, HasSubstr("  ✓ Saved " + file('s')));
    EXPECT_THAT(result.out, HasSubstr("  Stopped syncing Mix"));
    // Commands that only read leave the log as it was: no start line from a script polling them.
    const fs::path logFile = home / ".local/share/kelvo/activity.log";
    const std::string logBefore = readFile(logFile);
    for (const auto& reading : {"list", "playlists", "log", "folder"}) {
        EXPECT_EQ(cli({reading}).status, 0) << reading;
    }
    EXPECT_EQ(readFile(logFile), logBefore);

    // The library folder, and a reset that puts it back and keeps a backup of the data.
    EXPECT_EQ(cli({"folder"}).out, "~/Videos/kelvo\n");
    EXPECT_EQ(cli({"folder", (box / "elsewhere").string()}).status, 0);
    EXPECT_EQ(cli({"folder"}).out, (box / "elsewhere").string() + "\n");
    EXPECT_EQ(cli({"reset", "--yes"}).status, 0);
    EXPECT_EQ(cli({"folder"}).out, "~/Videos/kelvo\n");
    bool backup = false;
    for (const auto& entry : fs::directory_iterator(home / ".local/share")) {
        backup = backup || entry.path().filename().string().starts_with("kelvo-reset-backup-");
    }
    EXPECT_TRUE(backup);
}

}  // namespace
}  // namespace kelvo::test
