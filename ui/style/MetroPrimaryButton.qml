import QtQuick
import QtQuick.Templates as T

// The main action of a form ("Get", "Save and sync"): the label upper-cased in the monospaced
// font on the accent colour; darker while pressed, faded while disabled.
T.Button {
    id: button

    leftPadding: 12
    rightPadding: 12
    topPadding: 6
    bottomPadding: 6
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    implicitHeight: contentItem.implicitHeight + topPadding + bottomPadding
    opacity: enabled ? 1.0 : 0.4
    focusPolicy: Qt.StrongFocus
    Accessible.name: text
    // Return and keypad Enter press the focused button, as Space does.
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: MetroText {
        text: button.text
        mono: true
        weight: Font.Medium
        size: Theme.sizeRow
        color: Theme.textOnAccent
        font.capitalization: Font.AllUppercase
        font.letterSpacing: Theme.letterSpacing
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        radius: Theme.radius
        color: Theme.accent

        Rectangle {
            anchors.fill: parent
            radius: parent.radius
            color: "black"
            opacity: button.pressed ? 0.15 : 0
        }
        Rectangle {
            anchors.fill: parent
            anchors.margins: -3
            radius: parent.radius + 3
            color: "transparent"
            border.width: 2
            border.color: Theme.accent
            visible: button.visualFocus
        }
    }
}
