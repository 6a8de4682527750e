#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <QString>
#include <algorithm>
#include <nlohmann/json.hpp>

#include "app/job_lock.h"
#include "core/engine/tool_locator.h"
#include "core/tools/tool_updater.h"
#include "core/tools/tool_versions.h"
#include "tests/support/process.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Kind = ToolUpdateError::Kind;

// The release server of this test program; `mode` picks its behaviour (see release_server.py).
std::string releasesBase(const std::string& mode) {
    static test::Process server({"python3", KELVO_SOURCE_DIR "/tests/tools/release_server.py"});
    static const std::string port = server.readLine().value_or("0");
    return "http://127.0.0.1:" + port + "/" + mode;
}

void writeTool(const fs::path& path, const std::string& script) {
    test::writeFile(path, "#!/bin/sh\n" + script + "\n");
    fs::permissions(path, fs::perms::owner_all);
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

ToolUpdater::Options optionsFor(const std::string& mode, const fs::path& folder) {
    ToolUpdater::Options options;
    options.releasesBase = releasesBase(mode);
    options.toolsFolder = folder;
    options.connectTimeout = 10s;
    options.lowSpeedTime = 1s;  // a stalled server ends the test in a second or two
    return options;
}

const struct {
    const char* tool;
    const char* latest;
} tools[] = {{"yt-dlp", "2025.11.12"}, {"deno", "2.5.6"}};

TEST(ToolUpdater, InstallsTheVerifiedReleaseAheadOfTheSystemsTool) {
    for (const auto& c : tools) {
        test::Sandbox box;
        const fs::path folder = box / "data/kelvo/tools";
        const fs::path target = folder / c.tool;
        writeTool(target, "echo old");
        writeTool(box / "bin" / c.tool, "echo system");
        ToolUpdater::Options options = optionsFor("good", folder);
        ToolProgress last;
        options.progress = [&last](const ToolProgress& step) { last = step; };

        const ToolUpdateResult result = ToolUpdater(options).update(c.tool);
        EXPECT_EQ(result.version, c.latest) << c.tool;
        EXPECT_EQ(result.path, target);
        EXPECT_EQ(fs::status(target).permissions() & fs::perms::mask, fs::perms(0755));
        EXPECT_EQ(test::readFile(target.string() + ".previous"), "#!/bin/sh\necho old\n");
        EXPECT_EQ(namesIn(folder),
                  (std::vector<std::string>{c.tool, c.tool + std::string(".previous")}));
        EXPECT_EQ(last.tool, c.tool);
        EXPECT_GT(last.total, 0U);
        EXPECT_EQ(last.received, last.total);

        const ToolLocator locator(Environment{{"XDG_DATA_HOME", (box / "data").string()},
                                              {"PATH", (box / "bin").string()}},
                                  std::nullopt);
        EXPECT_EQ(locator.find(c.tool), target);
    }
}

TEST(ToolUpdater, AFailedUpdateLeavesTheInstalledToolAlone) {
    enum Setup { none, fullDisk, stopOnProgress };
    const struct {
        const char* mode;
        Setup setup;
        Kind kind;
    } failures[] = {{"badsum", none, Kind::checksum}, {"cut", none, Kind::truncated},
                    {"stall", none, Kind::stalled},   {"stall", stopOnProgress, Kind::stopped},
                    {"offsite", none, Kind::refused}, {"missing", none, Kind::http},
                    {"good", fullDisk, Kind::disk}};
    for (const auto& failure : failures) {
        for (const auto& c : tools) {
            test::Sandbox box;
            const fs::path target = box / "tools" / c.tool;
            writeTool(target, "echo old");
            const std::string before = test::readFile(target);
            ToolUpdater::Options options = optionsFor(failure.mode, box / "tools");
            std::stop_source stop;
            if (failure.setup == stopOnProgress) {
                options.lowSpeedTime = 600s;
                options.stop = stop.get_token();
                options.progress = [&stop](const ToolProgress&) { stop.request_stop(); };
            }
            // A full disk: writes past 16 bytes fail with EFBIG.
            rlimit saved{};
            ::getrlimit(RLIMIT_FSIZE, &saved);
            if (failure.setup == fullDisk) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit small{16, saved.rlim_max};
                ::setrlimit(RLIMIT_FSIZE, &small);
            }
            try {
                ToolUpdater(options).update(c.tool);
                ADD_FAILURE() << failure.mode << " " << c.tool << ": no error";
            } catch (const ToolUpdateError& error) {
                EXPECT_EQ(error.kind(), failure.kind)
                    << failure.mode << " " << c.tool << ": " << error.what();
            }
            ::setrlimit(RLIMIT_FSIZE, &saved);
            EXPECT_EQ(test::readFile(target), before) << failure.mode;
            EXPECT_EQ(namesIn(box / "tools"), std::vector<std::string>{c.tool}) << failure.mode;
        }
    }
}

TEST(ToolUpdater, CheckReadsTheReleaseTagAndInstallsNothing) {
    for (const auto& c : tools) {
        test::Sandbox box;
        EXPECT_EQ(ToolUpdater(optionsFor("good", box / "tools")).check(c.tool).version, c.latest);
        EXPECT_FALSE(fs::exists(box / "tools"));
        EXPECT_THROW(ToolUpdater(optionsFor("offsite", box / "tools")).check(c.tool),
                     ToolUpdateError);
    }
}

TEST(ToolUpdater, PlainHTTPOnlyToALoopbackHost) {
    const struct {
        const char* url;
        bool plainLoopback;
        bool allowed;
    } cases[] = {
        {"https://github.com/a", false, true},
        {"http://github.com/a", true, false},
        {"http://127.0.0.1:8/a", true, true},
        {"http://127.200.0.9/a", true, true},
        {"http://[::1]:80/a", true, true},
        {"http://LocalHost/a", true, true},
        {"http://127.0.0.1/a", false, false},
        {"http://128.0.0.1/a", true, false},
        {"http://127.0.0.1.example.com/a", true, false},
        {"ftp://127.0.0.1/a", true, false},
        {"not an address", true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToolUpdater::allowedAddress(c.url, c.plainLoopback), c.allowed) << c.url;
    }
}

TEST(ToolUpdater, PublishedDigest) {
    const std::string a(64, 'a');
    const std::string b(64, 'b');
    const struct {
        std::string text;
        std::optional<std::string> digest;
    } cases[] = {
        {a + "  yt-dlp\n" + b + "  yt-dlp_linux\n", b},
        {a + " *yt-dlp_linux\r\n" + b + "  other\n", a},
        {"SHA256 hash:\n" + std::string(64, 'B') + "\n", b},
        {a + "  one\n" + b + "  two\n", std::nullopt},
        {"a" + a + "  yt-dlp_linux\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToolUpdater::publishedDigest(c.text, "yt-dlp_linux"), c.digest) << c.text;
    }
}

TEST(ToolVersions, ReadsVersionsAndAges) {
    const struct {
        const char* output;
        std::optional<std::string> version;
    } outputs[] = {
        {"2025.11.12\n", "2025.11.12"},
        {"deno 2.5.6 (stable, release, x86_64-unknown-linux-gnu)\nv8 14\n", "2.5.6"},
        {"ffmpeg version 5.1.6-0+deb12u1 Copyright (c) 2000-2024\n", "5.1.6-0+deb12u1"},
        {"tool v1.2\n", "1.2"},
        {"  odd build  \n", "odd build"},
        {"\n2025.01.01\n", std::nullopt},
    };
    for (const auto& c : outputs) {
        EXPECT_EQ(versionFromOutput(c.output), c.version) << c.output;
    }
    using namespace std::chrono;
    const sys_days today = year(2025) / 11 / 22;
    const struct {
        const char* version;
        std::optional<int> days;
    } ages[] = {{"2025.11.12", 10},           {"2025.11.12.232", 10},
                {"2024.11.22", 365},          {"2025.12.01", 0},
                {"2025.13.01", std::nullopt}, {"2025.1112", std::nullopt},
                {"20251.1.1", std::nullopt},  {"2.5.6", std::nullopt}};
    for (const auto& c : ages) {
        EXPECT_EQ(ytdlpAgeDays(c.version, today), c.days) << c.version;
    }
}

// kelvo-cli in its own data folder, with these fakes first on PATH.
test::ProcessResult cli(const test::Sandbox& box, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{KELVO_CLI};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    test::ProcessOptions options;
    options.environment = {{"XDG_DATA_HOME", (box / "data").string()},
                           {"PATH", (box / "bin").string()},
                           {"KELVO_TOOLS_DIR", std::nullopt},
                           {"KELVO_RELEASES_BASE", releasesBase("good")}};
    return test::runProcess(argv, options);
}

TEST(ToolsCommand, UpdatesListsAndWaitsForJobs) {
    test::Sandbox box;
    writeTool(box / "bin/yt-dlp", "echo 2023.03.04");
    writeTool(box / "bin/deno", "echo 'deno 1.0.0 (stable)'");
    // Like the real one: its version only for -version.
    writeTool(box / "bin/ffmpeg",
              "[ \"$1\" = -version ] && echo 'ffmpeg version 9.9-test Copyright'");
    const fs::path folder = box / "data/kelvo/tools";

    fs::create_directories(box / "data/kelvo");
    {
        JobLock job(QString::fromStdString((box / "data/kelvo/job.lock").string()));
        ASSERT_TRUE(job.tryAcquire());
        const auto busy = cli(box, {"tools", "update"});
        EXPECT_EQ(busy.status, 1);
        EXPECT_NE(busy.err.find("busy with another job"), std::string::npos) << busy.err;
        EXPECT_FALSE(fs::exists(folder));
    }

    const auto check = cli(box, {"tools", "update", "--check"});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_NE(check.out.find("yt-dlp 2023.03.04 → 2025.11.12"), std::string::npos) << check.out;
    EXPECT_FALSE(fs::exists(folder));

    const auto update = cli(box, {"tools", "update"});
    EXPECT_EQ(update.status, 0) << update.err;
    EXPECT_EQ(update.out, "yt-dlp 2023.03.04 → 2025.11.12\ndeno 1.0.0 → 2.5.6\n");

    const auto listing = cli(box, {"tools", "--json"});
    ASSERT_EQ(listing.status, 0) << listing.err;
    const auto json = nlohmann::json::parse(listing.out);
    ASSERT_EQ(json.size(), 3U);
    const auto age = ytdlpAgeDays("2025.11.12", utcToday());
    EXPECT_EQ(json[0], (nlohmann::json{{"name", "yt-dlp"},
                                       {"path", (folder / "yt-dlp").string()},
                                       {"version", "2025.11.12"},
                                       {"ageDays", *age}}));
    EXPECT_EQ(json[1],
              (nlohmann::json{
                  {"name", "deno"}, {"path", (folder / "deno").string()}, {"version", "2.5.6"}}));
    EXPECT_EQ(json[2], (nlohmann::json{{"name", "ffmpeg"},
                                       {"path", (box / "bin/ffmpeg").string()},
                                       {"version", "9.9-test"}}));
}

}  // namespace
}  // namespace kelvo
