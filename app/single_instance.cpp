#include "app/single_instance.h"

#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace kelvo {

namespace {

// "show\n" or "show <what>\n".
constexpr char showRequest[] = "show";
constexpr char showAnswer[] = "ok\n";

QString runtimeFolder() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::tempPath();
    }
    return folder;
}

QString defaultName() {
    return QStringLiteral("kelvo-%1").arg(::getuid());
}

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent),
      socketPath_(runtimeFolder() + QLatin1Char('/') + (name.isEmpty() ? defaultName() : name) +
                  QStringLiteral(".socket")),
      lock_(runtimeFolder() + QLatin1Char('/') + (name.isEmpty() ? defaultName() : name) +
            QStringLiteral(".lock")) {
    // A lock left by a crashed instance is taken over at once (QLockFile checks that its
    // process is gone); a live one never goes stale.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::claim(int answerTimeoutMs, const QString& what) {
    if (lock_.tryLock(0)) {
        // We hold the lock, yet an instance may still answer (its lock file was deleted by
        // hand): ask before removing its socket name.
        if (askRunningInstance(250, what)) {
            lock_.unlock();
            return Role::handedOver;
        }
        listen();  // without a socket this instance still runs; it just cannot be shown
        return Role::primary;
    }
    // Another live process holds the lock; it may still be starting up, so keep asking.
    QElapsedTimer clock;
    clock.start();
    while (true) {
        if (askRunningInstance(qMax(100, answerTimeoutMs - static_cast<int>(clock.elapsed())),
                               what)) {
            return Role::handedOver;
        }
        if (clock.elapsed() >= answerTimeoutMs) {
            return Role::noAnswer;
        }
        if (lock_.tryLock(0)) {  // the other instance quit meanwhile
            return claim(answerTimeoutMs, what);
        }
        QThread::msleep(100);
    }
}

bool SingleInstance::askRunningInstance(int timeoutMs, const QString& what) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    QByteArray request(showRequest);
    if (!what.isEmpty()) {
        request += ' ' + what.toUtf8();
    }
    socket.write(request + '\n');
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (!socket.canReadLine() && clock.elapsed() < timeoutMs) {
        if (!socket.waitForReadyRead(qMax(1, timeoutMs - static_cast<int>(clock.elapsed())))) {
            break;
        }
    }
    return socket.canReadLine() && socket.readLine() == showAnswer;
}

bool SingleInstance::listen() {
    // Only reached after asking: nobody answers on this name, so a socket file left there is
    // from a crashed instance.
    QLocalServer::removeServer(socketPath_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath_)) {
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            const auto answer = [this, client] {
                while (client->canReadLine()) {
                    const QByteArray line = client->readLine().chopped(1);
                    const QList<QByteArray> words = line.split(' ');
                    if (words.size() <= 2 && words.front() == showRequest) {
                        client->write(showAnswer);
                        client->flush();
                        emit activationRequested(words.size() == 2 ? QString::fromUtf8(words.back())
                                                                   : QString());
                    }
                }
            };
            connect(client, &QLocalSocket::readyRead, this, answer);
            answer();
        }
    });
    return true;
}

}  // namespace kelvo
