// PortalHotKey against a stand-in desktop portal, both on a private D-Bus session bus that this
// program starts itself (no service files: nothing is activated behind the test's back).
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <memory>
#include <vector>

#include "app/app_model.h"
#include "app/headless_services.h"
#include "app/linux/portal_folder_chooser.h"
#include "app/linux/portal_hot_key.h"
#include "tests/support/process.h"
#include "tests/support/qt.h"
#include "tests/support/sandbox.h"

namespace kelvo::test {

using Status = GlobalHotKey::Status;
using Shortcut = PortalHotKey::Shortcut;

// The GlobalShortcuts side of xdg-desktop-portal. It answers every request at once, even before
// the call returns its handle: kelvo must already be listening on the handle it asked for.
class StandInPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")

  public:
    explicit StandInPortal(QDBusConnection bus) : bus_(std::move(bus)) {}

    uint createAnswer = 0, bindAnswer = 0;
    bool bindsWhatWasAsked = true;
    QList<Shortcut> asked;
    QString session;

    void activate(const QString& id) {
        send(PortalHotKey::path, PortalHotKey::interface, "Activated",
             {QVariant::fromValue(QDBusObjectPath(session)), id, qulonglong(1), QVariantMap()});
    }

    void send(const QString& path, const char* interface, const char* name,
              const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
        signal.setArguments(arguments);
        bus_.send(signal);
    }

  public slots:
    Q_SCRIPTABLE QDBusObjectPath CreateSession(const QVariantMap& options,
                                               const QDBusMessage& call) {
        session = handle("session", call, options.value("session_handle_token"));
        return respond(call, options, createAnswer, {{"session_handle", session}});
    }
    Q_SCRIPTABLE QDBusObjectPath BindShortcuts(const QDBusObjectPath& sessionHandle,
                                               const QList<kelvo::PortalHotKey::Shortcut>& wanted,
                                               const QString&, const QVariantMap& options,
                                               const QDBusMessage& call) {
        asked = sessionHandle.path() == session ? wanted : QList<Shortcut>();
        const QVariant bound = QVariant::fromValue(bindsWhatWasAsked ? wanted : QList<Shortcut>());
        return respond(call, options, bindAnswer, {{"shortcuts", bound}});
    }

  private:
    static QString handle(const char* kind, const QDBusMessage& call, const QVariant& token) {
        return QStringLiteral("%1/%2/%3/%4")
            .arg(PortalHotKey::path, kind, call.service().mid(1).replace('.', '_'),
                 token.toString());
    }
    QDBusObjectPath respond(const QDBusMessage& call, const QVariantMap& options, uint code,
                            const QVariantMap& results) {
        const QString request = handle("request", call, options.value("handle_token"));
        send(request, "org.freedesktop.portal.Request", "Response", {code, results});
        return QDBusObjectPath(request);
    }

    QDBusConnection bus_;
};

// The FileChooser side: it answers OpenFile at once with `answer` and one folder.
class StandInChooser : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")
    Q_PROPERTY(uint version MEMBER version SCRIPTABLE true)

  public:
    explicit StandInChooser(QDBusConnection bus) : bus_(std::move(bus)) {}
    uint version = 3, answer = 0;
    QVariantMap options;

  public slots:
    Q_SCRIPTABLE QDBusObjectPath OpenFile(const QString&, const QString&, const QVariantMap& asked,
                                          const QDBusMessage& call) {
        options = asked;
        const QString request = QString(PortalHotKey::path) + "/request/" +
                                call.service().mid(1).replace('.', '_') + "/" +
                                asked.value("handle_token").toString();
        bus_.send(QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response")
                  << answer << QVariantMap{{"uris", QStringList{"file:///srv/My%20films"}}});
        return QDBusObjectPath(request);
    }

  private:
    QDBusConnection bus_;
};

namespace {

[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment<QCoreApplication>);

const QString unsupportedText = QStringLiteral(
    "This desktop does not offer global shortcuts to apps. Paste links in the popover instead.");
const QString refusedText =
    QStringLiteral("The desktop did not allow Ctrl+Alt+Y. Paste links in the popover instead.");

enum class Portal { none, withoutShortcuts, full };

// A dbus-daemon of the test's own, and the connections and stand-ins on it.
class PrivateBus {
  public:
    PrivateBus() {
        writeFile(box_ / "bus.conf",
                  "<busconfig><type>session</type><listen>unix:dir=" + box_.root().string() +
                      "</listen><policy context=\"default\"><allow send_destination=\"*\"/>"
                      "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>");
        daemon_ = std::make_unique<Process>(
            std::vector<std::string>{"dbus-daemon", "--config-file=" + (box_ / "bus.conf").string(),
                                     "--nofork", "--print-address"});
        address_ = QString::fromStdString(daemon_->readLine().value_or("no bus"));
    }
    ~PrivateBus() {
        for (const QString& name : names_) {
            QDBusConnection::disconnectFromBus(name);
        }
    }

    QDBusConnection connect() {
        static int counter = 0;
        names_.append(QStringLiteral("bus-%1").arg(counter++));
        return QDBusConnection::connectToBus(address_, names_.back());
    }

    // Puts a portal on the bus: with GlobalShortcuts, or one that only owns the name.
    StandInPortal* serve(Portal kind) {
        QDBusConnection bus = connect();
        portals_.push_back(std::make_unique<StandInPortal>(bus));
        if (kind == Portal::full) {
            bus.registerObject(PortalHotKey::path, portals_.back().get(),
                               QDBusConnection::ExportScriptableSlots);
        }
        EXPECT_TRUE(kind == Portal::none || bus.registerService(PortalHotKey::service));
        return portals_.back().get();
    }

  private:
    Sandbox box_;
    std::unique_ptr<Process> daemon_;
    QString address_;
    QStringList names_;
    std::vector<std::unique_ptr<StandInPortal>> portals_;
};

TEST(PortalHotKeyTest, BindsCtrlAltYAndRunsTheHandlerOnlyWhenItIsActivated) {
    PrivateBus bus;
    StandInPortal* portal = bus.serve(Portal::full);
    PortalHotKey hotKey(bus.connect());
    std::vector<Status> reported;
    int presses = 0;
    EXPECT_FALSE(hotKey.registerShortcut([&presses] { ++presses; },
                                         [&reported](Status s) { reported.push_back(s); }));
    ASSERT_TRUE(processEventsUntil([&] { return hotKey.status() != Status::Pending; }));
    EXPECT_EQ(reported, (std::vector<Status>{Status::Pending, Status::Active}));
    ASSERT_EQ(portal->asked.size(), 1);
    EXPECT_EQ(portal->asked[0].id, "download-clipboard");
    EXPECT_EQ(portal->asked[0].properties.value("preferred_trigger"), "CTRL+ALT+y");

    // The user then clears the trigger in the desktop's settings. Signals of one sender arrive
    // in order: once that change is seen, the activation of another shortcut was handled too.
    portal->activate("some-other-shortcut");
    portal->send(PortalHotKey::path, PortalHotKey::interface, "ShortcutsChanged",
                 {QVariant::fromValue(QDBusObjectPath(portal->session)),
                  QVariant::fromValue(QList<Shortcut>())});
    ASSERT_TRUE(processEventsUntil([&] { return hotKey.status() == Status::Refused; }));
    EXPECT_EQ(presses, 0);
    portal->activate("download-clipboard");
    EXPECT_TRUE(processEventsUntil([&] { return presses == 1; }));
}

TEST(PortalHotKeyTest, WithoutABindingTheStatusSaysWhy) {
    const struct {
        Portal portal;
        uint createAnswer, bindAnswer;
        bool bindsWhatWasAsked;
        Status status;
        const QString& text;
    } rows[] = {
        {Portal::full, 0, 1, true, Status::Refused, refusedText},   // cancelled in a dialog
        {Portal::full, 0, 2, true, Status::Refused, refusedText},   // ended by the desktop
        {Portal::full, 0, 0, false, Status::Refused, refusedText},  // bound something else
        {Portal::full, 2, 0, true, Status::Refused, refusedText},   // no session
        {Portal::withoutShortcuts, 0, 0, true, Status::Unsupported, unsupportedText},
        {Portal::none, 0, 0, true, Status::Unsupported, unsupportedText},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        PrivateBus bus;
        StandInPortal* portal = bus.serve(row.portal);
        portal->createAnswer = row.createAnswer;
        portal->bindAnswer = row.bindAnswer;
        portal->bindsWhatWasAsked = row.bindsWhatWasAsked;
        PortalHotKey hotKey(bus.connect());
        EXPECT_FALSE(hotKey.registerShortcut([] {}));
        EXPECT_TRUE(processEventsUntil([&] { return hotKey.status() != Status::Pending; }));
        EXPECT_EQ(hotKey.status(), row.status);
        EXPECT_EQ(GlobalHotKey::problemText(hotKey.status()), row.text);
    }
}

// The tray app's model with the portal shortcut: no portal at start-up, one a moment later.
TEST(PortalHotKeyTest, APortalThatAppearsLateIsBoundThenAndTheModelStopsComplaining) {
    PrivateBus bus;
    DesktopServices services = makeHeadlessServices();
    services.hotKey = std::make_unique<PortalHotKey>(bus.connect());
    AppModel::Options options;
    options.automaticSync = false;
    AppModel model(std::move(services), std::move(options));
    int problemChanges = 0;
    QObject::connect(&model, &AppModel::shortcutProblemChanged, [&] { ++problemChanges; });
    ASSERT_TRUE(processEventsUntil([&] { return model.shortcutProblem() == unsupportedText; }));

    bus.serve(Portal::full);
    ASSERT_TRUE(processEventsUntil([&] { return model.clipboardShortcutActive(); }));
    EXPECT_EQ(model.shortcutProblem(), QString());
    EXPECT_EQ(problemChanges, 3);  // unsupported, waiting, none
}

// The desktop's folder chooser: asked only where a portal chooses folders (version 3 on); its
// answer is a path, nothing (cancelled) or a failure, which sends kelvo to its own dialog as
// having no such portal does. A second, answered choice follows each asked one: one sender's
// messages arrive in order, so whatever the first answer caused has happened by then.
TEST(PortalFolderChooserTest, AsksForAFolderWhereThePortalChoosesFolders) {
    const QString films = "chosen /srv/My films";
    const struct {
        bool served;
        uint version, answer;
        QStringList outcome;
    } cases[] = {{false, 3, 0, {"failed"}},
                 {true, 2, 0, {"failed"}},
                 {true, 3, 0, {films, films}},
                 {true, 3, 1, {films}},
                 {true, 3, 2, {"failed", films}}};
    for (const auto& c : cases) {
        PrivateBus bus;
        QDBusConnection portalBus = bus.connect();
        StandInChooser portal(portalBus);
        std::tie(portal.version, portal.answer) = std::tie(c.version, c.answer);
        portalBus.registerObject(PortalHotKey::path, &portal,
                                 QDBusConnection::ExportScriptableContents);
        EXPECT_TRUE(!c.served || portalBus.registerService(PortalHotKey::service));
        PortalFolderChooser chooser(bus.connect());
        QStringList outcome;
        QObject::connect(&chooser, &PortalFolderChooser::chosen,
                         [&](const QString& folder) { outcome << "chosen " + folder; });
        QObject::connect(&chooser, &PortalFolderChooser::failed, [&] { outcome << "failed"; });
        ASSERT_TRUE(chooser.choose("Folder", "file:///home/me/Videos", nullptr));
        const bool asked = c.served && c.version >= 3;
        if (asked) {
            ASSERT_TRUE(processEventsUntil([&] { return !portal.options.isEmpty(); }));
            EXPECT_EQ(portal.options.value("directory"), true);
            EXPECT_EQ(portal.options.value("current_folder"), QByteArray("/home/me/Videos", 16));
            portal.answer = 0;
            ASSERT_TRUE(chooser.choose("Folder", "/srv", nullptr));
        }
        processEventsUntil([&] { return outcome.size() >= c.outcome.size(); });
        EXPECT_EQ(outcome, c.outcome) << c.version << " " << c.answer;
        EXPECT_EQ(portal.options.isEmpty(), !asked);
    }
}

}  // namespace
}  // namespace kelvo::test

#include "portal_hot_key_test.moc"
