#pragma once

// Playlist synchronisation: keeps the folder of one mirrored playlist equal to the playlist on
// the service. New entries are downloaded (through the Downloader), entries that left are moved
// into the folder's "_archive", entries that come back are restored from there, and an entry
// already on disk in another playlist's folder is copied.

#include <chrono>
#include <cstddef>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "core/catalog/catalog.h"
#include "core/links/playlist_source.h"
#include "core/pipelines/downloader.h"
#include "core/pipelines/sync_report.h"

namespace kelvo {

// Called as each remote entry is handled: entry `n` (1-based) of `total`, with its title.
using SyncProgress =
    std::function<void(std::size_t n, std::size_t total, const std::string& title)>;

// One instance per sync job. Holds references: the catalog, the source and the downloader must
// outlive it. Synchronous; runs on the job's worker thread.
class SyncEngine {
  public:
    SyncEngine(Catalog& catalog, PlaylistSource& source, Downloader& downloader, LogCallback log);

    // Runs one synchronisation of `playlist` and returns its report.
    //
    // A video whose download fails with an EngineError is recorded without files, counted in
    // the report, logged as "Skipped <title>: <error>", and the run goes on. Any other error
    // (listing, folder creation, a file move or copy, the catalog) ends the run and is thrown;
    // everything done so far stays and the playlist's check time is left alone, so the next run
    // repeats the rest. A stop (EngineError::stopped() from the engine, or the stop token) ends
    // the run the same way, throwing EngineError::stopped().
    //
    // Premieres and live streams are counted as waiting and left for a later run. When YouTube
    // refuses this computer (EngineError refused from a download) the run stops downloading:
    // that entry and every later one that needs a download count as waiting, nothing about
    // them is recorded as failed, the rest (in sync, restores, copies, archiving) goes on, the
    // report says `refused` and the check time is left alone. A refused listing is thrown.
    SyncReport sync(const PlaylistRecord& playlist);

    // The enabled playlists, in input order, that were never checked or whose last check lies
    // at least their interval before `now`.
    static std::vector<PlaylistRecord> due(const std::vector<PlaylistRecord>& playlists,
                                           TimePoint now);

    // Observes progress through the remote entries; not a log line.
    void setProgress(SyncProgress progress) { progress_ = std::move(progress); }
    // A stop requested here ends the run before the next entry (and before archiving).
    void setStopToken(std::stop_token stop) { stop_ = std::move(stop); }
    // Waits this long before every download but the first of this engine's runs, logging
    // "Pausing N s before the next download…"; a stop ends the wait at once.
    void setPauseBetweenDownloads(std::chrono::milliseconds pause) { pause_ = pause; }

  private:
    void throwIfStopped() const;
    // The pause before a download, when one is due.
    void pauseBeforeDownload();

    Catalog& catalog_;
    PlaylistSource& source_;
    Downloader& downloader_;
    LogCallback log_;
    SyncProgress progress_;
    std::stop_token stop_;
    std::chrono::milliseconds pause_{0};
    int downloadsStarted_ = 0;
};

}  // namespace kelvo
