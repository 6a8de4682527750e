#pragma once

// The world the window tests run in: a real AppModel over a real catalog in a fresh home
// folder, filled by kelvo's own pipelines from the scripted yt-dlp stand-in, with recording
// desktop services and a stand-in local model server for summaries. QML reaches it as
// `fixture`; every start() begins a new world.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvo {
class AppModel;
namespace test {
class FakeService;
class ModelServer;
class Sandbox;
struct DesktopRecord;
}  // namespace test
}  // namespace kelvo

namespace kelvo::test {

class WindowsFixture : public QObject {
    Q_OBJECT

    Q_PROPERTY(QObject* model READ model NOTIFY modelChanged)
    Q_PROPERTY(QStringList opened READ opened)
    Q_PROPERTY(QStringList revealed READ revealed)
    Q_PROPERTY(QStringList trashed READ trashed)
    Q_PROPERTY(QStringList notifications READ notifications)
    Q_PROPERTY(int relaunches READ relaunches)

  public:
    explicit WindowsFixture(QObject* parent = nullptr);
    ~WindowsFixture() override;

    QObject* model() const;
    QStringList opened() const;
    QStringList revealed() const;
    QStringList trashed() const;
    QStringList notifications() const;
    int relaunches() const;

    // A new world: the previous model is shut down and its folders removed. Options:
    //   shortcut (bool, default true): whether the clipboard shortcut can be registered
    //   summaries (bool, default false): a local model server answers with a summary and tags
    //   loginFailure (string): switching the login item fails with this description
    Q_INVOKABLE QObject* start(const QVariantMap& options = {});

    // Puts a video on the stand-in service. Keys: id, title, channel, uploadDate, tags
    // (list), behaviour ("ok", "signIn", "fail"), message, sleepSeconds.
    Q_INVOKABLE void addVideo(const QVariantMap& video);
    // Puts a playlist of these videos on the service (replacing one with the same id);
    // `behaviour` "private" makes the service refuse to list it.
    Q_INVOKABLE void addPlaylist(const QString& id, const QString& title,
                                 const QStringList& videoIDs, const QString& behaviour = {});
    // Registers a service playlist with the catalog, as "Save and sync" would, without a sync.
    Q_INVOKABLE void registerPlaylist(const QString& id, const QString& title, int intervalMin);
    // Stamps a playlist's last check `secondsAgo` seconds before now.
    Q_INVOKABLE void markChecked(const QString& youtubeID, double secondsAgo);

    // The recorded file of a video ("" when none).
    Q_INVOKABLE QString videoFile(const QString& videoID) const;
    // Deletes a video's recorded file (the Library then shows it as missing).
    Q_INVOKABLE bool deleteVideoFile(const QString& videoID);
    Q_INVOKABLE bool fileExists(const QString& path) const;
    // Appends these messages to the activity log, oldest first, as the model writes them.
    Q_INVOKABLE void writeActivity(const QStringList& messages);
    // Removes the activity log file.
    Q_INVOKABLE void removeActivityLog();
    // The summarizer's view of the local model, for the Settings line.
    Q_INVOKABLE QString modelServerURL() const;

  signals:
    void modelChanged();

  private:
    void stop();

    std::unique_ptr<Sandbox> box_;
    std::unique_ptr<FakeService> service_;
    std::unique_ptr<ModelServer> modelServer_;
    std::shared_ptr<DesktopRecord> record_;
    std::unique_ptr<AppModel> model_;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
};

}  // namespace kelvo::test
