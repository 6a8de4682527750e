import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views
import "../../ui/views/settings/settings.js" as SettingsText

// The Settings window's view over a real model: the playlist form against the yt-dlp
// stand-in, the synced playlists, the shortcut, appearance, login item, summaries and reset.
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

    SignalSpy {
        id: resetSpy
        signalName: "resetDone"
    }

    TestCase {
        name: "SettingsWindow"
        when: windowShown

        function init() {
            failOnWarning(/.?/)
            view.group = 0
            view.message = ""
            view.messageIsError = false
            find("linkField").text = ""
            view.interval = SettingsText.defaultInterval
            resetSpy.clear()
        }

        function cleanup() {
            for (const name of ["resetSheet", "licenseSheet"]) {
                const sheet = find(name)
                if (sheet.opened)
                    sheet.close()
            }
            root.model = null
        }

        function start(options) {
            root.model = fixture.start(options || {})
            resetSpy.target = root.model
            return root.model
        }

        function find(name) {
            const item = findChild(view, name)
            verify(item !== null, "no item " + name)
            return item
        }

        function segment(control, label) {
            const pending = [control]
            while (pending.length > 0) {
                const item = pending.shift()
                if (item.chosen !== undefined && item.text === label)
                    return item
                for (let i = 0; i < item.children.length; ++i)
                    pending.push(item.children[i])
            }
            fail("no segment " + label)
        }

        // The section titles of a group, top to bottom.
        function sectionTitles(group) {
            const sections = []
            for (let i = 0; i < group.children.length; ++i) {
                const child = group.children[i]
                const title = findChild(child, "sectionTitle")
                if (title !== null)
                    sections.push({ y: child.y, title: title.text })
            }
            sections.sort((a, b) => a.y - b.y)
            return sections.map(section => section.title)
        }

        // Scrolls the page so that `item` is on screen, then clicks it.
        function click(item) {
            // Layouts place their items when they are polished, before the next frame.
            for (let up = item; up; up = up.parent)
                waitForItemPolished(up)
            const page = find("page")
            const at = item.mapToItem(page.contentItem, 0, 0)
            if (at.y < page.contentY || at.y + item.height > page.contentY + page.height)
                page.contentY = Math.max(0, Math.min(at.y - 20, page.contentHeight - page.height))
            mouseClick(item)
        }

        function rowValue(row) {
            return findChild(row, "rowValue")
        }

        function typeLink(text) {
            const field = find("linkField")
            field.forceActiveFocus()
            field.text = text
        }

        function test_groups_hold_their_sections_in_order() {
            start()
            compare(sectionTitles(find("downloadGroup")),
                    ["Library folder", "Playlist downloads", "Single downloads",
                     "Download quality"])
            mouseClick(find("appTab"))
            compare(view.group, 1)
            verify(find("appGroup").visible)
            verify(!find("downloadGroup").visible)
            compare(sectionTitles(find("appGroup")), ["Appearance", "General", "About", "Reset"])
        }

        function test_saving_a_public_playlist_adds_it_and_syncs() {
            const model = start()
            fixture.addVideo({ id: "aaaaaaaaaaa", title: "First" })
            fixture.addPlaylist("PLgood", "Weekend", ["aaaaaaaaaaa"])
            typeLink("https://www.youtube.com/playlist?list=PLgood")
            click(segment(find("intervalChoice"), "2 hours"))
            compare(view.interval, 120)
            const save = find("saveButton")
            verify(save.enabled)
            view.message = "an earlier answer"
            click(save)
            compare(save.text, "Checking…")
            verify(!save.enabled)
            compare(view.message, "")
            tryVerify(() => view.message !== "", 20000)
            compare(save.text, "Save and sync")
            const folder = model.playlists[0].folder
            compare(view.message, "✓ Weekend → " + folder + " · syncing now (see the menu bar)")
            verify(folder.startsWith(model.playlistRoot + "/"), folder)
            const line = find("saveMessage")
            verify(line.visible)
            verify(Qt.colorEqual(line.color, Theme.success))
            // The sync started right away and the playlist shows with its 2-hour interval.
            tryCompare(model, "isBusy", false, 30000)
            compare(model.enabledPlaylists.length, 1)
            compare(model.enabledPlaylists[0].intervalMin, 120)
            const status = find("playlistStatus")
            verify(/^checked .* · every 2 h$/.test(status.text), status.text)
            compare(find("playlistTitle").text, "Weekend")
            compare(find("playlistFolder").text, folder)
        }

        function test_a_private_playlist_is_refused_with_the_reason() {
            const model = start()
            fixture.addPlaylist("PLhidden", "Hidden", [], "private")
            typeLink("https://www.youtube.com/playlist?list=PLhidden")
            click(find("saveButton"))
            tryVerify(() => view.message !== "", 20000)
            verify(view.messageIsError)
            verify(view.message.endsWith(" — is the playlist public or unlisted?"), view.message)
            verify(view.message.indexOf("does not exist or is private") >= 0, view.message)
            verify(Qt.colorEqual(find("saveMessage").color, Theme.error))
            compare(model.playlists.length, 0)
            compare(model.lastError, "")
            compare(model.isBusy, false)
        }

        function test_playlist_status_lines_data() {
            return [
                { tag: "15 min, never", interval: 15, ago: -1,
                  line: "not checked yet · every 15 min" },
                { tag: "30 min, 5 minutes", interval: 30, ago: 300,
                  line: "checked 5 minutes ago · every 30 min" },
                { tag: "1 hour, 2 hours", interval: 60, ago: 7200,
                  line: "checked 2 hours ago · every 1 h" },
                { tag: "2 hours, yesterday", interval: 120, ago: 86400 + 60,
                  line: "checked yesterday · every 2 h" }
            ]
        }

        function test_playlist_status_lines(data) {
            start()
            fixture.registerPlaylist("PLone", "One", data.interval)
            if (data.ago >= 0)
                fixture.markChecked("PLone", data.ago)
            view.now = Date.now() / 1000
            compare(find("playlistStatus").text, data.line)
        }

        function test_stop_syncing_removes_the_row() {
            const model = start()
            fixture.registerPlaylist("PLone", "One", 30)
            fixture.registerPlaylist("PLtwo", "Two", 15)
            compare(find("playlistRows").count, 2)
            const stop = find("stopButton")
            const title = findChild(stop.parent, "playlistTitle").text
            click(stop)
            compare(find("playlistRows").count, 1)
            compare(model.enabledPlaylists.length, 1)
            verify(model.enabledPlaylists[0].title !== title)
            // The playlist stays in the catalog, only disabled.
            compare(model.playlists.length, 2)
        }

        function test_shortcut_row_data() {
            return [
                { tag: "registered", shortcut: true, value: "Ctrl+Alt+Y",
                  note: "Paste a link in the menu-bar popover, or copy a video link anywhere "
                        + "and press Ctrl+Alt+Y." },
                { tag: "taken", shortcut: false, value: "Unavailable",
                  note: "The desktop refused Ctrl+Alt+Y — another app is probably using it. "
                        + "Paste links in the popover instead." }
            ]
        }

        function test_shortcut_row(data) {
            start({ shortcut: data.shortcut })
            const value = rowValue(find("shortcutRow"))
            compare(value.text, data.value)
            verify(Qt.colorEqual(value.color, data.shortcut ? Theme.accent : Theme.warning))
            compare(find("shortcutNote").text, data.note)
        }

        function test_folders_follow_the_library_folder() {
            const model = start()
            const note = "Playlist videos go in ~/Videos/kelvo/Playlist, single downloads in "
                       + "~/Videos/kelvo/Singles. Changing the folder applies to new downloads; "
                       + "files already downloaded stay where they are."
            compare(find("libraryFolder").text, "~/Videos/kelvo")
            compare(find("folderNote").text, note)
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

        function test_summaries_line_names_the_local_model_data() {
            return [
                { tag: "a model answers", summaries: true },
                { tag: "no model server", summaries: false }
            ]
        }

        function test_summaries_line_names_the_local_model(data) {
            const model = start({ summaries: data.summaries })
            model.checkSummaries()
            const value = rowValue(find("summariesModelRow"))
            tryVerify(() => model.summariesStatus !== "", 10000)
            if (data.summaries) {
                compare(value.text, "stand-in-model at " + fixture.modelServerURL())
                verify(Qt.colorEqual(value.color, Theme.secondary))
            } else {
                verify(value.text.startsWith("Unavailable: "), value.text)
                verify(Qt.colorEqual(value.color, Theme.warning))
            }
        }

        function test_appearance_is_stored_at_once() {
            const model = start()
            mouseClick(find("appTab"))
            const choice = find("appearanceChoice")
            compare(choice.selection, "dark")
            for (const [label, value] of [["Light", "light"], ["Follow system", "system"],
                                          ["dot.Matrix", "matrix"], ["Dark", "dark"]]) {
                click(segment(choice, label))
                compare(model.appearance, value)
                compare(choice.selection, value)
            }
        }

        function test_open_at_login_shows_what_the_model_says_data() {
            return [
                { tag: "works", failure: undefined, after: true },
                { tag: "fails", failure: "autostart folder is read-only", after: false }
            ]
        }

        function test_open_at_login_shows_what_the_model_says(data) {
            const model = start(data.failure ? { loginFailure: data.failure } : {})
            mouseClick(find("appTab"))
            const toggle = find("loginToggle")
            compare(toggle.checked, false)
            click(toggle)
            compare(model.launchAtLogin, data.after)
            compare(toggle.checked, data.after)
            if (data.failure)
                compare(model.lastError, "Login item: " + data.failure)
            // The switch still follows the model afterwards.
            if (data.after) {
                model.setLaunchAtLogin(false)
                compare(toggle.checked, false)
            }
        }

        function test_reset_waits_and_passes_the_switch_data() {
            return [
                { tag: "keep videos", trash: false },
                { tag: "trash videos", trash: true }
            ]
        }

        function test_reset_waits_and_passes_the_switch(data) {
            const model = start()
            fixture.addVideo({ id: "aaaaaaaaaaa", title: "First" })
            compare(model.download("https://www.youtube.com/watch?v=aaaaaaaaaaa", false), 0)
            tryCompare(model, "isBusy", false, 30000)
            const file = fixture.videoFile("aaaaaaaaaaa")

            mouseClick(find("appTab"))
            click(find("resetButton"))
            const sheet = find("resetSheet")
            tryCompare(sheet, "opened", true)
            compare(findChild(sheet.contentItem, "sheetTitle").text,
                    "Reset kelvo to factory settings?")
            compare(findChild(sheet.contentItem, "sheetMessage").text,
                    "Syncing stops, the Library and all settings are cleared, Open at login is "
                    + "turned off, and kelvo relaunches as on first launch. The catalog moves to "
                    + "a dated backup folder beside it in ~/.local/share.")
            const toggle = find("trashVideosToggle")
            compare(toggle.checked, false)
            if (data.trash)
                mouseClick(toggle)
            compare(view.resetTrashVideos, data.trash)
            mouseClick(findChild(sheet.contentItem, "confirmButton"))
            tryCompare(sheet, "opened", false)
            // Nothing happens before the 0.4 s are up.
            wait(250)
            compare(resetSpy.count, 0)
            resetSpy.wait(2000)
            compare(fixture.relaunches, 1)
            compare(fixture.trashed.indexOf(file) >= 0, data.trash)
            compare(fixture.fileExists(file), !data.trash)
        }

        function test_reset_cancelled_does_nothing() {
            start()
            mouseClick(find("appTab"))
            click(find("resetButton"))
            const sheet = find("resetSheet")
            tryCompare(sheet, "opened", true)
            mouseClick(find("trashVideosToggle"))
            mouseClick(findChild(sheet.contentItem, "cancelButton"))
            tryCompare(sheet, "opened", false)
            wait(600)
            compare(resetSpy.count, 0)
            // The switch is off again the next time.
            click(find("resetButton"))
            tryCompare(sheet, "opened", true)
            compare(find("trashVideosToggle").checked, false)
        }
    }
}
