#include "tests/ui_windows/windows_fixture.h"

#include <QDateTime>
#include <QQmlEngine>
#include <cstdlib>
#include <filesystem>

#include "app/app_model.h"
#include "core/catalog/catalog.h"
#include "core/summaries/on_device_summarizer.h"
#include "tests/app_model/model_fixture.h"
#include "tests/fixtures/fake_service.h"
#include "tests/fixtures/model_server.h"
#include "tests/support/sandbox.h"

namespace kelvo::test {

namespace fs = std::filesystem;

namespace {

QStringList listOf(const std::vector<QString>& values) {
    return QStringList(values.begin(), values.end());
}

}  // namespace

WindowsFixture::WindowsFixture(QObject* parent) : QObject(parent) {}

WindowsFixture::~WindowsFixture() {
    stop();
}

void WindowsFixture::stop() {
    if (model_) {
        model_->shutdown();
        model_.reset();
        emit modelChanged();
    }
    service_.reset();
    modelServer_.reset();
    for (const auto& [name, value] : savedEnvironment_) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
    savedEnvironment_.clear();
    box_.reset();
}

QObject* WindowsFixture::start(const QVariantMap& options) {
    stop();
    box_ = std::make_unique<Sandbox>();
    // The model finds its catalog, log and settings through the environment.
    for (const auto& [name, folder] : {std::pair<const char*, fs::path>{"HOME", *box_ / "home"},
                                       {"XDG_DATA_HOME", *box_ / "home/.local/share"},
                                       {"XDG_CONFIG_HOME", *box_ / "home/.config"}}) {
        fs::create_directories(folder);
        const char* old = std::getenv(name);
        savedEnvironment_.emplace_back(
            name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name, folder.c_str(), 1);
    }
    service_ = std::make_unique<FakeService>(*box_ / "service");
    record_ = std::make_shared<DesktopRecord>();
    record_->trashFolder = *box_ / "trash";
    record_->hotKeyAvailable = options.value(QStringLiteral("shortcut"), true).toBool();
    if (options.contains(QStringLiteral("loginFailure"))) {
        record_->loginFailure =
            options.value(QStringLiteral("loginFailure")).toString().toStdString();
    }

    OnDeviceSummarizer::Config summaries;
    if (options.value(QStringLiteral("summaries"), false).toBool()) {
        modelServer_ =
            std::make_unique<ModelServer>(*box_ / "model-server", nlohmann::json::object());
        summaries.baseURL = modelServer_->baseURL();
    } else {
        summaries.baseURL = "http://127.0.0.1:" + std::to_string(unusedPort()) + "/v1";
    }
    summaries.availabilityLimit = std::chrono::milliseconds(1000);

    DesktopServices services;
    services.notifier = std::make_unique<RecordingNotifier>(record_);
    services.clipboard = std::make_unique<FakeClipboard>(record_);
    services.hotKey = std::make_unique<FakeHotKey>(record_);
    services.loginItem = std::make_unique<FakeLoginItem>(record_);
    services.files = std::make_unique<FakeFileActions>(record_);
    services.relauncher = std::make_unique<FakeRelauncher>(record_);
    services.wake = std::make_unique<FakeWake>(record_);

    AppModel::Options o;
    o.automaticSync = false;
    o.quitAfterReset = false;
    o.killGraceMs = 500;
    o.makeSummarizer = [summaries] { return std::make_unique<OnDeviceSummarizer>(summaries); };
    FakeService* service = service_.get();
    o.makeLocator = [service] { return service->locator(); };
    model_ = std::make_unique<AppModel>(std::move(services), std::move(o));
    // Handed to QML by start(): it must not be collected as a JavaScript object.
    QQmlEngine::setObjectOwnership(model_.get(), QQmlEngine::CppOwnership);
    emit modelChanged();
    return model_.get();
}

QObject* WindowsFixture::model() const {
    return model_.get();
}

QStringList WindowsFixture::opened() const {
    return record_ ? listOf(record_->opened) : QStringList();
}

QStringList WindowsFixture::revealed() const {
    return record_ ? listOf(record_->revealed) : QStringList();
}

QStringList WindowsFixture::trashed() const {
    return record_ ? listOf(record_->trashed) : QStringList();
}

QStringList WindowsFixture::notifications() const {
    return record_ ? listOf(record_->notifications) : QStringList();
}

int WindowsFixture::relaunches() const {
    return record_ ? record_->relaunches : 0;
}

void WindowsFixture::addVideo(const QVariantMap& video) {
    FakeVideo fake;
    fake.id = video.value(QStringLiteral("id")).toString().toStdString();
    if (video.contains(QStringLiteral("title"))) {
        fake.title = video.value(QStringLiteral("title")).toString().toStdString();
    }
    if (video.contains(QStringLiteral("channel"))) {
        fake.info["channel"] = video.value(QStringLiteral("channel")).toString().toStdString();
    }
    if (video.contains(QStringLiteral("uploadDate"))) {
        const QVariant date = video.value(QStringLiteral("uploadDate"));
        fake.info["upload_date"] =
            date.isNull() ? nlohmann::json(nullptr) : nlohmann::json(date.toString().toStdString());
    }
    if (video.contains(QStringLiteral("tags"))) {
        nlohmann::json tags = nlohmann::json::array();
        for (const QString& tag : video.value(QStringLiteral("tags")).toStringList()) {
            tags.push_back(tag.toStdString());
        }
        fake.info["tags"] = tags;
    }
    const QString behaviour = video.value(QStringLiteral("behaviour")).toString();
    if (behaviour == QLatin1String("signIn")) {
        fake.behaviour = FakeBehaviour::signIn;
        fake.phase = FakePhase::download;
    } else if (behaviour == QLatin1String("fail")) {
        fake.behaviour = FakeBehaviour::fail;
        fake.phase = FakePhase::download;
        fake.message = video.value(QStringLiteral("message"), QStringLiteral("ERROR: it broke"))
                           .toString()
                           .toStdString();
    }
    fake.sleepSeconds = video.value(QStringLiteral("sleepSeconds"), 0.0).toDouble();
    service_->addVideo(std::move(fake));
}

void WindowsFixture::addPlaylist(const QString& id, const QString& title,
                                 const QStringList& videoIDs, const QString& behaviour) {
    FakePlaylist playlist{.id = id.toStdString(), .title = title.toStdString()};
    for (const QString& videoID : videoIDs) {
        playlist.entries.push_back({.id = videoID.toStdString()});
    }
    if (behaviour == QLatin1String("private")) {
        playlist.behaviour = FakeBehaviour::fail;
        playlist.failures = 100;
        playlist.message = "ERROR: [youtube:tab] " + id.toStdString() +
                           ": The playlist does not exist or is private";
    }
    service_->addPlaylist(std::move(playlist));
}

void WindowsFixture::registerPlaylist(const QString& id, const QString& title, int intervalMin) {
    model_->catalog()->addPlaylist(id.toStdString(), title.toStdString(),
                                   model_->playlistRoot().toStdString(), intervalMin);
    model_->refresh();
}

void WindowsFixture::markChecked(const QString& youtubeID, double secondsAgo) {
    for (const PlaylistRecord& playlist : model_->catalog()->playlists()) {
        if (playlist.youtubeID == youtubeID.toStdString()) {
            const double now = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
            model_->catalog()->touchChecked(playlist.id, now - secondsAgo);
        }
    }
    model_->refresh();
}

QString WindowsFixture::videoFile(const QString& videoID) const {
    const std::optional<std::string> path = model_->catalog()->filePath(videoID.toStdString());
    return path ? QString::fromStdString(*path) : QString();
}

bool WindowsFixture::deleteVideoFile(const QString& videoID) {
    const QString path = videoFile(videoID);
    std::error_code ignored;
    return !path.isEmpty() && fs::remove(path.toStdString(), ignored);
}

bool WindowsFixture::fileExists(const QString& path) const {
    return fs::exists(path.toStdString());
}

void WindowsFixture::writeActivity(const QStringList& messages) {
    for (const QString& message : messages) {
        model_->activityLog().append(message);
    }
}

void WindowsFixture::removeActivityLog() {
    std::error_code ignored;
    fs::remove(model_->activityLogPath().toStdString(), ignored);
}

QString WindowsFixture::modelServerURL() const {
    return modelServer_ ? QString::fromStdString(modelServer_->baseURL()) : QString();
}

}  // namespace kelvo::test
