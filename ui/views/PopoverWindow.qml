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
    // No tray to come back to: the popover says that kelvo keeps running and how to reopen it.
    property bool trayMissing: false
    readonly property alias popover: popover

    signal openWindow(string identifier)
    signal quitRequested()

    title: "kelvo"
    flags: asWindow ? Qt.Window : (Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint)
    width: popover.width
    minimumWidth: popover.width
    maximumWidth: popover.width
    color: Theme.popoverBackground

    // The window is as tall as its content, always: the limits move with the height, in the
    // order that never lets a window manager hold on to the old ones (a new minimum above the
    // old maximum would be clamped to it, and the window would stay short).
    readonly property int contentHeight: popover.implicitHeight + (asWindow ? 0 : 2)
    function fitContent() {
        if (contentHeight > maximumHeight) {
            maximumHeight = contentHeight
            minimumHeight = contentHeight
        } else {
            minimumHeight = contentHeight
            maximumHeight = contentHeight
        }
        height = contentHeight
    }
    onContentHeightChanged: fitContent()
    Component.onCompleted: fitContent()

    // The theme of every window follows the stored appearance (the tray app binds it as well,
    // for the windows it makes before or without the popover).
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
        trayMissing: window.trayMissing
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

    // Escape and Ctrl+W put the pop-up away and close the popover's window.
    Shortcut {
        sequences: ["Escape", "Ctrl+W"]
        onActivated: window.asWindow ? window.close() : window.hide()
    }
}
