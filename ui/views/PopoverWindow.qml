import QtQuick
import QtQuick.Window
import Kelvo.Style

// The window that carries the popover. Under a tray it is a frameless pop-up placed by the app
// at the pointer that closes when it loses focus; as a window (`asWindow`: no tray, or a
// desktop that does not let applications place windows) it is a small normal window.
Window {
    id: window

    property QtObject model
    property bool asWindow: false
    readonly property alias popover: popover

    signal openWindow(string identifier)
    signal quitRequested()

    title: "kelvo"
    flags: asWindow ? Qt.Window : (Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint)
    width: popover.width
    height: popover.implicitHeight + (asWindow ? 0 : 2)
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height
    color: Theme.popoverBackground

    // The popover lives as long as kelvo: it keeps the theme of every window in step with the
    // stored appearance, at start and on each change.
    Binding {
        target: Theme
        property: "appearance"
        value: window.model ? window.model.appearance : "dark"
        when: window.model !== null
    }

    onVisibleChanged: {
        if (!visible)
            return
        popover.now = Date.now() / 1000
        popover.focusLink()
        if (model && model.checkBusyElsewhere)
            model.checkBusyElsewhere()
    }
    onActiveChanged: {
        if (!active && !asWindow)
            hide()
    }

    Popover {
        id: popover
        y: window.asWindow ? 0 : 1
        model: window.model
        onOpenWindow: identifier => {
            if (!window.asWindow)
                window.hide()
            window.openWindow(identifier)
        }
        onQuitRequested: window.quitRequested()
    }

    // A hairline frame around the pop-up.
    Rectangle {
        anchors.fill: parent
        visible: !window.asWindow
        color: "transparent"
        border.width: 1
        border.color: Theme.line
    }

    Shortcut {
        sequence: "Escape"
        enabled: !window.asWindow
        onActivated: window.hide()
    }
}
