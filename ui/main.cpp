// kelvo: the tray application. One instance per user: a second start asks the running one to
// show its popover and exits.

#include <QApplication>
#include <QPointer>
#include <cstdio>
#include <memory>

#include "app/app_model.h"
#include "app/linux/font_registration.h"
#include "app/linux/linux_desktop_services.h"
#include "app/linux/portal_folder_chooser.h"
#include "app/single_instance.h"
#include "app/stop_signals.h"
#include "ui/kelvo_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelvo"));
    // No display name: Qt would append " — kelvo" to every window title, and the titles
    // ("kelvo Library", "kelvo Settings", ...) already carry the name.
    QApplication::setDesktopFileName(QStringLiteral("kelvo"));
    // kelvo lives in the tray: closing its windows does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // `kelvo --show library|activity|settings|popover` opens that window of the running kelvo
    // (or of this one, when none runs).
    QString show;
    const QStringList arguments = QApplication::arguments();
    const qsizetype showAt = arguments.indexOf(QStringLiteral("--show"));
    if (showAt > 0) {
        show = arguments.value(showAt + 1);
        if (show != QLatin1String("popover") && kelvo::KelvoApp::scene(show) == nullptr) {
            std::fputs("usage: kelvo [--show library|activity|settings|popover]\n", stderr);
            return 2;
        }
    }

    kelvo::SingleInstance instance;
    switch (instance.claim(3000, show)) {
        case kelvo::SingleInstance::Role::primary:
            break;
        case kelvo::SingleInstance::Role::handedOver:
            return 0;
        case kelvo::SingleInstance::Role::noAnswer:
            std::fputs("kelvo is already running but does not answer.\n", stderr);
            return 1;
    }

    // Notifications fall back to the tray icon's own message when no notification server
    // answers; the tray icon exists only once the app is built, hence the indirection.
    auto kelvoApp = std::make_shared<QPointer<kelvo::KelvoApp>>();
    auto services =
        kelvo::makeLinuxDesktopServices([kelvoApp](const QString& title, const QString& body) {
            if (!kelvoApp->isNull()) {
                (*kelvoApp)->showMessage(title, body);
            }
        });
    kelvo::PortalFolderChooser folderChooser;
    kelvo::KelvoApp app(std::make_unique<kelvo::AppModel>(std::move(services)));
    *kelvoApp = &app;
    // Only the windows use kelvo's own fonts: an idle tray icon does without them.
    app.setBeforeFirstWindow([] { kelvo::registerFonts(); });
    app.setFolderChooser(&folderChooser);
    app.start(show);

    QObject::connect(&instance, &kelvo::SingleInstance::activationRequested, &app,
                     &kelvo::KelvoApp::show);
    kelvo::StopSignals stopSignals;
    QObject::connect(&stopSignals, &kelvo::StopSignals::stopRequested, &application,
                     &QCoreApplication::quit);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &app,
                     [&app] { app.model()->shutdown(); });
    return QApplication::exec();
}
