#include "tests/app_model/model_world.h"

namespace kelvo::test {

namespace {

using Record = std::shared_ptr<DesktopRecord>;

struct RecordingNotifier final : Notifier {
    explicit RecordingNotifier(Record record) : r(std::move(record)) {}
    void notify(const QString& title, const QString& body) override {
        r->notifications.push_back(title == QLatin1String("kelvo")
                                       ? body
                                       : QStringLiteral("title %1: %2").arg(title, body));
    }
    Record r;
};

struct FakeClipboard final : Clipboard {
    explicit FakeClipboard(Record record) : r(std::move(record)) {}
    QString text() const override { return r->clipboard; }
    Record r;
};

struct FakeHotKey final : GlobalHotKey {
    explicit FakeHotKey(Record record) : r(std::move(record)) {}
    bool registerShortcut(Handler onPressed, StateHandler) override {
        r->hotKeyHandler = r->hotKeyAvailable ? std::move(onPressed) : nullptr;
        return r->hotKeyAvailable;
    }
    bool isActive() const override { return static_cast<bool>(r->hotKeyHandler); }
    Record r;
};

struct FakeLoginItem final : LoginItem {
    explicit FakeLoginItem(Record record) : r(std::move(record)) {}
    bool isEnabled() const override { return r->loginEnabled; }
    void setEnabled(bool enabled) override {
        if (r->loginFailure) {
            throw LoginItemError(*r->loginFailure);
        }
        r->loginEnabled = enabled;
    }
    Record r;
};

struct FakeFileActions final : FileActions {
    explicit FakeFileActions(Record record) : r(std::move(record)) {}
    TrashResult moveToTrash(const QString& path) override {
        const std::filesystem::path file = path.toStdString();
        if (!std::filesystem::exists(file)) {
            return {TrashResult::Outcome::missing, {}};
        }
        if (r->untrashable.count(file.filename().string()) != 0) {
            return {TrashResult::Outcome::failed, QStringLiteral("Invalid cross-device link")};
        }
        std::filesystem::create_directories(r->trashFolder);
        std::filesystem::rename(file, r->trashFolder / file.filename());
        r->trashed.push_back(path);
        return {TrashResult::Outcome::moved, {}};
    }
    bool open(const QString& path) override { return (r->opened.push_back(path), true); }
    bool reveal(const QString& path) override { return (r->revealed.push_back(path), true); }
    Record r;
};

struct FakeRelauncher final : Relauncher {
    explicit FakeRelauncher(Record record) : r(std::move(record)) {}
    bool relaunch() override { return ++r->relaunches > 0; }
    Record r;
};

struct FakeWake final : WakeObserver {
    explicit FakeWake(Record record) : r(std::move(record)) {}
    bool start(Handler onWake) override { return (r->wakeHandler = std::move(onWake), true); }
    Record r;
};

}  // namespace

ModelWorld::ModelWorld() {
    for (const char* folder : {".local/share", ".config"}) {
        std::filesystem::create_directories(home() / folder);
    }
    record->trashFolder = box / "trash";
}

DesktopServices ModelWorld::services() {
    return {std::make_unique<RecordingNotifier>(record), std::make_unique<FakeClipboard>(record),
            std::make_unique<FakeHotKey>(record),        std::make_unique<FakeLoginItem>(record),
            std::make_unique<FakeFileActions>(record),   std::make_unique<FakeRelauncher>(record),
            std::make_unique<FakeWake>(record)};
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
