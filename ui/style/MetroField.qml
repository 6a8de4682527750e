import QtQuick
import QtQuick.Templates as T

// A text field in kelvo's look, optionally in the monospaced font (`mono`); the outline turns
// to the accent colour while it has focus.
T.TextField {
    id: field

    property bool mono: false

    implicitWidth: 200
    implicitHeight: Math.max(28, contentHeight + topPadding + bottomPadding)
    leftPadding: 10
    rightPadding: 10
    topPadding: 6
    bottomPadding: 6
    verticalAlignment: TextInput.AlignVCenter
    color: Theme.text
    selectionColor: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.35)
    selectedTextColor: Theme.text
    placeholderTextColor: Theme.muted
    selectByMouse: true
    font.family: mono ? Theme.monoFamily : Theme.textFamily
    font.weight: Font.Normal
    font.pixelSize: Theme.sizeRow
    opacity: enabled ? 1.0 : 0.4

    MetroText {
        x: field.leftPadding
        width: field.width - field.leftPadding - field.rightPadding
        anchors.verticalCenter: parent.verticalCenter
        visible: field.length === 0 && field.preeditText === ""
        text: field.placeholderText
        mono: field.mono
        size: Theme.sizeRow
        color: field.placeholderTextColor
    }

    background: Rectangle {
        radius: Theme.radius
        color: Theme.surfaceRaised
        border.width: 1
        border.color: field.activeFocus ? Theme.accent : Theme.line
    }
}
