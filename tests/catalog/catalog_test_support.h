#pragma once

// What the catalog tests and the search fuzz target share: a door into the catalog's private
// statement layer, and a video row made from the few fields a test cares about.

#include <sqlite3.h>

#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/catalog/catalog.h"

namespace kelvo {

struct CatalogTestAccess {
    static void exec(Catalog& catalog, const std::string& sql) { catalog.exec(sql); }
    static void run(Catalog& catalog, const std::string& sql,
                    const std::vector<Catalog::Parameter>& parameters = {}) {
        catalog.run(sql, parameters);
    }
    // The SQL of every statement the connection still holds, except the ones FTS5 keeps (they name
    // the schema as 'main'.) while its table is open.
    static std::vector<std::string> leakedStatements(Catalog& catalog) {
        std::vector<std::string> out;
        for (sqlite3_stmt* s = sqlite3_next_stmt(catalog.db_, nullptr); s != nullptr;
             s = sqlite3_next_stmt(catalog.db_, s)) {
            if (const std::string sql = sqlite3_sql(s); sql.find("'main'.") == std::string::npos) {
                out.push_back(sql);
            }
        }
        return out;
    }
    // Sets `started` once the connection begins to run a statement.
    static void flagStatements(Catalog& catalog, std::atomic<bool>& started) {
        const auto flag = [](unsigned, void* context, void*, void*) {
            static_cast<std::atomic<bool>*>(context)->store(true);
            return 0;
        };
        sqlite3_trace_v2(catalog.db_, SQLITE_TRACE_STMT, flag, &started);
    }
};

namespace test {

inline VideoRecord videoRecord(std::string id, std::string title,
                               VideoStatus status = VideoStatus::queued,
                               std::optional<TimePoint> downloadedAt = std::nullopt) {
    VideoRecord record;
    record.videoID = std::move(id);
    record.title = std::move(title);
    record.status = status;
    record.downloadedAt = downloadedAt;
    return record;
}

}  // namespace test
}  // namespace kelvo
