// Library actions: the listing, retry, open, reveal and remove of one entry.

#include <QFileSystemWatcher>

#include "app/app_model_parts.h"

namespace kelvo {

using namespace model_detail;

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

QVariantList AppModel::entries(const QString& search, int limit) const {
    QVariantList list;
    for (const CatalogEntry& entry : entryRecords(search, limit)) {
        list.append(entryMap(entry));
    }
    return list;
}

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
    emit libraryChanged();
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

bool AppModel::useFile(const std::string& videoID, bool (FileActions::*action)(const QString&)) {
    const std::optional<std::string> path = bestFile(videoID);
    if (!path || !services_.files || !(services_.files.get()->*action)(qs(*path))) {
        emit beep();
        return false;
    }
    return true;
}

bool AppModel::open(const CatalogEntry& entry) {
    return useFile(entry.videoID, &FileActions::open);
}

bool AppModel::open(const QString& videoID) {
    CatalogEntry entry;
    entry.videoID = ss(videoID);
    return open(entry);
}

bool AppModel::reveal(const CatalogEntry& entry) {
    return useFile(entry.videoID, &FileActions::reveal);
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
    emit libraryChanged();
}

void AppModel::watchCatalog() {
    const QString file = QString::fromStdString(Catalog::defaultURL().string());
    // SQLite writes to the write-ahead file first and into the catalog at a checkpoint.
    const QStringList files{file, file + QStringLiteral("-wal")};
    catalogWatcher_ = new QFileSystemWatcher(this);
    catalogWatcher_->addPaths(files);
    catalogSettle_ = new QTimer(this);
    catalogSettle_->setSingleShot(true);
    catalogSettle_->setInterval(500);
    // At most one reload per half second while a job writes.
    connect(catalogWatcher_, &QFileSystemWatcher::fileChanged, this, [this] {
        if (!catalogSettle_->isActive()) {
            catalogSettle_->start();
        }
    });
    connect(catalogSettle_, &QTimer::timeout, this, [this, files] {
        // A file SQLite removed and made again is watched anew.
        if (catalogWatcher_->files().size() < files.size()) {
            catalogWatcher_->addPaths(files);
        }
        refresh();
        emit libraryChanged();
    });
}

}  // namespace kelvo
