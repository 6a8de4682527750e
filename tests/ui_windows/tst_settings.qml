import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views
import "../../ui/views/settings/settings.js" as SettingsText

// The Settings window's view: sections, rows, switches and the reset against a stand-in model,
// and the playlist form against a real model and the yt-dlp stand-in.
Item {
    id: root
    width: 600
    height: 640

    property QtObject model: null

    SettingsView {
        id: view
        anchors.fill: parent
        model: root.model
    }

    StandInModel {
        id: standIn
    }

    TestCase {
        name: "SettingsWindow"
        when: windowShown

        function init() {
            failOnWarning(/.?/)
            view.group = 0
            view.message = ""
            find("linkField").text = ""
            view.interval = SettingsText.defaultInterval
            standIn.calls = []
            root.model = standIn
        }

        function cleanup() {
            find("resetSheet").close()
            root.model = null
        }

        function find(name, within) {
            const item = findChild(within || view, name)
            verify(item !== null, "no item " + name)
            return item
        }

        function segment(control, label) {
            const pending = [control]
            while (pending.length > 0) {
                const item = pending.shift()
                if (item.chosen !== undefined && item.text === label)
                    return item
                pending.push(...Array.from(item.children))
            }
            fail("no segment " + label)
        }

        // Scrolls the page so that `item` is on screen, then clicks it once it is laid out.
        function click(item) {
            for (let up = item; up; up = up.parent)
                waitForItemPolished(up)
            const page = find("page")
            const at = item.mapToItem(page.contentItem, 0, 0)
            if (at.y < page.contentY || at.y + item.height > page.contentY + page.height)
                page.contentY = Math.max(0, Math.min(at.y - 20, page.contentHeight - page.height))
            mouseClick(item)
        }

        function rowValue(name) {
            return find("rowValue", find(name))
        }

        // The section titles of a group, top to bottom.
        function sectionTitles(group) {
            return Array.from(find(group).children).filter(child => findChild(child, "sectionTitle"))
                .sort((a, b) => a.y - b.y).map(child => findChild(child, "sectionTitle").text)
        }

        function test_groups_hold_their_sections_in_order() {
            compare(sectionTitles("downloadGroup"),
                    ["Library folder", "Playlist downloads", "Single downloads", "Download quality"])
            click(find("appTab"))
            verify(find("appGroup").visible)
            verify(!find("downloadGroup").visible)
            compare(sectionTitles("appGroup"), ["Appearance", "General", "About", "Reset"])
        }

        function test_rows_follow_the_model() {
            const cases = [
                { shortcut: true, status: "", available: false, value: "Ctrl+Alt+Y",
                  tone: Theme.accent, note: "press Ctrl+Alt+Y.", line: "Checking…" },
                { shortcut: false, status: "Unavailable: no server", available: false,
                  value: "Unavailable", tone: Theme.warning, note: "Paste links in the popover",
                  line: "Unavailable: no server" },
                { shortcut: true, status: "m at http://x", available: true, value: "Ctrl+Alt+Y",
                  tone: Theme.accent, note: "press Ctrl+Alt+Y.", line: "m at http://x" }
            ]
            for (const c of cases) {
                standIn.clipboardShortcutActive = c.shortcut
                standIn.summariesStatus = c.status
                standIn.summariesAvailable = c.available
                compare(rowValue("shortcutRow").text, c.value)
                verify(Qt.colorEqual(rowValue("shortcutRow").color, c.tone), c.value)
                verify(find("shortcutNote").text.indexOf(c.note) >= 0, find("shortcutNote").text)
                compare(rowValue("summariesModelRow").text, c.line)
                verify(Qt.colorEqual(rowValue("summariesModelRow").color,
                                     c.available ? Theme.secondary : Theme.warning), c.line)
            }
            // A playlist's line: when it was checked and how often it is.
            const now = 1700000000
            view.now = now
            for (const [interval, ago, line] of [[15, null, "not checked yet · every 15 min"],
                                                 [30, 300, "checked 5 minutes ago · every 30 min"],
                                                 [60, 7200, "checked 2 hours ago · every 1 h"],
                                                 [120, 86460, "checked yesterday · every 2 h"]]) {
                standIn.enabledPlaylists = [{ id: 1, title: "One", folder: "/v/One",
                                              intervalMin: interval,
                                              lastCheckedAt: ago === null ? null : now - ago }]
                compare(find("playlistStatus").text, line)
            }
        }

        function test_appearance_and_the_login_switch() {
            click(find("appTab"))
            const choice = find("appearanceChoice")
            for (const [label, value] of [["Light", "light"], ["Follow system", "system"],
                                          ["dot.Matrix", "matrix"], ["Dark", "dark"]]) {
                click(segment(choice, label))
                compare(standIn.appearance, value)
                compare(choice.selection, value)
            }
            // The switch shows what the model says, not what was clicked.
            const toggle = find("loginToggle")
            for (const works of [false, true]) {
                standIn.loginWorks = works
                compare(toggle.checked, false)
                click(toggle)
                compare(standIn.calls[standIn.calls.length - 1], "login true")
                compare(toggle.checked, works)
            }
            standIn.launchAtLogin = false
            compare(toggle.checked, false)
        }

        function test_reset_runs_after_a_moment_with_the_switch_as_it_was() {
            click(find("appTab"))
            const sheet = find("resetSheet")
            const toggle = find("trashVideosToggle")
            const timer = find("resetTimer")
            // Cancelled, nothing is set to run; the switch is off again the next time.
            for (const button of ["cancelButton", "confirmButton", "confirmButton"]) {
                click(find("resetButton"))
                tryCompare(sheet, "opened", true)
                compare(toggle.checked, false)
                const trash = standIn.calls.length > 0
                if (button === "cancelButton" || trash)
                    click(toggle)
                const clicked = Date.now()
                click(find(button, sheet.contentItem))
                tryCompare(sheet, "opened", false)
                if (button === "cancelButton") {
                    verify(!timer.running)
                    continue
                }
                const calls = standIn.calls.length
                tryVerify(() => standIn.calls.length > calls, 5000)
                compare(standIn.calls[calls], "reset " + trash)
                // Qt's timers may fire up to 5 % early.
                verify(standIn.resetAt - clicked >= 380, standIn.resetAt - clicked)
            }
            compare(standIn.calls, ["reset false", "reset true"])
        }

        function test_saving_playlists_against_the_service() {
            const model = root.model = fixture.start(true)
            model.checkSummaries()
            // The local model's line names the model the summarizer found.
            tryCompare(rowValue("summariesModelRow"), "text",
                       "stand-in-model at " + fixture.modelServerURL(), 10000)
            fixture.addVideo("aaaaaaaaaaa", "First", [])
            fixture.addPlaylist("PLgood", "Weekend", ["aaaaaaaaaaa"], false)
            fixture.addPlaylist("PLhidden", "Hidden", [], true)
            const save = find("saveButton")

            // A private playlist is refused with the service's reason.
            find("linkField").text = "https://www.youtube.com/playlist?list=PLhidden"
            click(save)
            tryVerify(() => view.message !== "", 20000)
            verify(view.message.indexOf("does not exist or is private") >= 0, view.message)
            verify(view.message.endsWith(" — is the playlist public or unlisted?"), view.message)
            verify(Qt.colorEqual(find("saveMessage").color, Theme.error))
            compare(model.playlists.length, 0)

            // A public one is saved with the chosen interval and synced at once.
            find("linkField").text = "https://www.youtube.com/playlist?list=PLgood"
            click(segment(find("intervalChoice"), "2 hours"))
            click(save)
            compare(save.text, "Checking…")
            verify(!save.enabled)
            compare(view.message, "")
            tryVerify(() => view.message !== "", 20000)
            compare(save.text, "Save and sync")
            const folder = model.playlists[0].folder
            compare(view.message, "✓ Weekend → " + folder + " · syncing now (see the menu bar)")
            verify(Qt.colorEqual(find("saveMessage").color, Theme.success))
            tryCompare(model, "isBusy", false, 30000)
            verify(/^checked .* · every 2 h$/.test(find("playlistStatus").text),
                   find("playlistStatus").text)
            compare(find("playlistTitle").text, "Weekend")
            compare(find("playlistFolder").text, folder)

            // Stopping takes the row away; the playlist stays in the catalog.
            click(find("stopButton"))
            compare(find("playlistRows").count, 0)
            compare(model.playlists.length, 1)

            model.setLibraryFolder("/media/disk/My Videos")
            compare(find("libraryFolder").text, "/media/disk/My Videos")
            verify(find("folderNote").text.startsWith(
                       "Playlist videos go in /media/disk/My Videos/Playlist, single downloads in "
                       + "/media/disk/My Videos/Singles."))
        }

        function test_folder_chooser_paths() {
            compare(SettingsText.folderUrl("~/Videos/kelvo", "file:///home/ann"),
                    "file:///home/ann/Videos/kelvo")
            compare(SettingsText.folderUrl("/media/My Videos", "file:///home/ann"),
                    "file:///media/My%20Videos")
            compare(SettingsText.localPath("file:///media/My%20Videos/%C3%A9t%C3%A9"),
                    "/media/My Videos/été")
            compare(SettingsText.localPath(SettingsText.folderUrl("/a b/c#d%e", "file:///h")),
                    "/a b/c#d%e")
        }
    }
}
