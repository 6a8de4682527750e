// Playlist management: registering a playlist, stopping its sync and the library folder.

#include "app/app_model_parts.h"

namespace kelvo {

using namespace model_detail;

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
    setPlaylist(
        link, playlistRoot(), intervalMin,
        [self](std::optional<PlaylistRecord> record, QString error) {
            AppModel* model = self.data();
            if (model == nullptr) {
                return;
            }
            model->savingPlaylist_ = false;
            emit model->savingPlaylistChanged();
            if (record) {
                // A job running here or in another process leaves the new playlist to
                // the next automatic check.
                const bool started = model->syncNow() != JobStart::busy;
                emit model->playlistSaved(
                    true,
                    QStringLiteral("✓ ") + qs(record->title) + QStringLiteral(" → ") +
                        qs(record->folder().string()) +
                        (started ? QStringLiteral(" · syncing now (see the tray icon)")
                                 : QStringLiteral(" · it syncs once the job running now ends")));
            } else {
                emit model->playlistSaved(
                    false, error + QStringLiteral(" — is the playlist public or unlisted?"));
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

}  // namespace kelvo
