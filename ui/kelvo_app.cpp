#include "ui/kelvo_app.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QScreen>
#include <QSystemTrayIcon>
#include <array>
#include <cstdio>

#include <malloc.h>

#include "app/app_model.h"
#include "ui/menu_bar_label.h"
#include "ui/popover_placement.h"
#include "ui/qml_setup.h"

namespace kelvo {

namespace {

constexpr std::array<KelvoApp::WindowScene, 3> scenes{{
    {"library", "kelvo Library", 0, 0, "LibraryWindow.qml"},
    {"activity", "kelvo Activity", 760, 480, "ActivityWindow.qml"},
    {"settings", "kelvo Settings", 600, 680, "SettingsWindow.qml"},
}};

const QString viewsFolder = QStringLiteral("qrc:/Kelvo/Views/");

// Where the desktop lets no application place its windows, the popover is a normal window.
bool windowsCanBePlaced() {
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

}  // namespace

const KelvoApp::WindowScene* KelvoApp::scene(const QString& identifier) {
    for (const WindowScene& candidate : scenes) {
        if (identifier == QLatin1String(candidate.identifier)) {
            return &candidate;
        }
    }
    return nullptr;
}

KelvoApp::KelvoApp(std::unique_ptr<AppModel> model, QObject* parent)
    : QObject(parent), model_(std::move(model)) {
    // One shot once the last window is hidden, never a ticking timer: an idle kelvo wakes for
    // nothing of its own.
    releaseTimer_.setSingleShot(true);
    releaseTimer_.setInterval(std::chrono::seconds(45));
    connect(&releaseTimer_, &QTimer::timeout, this, &KelvoApp::releaseHidden);
}

KelvoApp::~KelvoApp() {
    // The windows go before the engine, the engine before the model they show.
    for (QQuickWindow* window :
         {popover_.data(), library_.data(), activity_.data(), settings_.data()}) {
        delete window;
    }
    menu_.reset();
    appearance_.reset();
    engine_.reset();
}

void KelvoApp::setReleaseDelay(std::chrono::milliseconds delay) {
    releaseTimer_.setInterval(delay);
}

bool KelvoApp::trayAvailable() const {
    return tray_ != nullptr && QSystemTrayIcon::isSystemTrayAvailable();
}

void KelvoApp::start(const QString& first) {
    // Qt Quick draws kelvo's few flat windows with its software renderer: they look the same,
    // and kelvo then loads no OpenGL driver (where that is Mesa's, about 50 MB resident for as
    // long as kelvo runs) and draws a scrolled Library with a quarter of the CPU (bench/README.md).
    // QSG_RHI_BACKEND or QT_QUICK_BACKEND still choose another.
    if (qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND") &&
        qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
    const QColor labelColor = QGuiApplication::palette().color(QPalette::WindowText);
    label_ = std::make_unique<MenuBarLabel>(labelColor);
    buildTray();
    connect(label_.get(), &MenuBarLabel::iconChanged, this, &KelvoApp::updateTray);
    // A job of another process animates the mark too.
    const auto followBusy = [this] {
        label_->setBusy(model_->isBusy() || model_->busyElsewhere());
        updateMenu();
    };
    connect(model_.get(), &AppModel::isBusyChanged, this, followBusy);
    connect(model_.get(), &AppModel::busyElsewhereChanged, this, followBusy);
    connect(model_.get(), &AppModel::playlistsChanged, this, &KelvoApp::updateMenu);
    // Open or reveal with no file: the desktop's bell.
    connect(model_.get(), &AppModel::beep, this, [] { QApplication::beep(); });
    QCoreApplication::instance()->installEventFilter(this);
    label_->setBusy(model_->isBusy());
    updateTray();
    updateMenu();
    // Without a tray host there is no icon to click: the first start shows the popover as a
    // window at once, and the window says how to bring it back.
    if (!first.isEmpty()) {
        show(first);
    } else if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        showPopover();
    }
}

QQuickWindow* KelvoApp::createWindow(const QString& file) {
    if (engine_ == nullptr) {
        if (beforeFirstWindow_) {
            std::exchange(beforeFirstWindow_, nullptr)();
        }
        engine_ = std::make_unique<QQmlEngine>();
        prepareQmlEngine(*engine_);
        QQmlComponent binding(engine_.get());
        binding.setData(
            "import QtQml\nimport Kelvo.Style\n"
            "Binding { required property QtObject model; target: Theme;"
            " property: 'appearance'; value: model.appearance }",
            QUrl());
        appearance_.reset(binding.createWithInitialProperties(
            {{QStringLiteral("model"), QVariant::fromValue<QObject*>(model_.get())}}));
    }
    if (folderChooser_ != nullptr) {
        engine_->rootContext()->setContextProperty(QStringLiteral("folderPortal"),
                                                   folderChooser_.data());
    }
    QQmlComponent component(engine_.get(), QUrl(viewsFolder + file));
    QObject* object = component.createWithInitialProperties(
        {{QStringLiteral("model"), QVariant::fromValue<QObject*>(model_.get())}});
    if (object == nullptr) {
        std::fprintf(stderr, "kelvo: %s\n", qPrintable(component.errorString()));
        return nullptr;
    }
    auto* window = qobject_cast<QQuickWindow*>(object);
    if (window == nullptr) {
        delete object;
        return nullptr;
    }
    connect(window, &QWindow::visibleChanged, this, [this](bool visible) {
        if (visible) {
            releaseTimer_.stop();
        } else {
            releaseTimer_.start();
        }
    });
    return window;
}

QQuickWindow* KelvoApp::popover() {
    if (popover_ == nullptr) {
        popover_ = createWindow(QStringLiteral("PopoverWindow.qml"));
        if (popover_ != nullptr) {
            connect(popover_, SIGNAL(openWindow(QString)), this, SLOT(openWindow(QString)));
            connect(popover_, SIGNAL(quitRequested()), this, SLOT(quit()));
            connect(popover_, &QWindow::visibleChanged, this, [this](bool visible) {
                if (!visible) {
                    hiddenAt_.start();
                }
            });
        }
    }
    return popover_;
}

void KelvoApp::releaseHidden() {
    bool anyLeft = false;
    for (QPointer<QQuickWindow>* slot : {&popover_, &library_, &activity_, &settings_}) {
        if (slot->isNull()) {
            continue;
        }
        if ((*slot)->isVisible()) {
            anyLeft = true;
            continue;
        }
        // Deferred, as the objects the window's items let go of are: they all go before the
        // engine they were made by.
        QQuickWindow* window = slot->data();
        slot->clear();
        window->deleteLater();
    }
    if (anyLeft || engine_ == nullptr) {
        return;
    }
    if (QObject* binding = appearance_.release()) {
        binding->deleteLater();
    }
    QQmlEngine* engine = engine_.release();
    // The freed heap goes back to the system rather than staying with the idle process.
    connect(engine, &QObject::destroyed, [] { malloc_trim(0); });
    engine->deleteLater();
}

void KelvoApp::buildTray() {
    menu_ = std::make_unique<QMenu>();
    // GNOME's tray extension opens this menu on a left click too, so it offers the popover's
    // actions as well.
    connect(menu_->addAction(QStringLiteral("Open kelvo")), &QAction::triggered, this,
            &KelvoApp::showPopover);
    syncAction_ = menu_->addAction(QStringLiteral("Sync now"));
    connect(syncAction_, &QAction::triggered, this, [this] { model_->syncNow(); });
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("Library")), &QAction::triggered, this,
            [this] { openWindow(QStringLiteral("library")); });
    connect(menu_->addAction(QStringLiteral("Activity log")), &QAction::triggered, this,
            [this] { openWindow(QStringLiteral("activity")); });
    connect(menu_->addAction(QStringLiteral("Settings")), &QAction::triggered, this,
            [this] { openWindow(QStringLiteral("settings")); });
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("Quit")), &QAction::triggered, this, &KelvoApp::quit);

    tray_ = new QSystemTrayIcon(this);
    tray_->setContextMenu(menu_.get());
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    togglePopover();
                }
            });
    tray_->setIcon(label_->icon());
    // Shown even without a tray host: one that starts later picks the icon up.
    tray_->show();
}

void KelvoApp::updateTray() {
    if (tray_ == nullptr) {
        return;
    }
    tray_->setIcon(label_->icon());
    tray_->setToolTip(label_->accessibleLabel());
}

void KelvoApp::updateMenu() {
    if (syncAction_ != nullptr) {
        syncAction_->setEnabled(!model_->isBusy() && !model_->enabledPlaylists().empty());
    }
}

void KelvoApp::togglePopover() {
    if (popover_ != nullptr && popover_->isVisible()) {
        popover_->hide();
        return;
    }
    // A click on the tray icon while the popover is open first takes the focus away (which
    // hides it) and then arrives here: it must not open the popover again.
    if (hiddenAt_.isValid() && hiddenAt_.elapsed() < 300) {
        return;
    }
    showPopover();
}

void KelvoApp::showPopover() {
    QQuickWindow* popover = this->popover();
    if (popover == nullptr) {
        return;
    }
    const bool asWindow = !trayAvailable() || !windowsCanBePlaced();
    popover->setProperty("asWindow", asWindow);
    popover->setProperty("trayMissing", !trayAvailable());
    if (!asWindow) {
        const QPoint cursor = QCursor::pos();
        QScreen* screen = QGuiApplication::screenAt(cursor);
        if (screen == nullptr) {
            screen = QGuiApplication::primaryScreen();
        }
        if (screen != nullptr) {
            popover->setScreen(screen);
            popover->setPosition(
                PopoverPlacement::topLeft(cursor, popover->size(), screen->availableGeometry()));
        }
    } else if (!popover->isVisible() && popover->screen() != nullptr) {
        const QRect area = popover->screen()->availableGeometry();
        popover->setPosition(area.center() - QPoint(popover->width() / 2, popover->height() / 2));
    }
    popover->show();
    popover->raise();
    popover->requestActivate();
}

void KelvoApp::openWindow(const QString& identifier) {
    const WindowScene* found = scene(identifier);
    if (found == nullptr) {
        return;
    }
    QPointer<QQuickWindow>* slot = identifier == QLatin1String("library")    ? &library_
                                   : identifier == QLatin1String("activity") ? &activity_
                                                                             : &settings_;
    if (slot->isNull()) {
        *slot = createWindow(QString::fromLatin1(found->qmlFile));
        if (slot->isNull()) {
            return;
        }
    }
    QQuickWindow* window = slot->data();
    if (window->windowState() & Qt::WindowMinimized) {
        window->showNormal();
    } else {
        window->show();
    }
    window->raise();
    window->requestActivate();
}

void KelvoApp::show(const QString& what) {
    if (what.isEmpty() || what == QLatin1String("popover")) {
        showPopover();
    } else {
        openWindow(what);
    }
}

bool KelvoApp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange &&
        watched == QCoreApplication::instance() && label_ != nullptr) {
        label_->setLabelColor(QGuiApplication::palette().color(QPalette::WindowText));
    }
    return QObject::eventFilter(watched, event);
}

void KelvoApp::showMessage(const QString& title, const QString& body) {
    if (tray_ != nullptr && QSystemTrayIcon::supportsMessages()) {
        tray_->showMessage(title, body, label_ != nullptr ? label_->staticIcon() : QIcon());
    }
}

void KelvoApp::quit() {
    QCoreApplication::quit();
}

}  // namespace kelvo
