import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views
import "../../ui/views/texts.js" as Texts

// The popover's texts and enabling rules over a stand-in model, and the texts it derives:
// relative times, byte counts, progress.
// The TestCases are never visible: the items under test live in this host. Each waits for
// windowShown, so that all have registered before the first runs (one that ran at once could end
// the run before the next had registered).
Item {
    id: testHost
    width: 400
    height: 700

    TestCase {
        name: "Popover"
        when: windowShown

        Component { id: modelComponent; FakeModel {} }
        Component { id: popoverComponent; Popover {} }
        Component { id: popoverWindowComponent; PopoverWindow {} }

        property QtObject model
        property Item popover

        function init() {
            failOnWarning(/.?/)
            model = createTemporaryObject(modelComponent, testHost)
            popover = createTemporaryObject(popoverComponent, testHost, { model: model })
        }

        function child(name) {
            return findChild(popover, name) || fail("no item " + name)
        }

        // The texts of the status lines on show, in order, after the status label.
        function status() {
            return [child("statusLabel").text].concat(
                ["idle", "currentTitle", "latestActivity", "progress", "lastError"].map(child)
                    .filter(item => item.visible).map(item => item.text))
        }

        function test_status() {
            compare(status(), ["Status", "Idle"])
            compare(child("savesTo").text, "Saves to ~/Videos/kelvo/Singles · best up to 1080p")
            compare(child("shortcutTip").text,
                    "Tip: copy a video link anywhere, then press Ctrl+Alt+Y.")
            compare([child("buildPill").text, child("buildPill").help],
                    [model.buildPill, "Build: " + model.buildPill])
            model.activity = ["Checking Music…", "✓ Music: 2 new"]
            compare(status(), ["Status", "✓ Music: 2 new"])
            Object.assign(model, { isBusy: true, currentTitle: "A video title", syncIndex: 3,
                                   syncTotal: 12, downloadedBytes: 4200000,
                                   lastError: "yt-dlp was not found" })
            compare(status(), ["Working", "A video title", "Entry 3 of 12 · 4.20 MB so far",
                               "yt-dlp was not found"])
            model.isBusy = false
            compare(status(), ["Status", "A video title", "yt-dlp was not found"])
            verify(child("shortcutTip").visible)
            model.clipboardShortcutActive = false
            verify(!child("shortcutTip").visible)
        }

        function test_getEnablingAndSending() {
            const field = child("linkField"), button = child("getButton")
            for (const [link, busy, enabled] of [["", false, false], ["   ", false, false],
                                                 ["\t\n", false, false], ["youtu.be/a", false, true],
                                                 ["  youtu.be/a  ", false, true],
                                                 ["youtu.be/a", true, false]]) {
                model.isBusy = busy
                field.text = link
                compare(button.enabled, enabled, JSON.stringify(link) + " busy " + busy)
            }
            // The text goes as typed, by the button or Return, and the field is cleared. Spaces
            // only, or while busy, Return sends nothing.
            model.isBusy = false
            field.text = "  https://youtu.be/abcdefghijk "
            mouseClick(button)
            compare(field.text, "")
            field.forceActiveFocus()
            for (const [link, busy, left] of [["youtu.be/b", false, ""], ["   ", false, "   "],
                                              ["youtu.be/c", true, "youtu.be/c"]]) {
                model.isBusy = busy
                field.text = link
                keyClick(Qt.Key_Return)
                compare(field.text, left)
            }
            compare(model.downloads, [{ link: "  https://youtu.be/abcdefghijk ", fromClipboard: false },
                                      { link: "youtu.be/b", fromClipboard: false }])
        }

        function test_playlistsAndSync() {
            const button = child("syncButton")
            // A playlist that is not enabled does not count.
            for (const playlists of [[], [{ id: 3, title: "Off", intervalMin: 15, enabled: false }]]) {
                model.playlists = playlists
                verify(child("noPlaylists").visible && !button.enabled)
            }
            popover.now = Date.now() / 1000
            model.playlists = [
                { id: 1, title: "Music", intervalMin: 30, enabled: true, lastCheckedAt: popover.now - 300 },
                { id: 2, title: "Talks", intervalMin: 60, enabled: true, lastCheckedAt: null },
                { id: 3, title: "Off", intervalMin: 15, enabled: false, lastCheckedAt: null }
            ]
            verify(!child("noPlaylists").visible)
            const rows = child("playlistRows")
            compare([0, 1, 2].map(i => rows.itemAt(i) && findChild(rows.itemAt(i), "playlistStatus").text),
                    ["checked 5 minutes ago · every 30 min", "not checked yet · every 60 min", null])
            for (const busy of [false, true]) {
                model.isBusy = busy
                compare(button.enabled, !busy)
                mouseClick(button)
            }
            compare(model.syncRequests, 1)
        }

        function test_footer() {
            const asked = []
            popover.openWindow.connect(name => asked.push(name))
            popover.quitRequested.connect(() => asked.push("quit"))
            for (const name of ["libraryButton", "activityButton", "settingsButton", "quitButton"])
                mouseClick(child(name))
            compare(asked, ["library", "activity", "settings", "quit"])
        }

        function test_theThemeFollowsTheStoredAppearance() {
            verify(createTemporaryObject(popoverWindowComponent, testHost, { model: model }))
            for (const appearance of ["light", "matrix", "dark"]) {
                model.appearance = appearance
                compare(Theme.appearance, appearance)
            }
        }
    }

    TestCase {
        name: "PopoverTexts"
        when: windowShown

        function test_relativeTime() {
            const now = 1700000000, minute = 60, hour = 3600, day = 86400
            const cases = [
                [0, "now"], [1, "1 second ago"], [42, "42 seconds ago"], [minute, "1 minute ago"],
                [5 * minute + 20, "5 minutes ago"], [hour, "1 hour ago"], [23 * hour, "23 hours ago"],
                [day + hour, "yesterday"], [3 * day, "3 days ago"], [8 * day, "last week"],
                [20 * day, "2 weeks ago"], [40 * day, "last month"], [100 * day, "3 months ago"],
                [400 * day, "last year"], [800 * day, "2 years ago"],
                // A clock behind the stamps.
                [-5 * minute, "in 5 minutes"], [-day, "tomorrow"]
            ]
            for (const [ago, text] of cases)
                compare(Texts.relativeTime(now - ago, now), text, "seconds ago: " + ago)
        }

        function test_byteCountAndProgress() {
            const cases = [
                [1, "1 byte"], [999, "999 bytes"], [1000, "1.00 kB"], [4200000, "4.20 MB"],
                [12345678, "12.3 MB"], [812000000, "812 MB"], [1310000000, "1.31 GB"], [-5, ""]
            ]
            for (const [bytes, text] of cases)
                compare(Texts.byteCount(bytes), text, "bytes: " + bytes)
            for (const [busy, index, total, bytes, line] of [
                     [false, 3, 12, 5000, ""], [true, 0, 0, 0, ""], [true, 3, 12, 0, "Entry 3 of 12"],
                     [true, 0, 0, 2500000, "2.50 MB so far"],
                     [true, 1, 1, 999, "Entry 1 of 1 · 999 bytes so far"]])
                compare(Texts.progressLine(busy, index, total, bytes), line)
        }
    }
}
