#include "core/pipelines/sync_engine.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include "core/engine/engine_error.h"
#include "core/library/naming.h"
#include "core/library/video_files.h"
#include "core/links/youtube_link.h"
#include "core/pipelines/file_mover.h"

namespace fs = std::filesystem;

namespace kelvo {

namespace {

TimePoint now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool fileExists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// Where a recorded file is now: at its recorded path or, when that is gone, under the same name
// in the playlist folder or its archive. The second look finds a file whose move an interrupted
// run made without recording it, so the next run completes that move instead of downloading
// the video again or losing track of the file.
std::optional<fs::path> locate(const std::optional<std::string>& recorded, const fs::path& folder,
                               const fs::path& archive) {
    if (!recorded || recorded->empty()) {
        return std::nullopt;
    }
    const fs::path path(*recorded);
    if (fileExists(path)) {
        return path;
    }
    if (!path.has_filename()) {
        return std::nullopt;
    }
    for (const fs::path& place : {folder, archive}) {
        const fs::path candidate = place / path.filename();
        if (fileExists(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

// The sidecar that moved along with a video: "<new stem>.nfo" beside it.
std::optional<std::string> movedSidecar(const fs::path& video) {
    const fs::path sidecar =
        video.parent_path() / (video.stem().string() + std::string(VideoFiles::sidecarSuffix));
    return fileExists(sidecar) ? std::optional<std::string>(sidecar.string()) : std::nullopt;
}

// Empty ".ignore" (Jellyfin) and ".nomedia" (Kodi) files tell media servers to leave the
// archive out of their library.
void keepOut(const fs::path& archive) {
    for (const char* marker : {".ignore", ".nomedia"}) {
        const fs::path path = archive / marker;
        if (!fileExists(path)) {
            std::ofstream{path};
        }
    }
}

// The state of one run.
struct Run {
    const PlaylistRecord& playlist;
    fs::path folder;
    fs::path archive;
    std::map<std::string, PlaylistItemRecord> known;
    SyncReport report;
};

}  // namespace

SyncEngine::SyncEngine(Catalog& catalog, PlaylistSource& source, Downloader& downloader,
                       LogCallback log)
    : catalog_(catalog), source_(source), downloader_(downloader), log_(std::move(log)) {
    // A video YouTube refused to this computer waits for the next run instead of failing.
    downloader_.setQueueOnRefusal(true);
}

void SyncEngine::throwIfStopped() const {
    if (stop_.stop_requested()) {
        throw EngineError::stopped();
    }
}

void SyncEngine::pauseBeforeDownload() {
    if (downloadsStarted_++ == 0 || pause_.count() <= 0) {
        return;
    }
    if (log_) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(pause_).count();
        log_("Pausing " + std::to_string(seconds) + " s before the next download…");
    }
    std::mutex mutex;
    std::condition_variable_any wakeUp;
    std::unique_lock lock(mutex);
    wakeUp.wait_for(lock, stop_, pause_, [] { return false; });
    throwIfStopped();
}

SyncReport SyncEngine::sync(const PlaylistRecord& playlist) {
    const auto say = [this](const std::string& line) {
        if (log_) {
            log_(line);
        }
    };

    Run run{playlist, playlist.folder(), {}, {}, {}};
    run.archive = run.folder / Naming::archiveFolder;
    run.report.playlist = playlist.title;
    const std::int64_t id = playlist.id;

    throwIfStopped();
    const std::vector<RemoteItem> remote = source_.items(playlist.youtubeID);
    fs::create_directories(run.folder);

    std::set<std::string> remoteIDs;
    for (const RemoteItem& entry : remote) {
        remoteIDs.insert(entry.videoID);
    }
    for (PlaylistItemRecord& item : catalog_.items(id)) {
        std::string videoID = item.videoID;
        run.known.insert_or_assign(std::move(videoID), std::move(item));
    }

    // Records a current membership and remembers it, so that a video listed twice is handled
    // once and then found in sync.
    const auto keep = [&](const std::string& videoID, const std::optional<std::string>& file,
                          const std::optional<std::string>& nfo) {
        catalog_.upsertItem(id, videoID, file, nfo);
        run.known.insert_or_assign(videoID, PlaylistItemRecord{id, videoID, file, nfo, {}, {}});
    };

    for (std::size_t index = 0; index < remote.size(); ++index) {
        throwIfStopped();
        const RemoteItem& entry = remote[index];
        if (progress_) {
            progress_(index + 1, remote.size(), entry.title);
        }

        if (!entry.available) {
            ++run.report.unavailable;
            continue;
        }
        if (catalog_.isDeleted(entry.videoID)) {
            ++run.report.deletedByYou;
            continue;
        }
        if (entry.waiting) {
            ++run.report.waiting;
            continue;
        }

        if (const auto found = run.known.find(entry.videoID); found != run.known.end()) {
            const PlaylistItemRecord item = found->second;
            if (const auto file = locate(item.filePath, run.folder, run.archive)) {
                if (!item.removedAt && *file == fs::path(*item.filePath)) {
                    ++run.report.inSync;
                    continue;
                }
                // It left the playlist earlier (or its move into the archive was interrupted):
                // bring it back.
                const fs::path restored = FileMover::moveVideoInto(*file, run.folder);
                std::optional<std::string> nfo = movedSidecar(restored);
                const auto sidecar =
                    nfo ? std::nullopt : locate(item.nfoPath, run.folder, run.archive);
                if (sidecar) {
                    nfo = FileMover::moveInto(*sidecar, run.folder).string();
                }
                keep(entry.videoID, restored.string(), nfo);
                run.report.restored.push_back(entry.title);
                say("Restored from archive: " + entry.title);
                continue;
            }
        }

        if (const auto copy = catalog_.existingCopy(entry.videoID)) {
            const fs::path file = FileMover::copyVideoInto(copy->filePath, run.folder);
            std::optional<std::string> nfo;
            if (copy->nfoPath && fileExists(*copy->nfoPath)) {
                nfo = FileMover::copyInto(*copy->nfoPath, run.folder).string();
            }
            keep(entry.videoID, file.string(), nfo);
            run.report.copied.push_back(entry.title);
            say("Copied from another playlist: " + entry.title);
            continue;
        }

        if (run.report.refused) {
            ++run.report.waiting;
            continue;
        }
        try {
            pauseBeforeDownload();
            const GetResult result =
                downloader_.get(YouTubeLink::watchURL(entry.videoID), run.folder);
            if (result.videoID != entry.videoID) {
                // The service answered with another video than the playlist lists (a redirect
                // or a replaced upload). Its row is under the other id, so this membership
                // cannot be recorded: the entry counts as failed and the run goes on.
                throw EngineError::failed("the service reports this video as " + result.videoID);
            }
            keep(entry.videoID, result.file.string(), result.nfo.string());
            run.report.added.push_back(entry.title);
        } catch (const EngineError& error) {
            if (error.isStopped()) {
                throw;
            }
            if (error.kind() == EngineError::Kind::refused) {
                // Not this video's fault: it waits, and so does every later download.
                run.report.refused = true;
                ++run.report.waiting;
                if (!run.known.contains(entry.videoID)) {
                    try {
                        keep(entry.videoID, std::nullopt, std::nullopt);
                    } catch (const CatalogError&) {
                    }
                }
                continue;
            }
            // Known to the catalog without files; fails when the information could not be read
            // and there is no video row to refer to, which is fine.
            try {
                keep(entry.videoID, std::nullopt, std::nullopt);
            } catch (const CatalogError&) {
            }
            if (error.kind() == EngineError::Kind::needsSignIn) {
                run.report.skippedSignIn.push_back(entry.title);
            } else {
                run.report.failed.push_back(entry.title + ": " + error.description());
            }
            say("Skipped " + entry.title + ": " + error.description());
        }
    }

    for (const auto& [videoID, item] : run.known) {
        if (item.removedAt || remoteIDs.contains(videoID)) {
            continue;
        }
        throwIfStopped();

        if (catalog_.isDeleted(videoID)) {
            // Deleted by the user and now gone from this playlist: the tombstone goes too once
            // no other playlist holds the video. One write either way, so an interruption leaves
            // no half-done state.
            if (catalog_.activeItemCount(videoID) <= 1) {
                catalog_.forget(videoID);
            } else {
                catalog_.markRemoved(id, videoID, std::nullopt, std::nullopt, false);
            }
            continue;
        }

        std::optional<std::string> file = item.filePath;
        std::optional<std::string> nfo = item.nfoPath;
        bool moved = false;
        if (const auto found = locate(item.filePath, run.folder, run.archive)) {
            fs::create_directories(run.archive);
            if (downloader_.options().keepArchivesOut) {
                keepOut(run.archive);
            }
            const fs::path archived = FileMover::moveVideoInto(*found, run.archive);
            file = archived.string();
            if (const auto alongside = movedSidecar(archived)) {
                nfo = alongside;
            } else if (const auto sidecar = locate(item.nfoPath, run.folder, run.archive)) {
                nfo = FileMover::moveInto(*sidecar, run.archive).string();
            }
            moved = true;
        }
        catalog_.markRemoved(id, videoID, file, nfo, moved);

        const std::optional<VideoRecord> video = catalog_.video(videoID);
        const std::string title = video ? video->title : videoID;
        run.report.archived.push_back(title);
        say("Archived (removed from playlist): " + title);
    }

    if (downloader_.options().keepArchivesOut && fileExists(run.archive)) {
        keepOut(run.archive);
    }
    if (!run.report.refused) {
        catalog_.touchChecked(id, now());
    }
    return std::move(run.report);
}

std::vector<PlaylistRecord> SyncEngine::due(const std::vector<PlaylistRecord>& playlists,
                                            TimePoint at) {
    std::vector<PlaylistRecord> result;
    for (const PlaylistRecord& playlist : playlists) {
        if (!playlist.enabled) {
            continue;
        }
        if (!playlist.lastCheckedAt ||
            *playlist.lastCheckedAt + static_cast<double>(playlist.intervalMin) * 60.0 <= at) {
            result.push_back(playlist);
        }
    }
    return result;
}

}  // namespace kelvo
