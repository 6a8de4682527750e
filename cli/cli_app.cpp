#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <optional>
#include <string>

#include "app/app_model.h"
#include "app/build_version.h"
#include "app/headless_services.h"
#include "app/job_lock.h"
#include "app/settings_store.h"
#include "app/stop_signals.h"
#include "cli/tools_command.h"
#include "core/catalog/catalog.h"

namespace kelvo {

namespace {

// kelvo-cli never relaunches itself after a reset: the user started it for one command.
class NoRelaunch : public Relauncher {
  public:
    bool relaunch() override { return true; }
};

void out(const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void err(const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// A folder as the settings keep it: "~" and "~/..." as typed, anything else absolute.
QString absoluteFolder(const QString& path) {
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) {
        return path;
    }
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// What a command says when another job (here or in the tray app) is running.
QString busyText() {
    return QStringLiteral("kelvo-cli: busy with another job — try again when it finishes.");
}

void printJson(const QJsonArray& array) {
    out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
}

struct Arguments {
    std::string link;
    int every = 30;
    bool noSync = false;
    std::string playlist;
    bool due = false;
    std::string search;
    int limit = 200;
    bool json = false;
    std::string videoID;
    std::optional<std::string> folder;
    int lines = 20;
    bool trashVideos = false;
    bool yes = false;
    bool check = false;                       // tools update --check
    std::optional<std::string> settingKey;    // settings KEY
    std::optional<std::string> settingValue;  // settings KEY VALUE
};

// One run of kelvo-cli: the model, the stop signals and the command's result.
class Session {
  public:
    enum class Mode { job, watch, readOnly };

    explicit Session(Mode mode = Mode::job) {
        DesktopServices services = makeHeadlessServices();
        services.relauncher = std::make_unique<NoRelaunch>();
        AppModel::Options options;
        options.automaticSync = mode == Mode::watch;
        options.readOnly = mode == Mode::readOnly;
        options.registerShortcut = false;
        options.quitAfterReset = false;
        model_ = std::make_unique<AppModel>(std::move(services), std::move(options));
        QObject::connect(model_.get(), &AppModel::activityAppended,
                         [](const QString& line) { err(line); });
        QObject::connect(&signals_, &StopSignals::stopRequested, [this](int) {
            stopped_ = true;
            err(QStringLiteral("kelvo-cli: stopping…"));
            model_->shutdown();
            loop_.exit(CliApp::failed);
        });
    }

    AppModel& model() { return *model_; }
    bool stopped() const { return stopped_; }

    // The catalog is open, or the reason is on stderr.
    bool requireCatalog() {
        if (model_->catalogOpen()) {
            return true;
        }
        err(QStringLiteral("kelvo-cli: ") + model_->lastError());
        return false;
    }

    // Waits for the job that `start` begins and prints its results.
    int runJob(AppModel::JobStart start) {
        switch (start) {
            case AppModel::JobStart::started:
                break;
            case AppModel::JobStart::busy:
                err(busyText());
                return CliApp::failed;
            case AppModel::JobStart::noCatalog:
                err(QStringLiteral("kelvo-cli: ") + model_->lastError());
                return CliApp::failed;
            case AppModel::JobStart::nothingToDo:
                err(QStringLiteral("kelvo-cli: nothing to do."));
                return CliApp::ok;
        }
        return waitForJob();
    }

    int waitForJob() {
        int status = CliApp::failed;
        const auto connection = QObject::connect(
            model_.get(), &AppModel::jobFinished,
            [this, &status](AppModel::JobKind, bool ok, const QStringList& results) {
                for (const QString& line : results) {
                    out(line);
                }
                status = ok ? CliApp::ok : CliApp::failed;
                loop_.exit(status);
            });
        loop_.exec();
        QObject::disconnect(connection);
        return stopped_ ? CliApp::failed : status;
    }

    // Runs the event loop until SIGINT or SIGTERM.
    int watch() {
        err(
            QStringLiteral("kelvo-cli: watching; due playlists are checked every 60 s. "
                           "Ctrl+C stops."));
        loop_.exec();
        return CliApp::ok;
    }

    QEventLoop& loop() { return loop_; }

  private:
    StopSignals signals_;
    QEventLoop loop_;
    std::unique_ptr<AppModel> model_;
    bool stopped_ = false;
};

// The playlist named by a row id, a playlist id or a title (any letter case).
std::optional<PlaylistRecord> findPlaylist(const AppModel& model, const QString& name) {
    bool isNumber = false;
    const qint64 id = name.toLongLong(&isNumber);
    for (const PlaylistRecord& playlist : model.playlists()) {
        if ((isNumber && playlist.id == id) || qs(playlist.youtubeID) == name) {
            return playlist;
        }
    }
    for (const PlaylistRecord& playlist : model.playlists()) {
        if (qs(playlist.title).compare(name, Qt::CaseInsensitive) == 0) {
            return playlist;
        }
    }
    return std::nullopt;
}

QString playlistLine(const PlaylistRecord& playlist) {
    const QVariantMap map = AppModel::playlistMap(playlist);
    return QStringLiteral("%1\t%2\t%3\t%4\t%5")
        .arg(playlist.id)
        .arg(playlist.enabled ? QStringLiteral("syncing") : QStringLiteral("stopped"))
        .arg(map.value(QStringLiteral("intervalText")).toString())
        .arg(qs(playlist.title))
        .arg(map.value(QStringLiteral("folder")).toString());
}

QString entryLine(const CatalogEntry& entry) {
    const QVariantMap map = AppModel::entryMap(entry);
    return QStringLiteral("%1\t%2\t%3\t%4\t%5")
        .arg(qs(entry.videoID))
        .arg(map.value(QStringLiteral("statusWord")).toString())
        .arg(map.value(QStringLiteral("displayDate")).toString())
        .arg(entry.playlistTitle ? qs(*entry.playlistTitle) : QStringLiteral("Single"))
        .arg(qs(entry.title));
}

int runAdd(const Arguments& args) {
    Session session;
    AppModel& model = session.model();
    if (!session.requireCatalog()) {
        return CliApp::failed;
    }
    std::optional<PlaylistRecord> added;
    QString error;
    model.setPlaylist(qs(args.link), model.playlistRoot(), args.every,
                      [&](std::optional<PlaylistRecord> record, QString errorText) {
                          added = std::move(record);
                          error = std::move(errorText);
                          session.loop().exit(0);
                      });
    session.loop().exec();
    if (session.stopped()) {
        return CliApp::failed;
    }
    if (!added) {
        err(QStringLiteral("kelvo-cli: ") + error +
            QStringLiteral(" — is the playlist public or unlisted?"));
        return CliApp::failed;
    }
    out(QStringLiteral("✓ ") + qs(added->title) + QStringLiteral(" → ") +
        qs(added->folder().string()));
    if (args.noSync) {
        return CliApp::ok;
    }
    return session.runJob(model.runSync(std::vector<PlaylistRecord>{*added}));
}

int runStop(const Arguments& args) {
    Session session;
    if (!session.requireCatalog()) {
        return CliApp::failed;
    }
    const std::optional<PlaylistRecord> playlist = findPlaylist(session.model(), qs(args.playlist));
    if (!playlist) {
        err(QStringLiteral("kelvo-cli: no playlist ") + qs(args.playlist) +
            QStringLiteral(" (see kelvo-cli playlists)"));
        return CliApp::failed;
    }
    session.model().stopSyncing(*playlist);
    out(QStringLiteral("Stopped syncing ") + qs(playlist->title));
    return CliApp::ok;
}

int runList(const Arguments& args) {
    Session session(Session::Mode::readOnly);
    if (!session.requireCatalog()) {
        return CliApp::failed;
    }
    const std::vector<CatalogEntry> entries =
        session.model().entryRecords(qs(args.search), args.limit);
    if (args.json) {
        QJsonArray array;
        for (const CatalogEntry& entry : entries) {
            array.append(QJsonObject::fromVariantMap(AppModel::entryMap(entry)));
        }
        printJson(array);
    } else {
        for (const CatalogEntry& entry : entries) {
            out(entryLine(entry));
        }
    }
    return CliApp::ok;
}

int runPlaylists(const Arguments& args) {
    Session session(Session::Mode::readOnly);
    if (!session.requireCatalog()) {
        return CliApp::failed;
    }
    if (args.json) {
        QJsonArray array;
        for (const PlaylistRecord& playlist : session.model().playlists()) {
            array.append(QJsonObject::fromVariantMap(AppModel::playlistMap(playlist)));
        }
        printJson(array);
    } else {
        for (const PlaylistRecord& playlist : session.model().playlists()) {
            out(playlistLine(playlist));
        }
    }
    return CliApp::ok;
}

int runRetry(const Arguments& args) {
    Session session;
    AppModel& model = session.model();
    if (!session.requireCatalog()) {
        return CliApp::failed;
    }
    const std::optional<CatalogEntry> entry = model.entryFor(qs(args.videoID));
    if (!entry) {
        err(QStringLiteral("kelvo-cli: no video ") + qs(args.videoID) +
            QStringLiteral(" in the Library"));
        return CliApp::failed;
    }
    model.retry(*entry);
    if (!model.isBusy()) {
        err(
            QStringLiteral("kelvo-cli: nothing was started — another job runs, or the video's "
                           "playlists are not synced any more."));
        return CliApp::failed;
    }
    return session.waitForJob();
}

int runRemove(const Arguments& args) {
    Session session;
    AppModel& model = session.model();
    if (!session.requireCatalog()) {
        return CliApp::failed;
    }
    const std::optional<CatalogEntry> entry = model.entryFor(qs(args.videoID));
    if (!entry) {
        err(QStringLiteral("kelvo-cli: no video ") + qs(args.videoID) +
            QStringLiteral(" in the Library"));
        return CliApp::failed;
    }
    bool failed = false;
    QObject::connect(&model, &AppModel::lastErrorChanged, [&] { failed = true; });
    QString result;
    QObject::connect(&model, &AppModel::activityAppended,
                     [&](const QString& line) { result = line; });
    model.remove(*entry);
    if (failed) {
        err(QStringLiteral("kelvo-cli: ") + model.lastError());
        return CliApp::failed;
    }
    out(result);
    return CliApp::ok;
}

int runFolder(const Arguments& args) {
    Session session(args.folder ? Session::Mode::job : Session::Mode::readOnly);
    AppModel& model = session.model();
    if (!args.folder) {
        out(model.libraryFolder());
        return CliApp::ok;
    }
    const QString path = absoluteFolder(qs(*args.folder));
    model.setLibraryFolder(path);
    out(QStringLiteral("Library folder set to ") + path);
    return CliApp::ok;
}

int runLog(const Arguments& args) {
    Session session(Session::Mode::readOnly);
    const QStringList newestFirst = session.model().activityLines();
    const qsizetype count = std::min<qsizetype>(args.lines, newestFirst.size());
    for (qsizetype i = count - 1; i >= 0; --i) {
        out(newestFirst.at(i));
    }
    return CliApp::ok;
}

// Tool updates replace what a job runs, so they never overlap one, here or in the tray app.
int runToolsUpdate(const Arguments& args) {
    JobLock lock;
    try {
        if (!lock.tryAcquire()) {
            err(busyText());
            return CliApp::failed;
        }
    } catch (const std::exception&) {
        // No lock file can be made (the data folder is unusable): jobs cannot run either.
    }
    return updateTools(args.check);
}

int runReset(const Arguments& args) {
    if (!args.yes) {
        err(
            QStringLiteral("kelvo-cli: reset clears the Library, every setting and Open at "
                           "login; add --yes to do it."));
        return CliApp::usage;
    }
    Session session;
    session.model().resetToFactory(args.trashVideos);
    out(
        QStringLiteral("kelvo was reset; the catalog and the log are in a dated "
                       "kelvo-reset-backup folder beside the data folder."));
    return CliApp::ok;
}

// `settings`: every setting as KEY=VALUE, one value, or a new value.
int runSettings(const Arguments& args) {
    SettingsStore store;
    if (!args.settingKey) {
        for (const Setting& setting : SettingsStore::all()) {
            out(setting.name + QLatin1Char('=') + store.value(setting));
        }
        return CliApp::ok;
    }
    const Setting* setting = SettingsStore::find(qs(*args.settingKey));
    if (setting == nullptr) {
        QStringList names;
        for (const Setting& known : SettingsStore::all()) {
            names << known.name;
        }
        err(QStringLiteral("kelvo-cli: no setting ") + qs(*args.settingKey) +
            QStringLiteral("; the settings are ") + names.join(QStringLiteral(", ")));
        return CliApp::usage;
    }
    if (!args.settingValue) {
        out(store.value(*setting));
        return CliApp::ok;
    }
    QString value = qs(*args.settingValue);
    if (setting->name == QLatin1String("library-folder") && !value.trimmed().isEmpty()) {
        value = absoluteFolder(value.trimmed());
    }
    if (const std::optional<QString> refusal = store.setValue(*setting, value)) {
        err(QStringLiteral("kelvo-cli: ") + *refusal);
        return CliApp::usage;
    }
    out(setting->name + QLatin1Char('=') + store.value(*setting));
    return CliApp::ok;
}

}  // namespace

int CliApp::run(int argc, char** argv) {
    CLI::App app{
        "kelvo-cli: mirror a YouTube playlist and save single videos, without a "
        "desktop. Shares its Library, settings and activity log with the kelvo tray app."};
    app.set_version_flag("--version", BuildVersion::display().toStdString());
    app.require_subcommand(1, 1);
    Arguments args;

    CLI::App* get = app.add_subcommand("get", "Download one video into the Singles folder");
    get->add_option("LINK", args.link, "The video's link")->required();

    CLI::App* add = app.add_subcommand("add", "Sync a playlist (and download it now)");
    add->add_option("LINK", args.link, "The playlist's link or id")->required();
    add->add_option("--every", args.every, "Minutes between checks")
        ->check(CLI::IsMember({15, 30, 60, 120}))
        ->capture_default_str();
    add->add_flag("--no-sync", args.noSync, "Register it only; the next sync downloads it");

    CLI::App* stop = app.add_subcommand("stop", "Stop syncing a playlist (its files stay)");
    stop->add_option("PLAYLIST", args.playlist, "The playlist's number, id or title")->required();

    CLI::App* sync = app.add_subcommand("sync", "Sync the playlists now");
    sync->add_flag("--due", args.due, "Only the playlists whose interval has passed");

    CLI::App* watch =
        app.add_subcommand("watch", "Sync due playlists every 60 seconds until stopped");

    CLI::App* list = app.add_subcommand("list", "List the Library, newest first");
    list->add_option("--search", args.search, "Only videos whose title, summary or tags match");
    list->add_option("--limit", args.limit, "At most this many")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    list->add_flag("--json", args.json, "Print JSON");

    CLI::App* playlists = app.add_subcommand("playlists", "List the synced playlists");
    playlists->add_flag("--json", args.json, "Print JSON");

    CLI::App* retry = app.add_subcommand("retry", "Try a failed download again");
    retry->add_option("VIDEO_ID", args.videoID, "The video's id")->required();

    CLI::App* remove =
        app.add_subcommand("remove", "Move a video's files to the Trash; it leaves the Library");
    remove->add_option("VIDEO_ID", args.videoID, "The video's id")->required();

    CLI::App* folder = app.add_subcommand("folder", "Show or set the library folder");
    folder->add_option("PATH", args.folder, "The new library folder");

    CLI::App* logCommand = app.add_subcommand("log", "Show the activity log, oldest first");
    logCommand->add_option("--lines", args.lines, "The newest this many lines")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();

    CLI::App* settings =
        app.add_subcommand("settings", "Show every setting, one (KEY), or set one (KEY VALUE)");
    settings->add_option("KEY", args.settingKey, "A setting's name");
    settings->add_option("VALUE", args.settingValue, "Its new value");

    CLI::App* reset = app.add_subcommand("reset", "Reset kelvo to its first-launch state");
    reset->add_flag("--trash-videos", args.trashVideos,
                    "Also move every downloaded video to the Trash");
    reset->add_flag("--yes", args.yes, "Confirm the reset");

    CLI::App* tools = app.add_subcommand("tools", "Show the yt-dlp, deno and ffmpeg kelvo runs");
    tools->add_flag("--json", args.json, "Print JSON");
    CLI::App* toolsUpdate = tools->add_subcommand(
        "update", "Install the latest yt-dlp and deno into kelvo's own tools folder");
    toolsUpdate->add_flag("--check", args.check, "Only show the latest versions");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? ok : usage;
    }

    if (get->parsed()) {
        Session session;
        if (!session.requireCatalog()) {
            return failed;
        }
        const AppModel::JobStart start = session.model().download(qs(args.link), false);
        if (start == AppModel::JobStart::nothingToDo) {
            err(QStringLiteral("kelvo-cli: the link is empty."));
            return usage;
        }
        return session.runJob(start);
    }
    if (add->parsed()) {
        return runAdd(args);
    }
    if (stop->parsed()) {
        return runStop(args);
    }
    if (sync->parsed()) {
        Session session;
        if (!session.requireCatalog()) {
            return failed;
        }
        AppModel& model = session.model();
        if (args.due && model.refusalBackoff().holds(QDateTime::currentDateTimeUtc())) {
            // The automatic checks wait after YouTube refused this computer; say until when.
            err(QStringLiteral("kelvo-cli: YouTube refused this computer; the automatic checks "
                               "wait until ") +
                model.refusalBackoff().until()->toLocalTime().toString(
                    QStringLiteral("yyyy-MM-dd HH:mm")) +
                QStringLiteral(". kelvo-cli sync without --due runs now."));
            return CliApp::ok;
        }
        return session.runJob(args.due ? model.syncDue() : model.syncNow());
    }
    if (watch->parsed()) {
        Session session(Session::Mode::watch);
        return session.watch();
    }
    if (list->parsed()) {
        return runList(args);
    }
    if (playlists->parsed()) {
        return runPlaylists(args);
    }
    if (retry->parsed()) {
        return runRetry(args);
    }
    if (remove->parsed()) {
        return runRemove(args);
    }
    if (folder->parsed()) {
        return runFolder(args);
    }
    if (logCommand->parsed()) {
        return runLog(args);
    }
    if (reset->parsed()) {
        return runReset(args);
    }
    if (tools->parsed()) {
        return toolsUpdate->parsed() ? runToolsUpdate(args) : printTools(args.json);
    }
    if (settings->parsed()) {
        return runSettings(args);
    }
    return usage;
}

}  // namespace kelvo
