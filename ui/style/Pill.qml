import QtQuick

// A rounded tag: the build pill, status pills ("Downloading", "Failed", ...). `help`, when
// set, shows as a tool tip while the pointer rests on it.
Rectangle {
    id: pill

    property string text
    property color tone: Theme.accent
    property string help

    implicitWidth: label.implicitWidth + 16
    implicitHeight: label.implicitHeight + 6
    radius: height / 2
    color: Qt.rgba(tone.r, tone.g, tone.b, 0.12)
    border.width: 1
    border.color: Qt.rgba(tone.r, tone.g, tone.b, 0.32)

    MetroText {
        id: label
        anchors.centerIn: parent
        width: Math.min(implicitWidth, pill.width - 16)
        text: pill.text
        mono: true
        size: 10
        color: pill.tone
        font.letterSpacing: Theme.letterSpacing
    }

    HoverHandler {
        id: hover
    }

    MetroToolTip {
        text: pill.help
        visible: hover.hovered && pill.help !== ""
    }
}
