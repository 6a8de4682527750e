import QtQuick
import QtQuick.Layouts
import Kelvo.Style

// One titled section of the Settings window: a small label and a card holding what is declared
// inside, one item under the other.
ColumnLayout {
    id: section

    property string title
    default property alias content: body.data

    spacing: 8

    MetroLabel {
        objectName: "sectionTitle"
        text: section.title
        Accessible.role: Accessible.Heading
        Accessible.name: section.title
    }

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: body.implicitHeight + 2 * 14
        radius: 8
        color: Theme.surface
        border.width: 1
        border.color: Theme.line

        ColumnLayout {
            id: body

            x: 16
            y: 14
            width: parent.width - 32
            spacing: 10
        }
    }
}
