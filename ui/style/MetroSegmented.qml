import QtQuick
import QtQuick.Templates as T
import "choice.js" as Choice

// A segmented choice (source filter, check interval, appearance). `options` is a list of
// { value, label }; `selection` is the chosen value. Choosing a segment sets `selection` and
// emits activated(value).
// Like a group of radio buttons it is one Tab stop: the arrow keys, Home and End choose another
// option. Screen readers see a group of radio buttons, the chosen one checked.
T.Control {
    id: control

    property var selection
    property var options: []
    signal activated(var value)

    readonly property int chosenIndex: options.findIndex(option => option.value === selection)

    function choose(value) {
        selection = value
        activated(value)
    }

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    padding: 2
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.Grouping
    Keys.onPressed: event => {
        const index = Choice.next(chosenIndex, options.length, event.key)
        if (index < 0)
            return
        event.accepted = true
        if (index !== chosenIndex)
            choose(options[index].value)
    }

    background: Rectangle {
        radius: Theme.radius
        color: Theme.surfaceRaised
        border.width: control.visualFocus ? 2 : 1
        border.color: control.visualFocus ? Theme.accent : Theme.line
    }

    contentItem: Row {
        spacing: 2

        Repeater {
            model: control.options

            T.AbstractButton {
                id: segment

                readonly property bool chosen: control.selection === modelData.value

                text: modelData.label
                checkable: true
                autoExclusive: true
                checked: chosen
                hoverEnabled: true
                focusPolicy: Qt.NoFocus
                leftPadding: 10
                rightPadding: 10
                topPadding: 4
                bottomPadding: 4
                implicitWidth: label.implicitWidth + leftPadding + rightPadding
                implicitHeight: label.implicitHeight + topPadding + bottomPadding
                opacity: control.enabled ? 1.0 : 0.4
                Accessible.role: Accessible.RadioButton
                Accessible.name: text
                Accessible.checkable: true
                Accessible.checked: chosen

                onClicked: control.choose(modelData.value)

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
                }
            }
        }
    }
}
