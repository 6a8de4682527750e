#pragma once

// One kelvo tray app per user. The first instance holds a lock file and listens on a local
// socket; a second start asks it to show its popover and then exits.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace kelvo {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    enum class Role {
        primary,     // this process is the instance; activationRequested() fires on later starts
        handedOver,  // a running instance was asked to show itself; this process should exit
        noAnswer,    // another instance holds the lock but did not answer; this process should exit
    };

    // `name` identifies the instance (default "kelvo-<uid>"); the lock file and the socket
    // live in $XDG_RUNTIME_DIR (else the temporary folder).
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Decides this process's role; call once, after the Qt application object exists. A running
    // instance is asked to show `what` ("" for its popover, else a window's identifier).
    Role claim(int answerTimeoutMs = 3000, const QString& what = {});

    const QString& socketPath() const { return socketPath_; }

  signals:
    // Another start of kelvo asked this instance to show itself, or the window `what`.
    void activationRequested(const QString& what);

  private:
    bool askRunningInstance(int timeoutMs, const QString& what);
    bool listen();

    QString socketPath_;
    QLockFile lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace kelvo
