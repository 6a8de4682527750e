import QtQuick
import QtCore
import Qt.labs.settings
import Kelvo.Style

// The Library window: search, filter and browse the catalog, act on one video.
WindowShell {
    id: window

    title: "kelvo Library"
    subtitle: "library"
    width: 900
    height: 600
    minimumWidth: 680
    minimumHeight: 420

    LibraryView {
        id: view
        anchors.fill: parent
        model: window.model
    }

    // Read the listing again whenever the window comes back.
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
        category: "library"
        property alias width: window.width
        property alias height: window.height
    }
}
