#include "app/settings_store.h"

#include <QStandardPaths>

#include "app/paths.h"

namespace kelvo {

SettingsStore::SettingsStore(QString filePath)
    : settings_(std::make_unique<QSettings>(
          filePath.isEmpty() ? paths::settingsFile() : std::move(filePath), QSettings::IniFormat)) {
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::defaultLibraryFolder() {
    QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (videos.isEmpty()) {
        videos = paths::home() + QStringLiteral("/Videos");
    }
    return paths::abbreviateHome(videos + QStringLiteral("/kelvo"));
}

QString SettingsStore::libraryFolder() const {
    settings_->sync();  // kelvo-cli may have changed it
    const QVariant value = settings_->value(QLatin1String(libraryFolderKey));
    return value.isValid() ? value.toString() : defaultLibraryFolder();
}

void SettingsStore::setLibraryFolder(const QString& folder) {
    settings_->setValue(QLatin1String(libraryFolderKey), folder);
    settings_->sync();
}

QString SettingsStore::appearance() const {
    settings_->sync();
    const QVariant value = settings_->value(QLatin1String(appearanceKey));
    return value.isValid() ? value.toString() : QString::fromLatin1(defaultAppearance);
}

void SettingsStore::setAppearance(const QString& appearance) {
    settings_->setValue(QLatin1String(appearanceKey), appearance);
    settings_->sync();
}

void SettingsStore::clear() {
    settings_->clear();
    settings_->sync();
}

}  // namespace kelvo
