import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Kelvo.Style
import "../library"
import "licenses.js" as Licenses
import "../scrolling.js" as Scrolling

// The licence texts of the components kelvo is built on, in a scrolling sheet over the window.
T.Popup {
    id: sheet

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(520, parent ? parent.width - 48 : 520)
    height: Math.min(560, parent ? parent.height - 48 : 560)
    modal: true
    dim: true
    focus: true
    closePolicy: T.Popup.CloseOnEscape | T.Popup.CloseOnPressOutside
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
            Layout.fillWidth: true
            text: "License texts"
            size: Theme.sizeEmptyTitle
            weight: Font.DemiBold
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }

        Flickable {
            id: flick
            objectName: "licenseTexts"

            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: width
            contentHeight: texts.implicitHeight
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            // A Tab stop (never taken by a click): while it has the focus the keys scroll it.
            activeFocusOnTab: true
            Accessible.role: Accessible.Document
            Accessible.name: "License texts"
            Keys.onPressed: event => event.accepted = Scrolling.byKey(flick, event.key)

            T.ScrollBar.vertical: ThinScrollBar {}

            FocusFrame {
                parent: flick
                anchors.fill: parent
                shown: flick.activeFocus
            }

            ColumnLayout {
                id: texts

                width: flick.width - 12
                spacing: 18

                Repeater {
                    model: Licenses.texts

                    ColumnLayout {
                        required property var modelData

                        Layout.fillWidth: true
                        spacing: 6

                        MetroText {
                            Layout.fillWidth: true
                            text: modelData.name + " — " + modelData.license
                            size: Theme.sizeRow
                            weight: Font.Medium
                        }
                        TextEdit {
                            Layout.fillWidth: true
                            text: modelData.text
                            readOnly: true
                            selectByMouse: true
                            wrapMode: TextEdit.Wrap
                            textFormat: TextEdit.PlainText
                            font.family: Theme.monoFamily
                            font.pixelSize: Theme.sizeSmall
                            color: Theme.secondary
                            selectionColor: Qt.rgba(Theme.accent.r, Theme.accent.g,
                                                    Theme.accent.b, 0.35)
                            Accessible.role: Accessible.StaticText
                            Accessible.name: modelData.name + " licence"
                        }
                    }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true

            Item {
                Layout.fillWidth: true
            }
            MetroSecondaryButton {
                objectName: "closeButton"
                text: "Close"
                Accessible.name: text
                onClicked: sheet.close()
            }
        }
    }
}
