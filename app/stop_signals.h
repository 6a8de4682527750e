#pragma once

// SIGINT and SIGTERM turned into a Qt signal on the main thread (through a self-pipe), so the
// program can stop its job cleanly instead of dying with a yt-dlp child still running.

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace kelvo {

class StopSignals : public QObject {
    Q_OBJECT

  public:
    // Installs the handlers; the previous ones come back when the object goes. One at a time.
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

    // Which signal arrived last (SIGINT or SIGTERM), 0 before any.
    int lastSignal() const { return lastSignal_; }

  signals:
    void stopRequested(int signalNumber);

  private:
    void readPipe();

    std::unique_ptr<QSocketNotifier> notifier_;
    int lastSignal_ = 0;
};

}  // namespace kelvo
