#include "app/app_model.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QMetaObject>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/build_version.h"
#include "app/paths.h"
#include "core/catalog/catalog.h"
#include "core/engine/downloaded_bytes.h"
#include "core/engine/engine_error.h"
#include "core/engine/ytdlp_engine.h"
#include "core/library/video_files.h"
#include "core/links/youtube_link.h"
#include "core/links/ytdlp_playlist_source.h"
#include "core/pipelines/downloader.h"
#include "core/pipelines/sync_engine.h"
#include "core/summaries/on_device_summarizer.h"
#include "core/text/unicode.h"
#include "core/tools/tool_updater.h"
#include "core/tools/tool_versions.h"

namespace kelvo {

namespace fs = std::filesystem;

// What the worker tells the progress poller: the file yt-dlp is writing right now.
struct JobProgress {
    std::mutex mutex;
    fs::path folder;
    std::string baseName;
    bool downloading = false;
};

// What a job hands back to the main thread when it ends.
struct AppModel::Job {
    JobKind kind = JobKind::sync;
    bool ok = true;
    QStringList results;
};

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

std::string ss(const QString& text) {
    return text.toStdString();
}

QVariant optionalText(const std::optional<std::string>& text) {
    return text ? QVariant(qs(*text)) : QVariant();
}

QVariant optionalTime(const std::optional<TimePoint>& time) {
    return time ? QVariant(*time) : QVariant();
}

QString quoted(const QString& title) {
    return QLatin1Char('"') + title + QLatin1Char('"');
}

// The download engine of one job, noting which file is being written so the model can show
// how far the download got.
class ObservedEngine : public DownloadEngine {
  public:
    ObservedEngine(DownloadEngine& inner, std::shared_ptr<JobProgress> progress)
        : inner_(inner), progress_(std::move(progress)) {}

    VideoMetadata metadata(std::string_view link) override { return inner_.metadata(link); }

    fs::path download(std::string_view link, const fs::path& folder,
                      std::string_view baseName) override {
        set(folder, std::string(baseName), true);
        try {
            fs::path file = inner_.download(link, folder, baseName);
            set({}, {}, false);
            return file;
        } catch (...) {
            set({}, {}, false);
            throw;
        }
    }

  private:
    void set(fs::path folder, std::string baseName, bool downloading) {
        std::lock_guard lock(progress_->mutex);
        progress_->folder = std::move(folder);
        progress_->baseName = std::move(baseName);
        progress_->downloading = downloading;
    }

    DownloadEngine& inner_;
    std::shared_ptr<JobProgress> progress_;
};

QString statusPill(const CatalogEntry& entry) {
    switch (entry.status) {
        case VideoStatus::queued:
        case VideoStatus::downloading:
            return QStringLiteral("Downloading");
        case VideoStatus::needsSignIn:
            return QStringLiteral("Needs sign-in");
        case VideoStatus::failed:
            return QStringLiteral("Failed");
        case VideoStatus::done:
            if (entry.isMissing) {
                return QStringLiteral("File missing");
            }
            return entry.isArchived ? QStringLiteral("Archived") : QString();
        case VideoStatus::deleted:
            return QString();
    }
    return QString();
}

QString statusWord(const CatalogEntry& entry) {
    switch (entry.status) {
        case VideoStatus::queued:
            return QStringLiteral("Queued");
        case VideoStatus::downloading:
            return QStringLiteral("Downloading");
        case VideoStatus::needsSignIn:
            return QStringLiteral("Needs sign-in");
        case VideoStatus::failed:
            return QStringLiteral("Failed");
        case VideoStatus::done:
            if (entry.isMissing) {
                return QStringLiteral("File missing");
            }
            return entry.isArchived ? QStringLiteral("Archived") : QStringLiteral("Downloaded");
        case VideoStatus::deleted:
            return QStringLiteral("Deleted");
    }
    return QString();
}

QString displayDate(const std::optional<std::string>& uploadDate) {
    if (!uploadDate) {
        return QStringLiteral("undated");
    }
    QString date = qs(*uploadDate);
    if (date.size() == 8) {
        date = date.left(4) + QLatin1Char('-') + date.mid(4, 2) + QLatin1Char('-') + date.mid(6);
    }
    return date;
}

QString intervalText(std::int64_t minutes) {
    if (minutes < 60) {
        return QStringLiteral("every %1 min").arg(minutes);
    }
    return QStringLiteral("every %1 h").arg(minutes / 60);
}

// The text with spaces and tabs (not line breaks) trimmed from both ends.
QString trimHorizontal(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text.at(begin))) {
        ++begin;
    }
    while (end > begin && blank(text.at(end - 1))) {
        --end;
    }
    return text.mid(begin, end - begin);
}

QString errorText(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

bool isRefusal(const std::exception& error) {
    const auto* engineError = dynamic_cast<const EngineError*>(&error);
    return engineError != nullptr && engineError->kind() == EngineError::Kind::refused;
}

// The one line a job adds when yt-dlp's own error text asks for its latest version.
const QString updateAdviceLine = QStringLiteral(
    "yt-dlp asks to be brought up to date: press “Update yt-dlp” in Settings › "
    "Download settings, or run kelvo-cli tools update.");

}  // namespace

// ---- Construction ----

AppModel::AppModel(DesktopServices services, QObject* parent)
    : AppModel(std::move(services), Options{}, parent) {}

AppModel::AppModel(DesktopServices services, Options options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      services_(std::move(services)),
      progress_(std::make_shared<JobProgress>()) {
    startUp();
}

AppModel::~AppModel() {
    shutdown();
}

void AppModel::startUp() {
    // 1. Settings and the login item.
    libraryFolder_ = settings_.libraryFolder();
    launchAtLogin_ = services_.loginItem && services_.loginItem->isEnabled();

    // 2. The catalog; without it kelvo still runs and shows why.
    try {
        catalog_ = std::make_unique<Catalog>(Catalog::defaultURL());
    } catch (const std::exception& error) {
        lastError_ = errorText(error);
    }
    // Videos an earlier crash or quit left "downloading" can be retried or removed again. Only
    // when no other process runs a job: its videos are downloading for real.
    if (catalog_ && !options_.readOnly) {
        try {
            if (jobLock_.tryAcquire()) {
                catalog_->failInterruptedDownloads();
                jobLock_.release();
            }
        } catch (const std::exception&) {
            jobLock_.release();
        }
    }

    // 3-4. The activity log.
    if (!options_.readOnly) {
        activityLog_.trim();
        activityLog_.append(QStringLiteral("kelvo started (") + BuildVersion::pill() +
                            QLatin1Char(')'));
    }

    // 5. The appearance is read by the views from `appearance`.
    // 6.
    refresh();

    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(options_.progressIntervalMs);
    connect(progressTimer_, &QTimer::timeout, this, &AppModel::pollProgress);

    // 7-8. Notifications need no set-up on this desktop.
    // 9-11. The 60-second due check, wake-ups and the check at launch.
    if (options_.automaticSync) {
        timer_ = new QTimer(this);
        timer_->setInterval(options_.syncIntervalMs);
        connect(timer_, &QTimer::timeout, this, [this] { syncDue(); });
        timer_->start();
        if (services_.wake) {
            QPointer<AppModel> self(this);
            services_.wake->start([self] {
                if (AppModel* model = self.data()) {
                    model->syncDue();
                }
            });
        }
        QTimer::singleShot(0, this, [this] { syncDue(); });
    }

    // 12. The clipboard shortcut.
    if (options_.registerShortcut && services_.hotKey) {
        QPointer<AppModel> self(this);
        const auto showStatus = [self](GlobalHotKey::Status status) {
            AppModel* model = self.data();
            if (model == nullptr) {
                return;
            }
            const bool active = status == GlobalHotKey::Status::Active;
            if (model->shortcutActive_ != active) {
                model->shortcutActive_ = active;
                emit model->clipboardShortcutActiveChanged();
            }
            const QString problem = GlobalHotKey::problemText(status);
            if (model->shortcutProblem_ != problem) {
                model->shortcutProblem_ = problem;
                emit model->shortcutProblemChanged();
            }
        };
        const bool active = services_.hotKey->registerShortcut(
            [self] {
                if (AppModel* model = self.data()) {
                    model->downloadFromClipboard();
                }
            },
            showStatus);
        showStatus(active ? GlobalHotKey::Status::Active : services_.hotKey->status());
    }
}

// ---- Properties ----

QVariantList AppModel::playlistsVariant() const {
    QVariantList list;
    for (const PlaylistRecord& playlist : playlists_) {
        list.append(playlistMap(playlist));
    }
    return list;
}

QVariantList AppModel::enabledPlaylistsVariant() const {
    QVariantList list;
    for (const PlaylistRecord& playlist : playlists_) {
        if (playlist.enabled) {
            list.append(playlistMap(playlist));
        }
    }
    return list;
}

QVariantList AppModel::recentVariant() const {
    QVariantList list;
    for (const CatalogEntry& entry : recent_) {
        list.append(entryMap(entry));
    }
    return list;
}

std::vector<PlaylistRecord> AppModel::enabledPlaylists() const {
    std::vector<PlaylistRecord> enabled;
    for (const PlaylistRecord& playlist : playlists_) {
        if (playlist.enabled) {
            enabled.push_back(playlist);
        }
    }
    return enabled;
}

QString AppModel::playlistFolder() const {
    return libraryFolder_ + QStringLiteral("/Playlist");
}

QString AppModel::singlesFolder() const {
    return libraryFolder_ + QStringLiteral("/Singles");
}

QString AppModel::playlistRoot() const {
    return paths::expandTilde(playlistFolder());
}

QString AppModel::singlesRoot() const {
    return paths::expandTilde(singlesFolder());
}

QString AppModel::shortcutLabel() const {
    return QString::fromLatin1(GlobalHotKey::label);
}

QString AppModel::appearance() const {
    return settings_.appearance();
}

void AppModel::setAppearance(const QString& appearance) {
    settings_.setAppearance(appearance);
    emit appearanceChanged();
}

QString AppModel::syncPosition() const {
    if (syncTotal_ <= 0) {
        return QString();
    }
    return QStringLiteral("%1 of %2").arg(syncIndex_).arg(syncTotal_);
}

QString AppModel::buildPill() const {
    return BuildVersion::pill();
}

QString AppModel::buildDisplay() const {
    return BuildVersion::display();
}

std::vector<CatalogEntry> AppModel::entryRecords(const QString& search, int limit) const {
    if (!catalog_) {
        return {};
    }
    try {
        std::optional<std::string> text;
        if (!search.isEmpty()) {
            text = ss(search);
        }
        return catalog_->entries(text, limit);
    } catch (const std::exception&) {
        return {};
    }
}

std::optional<CatalogEntry> AppModel::entryFor(const QString& videoID) const {
    if (!catalog_) {
        return std::nullopt;
    }
    try {
        const std::optional<VideoRecord> video = catalog_->video(ss(videoID));
        if (!video) {
            return std::nullopt;
        }
        CatalogEntry entry;
        entry.videoID = video->videoID;
        entry.title = video->title;
        entry.channel = video->channel;
        entry.uploadDate = video->uploadDate;
        entry.status = video->status;
        entry.error = video->error;
        entry.downloadedAt = video->downloadedAt;
        return entry;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<PlaylistRecord> AppModel::playlistByID(std::int64_t id) const {
    for (const PlaylistRecord& playlist : playlists_) {
        if (playlist.id == id) {
            return playlist;
        }
    }
    return std::nullopt;
}

QVariantMap AppModel::playlistMap(const PlaylistRecord& playlist) {
    QVariantMap map;
    map.insert(QStringLiteral("id"), static_cast<qint64>(playlist.id));
    map.insert(QStringLiteral("youtubeID"), qs(playlist.youtubeID));
    map.insert(QStringLiteral("title"), qs(playlist.title));
    map.insert(QStringLiteral("targetPath"), qs(playlist.targetPath));
    map.insert(QStringLiteral("intervalMin"), static_cast<qint64>(playlist.intervalMin));
    map.insert(QStringLiteral("intervalText"), intervalText(playlist.intervalMin));
    map.insert(QStringLiteral("enabled"), playlist.enabled);
    map.insert(QStringLiteral("lastCheckedAt"), optionalTime(playlist.lastCheckedAt));
    map.insert(QStringLiteral("folderName"), optionalText(playlist.folderName));
    map.insert(QStringLiteral("folder"), QString::fromStdString(playlist.folder().string()));
    return map;
}

QVariantMap AppModel::entryMap(const CatalogEntry& entry) {
    QVariantMap map;
    map.insert(QStringLiteral("videoID"), qs(entry.videoID));
    map.insert(QStringLiteral("title"), qs(entry.title));
    map.insert(QStringLiteral("channel"), optionalText(entry.channel));
    map.insert(QStringLiteral("uploadDate"), optionalText(entry.uploadDate));
    map.insert(QStringLiteral("displayDate"), displayDate(entry.uploadDate));
    map.insert(QStringLiteral("summary"), optionalText(entry.summary));
    QStringList tags;
    for (const std::string& tag : entry.tags) {
        tags.append(qs(tag));
    }
    map.insert(QStringLiteral("tags"), tags);
    map.insert(QStringLiteral("status"), qs(std::string(toText(entry.status))));
    map.insert(QStringLiteral("statusText"), statusPill(entry));
    map.insert(QStringLiteral("statusWord"), statusWord(entry));
    map.insert(QStringLiteral("downloadedAt"), optionalTime(entry.downloadedAt));
    map.insert(QStringLiteral("isArchived"), entry.isArchived);
    map.insert(QStringLiteral("isMissing"), entry.isMissing);
    map.insert(QStringLiteral("error"), optionalText(entry.error));
    map.insert(QStringLiteral("playlistTitle"), optionalText(entry.playlistTitle));
    map.insert(QStringLiteral("isSingle"), entry.isSingle());
    map.insert(QStringLiteral("sourceText"),
               entry.isSingle() ? QStringLiteral("Single") : QStringLiteral("Playlist"));
    const bool working =
        entry.status == VideoStatus::queued || entry.status == VideoStatus::downloading;
    map.insert(QStringLiteral("isWorking"), working);
    map.insert(QStringLiteral("canRetry"), entry.status == VideoStatus::failed);
    map.insert(QStringLiteral("canPlay"), entry.status == VideoStatus::done && !entry.isMissing);
    return map;
}

// ---- Texts ----

std::optional<QString> AppModel::syncNotificationBody(int ready, int archived, int problems) {
    if (ready <= 0 && problems <= 0) {
        return std::nullopt;
    }
    QString body;
    if (ready > 0) {
        body = QString::number(ready) + QStringLiteral(" video") +
               (ready == 1 ? QString() : QStringLiteral("s")) + QStringLiteral(" ready");
    } else {
        body = QStringLiteral("No new videos");
    }
    if (archived > 0) {
        body += QStringLiteral(" · ") + QString::number(archived) + QStringLiteral(" archived");
    }
    if (problems > 0) {
        body += QStringLiteral(" · ") + QString::number(problems) +
                QStringLiteral(" could not be downloaded (details in the Library)");
    }
    return body;
}

QString AppModel::clipboardRefusal(const QString& clipboardText) {
    const std::string trimmed = text::trimmed(ss(clipboardText));
    QString reason;
    if (trimmed.empty()) {
        reason = QStringLiteral("it is empty or not text");
    } else {
        // Counted in user-perceived characters, so an emoji or an accented letter is never cut.
        const std::vector<std::string> characters = text::graphemes(trimmed);
        std::string shown;
        for (std::size_t i = 0; i < characters.size() && i < 60; ++i) {
            shown += characters[i];
        }
        reason = QStringLiteral("it holds “") + qs(shown) +
                 (characters.size() > 60 ? QStringLiteral("…") : QString()) + QStringLiteral("”");
    }
    return QStringLiteral("The clipboard doesn't hold a YouTube video link — ") + reason +
           QLatin1Char('.');
}

// ---- Small state changes ----

void AppModel::setBusy(bool busy) {
    if (busy_ != busy) {
        busy_ = busy;
        emit isBusyChanged();
    }
}

void AppModel::setLastError(std::optional<QString> error) {
    if (lastError_ != error) {
        lastError_ = std::move(error);
        emit lastErrorChanged();
    }
}

void AppModel::setCurrentTitle(std::optional<QString> title) {
    if (currentTitle_ != title) {
        currentTitle_ = std::move(title);
        emit currentTitleChanged();
    }
}

void AppModel::setProgress(int index, int total, qint64 bytes) {
    if (syncIndex_ != index || syncTotal_ != total || downloadedBytes_ != bytes) {
        syncIndex_ = index;
        syncTotal_ = total;
        downloadedBytes_ = bytes;
        emit progressChanged();
    }
}

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

void AppModel::post(std::function<void()> fn) {
    QPointer<AppModel> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, fn = std::move(fn)] {
            if (self) {
                fn();
            }
        },
        Qt::QueuedConnection);
}

ToolLocator AppModel::makeLocator() const {
    if (options_.makeLocator) {
        return options_.makeLocator();
    }
    return ToolLocator::forCurrentProcess();
}

std::unique_ptr<Summarizer> AppModel::makeSummarizer() const {
    if (options_.makeSummarizer) {
        return options_.makeSummarizer();
    }
    return std::make_unique<OnDeviceSummarizer>();
}

// ---- Refresh and the log ----

void AppModel::refresh() {
    std::vector<PlaylistRecord> playlists;
    std::vector<CatalogEntry> recent;
    if (catalog_) {
        try {
            playlists = catalog_->playlists();
        } catch (const std::exception&) {
            playlists.clear();
        }
        try {
            recent = catalog_->entries(std::nullopt, 8);
        } catch (const std::exception&) {
            recent.clear();
        }
    }
    // Announced only when something changed: the Library reloads on `recent`.
    if (playlists != playlists_) {
        playlists_ = std::move(playlists);
        emit playlistsChanged();
    }
    if (recent != recent_) {
        recent_ = std::move(recent);
        emit recentChanged();
    }
}

void AppModel::log(const QString& message) {
    static const QString downloadPrefix = QStringLiteral("Downloading \"");
    if (message.startsWith(downloadPrefix)) {
        setCurrentTitle(QString(message).remove(QStringLiteral("Downloading ")));
        if (!notifiedStartThisRun_) {
            notifiedStartThisRun_ = true;
            notify(message);
        }
    }
    activity_.append(message);
    while (activity_.size() > 50) {
        activity_.removeFirst();
    }
    activityLog_.append(message);
    emit activityChanged();
    emit activityAppended(message);
}

void AppModel::notify(const QString& body) {
    if (services_.notifier) {
        services_.notifier->notify(QStringLiteral("kelvo"), body);
    }
}

QStringList AppModel::activityLines() const {
    return activityLog_.readNewestFirst();
}

bool AppModel::revealActivityLog() {
    if (!services_.files || !QFileInfo::exists(activityLog_.filePath())) {
        return false;
    }
    return services_.files->reveal(activityLog_.filePath());
}

QVariantList AppModel::entries(const QString& search, int limit) const {
    QVariantList list;
    for (const CatalogEntry& entry : entryRecords(search, limit)) {
        list.append(entryMap(entry));
    }
    return list;
}

// ---- Jobs ----

bool AppModel::beginJob() {
    if (busy_ || shutDown_) {
        return false;
    }
    try {
        // Another process (kelvo-cli beside the tray app) running a job counts as busy.
        if (!jobLock_.tryAcquire()) {
            return false;
        }
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
    if (busy_) {
        return JobStart::busy;
    }
    return runSync(enabledPlaylists());
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

    Catalog* catalog = catalog_.get();
    ToolLocator locator = makeLocator();
    std::shared_ptr<Summarizer> summarizer = makeSummarizer();
    std::shared_ptr<JobProgress> progress = progress_;
    const auto killGrace = std::chrono::milliseconds(options_.killGraceMs);
    const DownloadOptions downloadOptions = settings_.downloadOptions();

    startWorker([this, playlists, catalog, locator, summarizer, progress, killGrace,
                 downloadOptions](std::stop_token stop) {
        auto job = std::make_shared<Job>();
        job->kind = JobKind::sync;
        const LogCallback logLine = [this](const std::string& line) {
            post([this, message = qs(line)] { log(message); });
        };
        try {
            std::optional<YTDLPEngine> engine;
            try {
                engine.emplace(locator, 3, stop);
                engine->setKillGrace(killGrace);
                engine->setOptions(downloadOptions);
            } catch (const std::exception& error) {
                const QString description = errorText(error);
                post([this, description] {
                    setLastError(description);
                    log(QStringLiteral("✗ ") + description);
                });
                job->ok = false;
                job->results.append(QStringLiteral("✗ ") + description);
                engine.reset();
            }
            if (engine) {
                ObservedEngine observed(*engine, progress);
                Downloader downloader(*catalog, observed, summarizer.get(), logLine);
                downloader.setOptions(downloadOptions);
                YTDLPPlaylistSource source(*engine);
                SyncEngine syncEngine(*catalog, source, downloader, logLine);
                syncEngine.setStopToken(stop);
                syncEngine.setPauseBetweenDownloads(
                    std::chrono::seconds(downloadOptions.pauseBetweenDownloadsSeconds));
                syncEngine.setProgress([this](std::size_t n, std::size_t total,
                                              const std::string&) {
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
                        const QString text = title + QStringLiteral(": ") + errorText(error);
                        post([this, text] {
                            setLastError(text);
                            log(QStringLiteral("✗ ") + text);
                        });
                        job->ok = false;
                        job->results.append(QStringLiteral("✗ ") + text);
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
            }
        } catch (const std::exception& error) {
            // Building the pipeline failed; the run reports it like a failed engine.
            const QString description = errorText(error);
            post([this, description] {
                setLastError(description);
                log(QStringLiteral("✗ ") + description);
            });
            job->ok = false;
            job->results.append(QStringLiteral("✗ ") + description);
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
        return JobStart::busy;
    }
    setBusy(true);
    setLastError(std::nullopt);
    notifiedStartThisRun_ = fromClipboard;

    Catalog* catalog = catalog_.get();
    ToolLocator locator = makeLocator();
    std::shared_ptr<Summarizer> summarizer = makeSummarizer();
    std::shared_ptr<JobProgress> progress = progress_;
    const fs::path folder = ss(singlesRoot());
    const std::string target = ss(trimmed);
    const auto killGrace = std::chrono::milliseconds(options_.killGraceMs);
    const DownloadOptions downloadOptions = settings_.downloadOptions();

    startWorker([this, catalog, locator, summarizer, progress, folder, target, killGrace,
                 downloadOptions](std::stop_token stop) {
        auto job = std::make_shared<Job>();
        job->kind = JobKind::download;
        const LogCallback logLine = [this](const std::string& line) {
            post([this, message = qs(line)] { log(message); });
        };
        try {
            YTDLPEngine engine(locator, 3, stop);
            engine.setKillGrace(killGrace);
            engine.setOptions(downloadOptions);
            ObservedEngine observed(engine, progress);
            Downloader downloader(*catalog, observed, summarizer.get(), logLine);
            downloader.setOptions(downloadOptions);
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

// ---- Playlists and settings ----

void AppModel::runAux(std::function<void(std::stop_token)> work) {
    std::lock_guard lock(auxMutex_);
    if (shutDown_) {
        return;
    }
    // Each thread asks to be joined as its last act; shutdown() joins whatever still runs.
    aux_.emplace_back([this, work = std::move(work), stop = auxStop_.get_token()] {
        work(stop);
        post([this, id = std::this_thread::get_id()] { reapAux(id); });
    });
}

void AppModel::reapAux(std::thread::id id) {
    std::thread done;
    {
        std::lock_guard lock(auxMutex_);
        for (auto it = aux_.begin(); it != aux_.end(); ++it) {
            if (it->get_id() == id) {
                done = std::move(*it);
                aux_.erase(it);
                break;
            }
        }
    }
    if (done.joinable()) {
        done.join();
    }
}

void AppModel::setPlaylist(const QString& link, const QString& targetPath, int intervalMin,
                           PlaylistDone done) {
    if (!catalog_) {
        done(std::nullopt, errorText(CatalogError("catalog unavailable")));
        return;
    }
    const std::string id = playlistID(text::trimmed(ss(link)));
    ToolLocator locator = makeLocator();
    const auto killGrace = std::chrono::milliseconds(options_.killGraceMs);
    const std::string target = ss(targetPath);
    runAux([this, id, locator, killGrace, target, intervalMin,
            done = std::move(done)](std::stop_token stop) {
        std::optional<RemotePlaylist> remote;
        QString error;
        try {
            YTDLPEngine engine(locator, 3, stop);
            engine.setKillGrace(killGrace);
            YTDLPPlaylistSource source(engine);
            if (!id.empty()) {
                remote = source.playlist(id);
            }
            if (!remote) {
                throw EngineError::failed("playlist not found");
            }
        } catch (const std::exception& e) {
            error = errorText(e);
            remote.reset();
        }
        post([this, remote, error, target, intervalMin, done] {
            if (!remote) {
                done(std::nullopt, error);
                return;
            }
            if (!catalog_) {
                done(std::nullopt, errorText(CatalogError("catalog unavailable")));
                return;
            }
            try {
                catalog_->addPlaylist(remote->id, remote->title, target, intervalMin);
            } catch (const std::exception& e) {
                done(std::nullopt, errorText(e));
                return;
            }
            refresh();
            for (const PlaylistRecord& playlist : playlists_) {
                if (playlist.youtubeID == remote->id) {
                    done(playlist, QString());
                    return;
                }
            }
            done(std::nullopt, errorText(CatalogError("the saved playlist could not be read")));
        });
    });
}

void AppModel::setPlaylist(const QString& link, const QString& targetPath, int intervalMin) {
    QPointer<AppModel> self(this);
    setPlaylist(
        link, targetPath, intervalMin, [self](std::optional<PlaylistRecord> record, QString error) {
            if (AppModel* model = self.data()) {
                emit model->setPlaylistFinished(
                    record.has_value(), record ? playlistMap(*record) : QVariantMap(), error);
            }
        });
}

void AppModel::savePlaylist(const QString& link, int intervalMin) {
    if (savingPlaylist_) {
        return;
    }
    savingPlaylist_ = true;
    emit savingPlaylistChanged();
    QPointer<AppModel> self(this);
    setPlaylist(link, playlistRoot(), intervalMin,
                [self](std::optional<PlaylistRecord> record, QString error) {
                    AppModel* model = self.data();
                    if (model == nullptr) {
                        return;
                    }
                    model->savingPlaylist_ = false;
                    emit model->savingPlaylistChanged();
                    if (record) {
                        emit model->playlistSaved(
                            true, QStringLiteral("✓ ") + qs(record->title) + QStringLiteral(" → ") +
                                      qs(record->folder().string()) +
                                      QStringLiteral(" · syncing now (see the menu bar)"));
                        model->syncNow();
                    } else {
                        emit model->playlistSaved(
                            false,
                            error + QStringLiteral(" — is the playlist public or unlisted?"));
                    }
                });
}

void AppModel::stopSyncing(const PlaylistRecord& playlist) {
    if (catalog_) {
        try {
            catalog_->setPlaylistEnabled(playlist.id, false);
        } catch (const std::exception&) {
            // The line is still written; the playlist stays as it was.
        }
    }
    activityLog_.append(QStringLiteral("Stopped syncing ") + qs(playlist.title));
    refresh();
}

void AppModel::stopSyncing(qint64 playlistID) {
    if (std::optional<PlaylistRecord> playlist = playlistByID(playlistID)) {
        stopSyncing(*playlist);
    }
}

void AppModel::setLibraryFolder(const QString& path) {
    libraryFolder_ = path;
    settings_.setLibraryFolder(path);
    emit libraryFolderChanged();
    const std::string root = ss(playlistRoot());
    if (catalog_) {
        for (const PlaylistRecord& playlist : playlists_) {
            if (!playlist.enabled) {
                continue;
            }
            try {
                catalog_->addPlaylist(playlist.youtubeID, playlist.title, root,
                                      playlist.intervalMin);
            } catch (const std::exception&) {
                // That playlist keeps its old folder.
            }
        }
    }
    activityLog_.append(QStringLiteral("Library folder set to ") + path);
    refresh();
}

// ---- Library entries ----

void AppModel::retry(const CatalogEntry& entry) {
    if (!catalog_) {
        return;
    }
    bool inPlaylist = false;
    try {
        inPlaylist = catalog_->inAnyPlaylist(entry.videoID);
    } catch (const std::exception&) {
        inPlaylist = false;
    }
    if (inPlaylist) {
        syncNow();
    } else {
        download(qs(YouTubeLink::watchURL(entry.videoID)), false);
    }
}

void AppModel::retry(const QString& videoID) {
    CatalogEntry entry;
    entry.videoID = ss(videoID);
    retry(entry);
}

std::optional<std::string> AppModel::bestFile(const std::string& videoID) const {
    if (!catalog_) {
        return std::nullopt;
    }
    try {
        return catalog_->filePath(videoID);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool AppModel::open(const CatalogEntry& entry) {
    const std::optional<std::string> path = bestFile(entry.videoID);
    if (!path || !services_.files || !services_.files->open(qs(*path))) {
        emit beep();
        return false;
    }
    return true;
}

bool AppModel::open(const QString& videoID) {
    CatalogEntry entry;
    entry.videoID = ss(videoID);
    return open(entry);
}

bool AppModel::reveal(const CatalogEntry& entry) {
    const std::optional<std::string> path = bestFile(entry.videoID);
    if (!path || !services_.files || !services_.files->reveal(qs(*path))) {
        emit beep();
        return false;
    }
    return true;
}

bool AppModel::reveal(const QString& videoID) {
    CatalogEntry entry;
    entry.videoID = ss(videoID);
    return reveal(entry);
}

void AppModel::remove(const CatalogEntry& entry) {
    if (!catalog_) {
        return;
    }
    const QString title = qs(entry.title);
    std::optional<VideoRecord> video;
    try {
        video = catalog_->video(entry.videoID);
    } catch (const std::exception&) {
        video.reset();
    }
    if (video) {
        switch (video->status) {
            case VideoStatus::needsSignIn:
            case VideoStatus::failed:
                try {
                    catalog_->forget(entry.videoID);
                } catch (const std::exception&) {
                    // Reported by the next listing, which still shows it.
                }
                log(QStringLiteral("Removed failed entry ") + quoted(title) +
                    QStringLiteral(" (a playlist will retry it)"));
                refresh();
                return;
            case VideoStatus::queued:
            case VideoStatus::downloading:
                setLastError(quoted(title) +
                             QStringLiteral(" is still downloading — delete it when it finishes."));
                return;
            case VideoStatus::done:
            case VideoStatus::deleted:
                break;
        }
    }
    std::vector<std::string> files;
    try {
        files = VideoFiles::withCompanions(catalog_->allFiles(entry.videoID));
    } catch (const std::exception&) {
        files.clear();
    }
    for (const std::string& file : files) {
        const QString path = qs(file);
        const TrashResult result =
            services_.files
                ? services_.files->moveToTrash(path)
                : TrashResult{TrashResult::Outcome::failed, QStringLiteral("no Trash available")};
        if (!result.ok()) {
            setLastError(QStringLiteral("Could not move ") + QFileInfo(path).fileName() +
                         QStringLiteral(" to the Trash: ") + result.reason);
            return;
        }
    }
    try {
        catalog_->markDeleted(entry.videoID);
    } catch (const std::exception& error) {
        setLastError(errorText(error));
        return;
    }
    if (!files.empty()) {
        const auto count = files.size();
        log(QStringLiteral("✓ Moved ") + QString::number(count) + QStringLiteral(" file") +
            (count == 1 ? QString() : QStringLiteral("s")) + QStringLiteral(" of ") +
            quoted(title) + QStringLiteral(" to the Trash"));
    } else {
        log(QStringLiteral("✓ Removed ") + quoted(title) + QStringLiteral(" from the Library"));
    }
    refresh();
}

void AppModel::remove(const QString& videoID) {
    CatalogEntry entry;
    if (std::optional<CatalogEntry> known = entryFor(videoID)) {
        entry = *known;
    } else {
        entry.videoID = ss(videoID);
        entry.title = entry.videoID;
    }
    remove(entry);
}

// ---- Login item and reset ----

void AppModel::setLaunchAtLogin(bool on) {
    if (!services_.loginItem) {
        return;
    }
    try {
        services_.loginItem->setEnabled(on);
    } catch (const std::exception& error) {
        setLastError(QStringLiteral("Login item: ") + errorText(error));
    }
    const bool enabled = services_.loginItem->isEnabled();
    if (launchAtLogin_ != enabled) {
        launchAtLogin_ = enabled;
        emit launchAtLoginChanged();
    }
    // An autostart entry needs nobody's approval: there is never a note.
    if (loginItemNote_) {
        loginItemNote_.reset();
        emit loginItemNoteChanged();
    }
}

void AppModel::resetToFactory(bool trashVideos) {
    // A running job would write into a catalog that is about to move away: stop it first.
    jobStop_.request_stop();
    if (worker_.joinable()) {
        worker_.join();
    }
    jobLock_.release();

    // 1.
    activityLog_.append(QStringLiteral("Reset to factory (videos to Trash: ") +
                        (trashVideos ? QStringLiteral("yes") : QStringLiteral("no")) +
                        QLatin1Char(')'));
    // 2.
    if (timer_) {
        timer_->stop();
        timer_->deleteLater();
        timer_ = nullptr;
    }
    // 3.
    if (trashVideos && catalog_ && services_.files) {
        std::vector<std::string> files;
        try {
            files = VideoFiles::withCompanions(catalog_->allFilesOfAllVideos());
        } catch (const std::exception&) {
            files.clear();
        }
        for (const std::string& file : files) {
            services_.files->moveToTrash(qs(file));
        }
    }
    // 4.
    if (services_.loginItem) {
        try {
            services_.loginItem->setEnabled(false);
        } catch (const std::exception&) {
            // Ignored: the remaining steps still run.
        }
    }
    // 5.
    settings_.clear();
    // 6.
    catalog_.reset();
    emit catalogOpenChanged();
    // 7. The data folder (catalog, its side files, the log) moves beside itself.
    try {
        const fs::path folder = Catalog::defaultURL().parent_path();
        const std::string stamp =
            ss(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        fs::path backup = folder.parent_path() / ("kelvo-reset-backup-" + stamp);
        // Two resets within one second must not collide with the first backup.
        for (int n = 2; fs::exists(backup); ++n) {
            backup =
                folder.parent_path() / ("kelvo-reset-backup-" + stamp + "-" + std::to_string(n));
        }
        fs::rename(folder, backup);
    } catch (const std::exception&) {
        // Ignored: the remaining steps still run.
    }
    // 8.
    if (services_.relauncher) {
        services_.relauncher->relaunch();
    }
    // The model itself is back at its first-launch values.
    libraryFolder_ = settings_.libraryFolder();
    emit libraryFolderChanged();
    launchAtLogin_ = services_.loginItem && services_.loginItem->isEnabled();
    emit launchAtLoginChanged();
    emit appearanceChanged();
    refresh();
    setBusy(false);
    setCurrentTitle(std::nullopt);
    // 9. The views close their windows.
    emit resetDone();
    // 10-11.
    if (options_.quitAfterReset) {
        QCoreApplication::quit();
        QTimer::singleShot(2000, [] { std::_Exit(0); });
    }
}

// ---- Summaries and shutdown ----

void AppModel::checkSummaries() {
    std::shared_ptr<Summarizer> summarizer = makeSummarizer();
    runAux([this, summarizer](std::stop_token) {
        bool available = false;
        QString text;
        if (!summarizer) {
            text = QStringLiteral("Unavailable: summaries are turned off");
        } else if (auto* local = dynamic_cast<OnDeviceSummarizer*>(summarizer.get())) {
            const OnDeviceSummarizer::Status status = local->status();
            available = status.available;
            text = qs(status.text());
        } else {
            available = summarizer->isAvailable();
            text = available
                       ? qs(summarizer->modelVersion())
                       : QStringLiteral("Unavailable: ") + qs(summarizer->unavailableReason());
        }
        post([this, available, text] {
            summariesAvailable_ = available;
            summariesStatus_ = text;
            emit summariesStatusChanged();
        });
    });
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

// ---- Tools and settings ----

void AppModel::setToolsMessage(const QString& message) {
    if (toolsMessage_ != message) {
        toolsMessage_ = message;
        emit toolsChanged();
    }
}

void AppModel::checkTools() {
    const ToolLocator locator = makeLocator();
    runAux([this, locator](std::stop_token stop) {
        const auto path = locator.find("yt-dlp");
        const auto version =
            path ? toolVersion(*path, std::chrono::seconds(15), stop) : std::nullopt;
        const int age = version ? kelvo::ytdlpAgeDays(*version, utcToday()).value_or(-1) : -1;
        const QString text = !path     ? QStringLiteral("not found")
                             : version ? qs(*version)
                                       : QStringLiteral("version unknown");
        post([this, text, age] {
            ytdlpVersion_ = text;
            ytdlpAgeDays_ = age;
            emit toolsChanged();
        });
    });
}

void AppModel::updateYtdlp() {
    if (toolsUpdating_) {
        return;
    }
    // The update replaces what a job runs: it holds the job lock, so no job starts meanwhile
    // (here or in kelvo-cli), and it does not start while one runs.
    auto lock = std::make_shared<JobLock>();
    bool free = !busy_;
    try {
        free = free && lock->tryAcquire();
    } catch (const std::exception&) {
        // No lock file can be made: jobs cannot run either.
    }
    if (!free) {
        setToolsMessage(QStringLiteral("✗ Busy with a download — update yt-dlp when it finishes."));
        return;
    }
    toolsUpdating_ = true;
    setToolsMessage(QStringLiteral("Looking for the latest yt-dlp…"));
    const ToolLocator locator = makeLocator();
    runAux([this, lock, locator](std::stop_token stop) {
        const auto current = locator.find("yt-dlp");
        const std::string before =
            current ? toolVersion(*current, std::chrono::seconds(15), stop).value_or("unknown")
                    : std::string("none");
        ToolUpdater::Options options = ToolUpdater::Options::fromEnvironment(currentEnvironment());
        options.stop = stop;
        auto shown = std::make_shared<QString>();
        options.progress = [this, shown](const ToolProgress& step) {
            QString text = QStringLiteral("Downloading yt-dlp… %1 MB")
                               .arg(static_cast<double>(step.received) / 1e6, 0, 'f', 1);
            if (step.total > 0) {
                text += QStringLiteral(" of %1 MB")
                            .arg(static_cast<double>(step.total) / 1e6, 0, 'f', 1);
            }
            if (text != *shown) {
                *shown = text;
                post([this, text] { setToolsMessage(text); });
            }
        };
        QString result;
        try {
            const ToolUpdateResult installed = ToolUpdater(options).update("yt-dlp");
            result = QStringLiteral("✓ yt-dlp ") + qs(before) + QStringLiteral(" → ") +
                     qs(installed.version);
        } catch (const std::exception& error) {
            result = QStringLiteral("✗ yt-dlp was not updated: ") + errorText(error);
        }
        lock->release();
        post([this, result] {
            toolsUpdating_ = false;
            setToolsMessage(result);
            log(result);
            checkTools();
        });
    });
}

QString AppModel::setting(const QString& name) const {
    const Setting* setting = SettingsStore::find(name);
    return setting ? settings_.value(*setting) : QString();
}

QString AppModel::setSetting(const QString& name, const QString& value) {
    const Setting* setting = SettingsStore::find(name);
    if (!setting) {
        return QStringLiteral("no setting ") + name;
    }
    if (const std::optional<QString> refusal = settings_.setValue(*setting, value)) {
        return *refusal;
    }
    emit settingsChanged();
    return QString();
}

void AppModel::shutdown() {
    {
        std::lock_guard lock(auxMutex_);
        shutDown_ = true;
    }
    if (timer_) {
        timer_->stop();
    }
    jobStop_.request_stop();
    auxStop_.request_stop();
    if (worker_.joinable()) {
        worker_.join();
    }
    std::vector<std::thread> aux;
    {
        std::lock_guard lock(auxMutex_);
        aux.swap(aux_);
    }
    for (std::thread& thread : aux) {
        if (thread.joinable()) {
            thread.join();
        }
    }
    jobLock_.release();
}

}  // namespace kelvo
