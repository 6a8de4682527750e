import QtQuick

// Text in kelvo's fonts: Inter, or JetBrains Mono when `mono`, with the weight mapped to the
// bundled cuts and the size in points of the design (one point per logical pixel).
Text {
    property bool mono: false
    property int weight: Font.Normal
    property real size: Theme.sizeRow

    color: Theme.text
    font.family: mono ? Theme.monoFamily : Theme.textFamily
    font.weight: mono ? Theme.monoWeight(weight) : Theme.textWeight(weight)
    font.pixelSize: size
    elide: Text.ElideRight
    textFormat: Text.PlainText
}
