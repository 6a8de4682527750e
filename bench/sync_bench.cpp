// The playlist sync when nothing has to be fetched: 5,000 entries whose files are all present,
// listed from memory. BM_SyncFloor5000 is the least such a run can do: per entry one
// primary-key lookup and one file-existence check.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/catalog/catalog.h"
#include "core/pipelines/downloader.h"
#include "core/pipelines/sync_engine.h"

namespace fs = std::filesystem;

namespace {

constexpr int entryCount = 5000;

class MemorySource : public kelvo::PlaylistSource {
  public:
    std::vector<kelvo::RemoteItem> entries;
    std::optional<kelvo::RemotePlaylist> playlist(std::string_view id) override {
        return kelvo::RemotePlaylist{std::string(id), "Bench", std::int64_t(entries.size())};
    }
    std::vector<kelvo::RemoteItem> items(std::string_view) override { return entries; }
};

// Every entry is in place, so nothing may reach the engine.
class RefusingEngine : public kelvo::DownloadEngine {
  public:
    kelvo::VideoMetadata metadata(std::string_view) override {
        throw std::logic_error("the benchmark playlist needs no download");
    }
    fs::path download(std::string_view, const fs::path&, std::string_view) override {
        throw std::logic_error("the benchmark playlist needs no download");
    }
};

// Runs SQL on a second connection (filling 5,000 rows one commit at a time would take longer
// than the benchmark itself).
void exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error != nullptr ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

// A catalog with one playlist of `entryCount` done videos whose files exist, in a scratch
// folder; made once and shared by both benchmarks.
struct InSyncLibrary {
    fs::path root;
    std::unique_ptr<kelvo::Catalog> catalog;
    kelvo::PlaylistRecord playlist;
    MemorySource source;
    std::vector<std::string> paths;

    InSyncLibrary() {
        std::string pattern = (fs::temp_directory_path() / "kelvo-bench-sync-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        catalog = std::make_unique<kelvo::Catalog>(root / "catalog.sqlite");
        const std::int64_t id = catalog->addPlaylist("PLbench", "Bench", root.string(), 30);
        playlist = catalog->playlists().front();
        fs::create_directories(playlist.folder());

        sqlite3* db = nullptr;
        sqlite3_open((root / "catalog.sqlite").c_str(), &db);
        std::string sql = "BEGIN;";
        for (int n = 0; n < entryCount; ++n) {
            char videoID[12];
            std::snprintf(videoID, sizeof videoID, "v%010d", n);
            const std::string title = "Video " + std::to_string(n);
            const fs::path file = playlist.folder() / (title + " [" + videoID + "].mp4");
            std::ofstream(file).put('x');
            sql += "INSERT INTO videos (video_id, title, status, downloaded_at) VALUES ('" +
                   std::string(videoID) + "', '" + title + "', 'done', 1700000000);";
            sql +=
                "INSERT INTO playlist_items (playlist_id, video_id, file_path, first_seen_at) "
                "VALUES (" +
                std::to_string(id) + ", '" + videoID + "', '" + file.string() + "', 1700000000);";
            source.entries.push_back({videoID, title, true});
            paths.push_back(file.string());
        }
        exec(db, sql + "COMMIT;");
        sqlite3_close(db);
    }
    ~InSyncLibrary() {
        catalog.reset();
        fs::remove_all(root);
    }

    static InSyncLibrary& shared() {
        static InSyncLibrary library;
        return library;
    }
};

void BM_SyncInSync5000(benchmark::State& state) {
    InSyncLibrary& library = InSyncLibrary::shared();
    RefusingEngine engine;
    kelvo::Downloader downloader(*library.catalog, engine, nullptr, nullptr);
    kelvo::SyncEngine syncer(*library.catalog, library.source, downloader, nullptr);
    for (auto _ : state) {
        const kelvo::SyncReport report = syncer.sync(library.playlist);
        if (report.inSync != entryCount) {
            state.SkipWithError("not every entry was in sync");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * entryCount);
}
BENCHMARK(BM_SyncInSync5000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_SyncFloor5000(benchmark::State& state) {
    const InSyncLibrary& library = InSyncLibrary::shared();
    for (auto _ : state) {
        int present = 0;
        for (int n = 0; n < entryCount; ++n) {
            const std::string& videoID = library.source.entries[n].videoID;
            present += !library.catalog->isDeleted(videoID) && fs::exists(library.paths[n]);
        }
        if (present != entryCount) {
            state.SkipWithError("not every entry was present");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * entryCount);
}
BENCHMARK(BM_SyncFloor5000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
