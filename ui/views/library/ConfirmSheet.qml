import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Kelvo.Style

// A modal confirmation over its window: a title, a message, optional content declared inside
// (a switch), "Cancel" and the confirming button (in the error colour when `destructive`).
// Escape and "Cancel" close it without confirming.
T.Popup {
    id: sheet

    property string title
    property string message
    property string confirmText
    property bool destructive: false
    default property alias extra: extraColumn.data

    signal confirmed()

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(440, parent ? parent.width - 48 : 440)
    // A template pop-up has no size of its own: without this the card is zero pixels tall and
    // only its text shows over the dimmed window.
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    modal: true
    dim: true
    focus: true
    closePolicy: T.Popup.CloseOnEscape
    padding: 20

    T.Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, Theme.dark ? 0.55 : 0.3)
    }

    background: Rectangle {
        color: Theme.surface
        radius: 10
        border.width: 1
        border.color: Theme.line
    }

    contentItem: ColumnLayout {
        spacing: 12

        MetroText {
            objectName: "sheetTitle"
            Layout.fillWidth: true
            text: sheet.title
            size: Theme.sizeEmptyTitle
            weight: Font.DemiBold
            wrapMode: Text.Wrap
            elide: Text.ElideNone
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        MetroText {
            objectName: "sheetMessage"
            Layout.fillWidth: true
            text: sheet.message
            size: Theme.sizeRow
            color: Theme.secondary
            wrapMode: Text.Wrap
            elide: Text.ElideNone
            lineHeight: 1.15
        }
        ColumnLayout {
            id: extraColumn
            Layout.fillWidth: true
            visible: children.length > 0
        }
        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: 4
            spacing: Theme.gap

            Item {
                Layout.fillWidth: true
            }
            MetroSecondaryButton {
                id: cancelButton
                objectName: "cancelButton"
                text: "Cancel"
                Accessible.name: text
                onClicked: sheet.close()
            }
            MetroSecondaryButton {
                id: confirmButton
                objectName: "confirmButton"
                text: sheet.confirmText
                tone: sheet.destructive ? Theme.error : Theme.accent
                Accessible.name: text
                onClicked: {
                    sheet.confirmed()
                    sheet.close()
                }
            }
        }
    }

    // The safe choice has the focus, marked as keyboard focus is (Return or Space answers).
    onOpened: cancelButton.forceActiveFocus(Qt.TabFocusReason)
}
