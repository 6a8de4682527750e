.pragma library

// Scrolls a Flickable (a ListView too) for a key, as text views do: Up and Down by a few lines,
// Page Up and Page Down by a page, Home and End to the top and the bottom. False for any other
// key, which the caller then leaves to others.
function byKey(flick, key) {
    const page = Math.max(40, flick.height - 40)
    const step = { [Qt.Key_Up]: -40, [Qt.Key_Down]: 40, [Qt.Key_PageUp]: -page,
                   [Qt.Key_PageDown]: page }[key]
    const bottom = flick.originY + Math.max(0, flick.contentHeight - flick.height)
    if (key === Qt.Key_Home && flick.positionViewAtBeginning)
        flick.positionViewAtBeginning()
    else if (key === Qt.Key_Home)
        flick.contentY = flick.originY
    else if (key === Qt.Key_End && flick.positionViewAtEnd)
        flick.positionViewAtEnd()
    else if (key === Qt.Key_End)
        flick.contentY = bottom
    else if (step)
        flick.contentY = Math.max(flick.originY, Math.min(flick.contentY + step, bottom))
    else
        return false
    return true
}
