import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views

// The popover's texts and enabling rules over a stand-in model.
// The TestCase itself is never visible: the items under test live in this host.
Item {
    id: testHost
    width: 400
    height: 700

    TestCase {
        name: "Popover"
        when: windowShown

        Component {
            id: modelComponent
            FakeModel {}
        }
        Component {
            id: popoverComponent
            Popover {}
        }
        Component {
            id: popoverWindowComponent
            PopoverWindow {}
        }
        SignalSpy {
            id: openSpy
            signalName: "openWindow"
        }
        SignalSpy {
            id: quitSpy
            signalName: "quitRequested"
        }

        property QtObject model
        property Item popover

        function init() {
            model = createTemporaryObject(modelComponent, testHost)
            popover = createTemporaryObject(popoverComponent, testHost, { model: model })
            verify(popover !== null)
        }

        function cleanup() {
            Theme.appearance = "dark"
        }

        function child(name) {
            const found = findChild(popover, name)
            verify(found !== null, "no item " + name)
            return found
        }

        // The names of the status items on show, in order.
        function statusShown() {
            return ["idle", "currentTitle", "latestActivity", "progress", "lastError"]
                .filter(name => child(name).visible)
        }

        function test_status() {
            compare(child("statusLabel").text, "Status")
            compare(statusShown(), ["idle"])
            compare(child("savesTo").text, "Saves to ~/Videos/kelvo/Singles · best up to 1080p")
            compare(child("shortcutTip").text,
                    "Tip: copy a video link anywhere, then press Ctrl+Alt+Y.")
            compare(child("buildPill").text, model.buildPill)
            compare(child("buildPill").help, "Build: " + model.buildPill)

            model.activity = ["Checking Music…", "✓ Music: 2 new"]
            compare(statusShown(), ["latestActivity"])
            compare(child("latestActivity").text, "✓ Music: 2 new")

            model.isBusy = true
            model.currentTitle = "A video title"
            model.syncIndex = 3
            model.syncTotal = 12
            model.downloadedBytes = 4200000
            model.lastError = "yt-dlp was not found"
            compare(child("statusLabel").text, "Working")
            compare(statusShown(), ["currentTitle", "progress", "lastError"])
            compare(child("currentTitle").text, "A video title")
            compare(child("progress").text, "Entry 3 of 12 · 4.20 MB so far")
            compare(child("lastError").text, "yt-dlp was not found")
            model.isBusy = false
            verify(!child("progress").visible)

            verify(child("shortcutTip").visible)
            model.clipboardShortcutActive = false
            verify(!child("shortcutTip").visible)
        }

        function test_getEnabling() {
            const rows = [["", false, false], ["   ", false, false], ["\t\n", false, false],
                          ["https://youtu.be/abcdefghijk", false, true],
                          ["  youtu.be/abc  ", false, true],
                          ["https://youtu.be/abcdefghijk", true, false]]
            for (const [link, busy, enabled] of rows) {
                model.isBusy = busy
                child("linkField").text = link
                compare(child("getButton").enabled, enabled, JSON.stringify(link) + " busy " + busy)
            }
        }

        function test_getAndReturnPassTheTextAsTypedAndClearTheField() {
            const field = child("linkField")
            field.text = "  https://youtu.be/abcdefghijk "
            mouseClick(child("getButton"))
            compare(model.downloads, [{ link: "  https://youtu.be/abcdefghijk ",
                                        fromClipboard: false }])
            compare(field.text, "")
            verify(!child("getButton").enabled)

            field.forceActiveFocus()
            field.text = "https://youtu.be/abcdefghijk"
            keyClick(Qt.Key_Return)
            compare(model.downloads.length, 2)
            compare(field.text, "")
            // Spaces only, or while busy: nothing is sent.
            field.text = "   "
            keyClick(Qt.Key_Return)
            model.isBusy = true
            field.text = "https://youtu.be/abcdefghijk"
            keyClick(Qt.Key_Return)
            compare(model.downloads.length, 2)
        }

        function test_playlistsAndSync() {
            const button = child("syncButton")
            verify(child("noPlaylists").visible)
            verify(!button.enabled)
            // A playlist that is not enabled does not count.
            const now = Date.now() / 1000
            model.playlists = [{ id: 3, title: "Stopped", intervalMin: 15, enabled: false }]
            verify(child("noPlaylists").visible)
            verify(!button.enabled)

            model.playlists = [
                { id: 1, title: "Music", intervalMin: 30, enabled: true, lastCheckedAt: now - 300 },
                { id: 2, title: "Talks", intervalMin: 60, enabled: true, lastCheckedAt: null },
                { id: 3, title: "Stopped", intervalMin: 15, enabled: false, lastCheckedAt: null }
            ]
            popover.now = now
            verify(!child("noPlaylists").visible)
            compare(child("playlistRows").count, 2)
            compare(findChild(child("playlistRows").itemAt(0), "playlistStatus").text,
                    "checked 5 minutes ago · every 30 min")
            mouseClick(button)
            compare(model.syncRequests, 1)
            model.isBusy = true
            verify(!button.enabled)
            mouseClick(button)
            compare(model.syncRequests, 1)
        }

        function test_footer() {
            openSpy.target = popover
            quitSpy.target = popover
            for (const name of ["libraryButton", "activityButton", "settingsButton"])
                mouseClick(child(name))
            compare(openSpy.count, 3)
            compare([0, 1, 2].map(i => openSpy.signalArguments[i][0]),
                    ["library", "activity", "settings"])
            compare(quitSpy.count, 0)
            mouseClick(child("quitButton"))
            compare(quitSpy.count, 1)
        }

        function test_theThemeFollowsTheStoredAppearance() {
            const window = createTemporaryObject(popoverWindowComponent, testHost, { model: model })
            verify(window !== null)
            for (const appearance of ["light", "matrix", "dark"]) {
                model.appearance = appearance
                compare(Theme.appearance, appearance)
            }
        }
    }
}
