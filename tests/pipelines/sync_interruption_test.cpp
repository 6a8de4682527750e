// Kills a process in the middle of a sync at many moments and syncs again: nothing may be lost,
// the catalog stays sound, and the end result equals that of a run never interrupted.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "core/catalog/catalog.h"
#include "tests/pipelines/pipeline_fixture.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace kelvo {
namespace {

using test::filesBelow;
using test::vid;
using Clock = std::chrono::steady_clock;

pid_t startSync(const fs::path& catalog, const std::string& playlist) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {KELVO_SYNC_ONCE, catalog.string(), playlist};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int status = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(status, 0);
    return pid;
}

// Waits for `pid`, then for every orphan it left (yt-dlp finishes what it was doing, as it does
// when kelvo dies): this process is their subreaper.
int waitAll(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    while (::waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
    }
    return status;
}

std::string integrity(const fs::path& path) {
    sqlite3* db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &statement, nullptr);
        result = sqlite3_step(statement) == SQLITE_ROW
                     ? reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))
                     : sqlite3_errmsg(db);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

// The files below the library and what the catalog says about them, without time stamps.
std::vector<std::string> state(const fs::path& work) {
    std::vector<std::string> rows = filesBelow(work / "library");
    Catalog catalog(work / "catalog.sqlite");
    const auto show = [](const std::optional<std::string>& text) { return text.value_or("-"); };
    for (const PlaylistRecord& playlist : catalog.playlists()) {
        rows.push_back(playlist.youtubeID + (playlist.lastCheckedAt ? " checked" : ""));
        auto items = catalog.items(playlist.id);
        std::sort(items.begin(), items.end(),
                  [](const auto& a, const auto& b) { return a.videoID < b.videoID; });
        for (const PlaylistItemRecord& item : items) {
            rows.push_back(item.videoID + " " + show(item.filePath) + " " + show(item.nfoPath) +
                           (item.removedAt ? " removed" : "") +
                           (item.archivedAt ? " archived" : ""));
        }
    }
    for (const CatalogEntry& entry : catalog.entries(std::nullopt, 100)) {
        rows.push_back(entry.videoID + " " + std::string(toText(entry.status)) +
                       (entry.isMissing ? " missing" : "") + (entry.isArchived ? " archived" : ""));
    }
    std::sort(rows.end() - static_cast<long>(catalog.entries(std::nullopt, 100).size()),
              rows.end());
    return rows;
}

TEST(SyncInterruptionTest, KilledAnywhereThenSyncedAgain) {
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    test::Sandbox box;
    test::FakeService service(box / "service");
    const fs::path work = box / "work";
    const fs::path snapshot = box / "snapshot";
    const fs::path catalogPath = work / "catalog.sqlite";
    for (char letter : std::string("abcdef")) {
        service.addVideo({.id = vid(letter),
                          .title = "Clip " + std::string(1, letter),
                          .phase = test::FakePhase::download,
                          .sleepSeconds = 0.05});
    }
    const auto entries = [&](const std::string& id, const std::string& letters) {
        test::FakePlaylist playlist{.id = id, .title = id};
        for (char letter : letters) {
            playlist.entries.push_back({.id = vid(letter)});
        }
        playlist.entries.push_back({.id = "privatexxxx", .title = "[Private video]"});
        service.addPlaylist(playlist);
    };
    const auto syncToEnd = [&](const std::string& playlist) {
        EXPECT_EQ(waitAll(startSync(catalogPath, playlist)), 0) << playlist;
    };

    // Before: Other holds e; Main held a, b and c and has archived c.
    fs::create_directories(work);
    {
        Catalog catalog(catalogPath);
        catalog.addPlaylist("Main", "Main", (work / "library").string(), 30);
        catalog.addPlaylist("Other", "Other", (work / "library").string(), 30);
    }
    entries("Other", "e");
    syncToEnd("Other");
    entries("Main", "abc");
    syncToEnd("Main");
    entries("Main", "ab");
    syncToEnd("Main");
    fs::copy(work, snapshot, fs::copy_options::recursive);
    const std::vector<std::string> before = filesBelow(work / "library");
    ASSERT_EQ(before.size(), 8u);

    // The run under test archives a and b, restores c, downloads d and f and copies e.
    entries("Main", "cdef");
    const auto reset = [&] {
        test::removeTree(work);
        fs::copy(snapshot, work, fs::copy_options::recursive);
        service.clearCalls();
    };
    reset();
    const auto started = Clock::now();
    syncToEnd("Main");
    const auto length = Clock::now() - started;
    const std::vector<std::string> expected = state(work);
    const auto calls = service.calls().size();
    ASSERT_EQ(calls, 5u);  // listing, then information and download of d and f

    const auto lineCount = [&] {
        const std::string log = test::readFile(service.logPath());
        return static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
    };
    // Kill points: after fixed fractions of an uninterrupted run, and as each yt-dlp call starts.
    std::vector<std::function<void()>> waits;
    for (int sixth = 0; sixth < 6; ++sixth) {
        waits.push_back([=] { std::this_thread::sleep_for(length * sixth / 6); });
    }
    for (std::size_t call = 1; call <= calls; ++call) {
        waits.push_back([&, call] {
            const auto deadline = Clock::now() + 10s;
            while (lineCount() < call && Clock::now() < deadline) {
                std::this_thread::sleep_for(200us);
            }
        });
    }
    for (std::size_t round = 0; round < waits.size(); ++round) {
        reset();
        const pid_t pid = startSync(catalogPath, "Main");
        waits[round]();
        ::kill(pid, SIGKILL);
        waitAll(pid);

        for (const std::string& file : before) {
            const fs::path name = fs::path(file).filename();
            const fs::path playlistFolder = work / "library" / *fs::path(file).begin();
            EXPECT_TRUE(fs::exists(playlistFolder / name) ||
                        fs::exists(playlistFolder / "_archive" / name))
                << "round " << round << " lost " << file;
        }
        EXPECT_EQ(integrity(catalogPath), "ok") << "round " << round;
        syncToEnd("Main");
        EXPECT_EQ(state(work), expected) << "round " << round;
    }
}

}  // namespace
}  // namespace kelvo
