import QtQuick
import QtQuick.Templates as T

// A tab-like button: the label in the monospaced font, upper-cased; the active one in the text
// colour with an accent underline, the others muted (secondary under the pointer).
T.Button {
    id: tab

    property bool active: false
    // Whether the keyboard focus mark shows (a tab bar shows it on its current tab).
    property bool focusShown: visualFocus

    leftPadding: 10
    rightPadding: 10
    topPadding: 8
    bottomPadding: 8
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    implicitHeight: contentItem.implicitHeight + topPadding + bottomPadding
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    // Return and keypad Enter press the focused button, as Space does.
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
    opacity: enabled ? 1.0 : 0.4
    Accessible.name: text

    contentItem: MetroText {
        text: tab.text
        mono: true
        weight: tab.active ? Font.Medium : Font.Normal
        size: Theme.sizeSmall
        color: tab.active ? Theme.text : (tab.hovered ? Theme.secondary : Theme.muted)
        font.capitalization: Font.AllUppercase
        font.letterSpacing: Theme.letterSpacing
        horizontalAlignment: Text.AlignHCenter
    }

    background: Item {
        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 2
            color: tab.active ? Theme.accent : "transparent"
        }
        Rectangle {
            anchors.fill: parent
            visible: tab.focusShown
            radius: Theme.radius
            color: "transparent"
            border.width: 2
            border.color: Theme.accent
        }
    }
}
