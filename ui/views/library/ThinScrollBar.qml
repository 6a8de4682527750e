import QtQuick
import QtQuick.Templates as T
import Kelvo.Style

// A thin vertical scroll bar for kelvo's lists and pages: shown only when the content is taller
// than the view, faint until it is used.
T.ScrollBar {
    id: bar

    orientation: Qt.Vertical
    width: 10
    padding: 2
    visible: size < 1.0
    minimumSize: 0.08

    contentItem: Rectangle {
        implicitWidth: 4
        radius: 2
        color: bar.pressed ? Theme.muted : Theme.surfaceStrong
        opacity: bar.active || bar.hovered ? 1.0 : 0.6
        Behavior on opacity {
            NumberAnimation {
                duration: 150
            }
        }
    }
}
