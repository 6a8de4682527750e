#include "app/linux/logind_wake_observer.h"

#include <gtest/gtest.h>
#include <QDBusMessage>

#include "tests/app_services/bus_stand_ins.h"
#include "tests/app_services/qt_environment.h"

namespace kelvo {
namespace {

using test::processEventsUntil;

TEST(LogindWakeObserverTest, EachWakeUpCountsOnceEvenWhenAnnouncedTwice) {
    QObject manager;  // stands in for logind on the private bus
    test::BusService logind(QStringLiteral("org.freedesktop.login1"),
                            QStringLiteral("/org/freedesktop/login1"), &manager);
    const auto prepareForSleep = [&logind](bool goingToSleep) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << goingToSleep;
        ASSERT_TRUE(logind.connection().send(signal));
    };

    LogindWakeObserver observer(QDBusConnection::sessionBus());
    int wakes = 0;
    ASSERT_TRUE(observer.start([&wakes] { ++wakes; }));

    prepareForSleep(true);
    prepareForSleep(false);
    ASSERT_TRUE(processEventsUntil([&wakes] { return wakes == 1; }));
    prepareForSleep(false);  // the same wake-up again
    processEventsUntil([] { return false; }, 300);
    EXPECT_EQ(wakes, 1);

    prepareForSleep(true);
    prepareForSleep(false);
    ASSERT_TRUE(processEventsUntil([&wakes] { return wakes == 2; }));
}

TEST(LogindWakeObserverTest, WithoutASystemBusThereIsNothingToObserve) {
    LogindWakeObserver observer(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent"), QStringLiteral("no-system-bus")));
    EXPECT_FALSE(observer.start([] {}));
}

}  // namespace
}  // namespace kelvo
