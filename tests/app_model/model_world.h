#pragma once

// The world an AppModel under test lives in, for the model tests and the window tests alike: a
// home folder of its own (HOME and the XDG data and config folders point into a Sandbox while
// the world lives), the yt-dlp stand-in, and stand-ins for every desktop service that record
// what they were asked.

#include <QStringList>
#include <set>

#include "app/app_model.h"
#include "tests/fixtures/fake_service.h"
#include "tests/support/environment.h"
#include "tests/support/sandbox.h"

namespace kelvo::test {

// What the desktop stand-ins saw, and how they answer.
struct DesktopRecord {
    // Notification bodies; a title other than "kelvo" is recorded as "title <title>: <body>".
    QStringList notifications;
    QString clipboard;
    bool hotKeyAvailable = true;
    GlobalHotKey::Handler hotKeyHandler;
    WakeObserver::Handler wakeHandler;
    bool loginEnabled = false;
    std::optional<std::string> loginFailure;  // setEnabled throws this
    std::filesystem::path trashFolder;        // the Trash really moves files here
    std::set<std::string> untrashable;        // file names the Trash refuses
    QStringList trashed, opened, revealed;
    int relaunches = 0;
};

struct ModelWorld {
    ModelWorld();
    // A new set of stand-ins reporting into `record`.
    DesktopServices services();
    // No timer or wake-up checks, no quit after a reset, a short grace before yt-dlp is
    // killed, the stand-in's tools folder and no summaries.
    AppModel::Options options();

    std::filesystem::path home() const { return box / "home"; }
    std::filesystem::path dataFolder() const { return home() / ".local/share/kelvo"; }
    std::filesystem::path singles() const { return home() / "Videos/kelvo/Singles"; }

    Sandbox box;
    ScopedEnvironment environment{{"HOME", home().string()},
                                  {"XDG_DATA_HOME", (home() / ".local/share").string()},
                                  {"XDG_CONFIG_HOME", (home() / ".config").string()}};
    FakeService service{box / "service"};
    std::shared_ptr<DesktopRecord> record = std::make_shared<DesktopRecord>();
};

}  // namespace kelvo::test
