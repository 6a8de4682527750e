// Qt Quick Test runner for the Library, Settings and Activity windows: every tst_*.qml of this
// folder, with kelvo's QML modules and fonts, and `fixture` for a real model. Like every kelvo
// test program it first moves HOME, the XDG folders and TMPDIR into a scratch folder of its own;
// any QML warning fails the run.
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>
#include <cstdio>

#include "core/catalog/catalog.h"
#include "tests/app_model/model_world.h"
#include "ui/qml_setup.h"

namespace kelvo::test {

// What the window tests reach as `fixture`: a real AppModel over a real catalog in a world of
// its own (model_world.h), which kelvo's jobs fill from the yt-dlp stand-in. Every start() begins
// a new world.
class WindowsFixture : public QObject {
    Q_OBJECT

  public:
    ~WindowsFixture() override { stop(); }

    Q_INVOKABLE QObject* start() {
        stop();
        world_ = std::make_unique<ModelWorld>();
        model_ = std::make_unique<AppModel>(world_->services(), world_->options());
        QQmlEngine::setObjectOwnership(model_.get(), QQmlEngine::CppOwnership);
        return model_.get();
    }
    // Shuts the model down and removes its world.
    Q_INVOKABLE void stop() {
        model_.reset();
        world_.reset();
    }
    // What the desktop services were asked: {opened, revealed, trashed}.
    Q_INVOKABLE QVariantMap record() const {
        const DesktopRecord& r = *world_->record;
        return {{"opened", r.opened}, {"revealed", r.revealed}, {"trashed", r.trashed}};
    }
    Q_INVOKABLE void addVideo(const QString& id, const QString& title) {
        world_->service.addVideo({.id = id.toStdString(), .title = title.toStdString()});
    }
    Q_INVOKABLE void addPlaylist(const QString& id, const QString& title, const QStringList& ids) {
        FakePlaylist playlist{.id = id.toStdString(), .title = title.toStdString()};
        for (const QString& videoID : ids) {
            playlist.entries.push_back({.id = videoID.toStdString()});
        }
        world_->service.addPlaylist(std::move(playlist));
    }
    Q_INVOKABLE QString videoFile(const QString& videoID) const {
        return QString::fromStdString(
            model_->catalog()->filePath(videoID.toStdString()).value_or(""));
    }
    // The model's map of a Library entry with these fields (id, title, status as the catalog
    // writes it, missing, archived, playlist, error, channel, date, summary, tags).
    Q_INVOKABLE static QVariantMap entry(const QVariantMap& fields) {
        const auto text = [&](const char* key) {
            return fields.contains(key) ? std::optional(fields.value(key).toString().toStdString())
                                        : std::nullopt;
        };
        CatalogEntry entry{.videoID = *text("id"),
                           .title = *text("title"),
                           .channel = text("channel"),
                           .uploadDate = text("date"),
                           .summary = text("summary"),
                           .tags = {},
                           .status = *videoStatusFromText(*text("status")),
                           .downloadedAt = {},
                           .isArchived = fields.value("archived").toBool(),
                           .isMissing = fields.value("missing").toBool(),
                           .error = text("error"),
                           .playlistTitle = text("playlist")};
        for (const QString& tag : fields.value("tags").toStringList()) {
            entry.tags.push_back(tag.toStdString());
        }
        return AppModel::entryMap(entry);
    }

  private:
    std::unique_ptr<ModelWorld> world_;
    std::unique_ptr<AppModel> model_;
};

}  // namespace kelvo::test

namespace {
int warnings = 0;
QtMessageHandler previousHandler = nullptr;
}  // namespace

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        kelvo::prepareQmlEngine(*engine);
        engine->rootContext()->setContextProperty("fixture", &fixture_);
    }
    void cleanupTestCase() { fixture_.stop(); }

  private:
    kelvo::test::WindowsFixture fixture_;
};

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
    int status;
    {
        Setup setup;
        status =
            quick_test_main_with_setup(argc, argv, "kelvo_windows", KELVO_WINDOWS_TEST_DIR, &setup);
    }
    if (warnings > 0) {
        std::fprintf(stderr, "%d QML warning(s) during the run\n", warnings);
        status = status == 0 ? 1 : status;
    }
    kelvo::test::leaveScratchHome(scratch);
    return status;
}

#include "windows_test_main.moc"
