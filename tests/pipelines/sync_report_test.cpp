#include <gtest/gtest.h>

#include "core/pipelines/sync_engine.h"
#include "core/pipelines/sync_report.h"

namespace kelvo {
namespace {

TEST(SyncReportTest, SummaryLines) {
    const auto report = [](auto fill) {
        SyncReport r{.playlist = "Music"};
        fill(r);
        return r.summary();
    };
    const std::string base = "Music: 0 new, 0 copied, 0 restored, 0 archived, 0 unchanged";
    EXPECT_EQ(report([](SyncReport&) {}), base);
    EXPECT_EQ(report([](SyncReport& r) {
                  r.skippedSignIn = {"a", "b"};
                  r.failed = {"c: boom"};
                  r.unavailable = 3;
                  r.deletedByYou = 1;
              }),
              base + ", 2 need sign-in, 1 failed, 3 unavailable on YouTube, 1 deleted by you");
    EXPECT_EQ(report([](SyncReport& r) { r.deletedByYou = 4; }), base + ", 4 deleted by you");
    EXPECT_EQ(report([](SyncReport& r) {
                  r.added = {"a"};
                  r.copied = {"b", "c"};
                  r.restored = {"d", "e", "f"};
                  r.archived = {"g"};
                  r.inSync = 12345;
                  r.skippedSignIn = {"h"};
              }),
              "Music: 1 new, 2 copied, 3 restored, 1 archived, 12345 unchanged, 1 need sign-in");
    EXPECT_EQ(SyncReport{}.summary(), ": 0 new, 0 copied, 0 restored, 0 archived, 0 unchanged");
}

TEST(SyncEngineDueTest, IntervalBoundaries) {
    const TimePoint now = 1'700'000'000.5;
    const auto checked = [&](std::int64_t id, std::optional<TimePoint> at, bool enabled = true) {
        PlaylistRecord playlist;
        playlist.id = id;
        playlist.intervalMin = 30;
        playlist.enabled = enabled;
        playlist.lastCheckedAt = at;
        return playlist;
    };
    const std::vector<PlaylistRecord> playlists = {
        checked(1, now - 29 * 60),        // not yet
        checked(2, now - 30 * 60),        // exactly one interval ago
        checked(3, std::nullopt),         // never checked
        checked(4, std::nullopt, false),  // disabled
        checked(5, now - 10 * 3600, false),
        checked(6, now - 30 * 60 - 0.25),  // a little over
        checked(7, now + 60),              // checked "in the future" (clock moved back)
    };
    std::vector<std::int64_t> due;
    for (const PlaylistRecord& playlist : SyncEngine::due(playlists, now)) {
        due.push_back(playlist.id);
    }
    EXPECT_EQ(due, (std::vector<std::int64_t>{2, 3, 6}));
}

}  // namespace
}  // namespace kelvo
