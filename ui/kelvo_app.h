#pragma once

// kelvoApp: the tray application. Owns the one AppModel, the tray icon with its menu and busy
// animation, and, while one of them is in use, the QML engine with the popover window and the
// Library, Activity and Settings windows, which it opens by their identifiers "library",
// "activity" and "settings". The tray needs no Qt Quick: the popover and each window are made
// when first shown and released a while after they were last hidden; the model stays.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

class QMenu;
class QAction;
class QQmlEngine;
class QQuickWindow;
class QSystemTrayIcon;

namespace kelvo {

class AppModel;
class MenuBarLabel;

class KelvoApp : public QObject {
    Q_OBJECT

  public:
    // The windows kelvo opens, by identifier: title and default size (0 x 0: no default).
    struct WindowScene {
        const char* identifier;
        const char* title;
        int width;
        int height;
        const char* qmlFile;
    };
    static const WindowScene* scene(const QString& identifier);

    // Takes ownership of the model. Loads nothing yet; call start().
    explicit KelvoApp(std::unique_ptr<AppModel> model, QObject* parent = nullptr);
    ~KelvoApp() override;

    // Builds the tray icon (when a tray exists) and its menu, and follows the model's busy flag
    // and appearance. Loads no QML: that waits for the first show. Shows `first` (see show())
    // when given; otherwise, with no tray host to click, the popover as a window.
    void start(const QString& first = {});

    // How long the popover and the windows are kept after the last of them was hidden; then the
    // hidden ones are released, and the QML engine with them when none is left. 45 s by default.
    void setReleaseDelay(std::chrono::milliseconds delay);
    // Runs once, just before the first window is made: what only the windows need (the fonts).
    void setBeforeFirstWindow(std::function<void()> prepare) {
        beforeFirstWindow_ = std::move(prepare);
    }

    AppModel* model() const { return model_.get(); }
    bool trayAvailable() const;
    // The desktop's folder chooser (a PortalFolderChooser), which the windows reach as
    // `folderPortal`; without one they open their own dialog. Set before the first show.
    void setFolderChooser(QObject* chooser) { folderChooser_ = chooser; }

  public slots:
    // Shows the popover at the pointer, or hides it when it is on show.
    void togglePopover();
    // Shows the popover: at the pointer under a tray, as a small normal window without one (or
    // where windows cannot be placed).
    void showPopover();
    // Brings kelvo to the front with the window "library", "activity" or "settings".
    void openWindow(const QString& identifier);
    // What another start of kelvo asked for: "" or "popover" shows the popover, a window's
    // identifier opens that window.
    void show(const QString& what);
    void quit();
    // Shows a message from the tray icon (the notifications' fallback); nothing without a tray.
    void showMessage(const QString& title, const QString& body);

  protected:
    // Follows the desktop's palette: the tray mark is drawn again in its text colour.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildTray();
    void updateTray();
    void updateMenu();
    QQuickWindow* createWindow(const QString& file);
    QQuickWindow* popover();
    void releaseHidden();

    std::unique_ptr<AppModel> model_;
    std::unique_ptr<QQmlEngine> engine_;
    // Keeps the engine's Theme on the model's appearance, whichever window was made first.
    std::unique_ptr<QObject> appearance_;
    QTimer releaseTimer_;
    std::function<void()> beforeFirstWindow_;
    std::unique_ptr<MenuBarLabel> label_;
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* tray_ = nullptr;
    QAction* syncAction_ = nullptr;
    QPointer<QQuickWindow> popover_;
    QPointer<QQuickWindow> library_;
    QPointer<QQuickWindow> activity_;
    QPointer<QQuickWindow> settings_;
    QPointer<QObject> folderChooser_;
    // When the popover last went away (a tray click right after must not reopen it).
    QElapsedTimer hiddenAt_;
};

}  // namespace kelvo
