#include "tests/app_model/model_world.h"

namespace kelvo::test {

namespace {

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
    bool registerShortcut(GlobalHotKey::Handler onPressed, StateHandler) override {
        r->hotKeyHandler = r->hotKeyAvailable ? std::move(onPressed) : nullptr;
        return r->hotKeyAvailable;
    }
    bool isActive() const override { return static_cast<bool>(r->hotKeyHandler); }
    bool isEnabled() const override { return r->loginEnabled; }
    void setEnabled(bool enabled) override {
        if (r->loginFailure) {
            throw LoginItemError(*r->loginFailure);
        }
        r->loginEnabled = enabled;
    }
    // Really moves the file into trashFolder, unless its name is untrashable.
    TrashResult moveToTrash(const QString& path) override {
        const std::filesystem::path file = path.toStdString();
        if (!std::filesystem::exists(file)) {
            return {TrashResult::Outcome::missing, {}};
        }
        if (r->untrashable.count(file.filename().string()) != 0) {
            return {TrashResult::Outcome::failed, "Invalid cross-device link"};
        }
        std::filesystem::create_directories(r->trashFolder);
        std::filesystem::rename(file, r->trashFolder / file.filename());
        r->trashed.append(path);
        return {TrashResult::Outcome::moved, {}};
    }
    bool open(const QString& path) override { return (r->opened.append(path), true); }
    bool reveal(const QString& path) override { return (r->revealed.append(path), true); }
    bool relaunch() override { return ++r->relaunches > 0; }
    bool start(WakeObserver::Handler onWake) override {
        return (r->wakeHandler = std::move(onWake), true);
    }

    std::shared_ptr<DesktopRecord> r;
};

}  // namespace

ModelWorld::ModelWorld() {
    record->trashFolder = box / "trash";
}

DesktopServices ModelWorld::services() {
    const auto make = [this] { return std::make_unique<DesktopStandIn>(record); };
    return {make(), make(), make(), make(), make(), make(), make()};
}

AppModel::Options ModelWorld::options() {
    AppModel::Options o;
    o.automaticSync = false;
    o.quitAfterReset = false;
    o.killGraceMs = 500;
    o.makeSummarizer = [] { return std::unique_ptr<Summarizer>(); };
    o.makeLocator = [this] { return service.locator(); };
    return o;
}

}  // namespace kelvo::test
