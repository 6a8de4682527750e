import QtQuick
import QtCore
import Qt.labs.settings
import Kelvo.Style

// The Activity window: the persistent activity log, newest line first.
WindowShell {
    id: window

    title: "kelvo Activity"
    subtitle: "activity"
    width: 760
    height: 480
    minimumWidth: 640
    minimumHeight: 360

    ActivityView {
        id: view
        anchors.fill: parent
        model: window.model
    }

    // Read the file again whenever the window comes back.
    onVisibleChanged: {
        if (visible)
            view.reload()
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
        category: "activity"
        property alias width: window.width
        property alias height: window.height
    }
}
