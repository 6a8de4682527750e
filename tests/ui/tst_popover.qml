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
            id: popoverWindowComponent
            PopoverWindow {}
        }
        Component {
            id: popoverComponent
            Popover {}
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

        function shown(name) {
            const item = child(name)
            return item.visible
        }

        function test_idle() {
            compare(child("statusLabel").text, "Status")
            verify(shown("idle"))
            compare(child("idle").text, "Idle")
            verify(!shown("currentTitle"))
            verify(!shown("latestActivity"))
            verify(!shown("lastError"))
            verify(!shown("progress"))
            compare(child("savesTo").text, "Saves to ~/Videos/kelvo/Singles · best up to 1080p")
            verify(shown("shortcutTip"))
            compare(child("shortcutTip").text,
                    "Tip: copy a video link anywhere, then press Ctrl+Alt+Y.")
            compare(child("buildPill").text, model.buildPill)
            compare(child("buildPill").help, "Build: " + model.buildPill)
        }

        function test_statusLines() {
            model.activity = ["Checking Music…", "✓ Music: 2 new"]
            verify(!shown("idle"))
            verify(shown("latestActivity"))
            compare(child("latestActivity").text, "✓ Music: 2 new")

            model.isBusy = true
            model.currentTitle = "A video title"
            compare(child("statusLabel").text, "Working")
            verify(shown("currentTitle"))
            compare(child("currentTitle").text, "A video title")
            verify(!shown("latestActivity"))
            verify(!shown("idle"))

            model.lastError = "yt-dlp was not found"
            verify(shown("lastError"))
            compare(child("lastError").text, "yt-dlp was not found")
        }

        function test_progress() {
            model.isBusy = true
            model.syncIndex = 3
            model.syncTotal = 12
            verify(shown("progress"))
            compare(child("progress").text, "Entry 3 of 12")
            model.downloadedBytes = 4200000
            compare(child("progress").text, "Entry 3 of 12 · 4.20 MB so far")
            model.isBusy = false
            verify(!shown("progress"))
        }

        function test_getEnabling_data() {
            return [
                { tag: "empty", link: "", busy: false, enabled: false },
                { tag: "spaces", link: "   ", busy: false, enabled: false },
                { tag: "tab and newline", link: "\t\n", busy: false, enabled: false },
                { tag: "a link", link: "https://youtu.be/abcdefghijk", busy: false, enabled: true },
                { tag: "surrounding spaces", link: "  youtu.be/abc  ", busy: false, enabled: true },
                { tag: "busy", link: "https://youtu.be/abcdefghijk", busy: true, enabled: false }
            ]
        }

        function test_getEnabling(data) {
            model.isBusy = data.busy
            child("linkField").text = data.link
            compare(child("getButton").enabled, data.enabled)
        }

        function test_getPassesTheTextAsTypedAndClearsTheField() {
            const field = child("linkField")
            field.text = "  https://youtu.be/abcdefghijk "
            mouseClick(child("getButton"))
            compare(model.downloads.length, 1)
            compare(model.downloads[0].link, "  https://youtu.be/abcdefghijk ")
            compare(model.downloads[0].fromClipboard, false)
            compare(field.text, "")
            verify(!child("getButton").enabled)
        }

        function test_returnInTheField() {
            const field = child("linkField")
            field.forceActiveFocus()
            field.text = "https://youtu.be/abcdefghijk"
            keyClick(Qt.Key_Return)
            compare(model.downloads.length, 1)
            compare(field.text, "")
            // Spaces only, or while busy: nothing is sent.
            field.text = "   "
            keyClick(Qt.Key_Return)
            model.isBusy = true
            field.text = "https://youtu.be/abcdefghijk"
            keyClick(Qt.Key_Return)
            compare(model.downloads.length, 1)
        }

        function test_noShortcutNoTip() {
            model.clipboardShortcutActive = false
            verify(!shown("shortcutTip"))
        }

        function test_noPlaylists() {
            verify(shown("noPlaylists"))
            compare(child("noPlaylists").text,
                    "No .kelvo playlist yet — open Settings to add its link.")
            verify(!child("syncButton").enabled)
            // A playlist that is not enabled does not count.
            model.playlists = [{ id: 1, title: "Old", intervalMin: 30, enabled: false,
                                 lastCheckedAt: null }]
            verify(shown("noPlaylists"))
            verify(!child("syncButton").enabled)
        }

        function test_playlistRows() {
            const now = Date.now() / 1000
            model.playlists = [
                { id: 1, title: "Music", intervalMin: 30, enabled: true, lastCheckedAt: now - 300 },
                { id: 2, title: "Talks", intervalMin: 60, enabled: true, lastCheckedAt: null },
                { id: 3, title: "Stopped", intervalMin: 15, enabled: false, lastCheckedAt: null }
            ]
            popover.now = now
            verify(!shown("noPlaylists"))
            compare(child("playlistRows").count, 2)
            const lines = []
            for (let i = 0; i < 2; ++i)
                lines.push(findChild(child("playlistRows").itemAt(i), "playlistStatus").text)
            compare(lines, ["checked 5 minutes ago · every 30 min",
                            "not checked yet · every 60 min"])
        }

        function test_syncNow() {
            model.playlists = [{ id: 1, title: "Music", intervalMin: 30, enabled: true,
                                 lastCheckedAt: null }]
            const button = child("syncButton")
            verify(button.enabled)
            mouseClick(button)
            compare(model.syncRequests, 1)
            model.isBusy = true
            verify(!button.enabled)
            mouseClick(button)
            compare(model.syncRequests, 1)
        }

        SignalSpy {
            id: openSpy
            signalName: "openWindow"
        }
        SignalSpy {
            id: quitSpy
            signalName: "quitRequested"
        }

        function test_footer() {
            openSpy.clear()
            openSpy.target = popover
            quitSpy.clear()
            quitSpy.target = popover
            mouseClick(child("libraryButton"))
            mouseClick(child("activityButton"))
            mouseClick(child("settingsButton"))
            compare(openSpy.count, 3)
            compare([openSpy.signalArguments[0][0], openSpy.signalArguments[1][0],
                     openSpy.signalArguments[2][0]], ["library", "activity", "settings"])
            compare(quitSpy.count, 0)
            mouseClick(child("quitButton"))
            compare(quitSpy.count, 1)
        }
    
        function test_theAppFollowsTheStoredAppearance() {
            const window = createTemporaryObject(popoverWindowComponent, testHost, { model: model })
            verify(window !== null)
            compare(String(Theme.background), "#0e1117")
            model.appearance = "light"
            compare(String(Theme.background), "#f6f7f9")
            model.appearance = "matrix"
            compare(String(Theme.text), "#00ff41")
            model.appearance = "nonsense"
            compare(String(Theme.background), "#0e1117")
        }
    }
}
