// Qt Quick Test runner for the Library, Settings and Activity windows: every tst_*.qml of this
// folder, with kelvo's QML modules and fonts, and `fixture` for a real model. Like every kelvo
// test program it first moves HOME, the XDG folders and TMPDIR into a scratch folder of its own;
// any QML warning fails the run.
#include <QDir>
#include <QFontDatabase>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>
#include <cstdio>

#include "core/catalog/catalog.h"
#include "core/summaries/on_device_summarizer.h"
#include "tests/app_model/model_world.h"
#include "tests/fixtures/model_server.h"
#include "ui/qml_setup.h"

namespace kelvo::test {

// What the window tests reach as `fixture`: a real AppModel over a real catalog in a world of
// its own (model_world.h), which kelvo's jobs fill from the yt-dlp stand-in; with a stand-in
// local model server for summaries when asked. Every start() begins a new world.
class WindowsFixture : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* model READ model NOTIFY modelChanged)
    Q_PROPERTY(QStringList opened READ opened)
    Q_PROPERTY(QStringList revealed READ revealed)
    Q_PROPERTY(QStringList trashed READ trashed)

  public:
    ~WindowsFixture() override { stop(); }
    QObject* model() const { return model_.get(); }
    QStringList opened() const { return world_ ? world_->record->opened : QStringList(); }
    QStringList revealed() const { return world_ ? world_->record->revealed : QStringList(); }
    QStringList trashed() const { return world_ ? world_->record->trashed : QStringList(); }

    Q_INVOKABLE QObject* start(bool summaries = false) {
        stop();
        world_ = std::make_unique<ModelWorld>();
        OnDeviceSummarizer::Config config;
        if (summaries) {
            server_ = std::make_unique<ModelServer>(world_->box / "model-server",
                                                    nlohmann::json::object());
        }
        config.baseURL = summaries ? server_->baseURL()
                                   : "http://127.0.0.1:" + std::to_string(unusedPort()) + "/v1";
        config.availabilityLimit = std::chrono::milliseconds(1000);
        AppModel::Options options = world_->options();
        options.makeSummarizer = [config] { return std::make_unique<OnDeviceSummarizer>(config); };
        model_ = std::make_unique<AppModel>(world_->services(), std::move(options));
        QQmlEngine::setObjectOwnership(model_.get(), QQmlEngine::CppOwnership);
        emit modelChanged();
        return model_.get();
    }
    Q_INVOKABLE QString modelServerURL() const {
        return server_ ? QString::fromStdString(server_->baseURL()) : QString();
    }
    // Puts a video on the stand-in service.
    Q_INVOKABLE void addVideo(const QString& id, const QString& title, const QStringList& tags) {
        FakeVideo video{.id = id.toStdString(), .title = title.toStdString()};
        video.info["tags"] = nlohmann::json::array();
        for (const QString& tag : tags) {
            video.info["tags"].push_back(tag.toStdString());
        }
        world_->service.addVideo(std::move(video));
    }
    // Puts a playlist of these videos on the service; a private one cannot be listed.
    Q_INVOKABLE void addPlaylist(const QString& id, const QString& title, const QStringList& ids,
                                 bool isPrivate) {
        FakePlaylist playlist{.id = id.toStdString(), .title = title.toStdString()};
        for (const QString& videoID : ids) {
            playlist.entries.push_back({.id = videoID.toStdString()});
        }
        if (isPrivate) {
            playlist.behaviour = FakeBehaviour::fail;
            playlist.failures = 100;
            playlist.message = "ERROR: [youtube:tab] " + playlist.id +
                               ": The playlist does not exist or is private";
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

    // Shuts the model down and removes its world.
    void stop() {
        if (model_) {
            model_->shutdown();
            model_.reset();
            emit modelChanged();
        }
        server_.reset();
        world_.reset();
    }

  signals:
    void modelChanged();

  private:
    std::unique_ptr<ModelWorld> world_;
    std::unique_ptr<ModelServer> server_;
    std::unique_ptr<AppModel> model_;
};

}  // namespace kelvo::test

namespace {

int warnings = 0;
QtMessageHandler previousHandler = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    // Qt Quick Test's own failure lines are reported by the test itself.
    if (type != QtDebugMsg && type != QtInfoMsg && !message.startsWith("FAIL!") &&
        !message.startsWith("   Loc:")) {
        ++warnings;
    }
    previousHandler(type, context, message);
}

}  // namespace

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void applicationAvailable() {
        const QDir fonts(":/fonts");
        for (const QString& name : fonts.entryList(QDir::Files)) {
            QFontDatabase::addApplicationFont(fonts.filePath(name));
        }
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        kelvo::prepareQmlEngine(*engine);
        // Also the warnings outside a test function (a view torn down at the end) count.
        QObject::connect(engine, &QQmlEngine::warnings, engine,
                         [](const QList<QQmlError>& errors) { warnings += errors.size(); });
        engine->rootContext()->setContextProperty("fixture", &fixture_);
    }
    void cleanupTestCase() { fixture_.stop(); }

  private:
    kelvo::test::WindowsFixture fixture_;
};

int main(int argc, char** argv) {
    const std::filesystem::path scratch = kelvo::test::enterScratchHome("kelvo-windows");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    previousHandler = qInstallMessageHandler(countWarnings);
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
