#pragma once

// The two user settings: "libraryFolder" and "appearance", in the INI file
// $XDG_CONFIG_HOME/kelvo/kelvo.conf. Playlists and everything else live in the catalog.

#include <QSettings>
#include <QString>
#include <memory>

namespace kelvo {

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

    // The XDG videos folder + "/kelvo", written with "~" when under home: usually
    // "~/Videos/kelvo".
    static QString defaultLibraryFolder();

  private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace kelvo
