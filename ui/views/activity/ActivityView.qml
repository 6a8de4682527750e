import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import QtQuick.Templates as T
import Kelvo.Style
import "../library"
import "activity.js" as Activity
import "../scrolling.js" as Scrolling

// The activity log, newest line first, with "Copy" (oldest first, as the file is) and "Show in
// Folder". The file is the source of truth: it is read again when the view is shown and
// whenever the model logs a line, so earlier runs stay visible.
Item {
    id: view

    // The AppModel (or a stand-in).
    property QtObject model
    // The file's lines, newest first.
    property var lines: []
    // "Copy" reads "Copied" for 1.5 s after a copy.
    property bool copied: false

    function reload() {
        lines = model ? model.activityLines() : []
    }

    // Puts the whole file on the system clipboard, oldest line first.
    function copy() {
        if (!model || !model.copyActivity())
            return
        copied = true
        copiedTimer.restart()
    }

    function reveal() {
        if (model)
            model.revealActivityLog()
    }

    onModelChanged: reload()
    Component.onCompleted: reload()

    Connections {
        target: view.model
        ignoreUnknownSignals: true
        function onActivityChanged() {
            view.reload()
        }
    }

    Timer {
        id: copiedTimer
        interval: 1500
        onTriggered: view.copied = false
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // ---- Toolbar ----
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.topMargin: 12
            Layout.bottomMargin: 12
            spacing: Theme.gap

            MetroText {
                objectName: "countLine"
                Layout.fillWidth: true
                text: Activity.countLine(view.lines.length)
                mono: true
                size: Theme.sizeSmall
                color: Theme.secondary
            }
            MetroSecondaryButton {
                objectName: "copyButton"
                text: view.copied ? "Copied" : "Copy"
                iconName: view.copied ? "kelvo-check" : "kelvo-copy"
                tone: view.copied ? Theme.success : Theme.text
                Accessible.name: "Copy"
                Accessible.description: "Copies the whole log, oldest line first"
                onClicked: view.copy()
            }
            MetroSecondaryButton {
                objectName: "revealButton"
                text: "Show in Folder"
                iconName: "kelvo-folder"
                Accessible.name: text
                onClicked: view.reveal()
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.line
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            MetroText {
                objectName: "noActivity"
                anchors.left: parent.left
                anchors.top: parent.top
                anchors.leftMargin: 20
                anchors.topMargin: 16
                visible: view.lines.length === 0
                text: "No activity yet."
                size: Theme.sizeRow
                color: Theme.secondary
            }

            ListView {
                id: list
                objectName: "lines"

                anchors.fill: parent
                anchors.topMargin: 10
                visible: view.lines.length > 0
                clip: true
                spacing: 4
                model: view.lines
                boundsBehavior: Flickable.StopAtBounds
                activeFocusOnTab: true
                keyNavigationEnabled: false
                // No line takes the focus from the list: the keys scroll it.
                currentIndex: -1
                Keys.onPressed: event => event.accepted = Scrolling.byKey(list, event.key)
                footer: Item {
                    height: 20
                }
                Accessible.role: Accessible.List
                Accessible.name: "Activity"

                delegate: TextEdit {
                    required property string modelData

                    x: 20
                    width: ListView.view.width - 40
                    text: modelData
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    textFormat: TextEdit.PlainText
                    font.family: Theme.monoFamily
                    font.weight: Theme.monoWeight(Font.Normal)
                    font.pixelSize: Theme.sizeSmall
                    color: Activity.isError(modelData) ? Theme.error : Theme.secondary
                    selectionColor: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.35)
                    selectedTextColor: Theme.text
                    Accessible.role: Accessible.StaticText
                    Accessible.name: modelData
                }

                T.ScrollBar.vertical: ThinScrollBar {}
            }
            FocusFrame {
                objectName: "linesFocus"
                anchors.fill: list
                shown: list.visible && list.Window.activeFocusItem === list
            }
        }
    }
}
