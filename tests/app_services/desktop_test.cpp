// The desktop services against a real desktop: a private X server and session bus (see
// run-under-xvfb.sh), dunst, xdotool, the clipboard, and stand-ins for the file manager and logind.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QClipboard>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

#include "app/linux/dbus_notifier.h"
#include "app/linux/desktop_file_actions.h"
#include "app/linux/font_registration.h"
#include "app/linux/logind_wake_observer.h"
#include "app/linux/qt_clipboard.h"
#include "app/linux/x11_hot_key.h"
#include "tests/support/process.h"
#include "tests/support/qt.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

using test::processEventsUntil;

[[maybe_unused]] auto* const qt =
    ::testing::AddGlobalTestEnvironment(new test::QtEnvironment<QGuiApplication>);

QString qpath(const std::filesystem::path& path) {
    return QString::fromStdString(path);
}

bool onTheBus(const QString& service) {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(service).value();
}

QDBusConnection nowhere() {
    return QDBusConnection::connectToBus("unix:path=/nonexistent", "nowhere");
}

// A second connection to the session bus that owns `service` and serves `object` at `path`, so
// kelvo's calls really travel through the bus. It leaves the bus when it goes.
struct BusService {
    BusService(const QString& service, const QString& path, QObject* object)
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, service)) {
        EXPECT_TRUE(bus.registerObject(path, object, QDBusConnection::ExportScriptableSlots) &&
                    bus.registerService(service));
    }
    ~BusService() { QDBusConnection::disconnectFromBus(bus.name()); }
    QDBusConnection bus;
};

TEST(DBusNotifierTest, DunstShowsTheExactTextElseTheFallbackDoes) {
    QStringList fallbacks;
    const auto fallback = [&fallbacks](const QString& title, const QString& body) {
        fallbacks.append(title + ": " + body);
    };
    DBusNotifier(fallback, nowhere()).notify("kelvo", "no bus");
    EXPECT_EQ(fallbacks, QStringList{"kelvo: no bus"});  // at once
    DBusNotifier(fallback).notify("kelvo", "no server");
    ASSERT_TRUE(processEventsUntil([&fallbacks] { return fallbacks.size() == 2; }));

    // dunst as it comes, then with body markup on: the text must then reach it escaped.
    const QString server = "org.freedesktop.Notifications";
    for (const auto& [markup, body] :
         {std::pair{"no", "body: '3 videos · Über & <b>co</b>'"},
          std::pair{"full", "body: '3 videos · Über &amp; &lt;b&gt;co&lt;/b&gt;'"}}) {
        test::Sandbox box;
        test::writeFile(box / "dunstrc", std::string("[global]\n    markup = ") + markup + "\n");
        test::Process dunst({"dunst", "-config", box / "dunstrc", "-print"});
        ASSERT_TRUE(processEventsUntil([&server] { return onTheBus(server); }));
        DBusNotifier(fallback).notify("kelvo", "3 videos · Über & <b>co</b>");
        std::string printed;  // up to the "}" closing the notification
        ASSERT_TRUE(processEventsUntil([&] {
            while (const auto line = dunst.readLine(std::chrono::milliseconds(10))) {
                printed += "\n" + *line;
            }
            return printed.find("\n}") != std::string::npos;
        })) << printed;
        for (const char* field :
             {"appname: 'kelvo'", "summary: 'kelvo'", "desktop_entry: 'kelvo'", body}) {
            EXPECT_NE(printed.find(std::string("\n\t") + field + "\n"), std::string::npos)
                << field << printed;
        }
        // dunst answered Notify before this call, so a fallback for it would be queued by now.
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            server, "/org/freedesktop/Notifications", server, "GetServerInformation"));
        QCoreApplication::processEvents();
        EXPECT_EQ(fallbacks.size(), 2);
        dunst.signal(SIGTERM);
        ASSERT_TRUE(processEventsUntil([&server] { return !onTheBus(server); }));
    }
}

TEST(X11HotKeyTest, CtrlAltYIsGrabbedAloneAndFiresAlsoWithNumLock) {
    // Another X client, and its grabs of Y with `modifiers`.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    const xcb_keycode_t y = 29;  // on Xvfb's default keymap
    const auto grab = [&](std::uint16_t modifiers) {
        xcb_generic_error_t* error = xcb_request_check(
            other, xcb_grab_key_checked(other, 1, root, modifiers, y, XCB_GRAB_MODE_ASYNC,
                                        XCB_GRAB_MODE_ASYNC));
        std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> owned(error, &std::free);
        return error == nullptr;
    };
    const std::uint16_t ctrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

    ASSERT_TRUE(grab(ctrlAlt));
    X11HotKey refused;
    EXPECT_FALSE(refused.registerShortcut([] {}));
    std::free(xcb_request_check(other, xcb_ungrab_key_checked(other, y, root, ctrlAlt)));

    X11HotKey hotKey;
    int presses = 0;
    ASSERT_TRUE(hotKey.registerShortcut([&presses] { ++presses; }));
    EXPECT_EQ(test::runProcess({"xdotool", "key", "ctrl+alt+y"}).status, 0);
    EXPECT_TRUE(processEventsUntil([&presses] { return presses == 1; }));
    EXPECT_EQ(test::runProcess({"xdotool", "key", "Num_Lock", "ctrl+alt+y", "Num_Lock"}).status, 0);
    EXPECT_TRUE(processEventsUntil([&presses] { return presses == 2; }));
    // Held down for a second, the key repeats (the server's auto-repeat starts after 660 ms): one
    // action all the same. The next press after the release counts, and arrives after the
    // repeats, so they would have counted by then.
    EXPECT_EQ(test::runProcess({"xdotool", "keydown", "ctrl+alt+y", "sleep", "1", "keyup",
                                "ctrl+alt+y", "key", "ctrl+alt+y"})
                  .status,
              0);
    EXPECT_TRUE(processEventsUntil([&presses] { return presses >= 4; }));
    xcb_connection_t* own =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    std::free(xcb_get_input_focus_reply(own, xcb_get_input_focus(own), nullptr));
    QCoreApplication::processEvents();
    EXPECT_EQ(presses, 4);
    // kelvo holds Ctrl+Alt+Y and leaves every other combination with Y to others.
    EXPECT_FALSE(grab(ctrlAlt));
    EXPECT_TRUE(grab(XCB_MOD_MASK_CONTROL));
    EXPECT_TRUE(grab(ctrlAlt | XCB_MOD_MASK_SHIFT));
    xcb_disconnect(other);
}

TEST(QtClipboardTest, PlainTextElseTheFirstUrlElseNothing) {
    const QString link = "https://youtu.be/dQw4w9WgXcQ";
    const QList<QUrl> urls = {QUrl("https://www.youtube.com/a?v=1"), QUrl("https://a.b/2")};
    QtClipboard clipboard;
    // Qt offers a URL list as text as well; the rule must still pick the first URL alone. A null
    // text is none at all.
    const std::tuple<QString, bool, QString> cases[] = {{link, false, link},
                                                        {link, true, link},
                                                        {QString(), true, urls[0].toString()},
                                                        {"", false, ""}};
    for (const auto& [text, withUrls, expected] : cases) {
        auto* data = new QMimeData;
        if (!text.isNull()) {
            data->setText(text);
        }
        data->setUrls(withUrls ? urls : QList<QUrl>());
        QGuiApplication::clipboard()->setMimeData(data);
        EXPECT_EQ(clipboard.text(), expected) << text.toStdString() << withUrls;
    }
}

// Stands in for the desktop: its default applications (what QDesktopServices hands them) and its
// file manager (org.freedesktop.FileManager1 on the bus).
class Desktop : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

  public:
    Desktop() { QDesktopServices::setUrlHandler("file", this, "open"); }
    ~Desktop() override { QDesktopServices::unsetUrlHandler("file"); }
    QStringList opened;
    QStringList shown;

  public slots:
    void open(const QUrl& url) { opened.append(url.toLocalFile()); }
    Q_SCRIPTABLE void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

TEST(DesktopFileActionsTest, OpenAndRevealWithAndWithoutAFileManager) {
    test::Sandbox box;
    Desktop desktop;
    DesktopFileActions actions;
    const QString file = qpath(box / "in" / "Über & co #1 [x].mp4");
    test::writeFile(file.toStdString(), "v");
    test::writeFile(box / "b.mp4", "v");
    EXPECT_TRUE(actions.open(file));
    EXPECT_FALSE(actions.open(qpath(box / "missing.mp4")));
    // A missing file: the nearest folder above that exists.
    EXPECT_TRUE(actions.reveal(qpath(box / "no" / "such" / "gone.mp4")));
    EXPECT_EQ(desktop.opened, QStringList({file, qpath(box.root())}));
    desktop.opened.clear();

    const QString service = "org.freedesktop.FileManager1";
    {
        BusService fileManager(service, "/org/freedesktop/FileManager1", &desktop);
        EXPECT_TRUE(actions.reveal(file));
        ASSERT_TRUE(processEventsUntil([&desktop] { return !desktop.shown.empty(); }));
        ASSERT_EQ(desktop.shown.size(), 1);
        EXPECT_EQ(QUrl(desktop.shown[0]).toLocalFile(), file);
    }
    // The bus passed the file manager's answer on before it saw the file manager leave, so the
    // fallback below comes after any wrongly taken for the answered call.
    ASSERT_TRUE(processEventsUntil([&service] { return !onTheBus(service); }));
    EXPECT_TRUE(actions.reveal(qpath(box / "b.mp4")));
    ASSERT_TRUE(processEventsUntil([&desktop] { return !desktop.opened.empty(); }));
    EXPECT_EQ(desktop.opened, QStringList{qpath(box.root())});
}

TEST(LogindWakeObserverTest, EachWakeUpCountsOnce) {
    QObject manager;
    BusService logind("org.freedesktop.login1", "/org/freedesktop/login1", &manager);
    LogindWakeObserver observer(QDBusConnection::sessionBus());
    int wakes = 0;
    ASSERT_TRUE(observer.start([&wakes] { ++wakes; }));
    for (const bool goingToSleep : {true, false}) {
        ASSERT_TRUE(logind.bus.send(QDBusMessage::createSignal("/org/freedesktop/login1",
                                                               "org.freedesktop.login1.Manager",
                                                               "PrepareForSleep")
                                    << goingToSleep));
    }
    ASSERT_TRUE(processEventsUntil([&wakes] { return wakes == 1; }));
    // A second "awake" is the same wake-up; the next one follows a "going to sleep".
    for (const bool goingToSleep : {false, true, false}) {
        QMetaObject::invokeMethod(&observer, "prepareForSleep", Q_ARG(bool, goingToSleep));
    }
    EXPECT_EQ(wakes, 2);
    EXPECT_FALSE(LogindWakeObserver(nowhere()).start([] {}));  // no system bus
}

TEST(FontRegistrationTest, RegistersBundledFontsAndReportsTheBrokenOnes) {
    test::Sandbox box;
    test::writeFile(
        box / "fonts/JetBrainsMono.ttf",
        test::readFile("/usr/share/fonts/truetype/jetbrains-mono/JetBrainsMono-Bold.ttf"));
    test::writeFile(box / "broken.ttf", "not a font");
    test::writeFile(box / "notes.txt", "ignored");
    for (const auto& [folders, registered, log] :
         {std::tuple{QStringList{qpath(box.root()), qpath(box / "fonts")}, 1,
                     "kelvo: font registration failed: " + (box / "broken.ttf").string() +
                         " is not a usable font file\n"},
          {QStringList{qpath(box / "none")}, 0,
           "kelvo: no bundled fonts found; falling back to system fonts\n"}}) {
        char* text = nullptr;
        std::size_t size = 0;
        std::FILE* out = ::open_memstream(&text, &size);
        EXPECT_EQ(registerFonts(folders, out), registered);
        std::fclose(out);
        EXPECT_EQ(std::string(text, size), log);
        std::free(text);
    }
    EXPECT_TRUE(QFontDatabase::families().contains("JetBrains Mono"));
}

}  // namespace
}  // namespace kelvo

#include "desktop_test.moc"
