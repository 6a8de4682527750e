#pragma once

// AppModel under test: recording stand-ins for every desktop service, a per-test data, config
// and home folder, the yt-dlp stand-in, and helpers that run the event loop until a job ends.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/app_model.h"
#include "core/catalog/catalog.h"
#include "tests/fixtures/fake_service.h"
#include "tests/support/sandbox.h"

namespace kelvo::test {

// What the stand-in services saw, and how they should answer. Shared by the fixture and the
// services the model owns.
struct DesktopRecord {
    std::vector<QString> notifications;  // bodies; every title must be "kelvo"
    std::vector<QString> badTitles;
    QString clipboard;
    bool hotKeyAvailable = true;
    GlobalHotKey::Handler hotKeyHandler;
    WakeObserver::Handler wakeHandler;
    bool loginEnabled = false;
    std::optional<std::string> loginFailure;
    std::filesystem::path trashFolder;
    std::set<std::string> untrashable;  // file names the Trash refuses
    std::vector<QString> trashed;
    std::vector<QString> opened;
    std::vector<QString> revealed;
    int relaunches = 0;
};

class RecordingNotifier : public Notifier {
  public:
    explicit RecordingNotifier(std::shared_ptr<DesktopRecord> r) : r_(std::move(r)) {}
    void notify(const QString& title, const QString& body) override {
        if (title != QLatin1String("kelvo")) {
            r_->badTitles.push_back(title);
        }
        r_->notifications.push_back(body);
    }

  private:
    std::shared_ptr<DesktopRecord> r_;
};

class FakeClipboard : public Clipboard {
  public:
    explicit FakeClipboard(std::shared_ptr<DesktopRecord> r) : r_(std::move(r)) {}
    QString text() const override { return r_->clipboard; }

  private:
    std::shared_ptr<DesktopRecord> r_;
};

class FakeHotKey : public GlobalHotKey {
  public:
    explicit FakeHotKey(std::shared_ptr<DesktopRecord> r) : r_(std::move(r)) {}
    bool registerShortcut(Handler onPressed, StateHandler) override {
        if (!r_->hotKeyAvailable) {
            return false;
        }
        r_->hotKeyHandler = std::move(onPressed);
        return true;
    }
    bool isActive() const override { return static_cast<bool>(r_->hotKeyHandler); }

  private:
    std::shared_ptr<DesktopRecord> r_;
};

class FakeLoginItem : public LoginItem {
  public:
    explicit FakeLoginItem(std::shared_ptr<DesktopRecord> r) : r_(std::move(r)) {}
    bool isEnabled() const override { return r_->loginEnabled; }
    void setEnabled(bool enabled) override {
        if (r_->loginFailure) {
            throw LoginItemError(*r_->loginFailure);
        }
        r_->loginEnabled = enabled;
    }

  private:
    std::shared_ptr<DesktopRecord> r_;
};

// A Trash that really moves files into a folder, refusing the names in `untrashable`.
class FakeFileActions : public FileActions {
  public:
    explicit FakeFileActions(std::shared_ptr<DesktopRecord> r) : r_(std::move(r)) {}
    TrashResult moveToTrash(const QString& path) override {
        const std::filesystem::path file = path.toStdString();
        if (!std::filesystem::exists(file)) {
            return {TrashResult::Outcome::missing, {}};
        }
        if (r_->untrashable.count(file.filename().string()) != 0) {
            return {TrashResult::Outcome::failed, QStringLiteral("Invalid cross-device link")};
        }
        std::filesystem::create_directories(r_->trashFolder);
        std::filesystem::rename(file, r_->trashFolder / file.filename());
        r_->trashed.push_back(path);
        return {TrashResult::Outcome::moved, {}};
    }
    bool open(const QString& path) override {
        r_->opened.push_back(path);
        return true;
    }
    bool reveal(const QString& path) override {
        r_->revealed.push_back(path);
        return true;
    }

  private:
    std::shared_ptr<DesktopRecord> r_;
};

class FakeRelauncher : public Relauncher {
  public:
    explicit FakeRelauncher(std::shared_ptr<DesktopRecord> r) : r_(std::move(r)) {}
    bool relaunch() override {
        ++r_->relaunches;
        return true;
    }

  private:
    std::shared_ptr<DesktopRecord> r_;
};

class FakeWake : public WakeObserver {
  public:
    explicit FakeWake(std::shared_ptr<DesktopRecord> r) : r_(std::move(r)) {}
    bool start(Handler onWake) override {
        r_->wakeHandler = std::move(onWake);
        return true;
    }

  private:
    std::shared_ptr<DesktopRecord> r_;
};

// Runs the event loop until `done` answers true or the time is up; returns `done()`.
inline bool runUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

inline std::string vid(char letter) {
    return std::string(11, letter);
}

class ModelTest : public ::testing::Test {
  protected:
    ModelTest() {
        // The model finds its catalog, log and settings through the environment: one set of
        // folders per test.
        for (const auto& [name, folder] :
             {std::pair<const char*, std::filesystem::path>{"HOME", box / "home"},
              {"XDG_DATA_HOME", box / "home/.local/share"},
              {"XDG_CONFIG_HOME", box / "home/.config"}}) {
            std::filesystem::create_directories(folder);
            const char* old = std::getenv(name);
            saved_.emplace_back(name,
                                old != nullptr ? std::optional<std::string>(old) : std::nullopt);
            ::setenv(name, folder.c_str(), 1);
        }
        record->trashFolder = box / "trash";
    }
    ~ModelTest() override {
        model.reset();
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    DesktopServices services() {
        DesktopServices s;
        s.notifier = std::make_unique<RecordingNotifier>(record);
        s.clipboard = std::make_unique<FakeClipboard>(record);
        s.hotKey = std::make_unique<FakeHotKey>(record);
        s.loginItem = std::make_unique<FakeLoginItem>(record);
        s.files = std::make_unique<FakeFileActions>(record);
        s.relauncher = std::make_unique<FakeRelauncher>(record);
        s.wake = std::make_unique<FakeWake>(record);
        return s;
    }

    AppModel::Options options() {
        AppModel::Options o;
        o.automaticSync = false;
        o.quitAfterReset = false;
        o.killGraceMs = 500;
        o.makeSummarizer = [] { return std::unique_ptr<Summarizer>(); };
        o.makeLocator = [this] { return service.locator(); };
        return o;
    }

    AppModel& start(std::optional<AppModel::Options> o = std::nullopt) {
        model = std::make_unique<AppModel>(services(), o ? std::move(*o) : options());
        return *model;
    }

    // Waits for the running job to end; false on time-out.
    bool waitForJob(int timeoutMs = 30000) {
        return runUntil([this] { return !model->isBusy(); }, timeoutMs);
    }

    std::filesystem::path dataFolder() const { return box / "home/.local/share/kelvo"; }
    std::filesystem::path singles() const { return box / "home/Videos/kelvo/Singles"; }

    // Registers a playlist of these videos with the service and the catalog.
    void addPlaylist(const std::string& id, const std::string& title,
                     const std::vector<std::string>& videoIDs) {
        FakePlaylist remote{.id = id, .title = title};
        for (const std::string& videoID : videoIDs) {
            remote.entries.push_back({.id = videoID});
        }
        service.addPlaylist(remote);
        model->catalog()->addPlaylist(id, title, model->playlistRoot().toStdString(), 30);
        model->refresh();
    }

    int notificationsStartingWith(const QString& prefix) const {
        int count = 0;
        for (const QString& body : record->notifications) {
            count += body.startsWith(prefix) ? 1 : 0;
        }
        return count;
    }

    Sandbox box;
    FakeService service{box / "service"};
    std::shared_ptr<DesktopRecord> record = std::make_shared<DesktopRecord>();
    std::unique_ptr<AppModel> model;

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace kelvo::test
