import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views

// The Activity window's view: colours, counts and "Copy" against a stand-in model, and a real
// model's log file.
Item {
    id: root
    width: 760
    height: 440

    property QtObject model: null

    ActivityView {
        id: view
        anchors.fill: parent
        model: root.model
    }

    StandInModel {
        id: standIn
    }

    // Reads back what "Copy" put on the clipboard.
    TextEdit {
        id: pasteTarget
        visible: false
        textFormat: TextEdit.PlainText
    }

    TestCase {
        name: "ActivityWindow"
        when: windowShown

        function init() {
            failOnWarning(/.?/)
            view.copied = false
            root.model = standIn
        }

        function cleanup() {
            root.model = null
        }

        function find(name) {
            const item = findChild(view, name)
            verify(item !== null, "no item " + name)
            return item
        }

        function click(item) {
            for (let up = item; up; up = up.parent)
                waitForItemPolished(up)
            mouseClick(item)
        }

        function test_lines_count_and_error_colour() {
            const lines = [["✓ Saved 20240131 First [aaaaaaaaaaa].mp4", false],
                           ["✗ Mix: playlist not found", true], ["Download Failed somewhere", true],
                           ["3 videos failed", true], ["FAILURE", true], ["Checking Mix…", false]]
            standIn.lines = lines.map(line => "2024-01-31 10:00:00  " + line[0])
            view.reload()
            compare(find("countLine").text, "6 entries · newest first")
            verify(!find("noActivity").visible)
            const list = find("lines")
            for (let i = 0; i < lines.length; ++i) {
                list.positionViewAtIndex(i, ListView.Contain)
                const item = list.itemAtIndex(i)
                compare(item.text, standIn.lines[i])
                verify(Qt.colorEqual(item.color, lines[i][1] ? Theme.error : Theme.secondary),
                       lines[i][0])
            }
            standIn.lines = []
            view.reload()
            compare(find("countLine").text, "0 entries · newest first")
            verify(find("noActivity").visible)
        }

        function test_copy_reads_copied_for_a_moment() {
            const button = find("copyButton")
            compare(button.text, "Copy")
            const clicked = Date.now()
            click(button)
            compare(button.text, "Copied")
            tryCompare(button, "text", "Copy", 10000)
            // Qt's timers may fire up to 5 % early.
            verify(Date.now() - clicked >= 1425, Date.now() - clicked)
        }

        function test_a_real_log() {
            const model = root.model = fixture.start()
            compare(view.lines.length, 1)
            verify(view.lines[0].endsWith("  kelvo started (" + model.buildPill + ")"))
            // A failed download logs through the model; the view reads the file again.
            compare(model.download("not a link at all", false), 0)
            tryVerify(() => !model.isBusy && view.lines.length >= 2, 20000)
            verify(view.lines[0].indexOf("✗ ") >= 0, view.lines[0])

            // "Copy" puts the file's lines on the clipboard, oldest first.
            click(find("copyButton"))
            pasteTarget.text = ""
            pasteTarget.paste()
            const pasted = pasteTarget.text.split("\n")
            compare(pasted.length, view.lines.length)
            verify(pasted[0].endsWith("  kelvo started (" + model.buildPill + ")"))
            compare(pasted[pasted.length - 1], view.lines[0])

            click(find("revealButton"))
            compare(fixture.revealed, [model.activityLogPath])
        }
    }
}
