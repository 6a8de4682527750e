import QtQuick
import QtQuick.Templates as T

// A segmented choice (source filter, check interval, appearance). `options` is a list of
// { value, label }; `selection` is the chosen value. Choosing a segment sets `selection` and
// emits activated(value).
Rectangle {
    id: control

    property var selection
    property var options: []
    signal activated(var value)

    implicitWidth: segments.implicitWidth + 4
    implicitHeight: segments.implicitHeight + 4
    radius: Theme.radius
    color: Theme.surfaceRaised
    border.width: 1
    border.color: Theme.line

    Row {
        id: segments
        anchors.centerIn: parent
        spacing: 2

        Repeater {
            model: control.options

            T.AbstractButton {
                id: segment

                readonly property bool chosen: control.selection === modelData.value

                text: modelData.label
                hoverEnabled: true
                focusPolicy: Qt.StrongFocus
                leftPadding: 10
                rightPadding: 10
                topPadding: 4
                bottomPadding: 4
                implicitWidth: label.implicitWidth + leftPadding + rightPadding
                implicitHeight: label.implicitHeight + topPadding + bottomPadding
                opacity: control.enabled ? 1.0 : 0.4

                onClicked: {
                    control.selection = modelData.value
                    control.activated(modelData.value)
                }

                contentItem: MetroText {
                    id: label
                    text: segment.text
                    weight: segment.chosen ? Font.Medium : Font.Normal
                    size: Theme.sizeRow
                    color: segment.chosen ? Theme.text
                                          : (segment.hovered ? Theme.secondary : Theme.muted)
                    horizontalAlignment: Text.AlignHCenter
                }
                background: Rectangle {
                    radius: Theme.radius - 2
                    color: segment.chosen ? Theme.surfaceStrong : "transparent"
                    border.width: segment.visualFocus ? 1 : 0
                    border.color: Theme.accent
                }
            }
        }
    }
}
