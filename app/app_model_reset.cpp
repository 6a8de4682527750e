// The factory reset.

#include "app/app_model_parts.h"

namespace kelvo {

using namespace model_detail;

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

}  // namespace kelvo
