// AppModel: start-up, properties, the list maps and texts, refresh, the log and shutdown. The
// other parts live beside it: app_model_jobs.cpp, app_model_playlists.cpp, app_model_library.cpp,
// app_model_tools.cpp and app_model_reset.cpp.

#include <algorithm>

#include "app/app_model_parts.h"

namespace kelvo {

using namespace model_detail;

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
        if (catalog_) {
            watchCatalog();
        }
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

AppModel::JobTools AppModel::jobTools() {
    return JobTools{
        catalog_.get(),
        makeLocator(),
        makeSummarizer(),
        progress_,
        std::chrono::milliseconds(options_.killGraceMs),
        settings_.downloadOptions(),
        [this](const std::string& line) { post([this, message = qs(line)] { log(message); }); }};
}

std::unique_ptr<Summarizer> AppModel::makeSummarizer() const {
    if (options_.makeSummarizer) {
        return options_.makeSummarizer();
    }
    return std::make_unique<OnDeviceSummarizer>();
}

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

bool AppModel::copyActivity() {
    QStringList lines = activityLog_.readNewestFirst();
    std::reverse(lines.begin(), lines.end());
    return services_.clipboard && services_.clipboard->setText(lines.join(QLatin1Char('\n')));
}

bool AppModel::revealActivityLog() {
    if (!services_.files || !QFileInfo::exists(activityLog_.filePath())) {
        return false;
    }
    return services_.files->reveal(activityLog_.filePath());
}

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
