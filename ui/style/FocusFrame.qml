import QtQuick

// The keyboard focus mark of an item that draws none itself (the lists): an outline in the
// accent colour over the item it is anchored to, shown while `shown`.
Rectangle {
    property bool shown: false

    visible: shown
    color: "transparent"
    radius: 2
    border.width: 2
    border.color: Theme.accent
}
