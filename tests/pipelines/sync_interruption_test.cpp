// Kills a process in the middle of a sync at many moments and syncs again: nothing may be lost,
// the catalog stays sound, and the end result equals that of a run never interrupted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cerrno>
#include <set>
#include <thread>

#include "tests/pipelines/pipeline_fixture.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace kelvo {
namespace {

using test::vid;

std::string integrity(const fs::path& path) {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &statement, nullptr);
    std::string result = sqlite3_step(statement) == SQLITE_ROW
                             ? reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))
                             : sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

// The playlists' files and rows and the videos' rows, without time stamps.
std::string state(const fs::path& catalogPath) {
    Catalog catalog(catalogPath);
    std::string text;
    for (const PlaylistRecord& playlist : catalog.playlists()) {
        text += playlist.title + (playlist.lastCheckedAt ? " checked: " : ": ") +
                test::state(catalog, playlist) + "\n";
    }
    std::vector<CatalogEntry> entries = catalog.entries(std::nullopt, 100);
    std::ranges::sort(entries, {}, &CatalogEntry::videoID);
    for (const CatalogEntry& entry : entries) {
        text += entry.videoID + " " + std::string(toText(entry.status)) +
                (entry.isMissing ? " missing" : "") + (entry.isArchived ? " archived" : "") + "\n";
    }
    return text;
}

// The files below `library` as "<playlist>/<name>", wherever in the playlist's folder they are.
std::set<std::string> files(const fs::path& library) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(library)) {
        if (entry.is_regular_file()) {
            names.insert(fs::relative(entry.path(), library).begin()->string() + "/" +
                         entry.path().filename().string());
        }
    }
    return names;
}

TEST(SyncInterruptionTest, KilledAnywhereThenSyncedAgain) {
    // yt-dlp outlives a killed kelvo-sync-once as it outlives a killed kelvo: this process
    // reaps it, waiting for it to finish.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    test::Sandbox box;
    test::FakeService service(box / "service");
    const fs::path work = box / "work";
    const fs::path catalogPath = work / "catalog.sqlite";
    for (char letter : std::string("abcdef")) {
        service.addVideo({.id = vid(letter),
                          .title = "Clip " + std::string(1, letter),
                          .phase = test::FakePhase::download,
                          .sleepSeconds = 0.05});
    }
    // Syncs `playlist` listing `letters` to its end, or kills the run once it has printed
    // `killAfter->first` lines and the stand-in has started `killAfter->second` times.
    const auto run = [&](const std::string& playlist, const std::string& letters,
                         std::optional<std::pair<int, std::size_t>> killAfter = std::nullopt) {
        test::FakePlaylist remote{.id = playlist, .entries = {{"privatexxxx", "[Private video]"}}};
        for (char letter : letters) {
            remote.entries.push_back({.id = vid(letter)});
        }
        service.addPlaylist(remote);
        test::Process sync({KELVO_SYNC_ONCE, catalogPath.string(), playlist});
        if (killAfter) {
            for (int line = 1; line <= killAfter->first; ++line) {
                EXPECT_TRUE(sync.readLine()) << "line " << line;
            }
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            // Lines of the call log counted raw: the last one may be half written.
            while (std::ranges::count(test::readFile(service.logPath()), '\n') <
                       static_cast<long>(killAfter->second) &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            sync.signal(SIGKILL);
        }
        EXPECT_TRUE(sync.wait());
        while (::waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
        }
        EXPECT_TRUE(killAfter || sync.result().status == 0) << sync.result().err;
        return sync.result().out;
    };

    // Before: Other holds e; Main held a, b and c and has archived c.
    fs::create_directories(work);
    for (const char* playlist : {"Main", "Other"}) {
        Catalog(catalogPath).addPlaylist(playlist, playlist, (work / "library").string(), 30);
    }
    run("Other", "e");
    run("Main", "abc");
    run("Main", "ab");
    fs::copy(work, box / "snapshot", fs::copy_options::recursive);
    const std::set<std::string> before = files(work / "library");
    ASSERT_EQ(before.size(), 8u);

    // The run under test archives a and b, restores c, downloads d and f and copies e.
    const auto reset = [&] {
        test::removeTree(work);
        fs::copy(box / "snapshot", work, fs::copy_options::recursive);
        service.clearCalls();
    };
    reset();
    const std::string output = run("Main", "cdef");
    const std::string expected = state(catalogPath);
    ASSERT_EQ(service.calls().size(), 5u);  // the listing, information and download of d and f
    // Kill points: as the run starts, after each line it prints, as each yt-dlp call starts.
    std::vector<std::pair<int, std::size_t>> killPoints = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}};
    for (int line = 0; line < std::ranges::count(output, '\n'); ++line) {
        killPoints.emplace_back(line, 0);
    }
    for (const auto& killAfter : killPoints) {
        SCOPED_TRACE(testing::PrintToString(killAfter));
        reset();
        run("Main", "cdef", killAfter);
        EXPECT_THAT(files(work / "library"), ::testing::IsSupersetOf(before));  // none lost
        EXPECT_EQ(integrity(catalogPath), "ok");
        run("Main", "cdef");
        EXPECT_EQ(state(catalogPath), expected);
    }
}

}  // namespace
}  // namespace kelvo
