#pragma once

// Shared pieces of the catalog tests: a catalog in a fresh sandbox folder, and a door into the
// catalog's private statement layer.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/catalog/catalog.h"
#include "tests/support/sandbox.h"

namespace kelvo {

struct CatalogTestAccess {
    static void exec(Catalog& catalog, const std::string& sql) { catalog.exec(sql); }
    static void run(Catalog& catalog, const std::string& sql,
                    const std::vector<Catalog::Parameter>& parameters = {}) {
        catalog.run(sql, parameters);
    }
    static std::optional<int> queryInt(Catalog& catalog, const std::string& sql,
                                       const std::vector<Catalog::Parameter>& parameters = {}) {
        return catalog.queryInt(sql, parameters);
    }
    // The SQL of every statement the connection still holds, except the ones FTS5 keeps (they name
    // the schema as 'main'.) while its table is open.
    static std::vector<std::string> leakedStatements(Catalog& catalog) {
        std::vector<std::string> out;
        for (sqlite3_stmt* s = sqlite3_next_stmt(catalog.db_, nullptr); s != nullptr;
             s = sqlite3_next_stmt(catalog.db_, s)) {
            const std::string sql = sqlite3_sql(s);
            if (sql.find("'main'.") == std::string::npos) {
                out.push_back(sql);
            }
        }
        return out;
    }
};

namespace test {

// A video with just an id and a title.
inline VideoRecord videoRecord(const std::string& id, const std::string& title) {
    VideoRecord record;
    record.videoID = id;
    record.title = title;
    return record;
}

class CatalogTest : public ::testing::Test {
  protected:
    void SetUp() override { catalog = std::make_unique<Catalog>(sandbox / "catalog.sqlite"); }

    // A video row with the given status and download time.
    VideoRecord addVideo(const std::string& id, const std::string& title,
                         VideoStatus status = VideoStatus::done,
                         std::optional<TimePoint> downloadedAt = std::nullopt) {
        VideoRecord record = videoRecord(id, title);
        record.status = status;
        record.downloadedAt = downloadedAt;
        catalog->upsertVideo(record);
        return record;
    }

    // A file on disk (empty content is enough for every existence check).
    std::string touch(const std::string& relative) {
        const auto path = sandbox / relative;
        writeFile(path, "x");
        return path.string();
    }

    std::optional<int> count(const std::string& sql,
                             const std::vector<Catalog::Parameter>& parameters = {}) {
        return CatalogTestAccess::queryInt(*catalog, sql, parameters);
    }

    Sandbox sandbox;
    std::unique_ptr<Catalog> catalog;
};

}  // namespace test
}  // namespace kelvo
