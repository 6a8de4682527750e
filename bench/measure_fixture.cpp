// kelvo-measure-fixture: fills a catalog for scripts/measure, fast (one transaction of raw
// inserts into a catalog that Catalog itself created).
//
//   kelvo-measure-fixture library N
//       N done videos in the catalog under $XDG_DATA_HOME/kelvo, each with a summary, tags, a
//       search-index row and an (empty) file in <library>/Singles, as a long-used Library.
//   kelvo-measure-fixture playlist N LIBRARY LISTING
//       a playlist "PLmeasure" synced into LIBRARY whose N entries are all present (catalog rows
//       and files), and LISTING: the --flat-playlist -J document that lists exactly them.

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "core/catalog/catalog.h"

namespace fs = std::filesystem;

namespace {

class Database {
  public:
    explicit Database(const fs::path& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
            throw std::runtime_error("cannot open " + path.string());
        }
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
    }
    // Runs `sql` once with the given texts bound to ?1, ?2, ...
    void run(const char* sql, std::initializer_list<std::string> values) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
        int position = 1;
        for (const std::string& value : values) {
            sqlite3_bind_text(statement, position++, value.c_str(), -1, SQLITE_TRANSIENT);
        }
        const int status = sqlite3_step(statement);
        sqlite3_finalize(statement);
        if (status != SQLITE_DONE) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
    }

  private:
    sqlite3* db_ = nullptr;
};

std::string videoID(const char* prefix, int index) {
    char id[16];
    std::snprintf(id, sizeof id, "%s%09d", prefix, index);
    return id;
}

void touch(const fs::path& path) {
    std::ofstream(path).put('x');
}

void insertVideo(Database& db, const std::string& id, const std::string& title,
                 const fs::path& file) {
    db.run(
        "INSERT INTO videos (video_id, title, channel, upload_date, duration_sec, description, "
        "status, downloaded_at, file_path) VALUES (?1, ?2, 'Weekly Workshop', '20240312', '754', "
        "'We start with the basics and build up to something you can use every day. Timestamps: "
        "0:00 intro, 2:13 setup, 7:40 the main part.', 'done', '1733500000', ?3);",
        {id, title, file.string()});
}

int library(int count) {
    const fs::path catalogPath = kelvo::Catalog::defaultURL();
    fs::create_directories(catalogPath.parent_path());
    { kelvo::Catalog created(catalogPath); }
    const char* home = std::getenv("HOME");
    const fs::path singles = fs::path(home != nullptr ? home : "/tmp") / "Videos/kelvo/Singles";
    fs::create_directories(singles);

    Database db(catalogPath);
    db.exec("BEGIN;");
    for (int n = 0; n < count; ++n) {
        const std::string id = videoID("L", n);
        const std::string title = "Weekly guitar lesson #" + std::to_string(n);
        const fs::path file = singles / ("2024-03-12 - " + title + " [" + id + "].mp4");
        touch(file);
        insertVideo(db, id, title, file);
        const std::string summary = "A lesson on chords and rhythm, number " + std::to_string(n);
        db.run(
            "INSERT INTO summaries (video_id, summary, model_version, generated_at) VALUES "
            "(?1, ?2, 'local-model measure', 1733500000);",
            {id, summary});
        for (const char* tag : {"guitar", "lesson", "chords"}) {
            db.run("INSERT INTO tags (video_id, tag, source) VALUES (?1, ?2, 'kelvo');", {id, tag});
        }
        db.run(
            "INSERT INTO videos_fts (video_id, title, summary, tags) VALUES (?1, ?2, ?3, "
            "'guitar lesson chords');",
            {id, title, summary});
    }
    db.exec("COMMIT;");
    return 0;
}

int playlist(int count, const fs::path& libraryFolder, const fs::path& listingPath) {
    const fs::path catalogPath = kelvo::Catalog::defaultURL();
    fs::create_directories(catalogPath.parent_path());
    kelvo::PlaylistRecord record;
    {
        kelvo::Catalog catalog(catalogPath);
        catalog.addPlaylist("PLmeasure", "Measure", libraryFolder.string(), 30);
        record = catalog.playlists().front();
    }
    fs::create_directories(record.folder());

    nlohmann::json entries = nlohmann::json::array();
    Database db(catalogPath);
    db.exec("BEGIN;");
    for (int n = 0; n < count; ++n) {
        const std::string id = videoID("P", n);
        const std::string title = "Measure video " + std::to_string(n);
        const fs::path file = record.folder() / ("2024-03-12 - " + title + " [" + id + "].mp4");
        touch(file);
        insertVideo(db, id, title, file);
        db.run(
            "INSERT INTO playlist_items (playlist_id, video_id, file_path, first_seen_at) "
            "VALUES (?1, ?2, ?3, 1733500000);",
            {std::to_string(record.id), id, file.string()});
        entries.push_back({{"_type", "url"}, {"id", id}, {"title", title}, {"duration", 754}});
    }
    db.exec("COMMIT;");
    std::ofstream(listingPath) << nlohmann::json{
        {"_type", "playlist"}, {"id", "PLmeasure"}, {"title", "Measure"}, {"entries", entries}};
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "library" && argc == 3) {
            return library(std::stoi(argv[2]));
        }
        if (mode == "playlist" && argc == 5) {
            return playlist(std::stoi(argv[2]), argv[3], argv[4]);
        }
        std::cerr << "usage: kelvo-measure-fixture library N\n"
                     "       kelvo-measure-fixture playlist N LIBRARY LISTING\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "kelvo-measure-fixture: " << error.what() << "\n";
        return 1;
    }
}
