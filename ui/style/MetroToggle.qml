import QtQuick
import QtQuick.Templates as T

// A switch ("Open at login", the reset dialog's option): a track that fills with the accent
// colour when on, with the label (`text`) beside it.
T.Switch {
    id: toggle

    spacing: 10
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    implicitWidth: indicator.width + (text !== "" ? spacing + contentItem.implicitWidth : 0)
    implicitHeight: Math.max(indicator.height, contentItem.implicitHeight)
    opacity: enabled ? 1.0 : 0.4
    // Screen readers hear a check box and its state.
    Accessible.name: text
    Accessible.role: Accessible.CheckBox
    Accessible.checkable: true
    Accessible.checked: checked

    indicator: Rectangle {
        x: 0
        y: (toggle.height - height) / 2
        width: 32
        height: 18
        radius: height / 2
        color: toggle.checked ? Theme.accent : Theme.surfaceStrong

        Rectangle {
            anchors.fill: parent
            anchors.margins: -3
            radius: height / 2
            color: "transparent"
            border.width: 2
            border.color: Theme.accent
            visible: toggle.visualFocus
        }

        Rectangle {
            width: 14
            height: 14
            radius: 7
            y: 2
            x: toggle.checked ? parent.width - width - 2 : 2
            color: toggle.checked ? Theme.textOnAccent : Theme.text
            Behavior on x {
                NumberAnimation {
                    duration: 120
                }
            }
        }
    }

    contentItem: MetroText {
        leftPadding: toggle.indicator.width + toggle.spacing
        verticalAlignment: Text.AlignVCenter
        text: toggle.text
        size: Theme.sizeRow
        color: Theme.text
    }
}
