import QtQuick
import QtQuick.Layouts
import Kelvo.Style
import "library.js" as Library

// One entry of the Library list: the title, the source and upload date, and the status pill.
Rectangle {
    id: row

    // The model's entry map.
    property var entry
    property bool selected: false
    // The keyboard focus mark (the list has the focus and this row is selected).
    property bool focusShown: false

    signal clicked()
    signal doubleClicked()

    implicitHeight: content.implicitHeight + 16
    color: selected ? Theme.surfaceRaised : (hover.hovered ? Qt.rgba(Theme.surfaceRaised.r,
                                                                      Theme.surfaceRaised.g,
                                                                      Theme.surfaceRaised.b, 0.5)
                                                           : "transparent")

    Accessible.role: Accessible.ListItem
    Accessible.name: entry ? entry.title : ""
    Accessible.description: entry ? entry.sourceText + ", " + entry.displayDate
                                    + (entry.statusText !== "" ? ", " + entry.statusText : "")
                                  : ""
    Accessible.selected: selected
    Accessible.selectable: true

    // The selection mark.
    Rectangle {
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: 2
        color: Theme.accent
        visible: row.selected
    }

    RowLayout {
        id: content

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.leftMargin: Theme.padding
        anchors.rightMargin: Theme.padding
        spacing: 10

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 3

            MetroText {
                objectName: "rowTitle"
                Layout.fillWidth: true
                text: row.entry ? row.entry.title : ""
                size: Theme.sizeRow
                weight: Font.Medium
            }
            MetroText {
                objectName: "rowLine"
                Layout.fillWidth: true
                text: row.entry ? row.entry.sourceText + "  ·  " + row.entry.displayDate : ""
                mono: true
                size: Theme.sizeSmall
                color: Theme.muted
            }
        }
        Pill {
            objectName: "statusPill"
            visible: row.entry ? row.entry.statusText !== "" : false
            text: row.entry ? row.entry.statusText : ""
            tone: row.entry ? Theme.tone(Library.pillTone(row.entry)) : Theme.muted
        }
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.leftMargin: Theme.padding
        height: 1
        color: Theme.line
        opacity: 0.6
    }

    FocusFrame {
        anchors.fill: parent
        anchors.margins: 3
        shown: row.focusShown
    }

    HoverHandler {
        id: hover
    }
    TapHandler {
        onTapped: row.clicked()
        onDoubleTapped: row.doubleClicked()
    }
}
