#pragma once

#include <QDBusConnection>
#include <QObject>

#include "app/wake_observer.h"

namespace kelvo {

// Wake-ups from logind's PrepareForSleep(false) on the system bus. A second "awake" without a
// "going to sleep" in between is ignored.
class LogindWakeObserver : public QObject, public WakeObserver {
    Q_OBJECT

  public:
    explicit LogindWakeObserver(QDBusConnection bus = QDBusConnection::systemBus(),
                                QObject* parent = nullptr);
    bool start(Handler onWake) override;

  private slots:
    void prepareForSleep(bool goingToSleep);

  private:
    QDBusConnection bus_;
    Handler onWake_;
    bool started_ = false;
    bool asleep_ = true;  // so that the first wake-up after start counts
};

}  // namespace kelvo
