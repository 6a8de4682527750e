#include "app/linux/dbus_notifier.h"

#include <gtest/gtest.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include "tests/app_services/bus_stand_ins.h"
#include "tests/app_services/child_process.h"
#include "tests/app_services/qt_environment.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

using test::processEventsUntil;

const QString serverName = QStringLiteral("org.freedesktop.Notifications");
const QString serverPath = QStringLiteral("/org/freedesktop/Notifications");

struct Fallbacks {
    QList<QPair<QString, QString>> shown;
    DBusNotifier::Fallback callback() {
        return [this](const QString& title, const QString& body) { shown.append({title, body}); };
    }
};

TEST(DBusNotifierTest, PostsAsKelvoWithTheExactTitleAndBody) {
    test::NotificationServer server;
    test::BusService service(serverName, serverPath, &server);
    Fallbacks fallbacks;
    DBusNotifier notifier(fallbacks.callback());

    const QString body = QStringLiteral("Downloading \"Über – ☃ & <b>not bold</b>\"…");
    notifier.notify(QStringLiteral("kelvo"), body);
    ASSERT_TRUE(processEventsUntil([&server] { return server.received.size() == 1; }));

    const test::Notification& got = server.received.front();
    EXPECT_EQ(got.appName, QStringLiteral("kelvo"));
    EXPECT_EQ(got.summary, QStringLiteral("kelvo"));
    EXPECT_EQ(got.body, body);
    EXPECT_EQ(got.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("kelvo"));
    processEventsUntil([] { return false; }, 200);
    EXPECT_TRUE(fallbacks.shown.isEmpty());
}

TEST(DBusNotifierTest, WithoutANotificationServerTheFallbackShowsIt) {
    Fallbacks fallbacks;
    DBusNotifier notifier(fallbacks.callback());
    notifier.notify(QStringLiteral("kelvo"), QStringLiteral("Ready: a video"));
    ASSERT_TRUE(processEventsUntil([&fallbacks] { return fallbacks.shown.size() == 1; }));
    EXPECT_EQ(fallbacks.shown.front().first, QStringLiteral("kelvo"));
    EXPECT_EQ(fallbacks.shown.front().second, QStringLiteral("Ready: a video"));
}

TEST(DBusNotifierTest, WithoutABusTheFallbackShowsItAtOnce) {
    Fallbacks fallbacks;
    DBusNotifier notifier(fallbacks.callback(),
                          QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"),
                                                        QStringLiteral("nowhere")));
    notifier.notify(QStringLiteral("kelvo"), QStringLiteral("x"));
    EXPECT_EQ(fallbacks.shown.size(), 1);
}

TEST(DBusNotifierTest, ARealNotificationDaemonShowsIt) {
    test::Sandbox box;
    const auto config = box / "dunstrc";
    test::writeFile(config, "[global]\n    font = Monospace 8\n");
    test::ChildProcess dunst({"/usr/bin/dunst", "-config", config.string(), "-print"});
    // dunst is ready once it owns the name on the bus.
    ASSERT_TRUE(processEventsUntil(
        [] {
            return QDBusConnection::sessionBus()
                .interface()
                ->isServiceRegistered(serverName)
                .value();
        },
        10000));

    Fallbacks fallbacks;
    DBusNotifier notifier(fallbacks.callback());
    notifier.notify(QStringLiteral("kelvo"), QStringLiteral("3 videos ready · 1 archived"));
    processEventsUntil([] { return false; }, 500);

    std::string printed;
    for (std::string line = dunst.readLine(std::chrono::seconds(5)); !line.empty();
         line = dunst.readLine(std::chrono::milliseconds(500))) {
        printed += line + "\n";
    }
    EXPECT_NE(printed.find("appname: 'kelvo'"), std::string::npos) << printed;
    EXPECT_NE(printed.find("summary: 'kelvo'"), std::string::npos) << printed;
    EXPECT_NE(printed.find("body: '3 videos ready · 1 archived'"), std::string::npos) << printed;
    EXPECT_TRUE(fallbacks.shown.isEmpty());
}

}  // namespace
}  // namespace kelvo
