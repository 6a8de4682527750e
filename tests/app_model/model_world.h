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
    QString clipboard;  // what text() answers and setText() wrote
    bool hotKeyAvailable = true;
    GlobalHotKey::Handler hotKeyHandler;
    bool loginEnabled = false;
    std::optional<std::string> loginFailure;  // setEnabled throws this
    std::set<std::string> untrashable;        // file names the Trash refuses
    QStringList trashed, opened, revealed;
    int relaunches = 0;
};

// Every desktop service at once; the model gets one of these for each.
struct DesktopStandIn final : Notifier,
                              Clipboard,
                              GlobalHotKey,
                              LoginItem,
                              FileActions,
                              Relauncher,
                              WakeObserver {
    explicit DesktopStandIn(std::shared_ptr<DesktopRecord> record) : r(std::move(record)) {}

    void notify(const QString& title, const QString& body) override {
        r->notifications.append(title == "kelvo" ? body : "title " + title + ": " + body);
    }
    QString text() const override { return r->clipboard; }
    bool setText(const QString& text) override { return (r->clipboard = text, true); }
    bool registerShortcut(GlobalHotKey::Handler onPressed, StateHandler) override {
        r->hotKeyHandler = r->hotKeyAvailable ? std::move(onPressed) : nullptr;
        return r->hotKeyAvailable;
    }
    bool isActive() const override { return static_cast<bool>(r->hotKeyHandler); }
    bool isEnabled() const override { return r->loginEnabled; }
    void setEnabled(bool enabled) override {
        r->loginEnabled = r->loginFailure ? throw LoginItemError(*r->loginFailure) : enabled;
    }
    // Really moves the file away (to "<name>.trashed"), unless its name is untrashable.
    TrashResult moveToTrash(const QString& path) override {
        const std::filesystem::path file = path.toStdString();
        if (!std::filesystem::exists(file)) {
            return {TrashResult::Outcome::missing, {}};
        }
        if (r->untrashable.count(file.filename().string()) != 0) {
            return {TrashResult::Outcome::failed, "Invalid cross-device link"};
        }
        std::filesystem::rename(file, file.string() + ".trashed");
        r->trashed.append(path);
        return {TrashResult::Outcome::moved, {}};
    }
    bool open(const QString& path) override { return (r->opened.append(path), true); }
    bool reveal(const QString& path) override { return (r->revealed.append(path), true); }
    bool relaunch() override { return ++r->relaunches > 0; }
    bool start(WakeObserver::Handler) override { return true; }

    std::shared_ptr<DesktopRecord> r;
};

struct ModelWorld {
    // A new set of stand-ins reporting into `record`.
    DesktopServices services() {
        const auto make = [this] { return std::make_unique<DesktopStandIn>(record); };
        return {make(), make(), make(), make(), make(), make(), make()};
    }
    // No timer or wake-up checks, no quit after a reset, a short grace before yt-dlp is
    // killed, the stand-in's tools folder and no summaries.
    AppModel::Options options() {
        AppModel::Options o;
        o.automaticSync = false;
        o.quitAfterReset = false;
        o.killGraceMs = 500;
        o.makeSummarizer = [] { return std::unique_ptr<Summarizer>(); };
        o.makeLocator = [this] { return service.locator(); };
        return o;
    }

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
