#include "app/linux/logind_wake_observer.h"

namespace kelvo {

LogindWakeObserver::LogindWakeObserver(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

bool LogindWakeObserver::start(Handler onWake) {
    onWake_ = std::move(onWake);
    if (started_) {
        return true;
    }
    if (!bus_.isConnected()) {
        return false;
    }
    started_ = bus_.connect(QStringLiteral("org.freedesktop.login1"),
                            QStringLiteral("/org/freedesktop/login1"),
                            QStringLiteral("org.freedesktop.login1.Manager"),
                            QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    return started_;
}

void LogindWakeObserver::prepareForSleep(bool goingToSleep) {
    if (goingToSleep) {
        asleep_ = true;
        return;
    }
    if (!asleep_) {
        return;  // the same wake-up announced again
    }
    asleep_ = false;
    if (onWake_) {
        onWake_();
    }
}

}  // namespace kelvo
