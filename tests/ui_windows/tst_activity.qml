import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views
import "../../ui/views/activity/activity.js" as Activity

// The Activity window's view over a real activity log.
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
            root.model = fixture.start()
            view.copied = false
        }

        function cleanup() {
            root.model = null
        }

        function find(name) {
            const item = findChild(view, name)
            verify(item !== null, "no item " + name)
            return item
        }

        function lineItems() {
            const list = find("lines")
            const items = []
            for (let i = 0; i < list.count; ++i) {
                list.positionViewAtIndex(i, ListView.Contain)
                items.push(list.itemAtIndex(i))
            }
            return items
        }

        function pasted() {
            pasteTarget.text = ""
            pasteTarget.paste()
            return pasteTarget.text
        }

        function test_lines_newest_first_with_count() {
            // The start-up line is already there.
            const before = view.lines.length
            compare(before, 1)
            verify(view.lines[0].endsWith("kelvo started (" + root.model.buildPill + ")"))
            fixture.writeActivity(["Checking Mix…", "✓ Mix: 2 new"])
            view.reload()
            compare(view.lines.length, 3)
            verify(view.lines[0].endsWith("  ✓ Mix: 2 new"))
            verify(view.lines[1].endsWith("  Checking Mix…"))
            compare(find("countLine").text, "3 entries · newest first")
            verify(!find("noActivity").visible)
        }

        function test_error_lines_in_the_error_colour_data() {
            return [
                { tag: "saved", message: "✓ Saved 20240131 First [aaaaaaaaaaa].mp4", error: false },
                { tag: "cross", message: "✗ Mix: playlist not found", error: true },
                { tag: "Failed", message: "Download Failed somewhere", error: true },
                { tag: "failed", message: "3 videos failed", error: true },
                { tag: "FAIL", message: "FAILURE", error: true },
                { tag: "checking", message: "Checking Mix…", error: false }
            ]
        }

        function test_error_lines_in_the_error_colour(data) {
            fixture.writeActivity([data.message])
            view.reload()
            const newest = lineItems()[0]
            verify(newest.text.endsWith(data.message))
            compare(Activity.isError(newest.text), data.error)
            compare(Qt.colorEqual(newest.color, Theme.error), data.error)
            compare(Qt.colorEqual(newest.color, Theme.secondary), !data.error)
        }

        function test_copy_puts_the_oldest_line_first() {
            fixture.writeActivity(["first", "second", "third"])
            view.reload()
            mouseClick(find("copyButton"))
            const text = pasted()
            const lines = text.split("\n")
            compare(lines.length, 4)
            verify(lines[0].indexOf("kelvo started") >= 0)
            verify(lines[1].endsWith("  first"))
            verify(lines[3].endsWith("  third"))
            compare(text, view.lines.slice().reverse().join("\n"))
        }

        function test_copy_reads_copied_for_a_moment() {
            const button = find("copyButton")
            compare(button.text, "Copy")
            mouseClick(button)
            compare(button.text, "Copied")
            wait(1000)
            compare(button.text, "Copied")
            tryCompare(button, "text", "Copy", 1500)
        }

        function test_new_lines_appear_when_the_model_logs() {
            compare(view.lines.length, 1)
            // A failed single download logs through the model; the view reads the file again.
            root.model.download("not a link at all", false)
            tryCompare(root.model, "isBusy", false, 20000)
            tryVerify(() => view.lines.length >= 2, 5000)
            verify(Activity.isError(view.lines[0]), view.lines[0])
        }

        function test_empty_log_reads_no_activity() {
            fixture.removeActivityLog()
            view.reload()
            compare(view.lines.length, 0)
            compare(find("countLine").text, "0 entries · newest first")
            verify(find("noActivity").visible)
            compare(find("noActivity").text, "No activity yet.")
        }

        function test_show_in_folder_reveals_the_log_file() {
            mouseClick(find("revealButton"))
            compare(fixture.revealed, [root.model.activityLogPath])
        }
    }
}
