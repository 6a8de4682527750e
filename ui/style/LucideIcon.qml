import QtQuick

// A line icon from the bundled set ("kelvo-refresh-cw", ...), drawn in `color`.
Item {
    id: icon

    property string name
    property real size: 13
    property color color: Theme.secondary

    implicitWidth: size
    implicitHeight: size

    Image {
        anchors.fill: parent
        visible: icon.name !== ""
        source: icon.name === "" ? "" : "image://lucide/" + icon.name + "?" + icon.color
        // Drawn at twice the size so it stays sharp on dense screens.
        sourceSize.width: Math.ceil(icon.size * 2)
        sourceSize.height: Math.ceil(icon.size * 2)
        smooth: true
        mipmap: true
        fillMode: Image.PreserveAspectFit
    }
}
