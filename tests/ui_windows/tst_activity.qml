import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views

// The Activity window's view: colours, the count and "Copy" against a stand-in model, and a
// real model's log file; the three windows as the app opens them.
Item {
    width: 760
    height: 440

    ActivityView {
        id: view
        anchors.fill: parent
    }

    StandInModel {
        id: standIn
    }

    // Reads back what "Copy" put on the clipboard.
    TextEdit {
        id: pasteTarget
        visible: false
    }

    WindowTestCase {
        name: "ActivityWindow"
        view: view

        function init() {
            view.model = standIn
        }

        function test_lines_count_and_error_colour() {
            const cases = [["✓ Saved First [aaaaaaaaaaa].mp4", false], ["✗ Mix: not found", true],
                           ["Download Failed", true], ["3 videos failed", true], ["FAILURE", true],
                           ["Checking Mix…", false]]
            standIn.lines = cases.map(line => "2024-01-31 10:00:00  " + line[0])
            view.reload()
            compare(find("countLine").text, "6 entries · newest first")
            verify(!find("noActivity").visible)
            cases.forEach(([line, error], i) => {
                find("lines").positionViewAtIndex(i, ListView.Contain)
                const item = find("lines").itemAtIndex(i)
                compare(item.text, standIn.lines[i])
                verify(Qt.colorEqual(item.color, error ? Theme.error : Theme.secondary), line)
            })
            standIn.lines = []
            view.reload()
            compare(find("countLine").text, "0 entries · newest first")
            verify(find("noActivity").visible)
        }

        function test_copy_reads_copied_for_a_moment() {
            const button = find("copyButton")
            const clicked = Date.now()
            click(button)
            compare(button.text, "Copied")
            tryCompare(button, "text", "Copy", 10000)
            // Qt's timers may fire up to 5 % early.
            verify(Date.now() - clicked >= 1425, Date.now() - clicked)
        }

        function test_a_real_log() {
            const model = view.model = fixture.start()
            compare(view.lines.length, 1)
            verify(view.lines[0].endsWith("  kelvo started (" + model.buildPill + ")"))
            // A failed download logs through the model; the view reads the file again.
            compare(model.download("not a link at all", false), 0)
            tryVerify(() => !model.isBusy && view.lines.length >= 2, 20000)
            verify(view.lines[0].indexOf("✗ ") >= 0, view.lines[0])
            // "Copy" puts the file's lines on the clipboard, oldest first.
            click(find("copyButton"))
            pasteTarget.paste()
            const pasted = pasteTarget.text.split("\n")
            compare(pasted.length, view.lines.length)
            verify(pasted[0].endsWith("  kelvo started (" + model.buildPill + ")"))
            compare(pasted[pasted.length - 1], view.lines[0])
            click(find("revealButton"))
            compare(fixture.record().revealed, [model.activityLogPath])

            // The three windows keep their size from one opening to the next and close after a
            // factory reset.
            const windows = ["LibraryWindow", "ActivityWindow", "SettingsWindow"].map(name => {
                const component = Qt.createComponent("qrc:/Kelvo/Views/" + name + ".qml")
                const first = component.createObject(null, { model: model })
                first.width = 1000
                first.height = 700
                first.destroy()
                wait(0)
                const window = component.createObject(null, { model: model })
                compare([window.width, window.height], [1000, 700], name)
                window.show()
                return window
            })
            model.resetToFactory(false)
            windows.forEach(window => tryCompare(window, "visible", false))
            windows.forEach(window => window.destroy())
        }
    }
}
