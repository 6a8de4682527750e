import QtQuick
import QtCore
import Qt.labs.settings
import Kelvo.Style

// The Settings window: library folder, synced playlist, appearance, login item, about, reset.
WindowShell {
    id: window

    title: "kelvo Settings"
    subtitle: "settings"
    width: 600
    height: 680
    minimumWidth: 560
    minimumHeight: 480

    SettingsView {
        id: view
        anchors.fill: parent
        model: window.model
    }

    // Ask again which local model summaries use whenever the window comes back (the view
    // asks when it is made).
    property bool shownBefore: false
    onVisibleChanged: {
        if (visible)
            view.now = Date.now() / 1000
        if (visible && shownBefore && window.model)
            window.model.checkSummaries()
        if (visible)
            shownBefore = true
    }

    Connections {
        target: window.model
        ignoreUnknownSignals: true
        function onResetDone() {
            window.close()
        }
    }

    // The window's size, kept apart from kelvo's own settings.
    Settings {
        fileName: decodeURIComponent(String(StandardPaths.writableLocation(
                                             StandardPaths.ConfigLocation)).replace(/^file:\/\//, ""))
                  + "/kelvo/windows.conf"
        category: "settings"
        property alias width: window.width
        property alias height: window.height
    }
}
