// kelvo-cli as a new user runs it: real processes, the yt-dlp stand-in, a home of its own.

#include <gtest/gtest.h>

#include <signal.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_process.h"
#include "tests/fixtures/fake_service.h"
#include "tests/support/sandbox.h"

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;

std::string vid(char letter) {
    return std::string(11, letter);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Polls `done` for up to `timeoutMs`.
bool eventually(const std::function<bool()>& done, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Whether any process runs the stand-in from this tools folder.
bool ytdlpRunning(const fs::path& toolsDir) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string cmdline = readFile(entry.path() / "cmdline");
        if (contains(cmdline, (toolsDir / "yt-dlp").string())) {
            return true;
        }
    }
    return false;
}

class CliTest : public ::testing::Test {
  protected:
    CliTest() {
        // Every kelvo-cli started here inherits this home, these data and config folders, and
        // a summarizer address where nothing listens.
        const std::pair<const char*, std::string> variables[] = {
            {"HOME", (box / "home").string()},
            {"XDG_DATA_HOME", (box / "home/.local/share").string()},
            {"XDG_CONFIG_HOME", (box / "home/.config").string()},
            {"KELVO_MODEL_URL", "http://127.0.0.1:9/v1"},
        };
        for (const auto& [name, value] : variables) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            fs::create_directories(box / "home");
            ::setenv(name, value.c_str(), 1);
        }
    }
    ~CliTest() override {
        for (const auto& [name, value] : saved_) {
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        }
    }

    CliResult cli(const std::vector<std::string>& arguments) {
        return runCli(arguments, box / "output");
    }

    void video(char letter, const std::string& title, double sleepSeconds = 0) {
        service.addVideo({.id = vid(letter),
                          .title = title,
                          .info = {{"upload_date", "20240131"}},
                          .phase = FakePhase::download,
                          .sleepSeconds = sleepSeconds});
    }
    void playlist(const std::vector<char>& letters) {
        FakePlaylist remote{.id = "PLmix", .title = "Mix"};
        for (char letter : letters) {
            remote.entries.push_back({.id = vid(letter)});
        }
        service.addPlaylist(remote);
    }
    fs::path mixFolder() const { return box / "home/Videos/kelvo/Playlist/Mix"; }

    Sandbox box;
    FakeService service{box / "service"};

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(CliTest, UsageErrorsExitTwoAndHelpExitsZero) {
    const std::vector<std::vector<std::string>> usageErrors = {
        {},      {"frobnicate"},           {"list", "--bogus"}, {"add", "PLmix", "--every", "45"},
        {"get"}, {"list", "--limit", "0"}, {"reset"},           {"get", "   "},
    };
    for (const auto& arguments : usageErrors) {
        const CliResult result = cli(arguments);
        EXPECT_EQ(result.status, 2) << (arguments.empty() ? "" : arguments[0]) << result.err;
        EXPECT_FALSE(result.err.empty());
    }
    const CliResult help = cli({"sync", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "--due"));
    EXPECT_TRUE(service.calls().empty());
}

TEST_F(CliTest, ANewUserAddsSyncsSearchesRemovesAndGetsASingle) {
    video('a', "Alpha song");
    video('b', "Beta talk");
    video('c', "Gamma song");
    video('s', "Single thing");
    playlist({'a', 'b'});

    // Add: registered and synced at once.
    CliResult result = cli({"add", "https://www.youtube.com/playlist?list=PLmix", "--every", "15"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "✓ Mix → " + mixFolder().string())) << result.out;
    EXPECT_TRUE(
        contains(result.out, "✓ Mix: 2 new, 0 copied, 0 restored, 0 archived, 0 unchanged"));
    EXPECT_TRUE(contains(result.err, "Checking Mix…"));  // progress on stderr
    EXPECT_TRUE(fs::exists(mixFolder() / "2024-01-31 - Alpha song [aaaaaaaaaaa].mp4"));

    // The playlist changes on the service; the next sync follows.
    playlist({'b', 'c'});
    result = cli({"sync"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "✓ Mix: 1 new, 0 copied, 0 restored, 1 archived, 1 unchanged\n");
    EXPECT_TRUE(fs::exists(mixFolder() / "_archive/2024-01-31 - Alpha song [aaaaaaaaaaa].mp4"));
    EXPECT_TRUE(contains(result.err, "kelvo: 1 video ready · 1 archived"));  // the notification

    // Nothing is due right after a check.
    result = cli({"sync", "--due"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.empty());

    result = cli({"playlists", "--json"});
    ASSERT_EQ(result.status, 0);
    const auto playlists = nlohmann::json::parse(result.out);
    ASSERT_EQ(playlists.size(), 1u);
    EXPECT_EQ(playlists[0]["title"], "Mix");
    EXPECT_EQ(playlists[0]["intervalMin"], 15);
    EXPECT_EQ(playlists[0]["enabled"], true);

    result = cli({"list", "--json"});
    ASSERT_EQ(result.status, 0);
    auto entries = nlohmann::json::parse(result.out);
    EXPECT_EQ(entries.size(), 3u);
    result = cli({"list", "--search", "song"});
    ASSERT_EQ(result.status, 0);
    EXPECT_TRUE(contains(result.out, vid('a')) && contains(result.out, vid('c')));
    EXPECT_FALSE(contains(result.out, vid('b')));

    // Remove: both files to the Trash, and the entry leaves the Library.
    result = cli({"remove", vid('c')});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "✓ Moved 2 files of \"Gamma song\" to the Trash\n");
    EXPECT_FALSE(fs::exists(mixFolder() / "2024-01-31 - Gamma song [ccccccccccc].mp4"));
    EXPECT_TRUE(fs::exists(box / "home/.local/share/Trash/files/2024-01-31 - Gamma song "
                                 "[ccccccccccc].mp4"));
    result = cli({"list", "--search", "gamma"});
    EXPECT_TRUE(result.out.empty());
    EXPECT_EQ(cli({"remove", vid('z')}).status, 1);

    // A single video.
    result = cli({"get", "https://youtu.be/sssssssssss"});
    ASSERT_EQ(result.status, 0) << result.err;
    const fs::path single =
        box / "home/Videos/kelvo/Singles/2024-01-31 - Single thing [sssssssssss].mp4";
    EXPECT_EQ(result.out, single.string() + "\n");
    EXPECT_TRUE(fs::exists(single));
    EXPECT_TRUE(contains(result.err, "kelvo: Ready: 2024-01-31 - Single thing [sssssssssss]"));

    // Stop: kept, but no longer synced.
    result = cli({"stop", "mix"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Stopped syncing Mix\n");
    EXPECT_EQ(cli({"stop", "Nope"}).status, 1);
    EXPECT_EQ(cli({"sync"}).status, 0);
    result = cli({"log", "--lines", "500"});
    EXPECT_TRUE(contains(result.out, "  ✓ Saved 2024-01-31 - Single thing [sssssssssss].mp4"));
    EXPECT_TRUE(contains(result.out, "  Stopped syncing Mix"));
}

TEST_F(CliTest, AFailedDownloadExitsOneWithTheReason) {
    service.addVideo(
        {.id = vid('x'), .behaviour = FakeBehaviour::signIn, .phase = FakePhase::download});
    const CliResult result = cli({"get", "https://www.youtube.com/watch?v=" + vid('x')});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.err, "kelvo: Download failed: needs sign-in: ")) << result.err;
    EXPECT_TRUE(contains(result.out, "✗ needs sign-in: "));

    const CliResult list = cli({"list"});
    EXPECT_TRUE(contains(list.out, vid('x') + "\tNeeds sign-in")) << list.out;
}

TEST_F(CliTest, ASecondSyncWhileOneRunsIsBusyAndSigtermStopsTheFirstCleanly) {
    video('a', "Slow one", 30);
    playlist({'a'});
    ASSERT_EQ(cli({"add", "PLmix", "--no-sync"}).status, 0);

    CliProcess first({"sync"}, box / "output");
    ASSERT_TRUE(eventually([&] { return service.callsWith("-o") == 1; }));

    const CliResult second = cli({"sync"});
    EXPECT_EQ(second.status, 1);
    EXPECT_TRUE(contains(second.err, "busy")) << second.err;
    const CliResult get = cli({"get", "https://youtu.be/" + vid('a')});
    EXPECT_EQ(get.status, 1);
    EXPECT_EQ(service.callsWith("-o"), 1);

    first.signal(SIGTERM);
    ASSERT_TRUE(first.wait(15000));
    EXPECT_EQ(first.result().status, 1);
    EXPECT_FALSE(ytdlpRunning(service.toolsDir()));
}

TEST_F(CliTest, WatchSyncsWhatIsDueAndStopsOnSigterm) {
    video('a', "Quick");
    video('b', "Slow", 30);
    playlist({'a', 'b'});
    ASSERT_EQ(cli({"add", "PLmix", "--no-sync"}).status, 0);

    CliProcess watch({"watch"}, box / "output");
    ASSERT_TRUE(eventually([&] { return service.callsWith("-o") == 2; }));
    EXPECT_TRUE(fs::exists(mixFolder() / "2024-01-31 - Quick [aaaaaaaaaaa].mp4"));

    watch.signal(SIGTERM);
    ASSERT_TRUE(watch.wait(15000));
    EXPECT_EQ(watch.result().status, 0);
    EXPECT_FALSE(ytdlpRunning(service.toolsDir()));
}

TEST_F(CliTest, FolderAndResetWorkOnTheSharedSettingsAndData) {
    CliResult result = cli({"folder"});
    EXPECT_EQ(result.out, "~/Videos/kelvo\n");
    const fs::path elsewhere = box / "elsewhere";
    result = cli({"folder", elsewhere.string()});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(cli({"folder"}).out, elsewhere.string() + "\n");

    result = cli({"reset", "--yes"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(cli({"folder"}).out, "~/Videos/kelvo\n");
    bool backup = false;
    for (const auto& entry : fs::directory_iterator(box / "home/.local/share")) {
        backup = backup || entry.path().filename().string().starts_with("kelvo-reset-backup-");
    }
    EXPECT_TRUE(backup);
}

}  // namespace
}  // namespace kelvo::test
