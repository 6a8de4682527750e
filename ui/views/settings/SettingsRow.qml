import QtQuick
import QtQuick.Layouts
import Kelvo.Style

// A labelled row: the label on the left, the value (or what is declared inside) on the right.
RowLayout {
    id: row

    property string label
    property string value
    property color valueColor: Theme.secondary
    property bool mono: false
    default property alias trailing: trailingRow.data

    spacing: 12

    MetroText {
        objectName: "rowLabel"
        // A column of 130 px; in a narrow window it gives way first, down to the label itself.
        Layout.fillWidth: true
        Layout.preferredWidth: 130
        Layout.maximumWidth: 130
        Layout.minimumWidth: Math.min(implicitWidth, 130)
        Layout.alignment: Qt.AlignVCenter
        text: row.label
        size: Theme.sizeRow
        color: Theme.text
    }
    MetroText {
        objectName: "rowValue"
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignVCenter
        visible: row.value !== ""
        text: row.value
        mono: row.mono
        size: row.mono ? Theme.sizeSmall : Theme.sizeRow
        color: row.valueColor
        elide: Text.ElideMiddle
    }
    RowLayout {
        id: trailingRow
        Layout.fillWidth: row.value === ""
        spacing: Theme.gap
        visible: children.length > 0
    }
}
