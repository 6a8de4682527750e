#pragma once

// A catalog, the yt-dlp stand-in, an engine, a Downloader and a SyncEngine over them, in one
// sandbox per test. Log lines are collected in `lines`.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/catalog/catalog.h"
#include "core/engine/ytdlp_engine.h"
#include "core/links/ytdlp_playlist_source.h"
#include "core/pipelines/downloader.h"
#include "core/pipelines/sync_engine.h"
#include "tests/fixtures/fake_service.h"
#include "tests/support/sandbox.h"

namespace kelvo::test {

// An 11-character video id made of one letter.
inline std::string vid(char letter) {
    return std::string(11, letter);
}

// The plain files below `root` (hidden partial files left out), as paths relative to it.
inline std::vector<std::string> filesBelow(const std::filesystem::path& root) {
    std::vector<std::string> files;
    if (!std::filesystem::exists(root)) {
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
            files.push_back(std::filesystem::relative(entry.path(), root).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class PipelineFixture : public ::testing::Test {
  protected:
    Sandbox box;
    FakeService service{box / "service"};
    Catalog catalog{box / "catalog.sqlite"};
    YTDLPEngine engine{service.locator(), 1};
    YTDLPPlaylistSource source{engine};
    std::vector<std::string> lines;
    LogCallback log = [this](const std::string& line) { lines.push_back(line); };
    Downloader downloader{catalog, engine, nullptr, log};
    SyncEngine syncer{catalog, source, downloader, log};
    std::filesystem::path library = box / "library";

    // Registers a playlist of these videos with the service and the catalog (under `library`).
    PlaylistRecord playlist(const std::string& id, const std::string& title,
                            const std::vector<std::string>& videoIDs) {
        setEntries(id, title, videoIDs);
        catalog.addPlaylist(id, title, library.string(), 30);
        return record(id);
    }
    void setEntries(const std::string& id, const std::string& title,
                    const std::vector<std::string>& videoIDs) {
        FakePlaylist remote{.id = id, .title = title};
        for (const std::string& videoID : videoIDs) {
            remote.entries.push_back({.id = videoID});
        }
        service.addPlaylist(remote);
    }
    PlaylistRecord record(const std::string& id) {
        for (PlaylistRecord& candidate : catalog.playlists()) {
            if (candidate.youtubeID == id) {
                return candidate;
            }
        }
        throw std::runtime_error("no playlist " + id);
    }
    std::optional<PlaylistItemRecord> item(const std::string& playlistID,
                                           const std::string& videoID) {
        for (PlaylistItemRecord& candidate : catalog.items(record(playlistID).id)) {
            if (candidate.videoID == videoID) {
                return candidate;
            }
        }
        return std::nullopt;
    }
    SyncReport sync(const std::string& id) {
        lines.clear();
        return syncer.sync(record(id));
    }
};

}  // namespace kelvo::test
