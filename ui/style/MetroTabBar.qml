import QtQuick
import QtQuick.Templates as T
import "choice.js" as Choice

// A row of tabs over pages: `tabs` is a list of { name, label } (the name becomes the tab's
// objectName), `currentIndex` the page shown. Choosing a tab emits activated(index).
// One Tab stop: the arrow keys, Home and End move to another tab and show its page. Screen
// readers see a page tab list whose shown tab is selected.
T.Control {
    id: bar

    property var tabs: []
    property int currentIndex: 0
    signal activated(int index)

    function choose(index) {
        if (index !== currentIndex)
            activated(index)
    }

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.PageTabList
    Keys.onPressed: event => {
        const index = Choice.next(currentIndex, tabs.length, event.key)
        if (index >= 0) {
            event.accepted = true
            choose(index)
        }
    }

    contentItem: Row {
        spacing: 4

        Repeater {
            model: bar.tabs

            MetroTab {
                required property var modelData
                required property int index

                objectName: modelData.name
                text: modelData.label
                active: bar.currentIndex === index
                focusPolicy: Qt.NoFocus
                focusShown: active && bar.visualFocus
                Accessible.role: Accessible.PageTab
                Accessible.name: text
                Accessible.selected: active
                Accessible.selectable: true
                onClicked: bar.choose(index)
            }
        }
    }
}
