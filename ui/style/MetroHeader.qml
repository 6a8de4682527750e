import QtQuick

// The header of a window or the popover: the wordmark with a subtitle on the left, whatever is
// declared inside (pills, buttons) on the right, and a line underneath.
Item {
    id: header

    property string subtitle
    property real markSize: 18
    // Space left and right of the content.
    property real horizontalPadding: Theme.padding
    default property alias trailing: trailingRow.data

    implicitWidth: wordmark.implicitWidth + trailingRow.implicitWidth + 2 * horizontalPadding + 16
    implicitHeight: Math.max(wordmark.implicitHeight, trailingRow.implicitHeight) + 24

    Wordmark {
        id: wordmark
        anchors.left: parent.left
        anchors.leftMargin: header.horizontalPadding
        anchors.verticalCenter: parent.verticalCenter
        markSize: header.markSize
        subtitle: header.subtitle
    }

    Row {
        id: trailingRow
        anchors.right: parent.right
        anchors.rightMargin: header.horizontalPadding
        anchors.verticalCenter: parent.verticalCenter
        spacing: Theme.gap
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: Theme.line
    }
}
