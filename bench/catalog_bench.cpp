// The catalog under a large library: 100,000 videos with titles, descriptions, summaries and
// 5-10 tags each, a third of them in seven playlists (one of 5,000 items), with files on disk for
// the entries the benchmarks list (2% of all videos have lost theirs). The fixture is built once
// per process in a temporary folder and removed at exit. See README.md for the figures.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/catalog/catalog.h"

namespace {

namespace fs = std::filesystem;
using kelvo::Catalog;

constexpr int videoCount = 100'000;
constexpr int bigPlaylistItems = 5'000;
constexpr int playlistCount = 7;
constexpr const char* searchText = "guitar less";  // two words, the last one a prefix

// ---- Made-up but plausible library content ----

constexpr std::array topics{
    "guitar",   "piano",    "drums",     "cooking",   "baking",    "woodworking", "chess",
    "running",  "cycling",  "climbing",  "python",    "rust",      "linux",       "gardening",
    "pottery",  "painting", "astronomy", "physics",   "history",   "economics",   "photography",
    "knitting", "yoga",     "swimming",  "sailing",   "birding",   "camping",     "coffee",
    "tea",      "bread",    "violin",    "synth",     "modular",   "electronics", "soldering",
    "espresso", "origami",  "calculus",  "geography", "typography"};
constexpr std::array kinds{"lesson",  "tutorial",    "review",     "live session", "masterclass",
                           "vlog",    "deep dive",   "explained",  "basics",       "challenge",
                           "tips",    "mistakes",    "setup tour", "q&a",          "documentary",
                           "podcast", "walkthrough", "history of", "gear guide",   "practice"};
constexpr std::array adjectives{"Beginner", "Advanced",  "Quick",   "Complete",   "Honest",
                                "Weekly",   "Ultimate",  "Relaxed", "Late-night", "Sunday",
                                "Budget",   "Practical", "Modern",  "Classic",    "Minimal"};
constexpr std::array channels{"Studio Nord",     "Maker Lane",      "The Slow Kitchen",
                              "Open Lab",        "Fretboard Daily", "Pixel & Ink",
                              "Trail Notes",     "Quiet Hours",     "Byte Sized",
                              "Grandma's Table", "Deep Field",      "Sound Garden"};
constexpr std::array fillers{
    "In this video we take a closer look at the details that most people skip.",
    "Links to everything mentioned are in the description below.",
    "Thanks to everyone who supports the channel, you make this possible.",
    "We start with the basics and build up to something you can use every day.",
    "Timestamps: 0:00 intro, 2:13 setup, 7:40 the main part, 15:02 wrap-up.",
    "Let me know in the comments what you would like to see next.",
    "This one took three weekends to film and I am quite happy with how it turned out.",
    "Music by a friend of the channel, used with permission."};

std::string videoID(int index) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::uint64_t value = static_cast<std::uint64_t>(index) * 0x9E3779B97F4A7C15ULL + 12345;
    std::string id;
    for (int i = 0; i < 11; ++i) {
        id += alphabet[value % 64];
        value = value / 64 ^ (value << 7);
    }
    return id;
}

// ---- Fixture ----

class RawDatabase {
  public:
    explicit RawDatabase(const fs::path& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
            throw std::runtime_error("cannot open " + path.string());
        }
    }
    ~RawDatabase() { sqlite3_close(db_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;
    sqlite3* get() const { return db_; }

    void exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error != nullptr ? error : sqlite3_errmsg(db_);
            sqlite3_free(error);
            throw std::runtime_error(message);
        }
    }

    // A prepared statement, reused for every row of one table.
    class Insert {
      public:
        Insert(sqlite3* db, const char* sql) : db_(db) {
            if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
                throw std::runtime_error(sqlite3_errmsg(db));
            }
        }
        ~Insert() { sqlite3_finalize(statement_); }
        Insert(const Insert&) = delete;
        Insert& operator=(const Insert&) = delete;

        Insert& text(int position, const std::string& value) {
            sqlite3_bind_text(statement_, position, value.c_str(), -1, SQLITE_TRANSIENT);
            return *this;
        }
        Insert& integer(int position, std::int64_t value) {
            sqlite3_bind_int64(statement_, position, value);
            return *this;
        }
        Insert& real(int position, double value) {
            sqlite3_bind_double(statement_, position, value);
            return *this;
        }
        Insert& null(int position) {
            sqlite3_bind_null(statement_, position);
            return *this;
        }
        // Steps a query, giving column 0 of every row.
        std::vector<std::string> rows() {
            std::vector<std::string> out;
            while (sqlite3_step(statement_) == SQLITE_ROW) {
                out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement_, 0)));
            }
            sqlite3_reset(statement_);
            return out;
        }
        void run() {
            if (sqlite3_step(statement_) != SQLITE_DONE) {
                throw std::runtime_error(sqlite3_errmsg(db_));
            }
            sqlite3_reset(statement_);
            sqlite3_clear_bindings(statement_);
        }

      private:
        sqlite3* db_;
        sqlite3_stmt* statement_ = nullptr;
    };

  private:
    sqlite3* db_ = nullptr;
};

void touch(const fs::path& path) {
    std::ofstream(path).put('x');
}

class Fixture {
  public:
    Fixture() {
        const char* tmp = std::getenv("TMPDIR");
        root_ = fs::path(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") /
                ("kelvo-bench-catalog-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        std::cerr << "Building a catalog of " << videoCount << " videos in " << root_ << " ...\n";
        build();
        catalog = std::make_unique<Catalog>(root_ / "catalog.sqlite");
    }
    ~Fixture() {
        catalog.reset();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;

    const fs::path& root() const { return root_; }

    std::unique_ptr<Catalog> catalog;
    std::int64_t bigPlaylist = 0;

  private:
    void build() {
        const fs::path path = root_ / "catalog.sqlite";
        { Catalog schema(path); }  // the real schema, created by the catalog itself
        RawDatabase db(path);
        db.exec("PRAGMA synchronous = OFF; PRAGMA foreign_keys = ON; BEGIN;");
        RawDatabase::Insert playlist(
            db.get(),
            "INSERT INTO playlists (id, youtube_playlist_id, title, target_path, folder_name) "
            "VALUES (?1, ?2, ?3, ?4, ?5);");
        RawDatabase::Insert video(db.get(),
                                  "INSERT INTO videos (video_id, title, channel, upload_date, "
                                  "duration_sec, description, status, error, downloaded_at, "
                                  "file_path) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10);");
        RawDatabase::Insert summary(db.get(),
                                    "INSERT INTO summaries (video_id, summary, model_version, "
                                    "generated_at) VALUES (?1, ?2, 'local-model bench', ?3);");
        RawDatabase::Insert tag(db.get(),
                                "INSERT INTO tags (video_id, tag, source) VALUES (?1, ?2, ?3);");
        RawDatabase::Insert item(db.get(),
                                 "INSERT INTO playlist_items (playlist_id, video_id, file_path, "
                                 "nfo_path, first_seen_at, removed_at, archived_at) VALUES (?1, "
                                 "?2, ?3, ?4, ?5, ?6, ?7);");
        RawDatabase::Insert fts(db.get(),
                                "INSERT INTO videos_fts (video_id, title, summary, tags) VALUES "
                                "(?1, ?2, ?3, ?4);");

        const fs::path library = root_ / "library";
        const fs::path singles = library / "Singles";
        fs::create_directories(singles);
        std::vector<fs::path> playlistFolders;
        for (int p = 1; p <= playlistCount; ++p) {
            const std::string title =
                p == 1 ? "Everything I Watch" : "Playlist " + std::to_string(p);
            const fs::path folder = library / "Playlist" / title;
            fs::create_directories(folder / "_archive");
            playlistFolders.push_back(folder);
            playlist.integer(1, p)
                .text(2, "PLbench" + std::to_string(p))
                .text(3, title)
                .text(4, (library / "Playlist").string())
                .text(5, title)
                .run();
        }
        bigPlaylist = 1;

        std::unordered_map<std::string, std::vector<std::string>> files;
        std::mt19937 random(20240131);
        const auto pick = [&](const auto& list) { return list[random() % list.size()]; };
        const double start = 1'600'000'000.0;
        int playlistMembers = 0;
        for (int i = 0; i < videoCount; ++i) {
            const std::string id = videoID(i);
            const std::string topic = pick(topics);
            const std::string kind = pick(kinds);
            std::string title = std::string(pick(adjectives)) + " " + topic + " " + kind + " #" +
                                std::to_string(i % 400 + 1);
            std::string description;
            for (int s = 0; s < 4 + static_cast<int>(random() % 5); ++s) {
                description += std::string(pick(fillers)) + " ";
            }
            const unsigned roll = random() % 100;
            const char* status = roll < 95   ? "done"
                                 : roll < 98 ? "failed"
                                 : roll < 99 ? "needs_sign_in"
                                             : "deleted_by_user";
            const bool done = roll < 95;
            const double downloadedAt = start + i * 300.0 + (random() % 200);
            const std::string base = std::to_string(2015 + i % 10) + "-0" +
                                     std::to_string(1 + i % 9) + "-1" + std::to_string(i % 10) +
                                     " - " + title + " [" + id + "]";

            const bool inPlaylist = i % 3 == 0;
            const bool missing = random() % 50 == 0;  // 2% deleted by hand behind kelvo's back
            std::optional<std::string> singlePath;
            if (!inPlaylist && done) {
                singlePath = (singles / (base + ".mp4")).string();
                if (!missing) {
                    files[id].push_back(*singlePath);
                }
            }
            video.text(1, id)
                .text(2, title)
                .text(3, pick(channels))
                .text(4, std::to_string(20150101 + i % 100000))
                .integer(5, 60 + static_cast<std::int64_t>(random() % 3600))
                .text(6, description);
            video.text(7, status);
            if (roll >= 95 && roll < 99) {
                video.text(8, "ERROR: [youtube] " + id + ": Video unavailable");
            } else {
                video.null(8);
            }
            done ? video.real(9, downloadedAt) : video.null(9);
            singlePath ? video.text(10, *singlePath) : video.null(10);
            video.run();

            std::string summaryText;
            if (done && random() % 10 != 0) {
                summaryText = "A " + std::string(pick(adjectives)) + " look at " + topic +
                              ": the host walks through a " + kind + " with " + pick(topics) +
                              " on the side and shares what to practise next.";
                summary.text(1, id).text(2, summaryText).real(3, downloadedAt + 30).run();
            }

            std::string tagText;
            const int tagCount = 5 + static_cast<int>(random() % 6);
            std::vector<std::string> used;
            for (int t = 0; t < tagCount; ++t) {
                std::string value = t == 0 ? topic : t == 1 ? kind : std::string(pick(topics));
                if (t > 1 && t % 2 == 0) {
                    value.append(" ").append(pick(kinds));
                }
                if (std::find(used.begin(), used.end(), value) != used.end()) {
                    continue;
                }
                used.push_back(value);
                tag.text(1, id).text(2, value).text(3, t % 3 == 0 ? "kelvo" : "youtube").run();
                tagText += (tagText.empty() ? "" : " ") + value;
            }
            if (roll < 99) {  // a tombstone has left the index
                fts.text(1, id).text(2, title).text(3, summaryText).text(4, tagText).run();
            }

            if (inPlaylist) {
                const int p = playlistMembers < bigPlaylistItems
                                  ? 1
                                  : 2 + playlistMembers % (playlistCount - 1);
                ++playlistMembers;
                const bool removed = random() % 20 == 0;
                const fs::path folder =
                    playlistFolders[static_cast<std::size_t>(p - 1)] / (removed ? "_archive" : "");
                const fs::path file = folder / (base + ".mp4");
                const fs::path nfo = folder / (base + ".nfo");
                if (done && !missing) {
                    files[id].push_back(file.string());
                    files[id].push_back(nfo.string());
                }
                item.integer(1, p).text(2, id);
                done ? item.text(3, file.string()).text(4, nfo.string()) : item.null(3).null(4);
                item.real(5, downloadedAt - 100);
                removed ? item.real(6, downloadedAt + 1000).real(7, downloadedAt + 1000)
                        : item.null(6).null(7);
                item.run();
            }
        }
        db.exec("COMMIT; PRAGMA wal_checkpoint(TRUNCATE);");

        // Files exist for what the benchmarks list: the search's hits and the newest entries.
        std::vector<std::string> listed;
        const auto collect = [&](const std::string& sql, const std::string& parameter) {
            RawDatabase::Insert query(db.get(), sql.c_str());
            if (!parameter.empty()) {
                query.text(1, parameter);
            }
            for (const auto& id : query.rows()) {
                listed.push_back(id);
            }
        };
        collect(
            "SELECT video_id FROM videos_fts WHERE videos_fts MATCH ?1 ORDER BY rank LIMIT "
            "200;",
            Catalog::ftsQuery(searchText));
        collect("SELECT video_id FROM videos ORDER BY COALESCE(downloaded_at, 0) DESC LIMIT 8;",
                "");
        for (const auto& id : listed) {
            for (const auto& file : files[id]) {
                touch(file);
            }
        }
    }

    fs::path root_;
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

void listing(benchmark::State& state, Catalog& catalog, std::optional<std::string> search,
             std::int64_t limit) {
    std::size_t count = 0;
    for (auto _ : state) {
        const auto entries = catalog.entries(search, limit);
        count = entries.size();
        benchmark::DoNotOptimize(entries.data());
    }
    state.counters["entries"] = static_cast<double>(count);
}

void BM_SearchListing200(benchmark::State& state) {
    listing(state, *fixture().catalog, searchText, 200);
}
void BM_RecentEntries8(benchmark::State& state) {
    listing(state, *fixture().catalog, std::nullopt, 8);
}
void BM_SyncLookups5000(benchmark::State& state) {
    Fixture& f = fixture();
    std::size_t items = 0;
    for (auto _ : state) {
        const auto members = f.catalog->items(f.bigPlaylist);
        items = members.size();
        int deleted = 0;
        for (const auto& member : members) {
            deleted += f.catalog->isDeleted(member.videoID) ? 1 : 0;
        }
        benchmark::DoNotOptimize(deleted);
    }
    state.counters["items"] = static_cast<double>(items);
}

// The floor under the search: the FTS5 query alone, on a connection of its own.
void BM_FtsFloor(benchmark::State& state) {
    RawDatabase db(fixture().root() / "catalog.sqlite");
    const std::string match = Catalog::ftsQuery(searchText);
    std::size_t rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db.get(),
                           "SELECT video_id FROM videos_fts WHERE videos_fts MATCH ?1 ORDER BY "
                           "rank LIMIT 200;",
                           -1, &statement, nullptr);
        sqlite3_bind_text(statement, 1, match.c_str(), -1, SQLITE_TRANSIENT);
        rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_text(statement, 0));
            ++rows;
        }
        sqlite3_finalize(statement);
    }
    state.counters["rows"] = static_cast<double>(rows);
}

BENCHMARK(BM_SearchListing200)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecentEntries8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SyncLookups5000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FtsFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
