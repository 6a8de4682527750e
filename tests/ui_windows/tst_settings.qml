import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views
import "../../ui/views/settings/settings.js" as SettingsText

// The Settings window's view: sections, rows, the playlist form, switches and the reset against
// a stand-in model, and a pass over a real model with the yt-dlp stand-in.
Item {
    width: 600
    height: 640

    SettingsView {
        id: view
        anchors.fill: parent
    }

    StandInModel {
        id: standIn
    }

    WindowTestCase {
        name: "SettingsWindow"
        view: view

        function initTestCase() {
            page = find("page")
        }

        function init() {
            view.group = 0
            view.message = ""
            find("linkField").text = ""
            standIn.calls = []
            view.model = standIn
        }

        function cleanup() {
            find("resetSheet").close()
            view.model = null
        }

        function value(row) {
            return find("rowValue", find(row))
        }

        function colour(item, tone) {
            verify(Qt.colorEqual(item.color, Theme[tone]), item.text + " in " + item.color)
        }

        // The section titles of a group, top to bottom.
        function sections(group) {
            return Array.from(find(group).children).filter(child => findChild(child, "sectionTitle"))
                .sort((a, b) => a.y - b.y).map(child => findChild(child, "sectionTitle").text)
        }

        function test_groups_hold_their_sections_in_order() {
            compare(sections("downloadGroup"),
                    ["Library folder", "Playlist downloads", "Single downloads", "Download quality"])
            click(find("appTab"))
            verify(find("appGroup").visible && !find("downloadGroup").visible)
            compare(sections("appGroup"), ["Appearance", "General", "About", "Reset"])
        }

        function test_rows_follow_the_model() {
            for (const [shortcut, shown, note, status, line, tone] of [
                     [true, "Ctrl+Alt+Y", "press Ctrl+Alt+Y.", "", "Checking…", "warning"],
                     [false, "Unavailable", "popover instead.", "Unavailable: no", "Unavailable: no", "warning"],
                     [true, "Ctrl+Alt+Y", "press Ctrl+Alt+Y.", "m at http://x", "m at http://x", "secondary"]]) {
                standIn.clipboardShortcutActive = shortcut
                standIn.summariesStatus = status
                standIn.summariesAvailable = tone === "secondary"
                compare(value("shortcutRow").text, shown)
                colour(value("shortcutRow"), shortcut ? "accent" : "warning")
                verify(find("shortcutNote").text.endsWith(note), find("shortcutNote").text)
                compare(value("summariesModelRow").text, line)
                colour(value("summariesModelRow"), tone)
            }
            // A playlist's line: when it was checked and how often.
            view.now = 1700000000
            for (const [every, ago, line] of [[15, null, "not checked yet · every 15 min"],
                                              [30, 300, "checked 5 minutes ago · every 30 min"],
                                              [60, 7200, "checked 2 hours ago · every 1 h"],
                                              [120, 86460, "checked yesterday · every 2 h"]]) {
                standIn.enabledPlaylists = [{ id: 1, title: "One", folder: "/v/One", intervalMin: every,
                                              lastCheckedAt: ago === null ? null : view.now - ago }]
                compare(find("playlistStatus").text, line)
            }
        }

        function test_the_playlist_form_waits_for_the_answer_and_shows_it() {
            const save = find("saveButton")
            verify(!save.enabled)
            find("linkField").text = " PLx "
            click(segment(find("intervalChoice"), "2 hours"))
            click(save)
            compare(standIn.calls, ["save PLx 120"])
            compare(save.text, "Checking…")
            verify(!save.enabled && !find("linkField").enabled)
            for (const ok of [false, true]) {
                standIn.savingPlaylist = false
                standIn.playlistSaved(ok, "answer " + ok)
                compare(find("saveMessage").text, "answer " + ok)
                colour(find("saveMessage"), ok ? "success" : "error")
            }
            compare(save.text, "Save and sync")
        }

        function test_appearance_and_the_login_switch() {
            click(find("appTab"))
            const choice = find("appearanceChoice")
            for (const [label, value] of [["Light", "light"], ["Follow system", "system"],
                                          ["dot.Matrix", "matrix"], ["Dark", "dark"]]) {
                click(segment(choice, label))
                compare([standIn.appearance, choice.selection], [value, value])
            }
            // The switch shows what the model says, not what was clicked.
            const toggle = find("loginToggle")
            for (const works of [false, true]) {
                standIn.loginWorks = works
                click(toggle)
                compare([standIn.calls.pop(), toggle.checked], ["login true", works])
            }
            standIn.launchAtLogin = false
            verify(!toggle.checked)
        }

        function test_reset_runs_a_moment_later_with_the_switch_as_it_was() {
            click(find("appTab"))
            const sheet = find("resetSheet")
            // Cancelled, nothing is set to run; the switch is off again every time.
            for (const [button, trash] of [["cancelButton", true], ["confirmButton", false],
                                           ["confirmButton", true]]) {
                click(find("resetButton"))
                tryCompare(sheet, "opened", true)
                verify(!find("trashVideosToggle").checked)
                if (trash)
                    click(find("trashVideosToggle"))
                standIn.resetAt = 0
                const clicked = Date.now()
                click(find(button, sheet.contentItem))
                tryCompare(sheet, "opened", false)
                if (button === "cancelButton") {
                    verify(!find("resetTimer").running)
                    continue
                }
                tryVerify(() => standIn.resetAt > 0, 5000)
                // Qt's timers may fire up to 5 % early.
                verify(standIn.resetAt - clicked >= 380, standIn.resetAt - clicked)
            }
            compare(standIn.calls, ["reset false", "reset true"])
        }

        function test_folder_chooser_paths() {
            for (const [path, url] of [["~/Videos/kelvo", "file:///home/ann/Videos/kelvo"],
                                       ["/media/My Videos/été", "file:///media/My%20Videos/%C3%A9t%C3%A9"],
                                       ["/a b/c#d%e", "file:///a%20b/c%23d%25e"]]) {
                compare(SettingsText.folderUrl(path, "file:///home/ann"), url)
                compare(SettingsText.localPath(url), path.replace("~", "/home/ann"))
            }
        }

        function test_a_real_model() {
            const model = view.model = fixture.start()
            model.checkSummaries()
            tryCompare(value("summariesModelRow"), "text", "Unavailable: summaries are turned off", 10000)
            fixture.addVideo("aaaaaaaaaaa", "First")
            fixture.addPlaylist("PLgood", "Weekend", ["aaaaaaaaaaa"])
            find("linkField").text = "https://www.youtube.com/playlist?list=PLgood"
            click(find("saveButton"))
            tryVerify(() => view.message !== "" && !model.isBusy, 30000)
            const folder = model.playlists[0].folder
            compare(view.message, "✓ Weekend → " + folder + " · syncing now (see the menu bar)")
            verify(/^checked .* · every 30 min$/.test(find("playlistStatus").text))
            compare([find("playlistTitle").text, find("playlistFolder").text], ["Weekend", folder])
            // Stopping takes the row away; the playlist stays in the catalog.
            click(find("stopButton"))
            compare([find("playlistRows").count, model.playlists.length], [0, 1])
            model.setLibraryFolder("/media/My Videos")
            compare(find("libraryFolder").text, "/media/My Videos")
            verify(find("folderNote").text.startsWith("Playlist videos go in /media/My Videos/Playlist, "
                                                      + "single downloads in /media/My Videos/Singles."))
        }
    }
}
