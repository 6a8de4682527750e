import QtQuick

// kelvo's name mark: the "k" and play triangle, the name, and an optional subtitle beside it.
Row {
    id: wordmark

    property real markSize: 18
    property string subtitle

    spacing: Math.round(markSize * 0.4)

    Item {
        width: Math.round(wordmark.markSize * 1.25)
        height: wordmark.markSize
        anchors.verticalCenter: parent.verticalCenter

        LucideIcon {
            anchors.fill: parent
            size: parent.width
            name: "kelvo-mark-k"
            color: Theme.text
        }
        LucideIcon {
            anchors.fill: parent
            size: parent.width
            name: "kelvo-mark-play"
            color: Theme.matrix ? Theme.accent : "#FF4D4D"
        }
    }

    MetroText {
        anchors.verticalCenter: parent.verticalCenter
        text: "kelvo"
        weight: Font.Bold
        size: wordmark.markSize
        color: Theme.text
        font.letterSpacing: -0.3
    }

    MetroText {
        anchors.verticalCenter: parent.verticalCenter
        anchors.verticalCenterOffset: 1
        visible: wordmark.subtitle !== ""
        text: wordmark.subtitle
        mono: true
        size: Math.max(10, Math.round(wordmark.markSize * 0.6))
        color: Theme.muted
        font.letterSpacing: Theme.letterSpacing
    }
}
