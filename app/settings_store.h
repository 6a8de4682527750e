#pragma once

// The user settings in the INI file $XDG_CONFIG_HOME/kelvo/kelvo.conf: "libraryFolder",
// "appearance" and the opt-in download choices, each stored only once the user sets it.
// Playlists and everything else live in the catalog.

#include <QList>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "core/engine/download_options.h"

namespace kelvo {

// One setting as `kelvo-cli settings` names it.
struct Setting {
    QString name;          // "pause-between-downloads"
    QString iniKey;        // "pauseBetweenDownloads"
    QStringList allowed;   // the values it takes; empty for free text
    QString defaultValue;  // the value while the user has not set one
};

class SettingsStore {
  public:
    static constexpr const char* libraryFolderKey = "libraryFolder";
    static constexpr const char* appearanceKey = "appearance";
    static constexpr const char* defaultAppearance = "dark";

    // `filePath` defaults to paths::settingsFile().
    explicit SettingsStore(QString filePath = {});
    ~SettingsStore();

    // The stored library folder (may begin with "~"), else the default.
    QString libraryFolder() const;
    // Stores the folder as given (also when it did not change).
    void setLibraryFolder(const QString& folder);
    // The stored appearance ("dark", "light", "system", "matrix"), else "dark". Unknown
    // values are returned as stored; the windows treat them as dark.
    QString appearance() const;
    void setAppearance(const QString& appearance);
    // Removes every setting (the factory reset).
    void clear();

    // Every setting, in the order `kelvo-cli settings` prints them.
    static const QList<Setting>& all();
    static const Setting* find(const QString& name);
    // The stored value of a setting of all(), else its default.
    QString value(const Setting& setting) const;
    // Stores `value` (blanks around it and around list items removed) and returns nothing, or
    // returns why it was refused: a text naming the allowed values.
    std::optional<QString> setValue(const Setting& setting, const QString& value);
    // The download choices as the engine and the pipelines take them.
    DownloadOptions downloadOptions() const;

    // The XDG videos folder + "/kelvo", written with "~" when under home: usually
    // "~/Videos/kelvo".
    static QString defaultLibraryFolder();

  private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace kelvo
