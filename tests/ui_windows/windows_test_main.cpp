// Qt Quick Test runner for the Library, Settings and Activity windows: every tst_*.qml of this
// folder, with kelvo's QML modules, and `fixture` for a real model. Like every kelvo
// test program it first moves HOME, the XDG folders and TMPDIR into a scratch folder of its own;
// any QML warning fails the run.
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>
#include <cstdio>

#include "tests/app_model/model_world.h"
#include "ui/qml_setup.h"

namespace {
int warnings = 0;
QtMessageHandler previousHandler = nullptr;
}  // namespace

namespace kelvo::test {

// What the window tests reach as `fixture`: a real AppModel over a real catalog in a world of
// its own (model_world.h), which kelvo's jobs fill from the yt-dlp stand-in. Every start() begins
// a new world. It also sets up Qt Quick Test's engine.
class WindowsFixture : public QObject {
    Q_OBJECT

  public:
    Q_INVOKABLE void qmlEngineAvailable(QQmlEngine* engine) {
        prepareQmlEngine(*engine);
        engine->rootContext()->setContextProperty("fixture", this);
        // Within a test function Qt Quick Test takes the messages; the engine still tells.
        connect(engine, &QQmlEngine::warnings, [](const auto& list) { warnings += list.size(); });
    }
    // Shuts the model down and removes its world.
    Q_INVOKABLE void cleanupTestCase() {
        model_.reset();
        world_.reset();
    }

    Q_INVOKABLE QObject* start() {
        cleanupTestCase();
        world_ = std::make_unique<ModelWorld>();
        model_ = std::make_unique<AppModel>(world_->services(), world_->options());
        QQmlEngine::setObjectOwnership(model_.get(), QQmlEngine::CppOwnership);
        return model_.get();
    }
    // What the desktop services were asked: {opened, revealed, trashed, clipboard}.
    Q_INVOKABLE QVariantMap record() const {
        const DesktopRecord& r = *world_->record;
        return {{"opened", r.opened},
                {"revealed", r.revealed},
                {"trashed", r.trashed},
                {"clipboard", r.clipboard}};
    }
    // Puts videos "aaaaaaaaaaa", "bbbbbbbbbbb", ... with these titles on the service, and a
    // playlist of them all.
    Q_INVOKABLE void serve(const QStringList& titles, const QString& playlist) {
        FakePlaylist list{.id = playlist.toStdString(), .title = "Weekend"};
        for (int i = 0; i < titles.size(); ++i) {
            list.entries.push_back({.id = std::string(11, static_cast<char>('a' + i))});
            world_->service.addVideo(
                {.id = *list.entries.back().id, .title = titles[i].toStdString()});
        }
        world_->service.addPlaylist(std::move(list));
    }
    // The model's map of a Library entry with these fields (id, title, status as the catalog
    // writes it, date, error, playlist, archived, missing).
    Q_INVOKABLE static QVariantMap entry(const QVariantMap& fields) {
        const auto text = [&](const char* key) {
            return fields.value(key).toString().toStdString();
        };
        const auto optional = [&](const char* key) {
            return fields.contains(key) ? std::optional(text(key)) : std::nullopt;
        };
        CatalogEntry entry;
        entry.videoID = text("id");
        entry.title = text("title");
        entry.status = *videoStatusFromText(text("status"));
        entry.uploadDate = optional("date");
        entry.error = optional("error");
        entry.playlistTitle = optional("playlist");
        entry.isArchived = fields.value("archived").toBool();
        entry.isMissing = fields.value("missing").toBool();
        return AppModel::entryMap(entry);
    }

  private:
    std::unique_ptr<ModelWorld> world_;
    std::unique_ptr<AppModel> model_;
};

}  // namespace kelvo::test

int main(int argc, char** argv) {
    const std::filesystem::path scratch = kelvo::test::enterScratchHome("kelvo-windows");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Every warning counts, also outside a test function (a view torn down at the end); Qt
    // Quick Test's own failure lines are reported by the test itself.
    previousHandler = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            warnings += type != QtDebugMsg && type != QtInfoMsg && !message.startsWith("FAIL!") &&
                        !message.startsWith("   Loc:");
            previousHandler(type, context, message);
        });
    kelvo::test::WindowsFixture fixture;  // its cleanupTestCase() ends the last world
    int status =
        quick_test_main_with_setup(argc, argv, "kelvo_windows", KELVO_WINDOWS_TEST_DIR, &fixture);
    if (warnings > 0) {
        std::fprintf(stderr, "%d QML warning(s) during the run\n", warnings);
        status = status == 0 ? 1 : status;
    }
    kelvo::test::leaveScratchHome(scratch);
    return status;
}

#include "windows_test_main.moc"
