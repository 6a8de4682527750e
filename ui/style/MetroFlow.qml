import QtQuick
import "flow.js" as Flow

// A flow layout for tags: the items declared inside are laid out left to right and wrapped
// into lines `spacing` apart. An item wider than the layout is given the layout's width (a
// wrapping Text then grows in height). Invisible items and items with no implicit size (a
// Repeater among them) take no room.
Item {
    id: flow

    property real spacing: 6
    // The lines of the last layout, for inspection: [{ items, width, height }]. Set by the
    // layout; do not assign.
    property var lines: []

    property real __naturalWidth: 0
    property real __height: 0
    property bool __pending: false
    // Children whose size changes are already followed.
    property var __watched: []

    implicitWidth: __naturalWidth
    implicitHeight: __height

    function __visibleItems() {
        const items = []
        for (let i = 0; i < children.length; ++i) {
            const child = children[i]
            if (child.visible && (child.implicitWidth > 0 || child.implicitHeight > 0))
                items.push(child)
        }
        return items
    }

    function __measureOf(items) {
        return function (index, proposedWidth) {
            const item = items[index]
            if (proposedWidth === undefined)
                return { width: item.implicitWidth, height: item.implicitHeight }
            item.width = proposedWidth
            return { width: proposedWidth, height: item.implicitHeight }
        }
    }

    // Lays the items out again now.
    function relayout() {
        __pending = false
        const items = __visibleItems()
        const measure = __measureOf(items)
        // Items keep their natural width unless the layout narrows them.
        for (let i = 0; i < items.length; ++i)
            items[i].width = items[i].implicitWidth
        const natural = Flow.size(Flow.rows(items.length, measure, Infinity, spacing), Infinity,
                                  spacing)
        const limit = width > 0 ? width : Infinity
        const frames = Flow.place(items.length, measure, limit, spacing)
        for (let i = 0; i < items.length; ++i) {
            items[i].x = frames[i].x
            items[i].y = frames[i].y
            items[i].width = frames[i].width
        }
        const laidOut = Flow.rows(items.length, measure, limit, spacing)
        __naturalWidth = natural.width
        __height = Flow.size(laidOut, limit, spacing).height
        lines = laidOut
    }

    function __schedule() {
        if (!__pending) {
            __pending = true
            Qt.callLater(relayout)
        }
    }

    onWidthChanged: __schedule()
    onSpacingChanged: __schedule()
    // Watch the size and visibility of every current child; children that left (a Repeater
    // rebuilding its delegates) are forgotten, so nothing is ever disconnected from a dead item.
    onChildrenChanged: {
        const current = []
        for (let i = 0; i < children.length; ++i) {
            const child = children[i]
            current.push(child)
            if (__watched.indexOf(child) < 0) {
                child.implicitWidthChanged.connect(__schedule)
                child.implicitHeightChanged.connect(__schedule)
                child.visibleChanged.connect(__schedule)
            }
        }
        __watched = current
        __schedule()
    }
    Component.onDestruction: {
        for (let i = 0; i < children.length; ++i) {
            const child = children[i]
            if (__watched.indexOf(child) >= 0) {
                child.implicitWidthChanged.disconnect(__schedule)
                child.implicitHeightChanged.disconnect(__schedule)
                child.visibleChanged.disconnect(__schedule)
            }
        }
        __watched = []
    }
}
