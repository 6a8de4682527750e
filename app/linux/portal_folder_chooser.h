#pragma once

// PortalFolderChooser: the desktop's own folder chooser, asked for through the desktop portal
// (org.freedesktop.portal.FileChooser, OpenFile with "directory"), so a folder is picked the way
// the rest of the desktop picks one. The windows reach it as `folderPortal`; where no portal
// answers, or one too old to choose folders, it says so and they open their own dialog.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QWindow;

namespace kelvo {

class PortalFolderChooser : public QObject {
    Q_OBJECT

  public:
    explicit PortalFolderChooser(QDBusConnection bus = QDBusConnection::sessionBus(),
                                 QObject* parent = nullptr);

    // Opens the chooser over `window` (may be null) at `folder` (a path or a file:// URL).
    // False without a session bus. Otherwise the answer comes as chosen(), nothing when the user
    // cancels, or failed() when no portal here chooses folders or it failed: the caller then
    // opens its own dialog.
    Q_INVOKABLE bool choose(const QString& title, const QString& folder, QWindow* window);

  signals:
    void chosen(const QString& folder);
    void failed();

  private slots:
    void onResponse(uint response, const QVariantMap& results);

  private:
    void open(const QString& title, const QString& folder, QWindow* window);
    void stopListening();

    QDBusConnection bus_;
    QString request_;  // the object path of the open request, "" for none
};

}  // namespace kelvo
