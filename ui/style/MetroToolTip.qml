import QtQuick
import QtQuick.Templates as T

// A tool tip in kelvo's look.
T.ToolTip {
    id: tip

    x: parent ? (parent.width - implicitWidth) / 2 : 0
    y: parent ? parent.height + 6 : 0
    delay: 500
    margins: 6
    padding: 6
    leftPadding: 8
    rightPadding: 8
    implicitWidth: Math.min(320, contentItem.implicitWidth + leftPadding + rightPadding)
    implicitHeight: contentItem.implicitHeight + topPadding + bottomPadding

    contentItem: MetroText {
        text: tip.text
        mono: true
        size: Theme.sizeSmall
        color: Theme.text
        wrapMode: Text.Wrap
        elide: Text.ElideNone
    }
    background: Rectangle {
        color: Theme.surfaceRaised
        border.color: Theme.line
        border.width: 1
        radius: 4
    }
}
