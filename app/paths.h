#pragma once

// Where kelvo keeps its own files, and the "~" form of paths.

#include <QString>

namespace kelvo::paths {

// The user's home folder ($HOME).
QString home();
// "~" or "~/..." expanded to the home folder; any other path unchanged.
QString expandTilde(const QString& path);
// A path inside the home folder written with "~" ("~/Videos/kelvo"); others unchanged.
QString abbreviateHome(const QString& path);

// $XDG_DATA_HOME/kelvo (usually ~/.local/share/kelvo): the catalog and the activity log.
QString dataFolder();
// The data folder, created when missing (the folder itself with mode 0700). Throws
// std::filesystem::filesystem_error when it cannot be created.
QString ensureDataFolder();

// $XDG_CONFIG_HOME/kelvo/kelvo.conf.
QString settingsFile();
// The activity log file in the data folder.
QString activityLogFile();
// The lock file that keeps two jobs from running at once, in the data folder.
QString jobLockFile();

}  // namespace kelvo::paths
