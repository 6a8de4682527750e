#pragma once

// A catalog, the yt-dlp stand-in, an engine, a Downloader and a SyncEngine over them, in one
// sandbox per test; and a playlist's folder and catalog rows written as one text to compare.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "core/catalog/catalog.h"
#include "core/engine/engine_error.h"
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

// `text` without "<folder>/", with every "<date> - Clip x [<id>]" and every id "xxxxxxxxxxx"
// shortened to "x".
inline std::string shorten(std::string text, const std::filesystem::path& folder) {
    const std::string prefix = folder.string() + "/";
    for (std::size_t at; (at = text.find(prefix)) != std::string::npos;) {
        text.erase(at, prefix.size());
    }
    static const std::regex names(R"(\d{4}-\d\d-\d\d - Clip (\w) \[\w{11}\]|\b(\w)\2{10}\b)");
    return std::regex_replace(text, names, "$1$2");
}

// A playlist's rows by video id, shortened: "x:<file>[ <nfo>][ removed][ archived]" with paths
// relative to its folder, the sidecar only when it is not "<file's stem>.nfo" beside the file,
// "-" for no path and "!" after one where no file is; then "+" and the folder's other files
// (hidden ones left out). "(no folder)" first when the folder is not there.
inline std::string state(Catalog& catalog, const PlaylistRecord& playlist) {
    namespace fs = std::filesystem;
    std::set<std::string> files;
    std::error_code noFolder;
    for (const auto& entry : fs::recursive_directory_iterator(playlist.folder(), noFolder)) {
        if (entry.is_regular_file() && entry.path().filename().c_str()[0] != '.') {
            files.insert(entry.path().string());
        }
    }
    std::vector<PlaylistItemRecord> rows = catalog.items(playlist.id);
    std::ranges::sort(rows, {}, &PlaylistItemRecord::videoID);
    const auto show = [&](const std::optional<std::string>& path) {
        return !path ? "-" : *path + (files.erase(*path) > 0 ? "" : "!");
    };
    std::string text = fs::exists(playlist.folder()) ? "" : "(no folder) ";
    for (const PlaylistItemRecord& item : rows) {
        const bool beside = item.filePath && item.nfoPath &&
                            fs::path(*item.filePath).replace_extension(".nfo") == *item.nfoPath;
        text += item.videoID + ":" + show(item.filePath) +
                (beside && files.erase(*item.nfoPath) ? "" : " " + show(item.nfoPath)) +
                (item.removedAt ? " removed" : "") + (item.archivedAt ? " archived" : "") + ", ";
    }
    text += "+";
    for (const std::string& file : files) {
        text += " " + file;
    }
    return shorten(text, playlist.folder());
}

// What `action` threw (for an EngineError: its description), or "no error".
template <typename Action>
std::string errorOf(Action action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no error";
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

    // Lists the playlist "PL<title>" on the service: a letter is that video, an upper-case letter
    // that video marked private, "?" a private entry without a video. Returns registered(title).
    PlaylistRecord playlist(const std::string& title, const std::string& entries) {
        FakePlaylist remote{.id = "PL" + title, .title = title};
        for (char letter : entries) {
            remote.entries.push_back(letter == '?' ? FakeEntry{"privatexxxx", "[Private video]"}
                                     : std::isupper(letter)
                                         ? FakeEntry{vid(std::tolower(letter)), {}, "private"}
                                         : FakeEntry{vid(letter)});
        }
        service.addPlaylist(remote);
        return registered(title);
    }
    // The catalog's record of the playlist "PL<title>", registered under `library` when new.
    PlaylistRecord registered(const std::string& title) {
        for (PlaylistRecord& known : catalog.playlists()) {
            if (known.youtubeID == "PL" + title) {
                return known;
            }
        }
        catalog.addPlaylist("PL" + title, title, library.string(), 30);
        return registered(title);
    }
};

}  // namespace kelvo::test
