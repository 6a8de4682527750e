#pragma once

// AppModel: everything kelvo's views show and every job kelvo runs. It owns the catalog, the
// settings, the activity log, the 60-second due check, the clipboard shortcut and the one job
// worker. It lives on the main thread; a job (one sync run or one single download) runs on its
// own worker thread and reports back through queued calls, so the model never blocks.
//
// QML binds to the properties below; lists are QVariantLists of QVariantMaps with camelCase
// keys (see playlistMap() and entryMap() for the keys). kelvo-cli uses the same model through
// the C++ accessors.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "app/activity_log.h"
#include "app/desktop_services.h"
#include "app/job_lock.h"
#include "app/refusal_backoff.h"
#include "app/settings_store.h"
#include "core/catalog/records.h"
#include "core/engine/tool_locator.h"
#include "core/summaries/summarizer.h"

class QFileSystemWatcher;

namespace kelvo {

class Catalog;
struct JobProgress;

class AppModel : public QObject {
    Q_OBJECT

    Q_PROPERTY(QVariantList playlists READ playlistsVariant NOTIFY playlistsChanged)
    Q_PROPERTY(QVariantList enabledPlaylists READ enabledPlaylistsVariant NOTIFY playlistsChanged)
    Q_PROPERTY(QVariantList recent READ recentVariant NOTIFY recentChanged)
    Q_PROPERTY(QStringList activity READ activity NOTIFY activityChanged)
    Q_PROPERTY(bool isBusy READ isBusy NOTIFY isBusyChanged)
    // Another process (kelvo-cli, the watch service) holds the job lock, as last seen: after a
    // refused job or checkBusyElsewhere(), and looked at again every 2 s while it lasts.
    Q_PROPERTY(bool busyElsewhere READ busyElsewhere NOTIFY busyElsewhereChanged)
    // Empty while nothing is downloading.
    Q_PROPERTY(QString currentTitle READ currentTitle NOTIFY currentTitleChanged)
    // Empty when there is no error to show.
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(QString libraryFolder READ libraryFolder NOTIFY libraryFolderChanged)
    // libraryFolder + "/Playlist" and + "/Singles", as stored (may begin with "~").
    Q_PROPERTY(QString playlistFolder READ playlistFolder NOTIFY libraryFolderChanged)
    Q_PROPERTY(QString singlesFolder READ singlesFolder NOTIFY libraryFolderChanged)
    // The playlist folder with "~" expanded: the target path of new playlists.
    Q_PROPERTY(QString playlistRoot READ playlistRoot NOTIFY libraryFolderChanged)
    Q_PROPERTY(bool catalogOpen READ catalogOpen NOTIFY catalogOpenChanged)
    Q_PROPERTY(bool clipboardShortcutActive READ clipboardShortcutActive NOTIFY
                   clipboardShortcutActiveChanged)
    // "Ctrl+Alt+Y".
    Q_PROPERTY(QString shortcutLabel READ shortcutLabel CONSTANT)
    // Why there is no clipboard shortcut, in a sentence for Settings; empty while it is active.
    Q_PROPERTY(QString shortcutProblem READ shortcutProblem NOTIFY shortcutProblemChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin NOTIFY launchAtLoginChanged)
    // Empty when there is nothing to say under the "Open at login" switch.
    Q_PROPERTY(QString loginItemNote READ loginItemNote NOTIFY loginItemNoteChanged)
    // The stored appearance: "dark", "light", "system" or "matrix". Writing stores it.
    Q_PROPERTY(QString appearance READ appearance WRITE setAppearance NOTIFY appearanceChanged)
    // Progress of a sync run: "3 of 12" while the third of a playlist's twelve entries is being
    // fetched; empty otherwise. syncIndex / syncTotal are the two numbers (0 when unknown).
    Q_PROPERTY(QString syncPosition READ syncPosition NOTIFY progressChanged)
    Q_PROPERTY(int syncIndex READ syncIndex NOTIFY progressChanged)
    Q_PROPERTY(int syncTotal READ syncTotal NOTIFY progressChanged)
    // Bytes yt-dlp has written so far for the video being downloaded; 0 otherwise.
    Q_PROPERTY(qint64 downloadedBytes READ downloadedBytes NOTIFY progressChanged)
    // "Add playlist" request running (the Settings button reads "Checking…").
    Q_PROPERTY(bool savingPlaylist READ savingPlaylist NOTIFY savingPlaylistChanged)
    // What the Settings window shows about summaries: "<model> at <server>" or
    // "Unavailable: <reason>"; empty until checkSummaries() answered.
    Q_PROPERTY(QString summariesStatus READ summariesStatus NOTIFY summariesStatusChanged)
    Q_PROPERTY(bool summariesAvailable READ summariesAvailable NOTIFY summariesStatusChanged)
    // The build label: BuildVersion::pill() and BuildVersion::display().
    Q_PROPERTY(QString buildPill READ buildPill CONSTANT)
    Q_PROPERTY(QString buildDisplay READ buildDisplay CONSTANT)
    Q_PROPERTY(QString activityLogPath READ activityLogPath CONSTANT)
    // The Settings window's Tools row (checkTools() fills it): the yt-dlp version ("" until
    // checked, "not found", "version unknown"), its age in days (-1 when unknown), stale after
    // 60 days; an update running (updateYtdlp()) and its progress, then its result line.
    Q_PROPERTY(QString ytdlpVersion READ ytdlpVersion NOTIFY toolsChanged)
    Q_PROPERTY(int ytdlpAgeDays READ ytdlpAgeDays NOTIFY toolsChanged)
    Q_PROPERTY(bool ytdlpStale READ ytdlpStale NOTIFY toolsChanged)
    Q_PROPERTY(bool toolsUpdating READ toolsUpdating NOTIFY toolsChanged)
    Q_PROPERTY(QString toolsMessage READ toolsMessage NOTIFY toolsChanged)

  public:
    // How a request to start a job was answered.
    enum class JobStart {
        started,      // the job runs now
        busy,         // another job runs, in this process or in another one
        nothingToDo,  // nothing due, no enabled playlist, or an empty link
        noCatalog,    // the catalog is not open
    };
    Q_ENUM(JobStart)

    enum class JobKind { sync, download };
    Q_ENUM(JobKind)

    struct Options {
        // The 60-second timer, the wake observer and the due check at launch. kelvo-cli turns
        // them off for everything but `watch`.
        bool automaticSync = true;
        int syncIntervalMs = 60'000;
        // How often the download progress is read while busy.
        int progressIntervalMs = 500;
        // Registers the clipboard shortcut.
        bool registerShortcut = true;
        // After a factory reset: ask the application to quit and exit 2 s later.
        bool quitAfterReset = true;
        // The summarizer each job uses; default OnDeviceSummarizer from the environment.
        std::function<std::unique_ptr<Summarizer>()> makeSummarizer;
        // The tool locator each job uses; default the process environment and executable.
        std::function<ToolLocator()> makeLocator;
        // How long a stopped yt-dlp may take to exit after SIGTERM before it is killed.
        int killGraceMs = 3000;
        // Only reading (kelvo-cli list, log, ...): start-up writes no start line, leaves the
        // activity log untrimmed and marks no interrupted download failed.
        bool readOnly = false;
    };

    // Runs the start-up sequence: settings, catalog (a failure goes to lastError), interrupted
    // downloads marked failed, log trim and start line, refresh, timer, wake observer, the due
    // check at launch (queued) and the clipboard shortcut.
    explicit AppModel(DesktopServices services, QObject* parent = nullptr);
    AppModel(DesktopServices services, Options options, QObject* parent = nullptr);
    // Stops a running job (its yt-dlp child included) and waits for it.
    ~AppModel() override;

    // ---- Properties ----
    QVariantList playlistsVariant() const;
    QVariantList enabledPlaylistsVariant() const;
    QVariantList recentVariant() const;
    const QStringList& activity() const { return activity_; }
    bool isBusy() const { return busy_; }
    bool busyElsewhere() const { return busyElsewhere_; }
    QString currentTitle() const { return currentTitle_.value_or(QString()); }
    QString lastError() const { return lastError_.value_or(QString()); }
    const std::optional<QString>& lastErrorText() const { return lastError_; }
    const QString& libraryFolder() const { return libraryFolder_; }
    QString playlistFolder() const;
    QString singlesFolder() const;
    QString playlistRoot() const;
    // libraryFolder + "/Singles" with "~" expanded: where single downloads go.
    QString singlesRoot() const;
    bool catalogOpen() const { return catalog_ != nullptr; }
    bool clipboardShortcutActive() const { return shortcutActive_; }
    QString shortcutLabel() const;
    const QString& shortcutProblem() const { return shortcutProblem_; }
    bool launchAtLogin() const { return launchAtLogin_; }
    QString loginItemNote() const { return loginItemNote_.value_or(QString()); }
    QString appearance() const;
    void setAppearance(const QString& appearance);
    QString syncPosition() const;
    int syncIndex() const { return syncIndex_; }
    int syncTotal() const { return syncTotal_; }
    qint64 downloadedBytes() const { return downloadedBytes_; }
    bool savingPlaylist() const { return savingPlaylist_; }
    const QString& summariesStatus() const { return summariesStatus_; }
    bool summariesAvailable() const { return summariesAvailable_; }
    QString buildPill() const;
    QString buildDisplay() const;
    QString activityLogPath() const { return activityLog_.filePath(); }
    const QString& ytdlpVersion() const { return ytdlpVersion_; }
    int ytdlpAgeDays() const { return ytdlpAgeDays_; }
    bool ytdlpStale() const { return ytdlpAgeDays_ > staleToolDays; }
    bool toolsUpdating() const { return toolsUpdating_; }
    const QString& toolsMessage() const { return toolsMessage_; }
    // A yt-dlp older than this many days likely fails against today's YouTube.
    static constexpr int staleToolDays = 60;
    // The automatic checks' wait after YouTube refused this computer.
    const RefusalBackoff& refusalBackoff() const { return backoff_; }

    // ---- C++ accessors (kelvo-cli, tests) ----
    const std::vector<PlaylistRecord>& playlists() const { return playlists_; }
    std::vector<PlaylistRecord> enabledPlaylists() const;
    const std::vector<CatalogEntry>& recent() const { return recent_; }
    // The open catalog, or null.
    Catalog* catalog() const { return catalog_.get(); }
    // The library listing (search text may be empty); empty without a catalog or on failure.
    std::vector<CatalogEntry> entryRecords(const QString& search, int limit) const;
    // The entry of one video built from its catalog row; nothing when there is no such row.
    std::optional<CatalogEntry> entryFor(const QString& videoID) const;
    // The playlist with this row id, or nothing.
    std::optional<PlaylistRecord> playlistByID(std::int64_t id) const;
    const ActivityLog& activityLog() const { return activityLog_; }

    // ---- Operations ----

    // Reloads playlists and recent from the catalog; failures give empty lists.
    Q_INVOKABLE void refresh();
    // The automatic check: syncs the due playlists when idle.
    Q_INVOKABLE JobStart syncDue();
    // The user's sync: all enabled playlists, when idle.
    Q_INVOKABLE JobStart syncNow();
    // One sync run over these playlists (refused while a job runs).
    JobStart runSync(const std::vector<PlaylistRecord>& playlists);
    // QML form: a list of playlist maps (only "id" is read).
    Q_INVOKABLE JobStart runSync(const QVariantList& playlists);

    // The single-video job: `link` (trimmed of spaces and tabs) is downloaded into Singles.
    // `fromClipboard` is true for the shortcut, which has already announced the download.
    Q_INVOKABLE JobStart download(const QString& link, bool fromClipboard = false);
    // Looks whether another process holds the job lock (the popover asks when it opens).
    Q_INVOKABLE void checkBusyElsewhere();
    // The shortcut's action: checks the clipboard and downloads the video link on it.
    Q_INVOKABLE void downloadFromClipboard();

    // Looks the playlist up on the service (in the background) and registers it. `done` gets
    // the stored record, or the error text. Without a catalog it answers "catalog: catalog
    // unavailable".
    using PlaylistDone =
        std::function<void(std::optional<PlaylistRecord> record, QString errorText)>;
    void setPlaylist(const QString& link, const QString& targetPath, int intervalMin,
                     PlaylistDone done);
    // The same; answers with setPlaylistFinished.
    Q_INVOKABLE void setPlaylist(const QString& link, const QString& targetPath, int intervalMin);
    // The Settings form's "Save and sync": setPlaylist into playlistRoot, then playlistSaved
    // with the line to show ("✓ <title> → <folder> · syncing now (see the tray icon)" or
    // "<reason> — is the playlist public or unlisted?"), and on success syncNow().
    Q_INVOKABLE void savePlaylist(const QString& link, int intervalMin);

    void stopSyncing(const PlaylistRecord& playlist);
    Q_INVOKABLE void stopSyncing(qint64 playlistID);
    Q_INVOKABLE void setLibraryFolder(const QString& path);

    void retry(const CatalogEntry& entry);
    Q_INVOKABLE void retry(const QString& videoID);
    // Open / reveal the entry's file; false (after a beep signal) when there is none.
    bool open(const CatalogEntry& entry);
    Q_INVOKABLE bool open(const QString& videoID);
    bool reveal(const CatalogEntry& entry);
    Q_INVOKABLE bool reveal(const QString& videoID);
    // Removes a Library entry: failed ones are forgotten, downloading ones refused, the files
    // of done ones go to the Trash and the row becomes a tombstone. Reports through lastError
    // and the activity log.
    void remove(const CatalogEntry& entry);
    Q_INVOKABLE void remove(const QString& videoID);

    Q_INVOKABLE void setLaunchAtLogin(bool on);
    // Stops any job, then: log line, timer off, videos to the Trash (when asked), login item
    // off, settings cleared, catalog closed, data folder moved to
    // "kelvo-reset-backup-yyyyMMdd-HHmmss" beside it, relaunch, resetDone(), quit.
    Q_INVOKABLE void resetToFactory(bool trashVideos);

    // The Library listing as maps (search may be empty).
    Q_INVOKABLE QVariantList entries(const QString& search, int limit) const;
    // The activity file's lines, newest first.
    Q_INVOKABLE QStringList activityLines() const;
    // Puts the whole activity file on the system clipboard, oldest line first; false when
    // there is no clipboard.
    Q_INVOKABLE bool copyActivity();
    // Reveals the activity log file; false when nothing could be shown.
    Q_INVOKABLE bool revealActivityLog();
    // Asks the summarizer, in the background, whether summaries can be made.
    Q_INVOKABLE void checkSummaries();
    // Reads the yt-dlp version and age for the Tools row, in the background.
    Q_INVOKABLE void checkTools();
    // Installs the latest yt-dlp into kelvo's tools folder, in the background under the job
    // lock: refused (a result line saying so) while a job runs here or in kelvo-cli.
    Q_INVOKABLE void updateYtdlp();
    // A setting by its `kelvo-cli settings` name ("pause-between-downloads", "cookies-from",
    // ...): its value, "" for an unknown name.
    Q_INVOKABLE QString setting(const QString& name) const;
    // Stores a setting; "" when stored, else why not. The next job uses it.
    Q_INVOKABLE QString setSetting(const QString& name, const QString& value);

    // The log callback: current title, the job's first start notification, the in-memory list
    // (newest 50) and the activity file.
    void log(const QString& message);
    // A notification titled "kelvo".
    void notify(const QString& body);

    // Stops a running job (yt-dlp gets SIGTERM, then SIGKILL) and waits for it and for any
    // background lookup; the timer stops. Safe to call twice.
    void shutdown();

    // ---- Texts (pure, for the views and the tests) ----
    // The end-of-sync notification body, or nothing when it is not posted.
    static std::optional<QString> syncNotificationBody(int ready, int archived, int problems);
    // The clipboard refusal for text that is not a video link of the service.
    static QString clipboardRefusal(const QString& clipboardText);
    static QVariantMap playlistMap(const PlaylistRecord& playlist);
    static QVariantMap entryMap(const CatalogEntry& entry);

  signals:
    void playlistsChanged();
    void recentChanged();
    void activityChanged();
    void isBusyChanged();
    void busyElsewhereChanged();
    // Library rows may have changed: after a removal, a retry, a job, or a write of another
    // process to the catalog. The Library reloads.
    void libraryChanged();
    void currentTitleChanged();
    void lastErrorChanged();
    void libraryFolderChanged();
    void catalogOpenChanged();
    void clipboardShortcutActiveChanged();
    void shortcutProblemChanged();
    void launchAtLoginChanged();
    void loginItemNoteChanged();
    void appearanceChanged();
    void progressChanged();
    void savingPlaylistChanged();
    void summariesStatusChanged();
    void toolsChanged();
    void settingsChanged();
    // One line was logged (also in `activity`).
    void activityAppended(const QString& message);
    void setPlaylistFinished(bool ok, const QVariantMap& playlist, const QString& errorText);
    void playlistSaved(bool ok, const QString& message);
    // A job ended. `results`: the report lines of a sync ("✓ <summary>" / "✗ <title>: <error>")
    // or the saved file's path of a download. `ok` is false when the job (a playlist, the
    // engine, the download) failed.
    void jobFinished(JobKind kind, bool ok, const QStringList& results);
    // open/reveal had nothing to show: the views sound a beep.
    void beep();
    // The factory reset is done; the views close their windows.
    void resetDone();

  private:
    struct Job;
    struct JobTools;
    // The video's best existing file (as the Library opens it), or nothing; never throws.
    std::optional<std::string> bestFile(const std::string& videoID) const;
    // Opens or reveals (`action`) the video's best file; a beep and false when there is none.
    bool useFile(const std::string& videoID, bool (FileActions::*action)(const QString&));
    bool beginJob();
    void startWorker(std::function<void(std::stop_token)> work);
    void finishJob(JobKind kind, bool ok, const QStringList& results);
    // Runs `fn` on the main thread, unless the model has gone.
    void post(std::function<void()> fn);
    ToolLocator makeLocator() const;
    std::unique_ptr<Summarizer> makeSummarizer() const;
    // What a job's worker needs, taken on the main thread as the job starts.
    JobTools jobTools();
    void setBusy(bool busy);
    void setBusyElsewhere(bool busy);
    // A job the user asked for did not start because another one runs: lastError says so.
    void sayRefused();
    // Follows writes to the catalog file (other processes, this one's jobs) with libraryChanged.
    void watchCatalog();
    void setLastError(std::optional<QString> error);
    void setCurrentTitle(std::optional<QString> title);
    void setProgress(int index, int total, qint64 bytes);
    void pollProgress();
    void runAux(std::function<void(std::stop_token)> work);
    void reapAux(std::thread::id id);
    void startUp();
    // YouTube refused this computer during a sync: the back-off grows, one line, one
    // notification.
    void reportRefusal();
    void setToolsMessage(const QString& message);

    Options options_;
    DesktopServices services_;
    SettingsStore settings_;
    ActivityLog activityLog_;
    JobLock jobLock_;
    std::unique_ptr<Catalog> catalog_;

    std::vector<PlaylistRecord> playlists_;
    std::vector<CatalogEntry> recent_;
    QStringList activity_;
    bool busy_ = false;
    bool busyElsewhere_ = false;
    std::optional<QString> currentTitle_;
    std::optional<QString> lastError_;
    QString libraryFolder_;
    bool notifiedStartThisRun_ = false;
    bool shortcutActive_ = false;
    QString shortcutProblem_;
    bool launchAtLogin_ = false;
    std::optional<QString> loginItemNote_;
    bool savingPlaylist_ = false;
    QString summariesStatus_;
    bool summariesAvailable_ = false;
    RefusalBackoff backoff_;
    QString ytdlpVersion_;
    int ytdlpAgeDays_ = -1;
    bool toolsUpdating_ = false;
    QString toolsMessage_;

    QTimer* timer_ = nullptr;
    QTimer* progressTimer_ = nullptr;
    QTimer* elsewhereTimer_ = nullptr;
    QTimer* catalogSettle_ = nullptr;
    QFileSystemWatcher* catalogWatcher_ = nullptr;
    int syncIndex_ = 0;
    int syncTotal_ = 0;
    qint64 downloadedBytes_ = 0;
    std::shared_ptr<JobProgress> progress_;

    std::thread worker_;
    std::stop_source jobStop_;
    std::mutex auxMutex_;
    std::vector<std::thread> aux_;
    std::stop_source auxStop_;
    bool shutDown_ = false;
};

}  // namespace kelvo
