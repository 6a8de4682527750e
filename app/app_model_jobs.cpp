// The job runner: the automatic and the user's syncs, single downloads, the clipboard
// shortcut's download and the progress of the running job.

#include "app/app_model_parts.h"

namespace kelvo {

using namespace model_detail;

void AppModel::pollProgress() {
    fs::path folder;
    std::string baseName;
    {
        std::lock_guard lock(progress_->mutex);
        if (!progress_->downloading) {
            setProgress(syncIndex_, syncTotal_, 0);
            return;
        }
        folder = progress_->folder;
        baseName = progress_->baseName;
    }
    setProgress(syncIndex_, syncTotal_,
                static_cast<qint64>(kelvo::downloadedBytes(folder, baseName)));
}

bool AppModel::beginJob() {
    if (busy_ || shutDown_) {
        return false;
    }
    try {
        // Another process (kelvo-cli beside the tray app) running a job counts as busy.
        if (!jobLock_.tryAcquire()) {
            setBusyElsewhere(true);
            return false;
        }
        setBusyElsewhere(false);
    } catch (const std::exception&) {
        // No lock file can be made (the data folder is unusable): this process still runs
        // one job at a time.
    }
    return true;
}

void AppModel::startWorker(std::function<void(std::stop_token)> work) {
    if (worker_.joinable()) {
        worker_.join();
    }
    jobStop_ = std::stop_source();
    {
        std::lock_guard lock(progress_->mutex);
        progress_->downloading = false;
    }
    progressTimer_->start();
    worker_ = std::thread([work = std::move(work), stop = jobStop_.get_token()] { work(stop); });
}

void AppModel::finishJob(JobKind kind, bool ok, const QStringList& results) {
    if (worker_.joinable()) {
        worker_.join();
    }
    jobLock_.release();
    progressTimer_->stop();
    setProgress(0, 0, 0);
    setBusy(false);
    setCurrentTitle(std::nullopt);
    refresh();
    emit libraryChanged();
    emit jobFinished(kind, ok, results);
}

AppModel::JobStart AppModel::syncDue() {
    if (busy_) {
        return JobStart::busy;
    }
    // After YouTube refused this computer the automatic checks wait; "Sync now" does not.
    if (backoff_.holds(QDateTime::currentDateTimeUtc())) {
        return JobStart::nothingToDo;
    }
    // kelvo-cli may have checked or added playlists since the last look.
    refresh();
    const std::vector<PlaylistRecord> due = SyncEngine::due(
        playlists_,
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count());
    if (due.empty()) {
        return JobStart::nothingToDo;
    }
    return runSync(due);
}

AppModel::JobStart AppModel::syncNow() {
    const JobStart answer = busy_ ? JobStart::busy : runSync(enabledPlaylists());
    if (answer == JobStart::busy) {
        sayRefused();
    }
    return answer;
}

namespace {

const QString busyHereText = QStringLiteral("Busy with another job: try again when it ends.");
const QString busyElsewhereText = QStringLiteral(
    "Another kelvo process (kelvo-cli or the watch service) is running a job: try again when "
    "it ends.");

}  // namespace

void AppModel::sayRefused() {
    setLastError(busyElsewhere_ ? busyElsewhereText : busyHereText);
}

void AppModel::setBusyElsewhere(bool busy) {
    if (busy == busyElsewhere_) {
        return;
    }
    busyElsewhere_ = busy;
    if (busy) {
        // Looked at again only while the other job lasts: no wake-ups when all is idle.
        if (elsewhereTimer_ == nullptr) {
            elsewhereTimer_ = new QTimer(this);
            elsewhereTimer_->setInterval(2000);
            connect(elsewhereTimer_, &QTimer::timeout, this, &AppModel::checkBusyElsewhere);
        }
        elsewhereTimer_->start();
    } else {
        if (elsewhereTimer_ != nullptr) {
            elsewhereTimer_->stop();
        }
        if (lastError_ == busyElsewhereText) {
            setLastError(std::nullopt);
        }
        refresh();
        emit libraryChanged();
    }
    emit busyElsewhereChanged();
}

void AppModel::checkBusyElsewhere() {
    if (busy_ || shutDown_) {
        setBusyElsewhere(false);
        return;
    }
    bool held = false;
    try {
        // Free: taken and given back at once.
        held = !jobLock_.tryAcquire();
        if (!held) {
            jobLock_.release();
        }
    } catch (const std::exception&) {
        held = false;
    }
    setBusyElsewhere(held);
}

AppModel::JobStart AppModel::runSync(const QVariantList& playlists) {
    std::vector<PlaylistRecord> records;
    for (const QVariant& item : playlists) {
        const std::int64_t id = item.toMap().value(QStringLiteral("id")).toLongLong();
        if (std::optional<PlaylistRecord> playlist = playlistByID(id)) {
            records.push_back(*playlist);
        }
    }
    return runSync(records);
}

AppModel::JobStart AppModel::runSync(const std::vector<PlaylistRecord>& playlists) {
    if (!catalog_) {
        return JobStart::noCatalog;
    }
    if (playlists.empty()) {
        return JobStart::nothingToDo;
    }
    if (!beginJob()) {
        return JobStart::busy;
    }
    setBusy(true);
    setLastError(std::nullopt);
    notifiedStartThisRun_ = false;

    startWorker([this, playlists, tools = jobTools()](std::stop_token stop) {
        auto job = std::make_shared<Job>();
        job->kind = JobKind::sync;
        // A failure of the run or of one playlist: the error line, the log and the job's result.
        const auto fail = [this, job](const QString& text) {
            post([this, text] {
                setLastError(text);
                log(QStringLiteral("✗ ") + text);
            });
            job->ok = false;
            job->results.append(QStringLiteral("✗ ") + text);
        };
        try {
            YTDLPEngine engine = tools.engine(stop);
            ObservedEngine observed(engine, tools.progress);
            Downloader downloader(*tools.catalog, observed, tools.summarizer.get(), tools.logLine);
            downloader.setOptions(tools.options);
            YTDLPPlaylistSource source(engine);
            SyncEngine syncEngine(*tools.catalog, source, downloader, tools.logLine);
            syncEngine.setStopToken(stop);
            syncEngine.setPauseBetweenDownloads(
                std::chrono::seconds(tools.options.pauseBetweenDownloadsSeconds));
            syncEngine.setProgress([this](std::size_t n, std::size_t total, const std::string&) {
                post([this, n, total] {
                    setProgress(static_cast<int>(n), static_cast<int>(total), downloadedBytes_);
                });
            });
            int ready = 0;
            int archived = 0;
            int problems = 0;
            // YouTube refused this computer: nothing more is fetched in this run.
            bool refused = false;
            bool adviseUpdate = false;
            for (const PlaylistRecord& playlist : playlists) {
                if (stop.stop_requested() || refused) {
                    break;
                }
                const QString title = qs(playlist.title);
                post([this, title] { log(QStringLiteral("Checking ") + title + "…"); });
                try {
                    const SyncReport report = syncEngine.sync(playlist);
                    ready += static_cast<int>(report.added.size() + report.copied.size() +
                                              report.restored.size());
                    archived += static_cast<int>(report.archived.size());
                    problems +=
                        static_cast<int>(report.skippedSignIn.size() + report.failed.size());
                    const QString line = QStringLiteral("✓ ") + qs(report.summary());
                    post([this, line] { log(line); });
                    job->results.append(line);
                    refused = report.refused;
                    for (const std::string& failure : report.failed) {
                        adviseUpdate = adviseUpdate || advisesUpdate(failure);
                    }
                } catch (const std::exception& error) {
                    if (isRefusal(error)) {
                        refused = true;
                        continue;
                    }
                    adviseUpdate = adviseUpdate || advisesUpdate(error.what());
                    fail(title + QStringLiteral(": ") + errorText(error));
                }
                post([this] { setProgress(0, 0, 0); });
            }
            if (refused) {
                post([this] { reportRefusal(); });
                job->ok = false;
                job->results.append(QStringLiteral("✗ ") +
                                    QString::fromUtf8(EngineError::refusedMessage.data(),
                                                      EngineError::refusedMessage.size()));
            } else {
                if (const std::optional<QString> body =
                        syncNotificationBody(ready, archived, problems)) {
                    post([this, text = *body] { notify(text); });
                }
                if (!stop.stop_requested()) {
                    post([this] { backoff_.clear(); });
                }
            }
            if (adviseUpdate) {
                post([this] { log(updateAdviceLine); });
            }
        } catch (const std::exception& error) {
            // No yt-dlp, deno or ffmpeg, or the pipeline could not be built.
            fail(errorText(error));
        }
        post([this, job] { finishJob(job->kind, job->ok, job->results); });
    });
    return JobStart::started;
}

AppModel::JobStart AppModel::download(const QString& link, bool fromClipboard) {
    if (!catalog_) {
        setLastError(QStringLiteral("The catalog is not open — quit and reopen kelvo."));
        notify(QStringLiteral(
            "Download not started: the catalog is not open. Quit and reopen kelvo."));
        return JobStart::noCatalog;
    }
    const QString trimmed = trimHorizontal(link);
    if (trimmed.isEmpty()) {
        return JobStart::nothingToDo;
    }
    if (!beginJob()) {
        if (!fromClipboard) {
            sayRefused();
        }
        return JobStart::busy;
    }
    setBusy(true);
    setLastError(std::nullopt);
    notifiedStartThisRun_ = fromClipboard;

    const fs::path folder = ss(singlesRoot());
    const std::string target = ss(trimmed);
    startWorker([this, folder, target, tools = jobTools()](std::stop_token stop) {
        auto job = std::make_shared<Job>();
        job->kind = JobKind::download;
        try {
            YTDLPEngine engine = tools.engine(stop);
            ObservedEngine observed(engine, tools.progress);
            Downloader downloader(*tools.catalog, observed, tools.summarizer.get(), tools.logLine);
            downloader.setOptions(tools.options);
            const GetResult result = downloader.get(target, folder);
            post([this] { backoff_.clear(); });
            const QString name = qs(result.file.filename().string());
            const QString stem = qs(result.file.stem().string());
            post([this, name, stem] {
                log(QStringLiteral("✓ Saved ") + name);
                notify(QStringLiteral("Ready: ") + stem);
            });
            job->results.append(qs(result.file.string()));
        } catch (const std::exception& error) {
            const QString description = errorText(error);
            const bool refused = isRefusal(error);
            const bool adviseUpdate = advisesUpdate(error.what());
            post([this, description, refused, adviseUpdate] {
                setLastError(description);
                log(QStringLiteral("✗ ") + description);
                notify(QStringLiteral("Download failed: ") + description);
                if (refused) {
                    backoff_.recordRefusal(QDateTime::currentDateTimeUtc());
                }
                if (adviseUpdate) {
                    log(updateAdviceLine);
                }
            });
            job->ok = false;
            job->results.append(QStringLiteral("✗ ") + description);
        }
        post([this, job] { finishJob(job->kind, job->ok, job->results); });
    });
    return JobStart::started;
}

void AppModel::downloadFromClipboard() {
    const QString text = services_.clipboard ? services_.clipboard->text() : QString();
    const std::optional<YouTubeLink> link = YouTubeLink::classify(ss(text));
    if (!link) {
        notify(clipboardRefusal(text));
        return;
    }
    if (link->isPlaylist()) {
        notify(QStringLiteral(
            "That's a playlist link. The shortcut downloads single videos for now."));
        return;
    }
    bool busy = busy_;
    if (!busy) {
        // A job of another process counts as busy too. The lock is taken for real by the job.
        try {
            busy = !jobLock_.tryAcquire();
            jobLock_.release();
        } catch (const std::exception&) {
            busy = false;
        }
    }
    if (busy) {
        notify(
            QStringLiteral("Busy with another download — copy the link again when it finishes."));
        return;
    }
    const QString url = qs(link->url);
    notify(QStringLiteral("Downloading from clipboard: ") + url);
    download(url, true);
}

void AppModel::reportRefusal() {
    const std::chrono::minutes delay = backoff_.recordRefusal(QDateTime::currentDateTimeUtc());
    const QString text =
        QString::fromUtf8(EngineError::refusedMessage.data(), EngineError::refusedMessage.size()) +
        QStringLiteral(" Automatic checks wait ") + RefusalBackoff::delayText(delay) +
        QLatin1Char('.');
    setLastError(text);
    log(QStringLiteral("✗ ") + text);
    notify(text);
}

}  // namespace kelvo
