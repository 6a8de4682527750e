import QtQuick
import QtQuick.Templates as T

// A secondary button: an outlined label in its `tone` (the text colour unless given), with an
// optional line icon (`iconName`, for example "kelvo-refresh-cw") before it. Lights up under
// the pointer, darkens while pressed, fades while disabled. `flat` drops the outline (quiet
// rows of buttons: footers, toolbars).
T.Button {
    id: button

    property color tone: Theme.text
    property string iconName

    leftPadding: 10
    rightPadding: 10
    topPadding: 5
    bottomPadding: 5
    spacing: 6
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    implicitHeight: Math.max(24, contentItem.implicitHeight + topPadding + bottomPadding)
    opacity: enabled ? 1.0 : 0.4
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    Accessible.name: text
    // Return and keypad Enter press the focused button, as Space does.
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Row {
        spacing: button.spacing

        LucideIcon {
            anchors.verticalCenter: parent.verticalCenter
            visible: button.iconName !== ""
            name: button.iconName
            size: 13
            color: button.tone
        }
        MetroText {
            anchors.verticalCenter: parent.verticalCenter
            text: button.text
            weight: Font.Medium
            size: Theme.sizeRow
            color: button.tone
        }
    }

    background: Rectangle {
        radius: Theme.radius
        color: button.pressed ? Theme.surfaceStrong
                              : (button.hovered && button.enabled ? Theme.surfaceRaised
                                                                  : "transparent")
        border.width: button.visualFocus ? 2 : (button.flat ? 0 : 1)
        border.color: button.visualFocus ? Theme.accent : Theme.line
    }
}
