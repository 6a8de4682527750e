import QtQuick
import QtTest

// What the window tests share: a stand-in model, items by name, and clicks that wait until the
// item is laid out (and scroll `page` to it). Any QML warning fails the run
// (windows_test_main.cpp).
TestCase {
    when: windowShown

    property Item view
    property Flickable page: null
    property StandInModel standIn: StandInModel {}

    function find(name, within) {
        const item = findChild(within || view, name)
        verify(item !== null, "no item " + name)
        return item
    }

    function click(item) {
        for (let up = item; up; up = up.parent)
            waitForItemPolished(up)
        const at = page ? item.mapToItem(page.contentItem, 0, 0) : null
        if (at && (at.y < page.contentY || at.y + item.height > page.contentY + page.height))
            page.contentY = Math.max(0, Math.min(at.y - 20, page.contentHeight - page.height))
        mouseClick(item)
    }
}
