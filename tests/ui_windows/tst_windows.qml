import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views
import "../ui" as UiTests

// The Library, Settings and Activity windows' views side by side: texts, colours and enabling
// rules against a stand-in model (the Library with the model's own entry maps), and one pass
// over a real model whose catalog kelvo's jobs fill from the yt-dlp stand-in for each.
Item {
    width: 2260
    height: 640

    LibraryView {
        id: library
        width: 900
        height: 560
    }

    SettingsView {
        id: settings
        x: 900
        width: 600
        height: 640
    }

    ActivityView {
        id: activity
        x: 1500
        width: 760
        height: 440
    }

    WindowTestCase {
        name: "LibraryWindow"
        view: library

        function init() {
            find("confirmDelete").close()
            library.source = "all"
            find("searchField").text = ""
            library.selection = ""
            standIn.calls = []
            library.model = standIn
        }

        function titles() {
            return library.shown.map(entry => entry.title)
        }

        function show(entries) {
            standIn.list = entries.map(fields => fixture.entry(fields))
            library.reload()
        }

        function row(videoID) {
            const index = library.shown.findIndex(entry => entry.videoID === videoID)
            find("list").positionViewAtIndex(index, ListView.Contain)
            return find("list").itemAtIndex(index)
        }

        // The removal sheet is open with this title; `button` is clicked and the sheet goes.
        function answerRemoval(button, title) {
            const sheet = find("confirmDelete")
            tryCompare(sheet, "opened", true)
            compare(find("sheetTitle", sheet.contentItem).text, title)
            // The card holds its text (a sheet without a height shows bare text).
            verify(sheet.background.height >= sheet.contentItem.height + 2 * sheet.padding)
            click(find(button, sheet.contentItem))
            tryCompare(sheet, "opened", false)
        }

        function test_each_status_has_its_pill_word_and_actions() {
            const present = ["playButton", "revealButton", "removeButton"]
            const id = "vvvvvvvvvvv"
            // The entry's fields; its status word and tone (the pill's unless given); the actions,
            // the note and the removal sheet's button ("" for none); the pill when not the word.
            for (const [fields, word, tone, actions, note, confirm, pill] of [
                     [{ status: "done", date: "20240131" }, "Downloaded", "success", present, "", "Move to Trash", ""],
                     [{ status: "done", archived: true, playlist: "Mix" }, "Archived", "warning", present, "",
                      "Move to Trash"],
                     [{ status: "done", missing: true, date: "2024013" }, "File missing", "error",
                      ["removeMissingButton"], "missingNote", "Move to Trash"],
                     [{ status: "failed", error: "it broke" }, "Failed", "error", ["retryButton", "removeButton"],
                      "", "Remove"],
                     [{ status: "needs_sign_in", error: "Sign in" }, "Needs sign-in", "error", ["removeButton"], "",
                      "Remove"],
                     [{ status: "downloading" }, "Downloading", "accent", [], "workingNote", ""],
                     [{ status: "queued" }, "Queued", "accent", [], "workingNote", "", "Downloading"]]) {
                standIn.calls = []
                show([Object.assign({ id: id, title: "Clip \"x\"" }, fields)])
                const shownPill = findChild(row(id), "statusPill")
                compare([shownPill.visible, shownPill.text], [pill !== "", pill ?? word])
                verify(pill === "" || Qt.colorEqual(shownPill.tone, Theme[tone]), word)
                compare(findChild(row(id), "rowLine").text, (fields.playlist ? "Playlist" : "Single") + "  ·  "
                        + ({ "20240131": "2024-01-31", "2024013": "2024013" }[fields.date] || "undated"))
                click(row(id))
                compare(find("statusWord").text, word)
                verify(Qt.colorEqual(find("statusWord").color, Theme[tone]), word)
                compare(["playButton", "retryButton", "revealButton", "removeButton", "removeMissingButton"]
                        .filter(name => find(name).visible && find("actions").visible), actions)
                compare(["missingNote", "workingNote"].filter(item => find(item).visible).join(), note)
                compare(find("detailError").text, fields.error || "")
                compare(find("detailSource").text, fields.playlist ? "Playlist · Mix" : "Single")

                // Each action reaches the model with the video's id; removal asks first.
                const calls = { playButton: "open ", revealButton: "reveal ", retryButton: "retry " }
                const asked = actions.filter(name => calls[name])
                asked.forEach(name => click(find(name)))
                find("list").forceActiveFocus()
                keyClick(Qt.Key_Delete)
                compare(find("confirmDelete").visible, confirm !== "", word)
                if (confirm) {
                    compare(find("confirmButton", find("confirmDelete").contentItem).text, confirm)
                    answerRemoval("confirmButton", "Delete \"Clip \"x\"\"?")
                    asked.push("remove")
                }
                compare(standIn.calls, asked.map(name => (calls[name] || "remove ") + id))
            }
        }

        function test_filter_empty_states_and_keyboard() {
            const single = { id: "sssssssssss", title: "A single", status: "done" }
            const listed = { id: "ppppppppppp", title: "Listed", status: "done", playlist: "Mix" }
            for (const [entries, source, query, shown, title] of [
                     [[], "all", "", [], "No videos yet"], [[single], "playlist", "", [], "No playlist videos"],
                     [[listed], "singles", "", [], "No single downloads"], [[], "all", "zebra", [], "No matches"],
                     [[single, listed], "playlist", "", ["Listed"]], [[single, listed], "all", "", ["A single", "Listed"]]]) {
                find("searchField").text = query
                compare(standIn.query, query)  // the search goes to the model
                library.source = source
                show(entries)
                compare([titles(), find("emptyState").visible], [shown, shown.length === 0])
                if (title)
                    compare(find("emptyTitle").text, title)
                compare(find("emptyHint").text.startsWith("Search looks"), query !== "")
            }
            // Up and Down move the selection, also from the search field; Return plays, Delete
            // asks and Escape cancels.
            find("searchField").forceActiveFocus()
            keyClick(Qt.Key_Down)
            keyClick(Qt.Key_Down)
            compare(find("detailTitle").text, "Listed")
            find("list").forceActiveFocus()
            for (const key of [Qt.Key_Down, Qt.Key_Up, Qt.Key_Up, Qt.Key_Return, Qt.Key_Delete])
                keyClick(key)
            tryCompare(find("confirmDelete"), "opened", true)
            keyClick(Qt.Key_Escape)
            tryCompare(find("confirmDelete"), "opened", false)
            // Return and keypad Enter press a focused button.
            find("playButton").forceActiveFocus()
            keyClick(Qt.Key_Return)
            keyClick(Qt.Key_Enter)
            compare(standIn.calls, Array(3).fill("open sssssssssss"))
        }

        function test_a_catalog_filled_by_kelvos_jobs() {
            const model = library.model = fixture.start()
            fixture.serve(["Banana bread", "Cycling"], "PLmix")
            for (const id of ["aaaaaaaaaaa", "bbbbbbbbbbb"]) {
                compare(model.download("https://www.youtube.com/watch?v=" + id, false), 0)
                tryCompare(model, "isBusy", false, 30000)
            }
            // The view read the listing again when each job had finished.
            compare(titles(), ["Cycling", "Banana bread"])
            find("searchField").text = "banana"
            compare(titles(), ["Banana bread"])
            click(row("aaaaaaaaaaa"))
            click(find("playButton"))
            click(find("revealButton"))
            const file = fixture.record().opened[0]
            verify(file.endsWith("Banana bread [aaaaaaaaaaa].mp4"), file)
            compare(fixture.record().revealed, [file])
            // Removal asks first: cancelling keeps everything; confirming trashes every copy.
            for (const button of ["cancelButton", "confirmButton"]) {
                click(find("removeButton"))
                answerRemoval(button, "Delete \"Banana bread\"?")
                compare(fixture.record().trashed.length, button === "cancelButton" ? 0 : 2)
            }
            verify(fixture.record().trashed.some(path => path === file))
            verify(fixture.record().trashed.some(path => path.endsWith(".nfo")))
            compare(titles(), [])
        }
    }

    WindowTestCase {
        name: "SettingsWindow"
        view: settings

        function init() {
            page = find("page")
            settings.group = 0
            settings.message = ""
            find("linkField").text = ""
            standIn.calls = []
            settings.model = standIn
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

        function test_sections_and_rows_follow_the_model() {
            compare(sections("downloadGroup"), ["Library folder", "Playlist downloads", "Single downloads",
                                                "Download quality", "Requests to YouTube", "Media servers"])
            const active = "Paste a link in the tray popover, or copy a video link anywhere and press Ctrl+Alt+Y."
            for (const [shortcut, shown, note, status, line, tone, problem] of [
                     [true, "Ctrl+Alt+Y", active, "", "Checking…", "warning", ""],
                     [false, "Unavailable", "popover instead.", "Unavailable: no", "Unavailable: no", "warning", ""],
                     [false, "Unavailable", "No portal here.", "", "Checking…", "warning", "No portal here."],
                     [true, "Ctrl+Alt+Y", active, "m at http://x", "m at http://x", "secondary", ""]]) {
                standIn.clipboardShortcutActive = shortcut
                standIn.shortcutProblem = problem
                standIn.summariesStatus = status
                standIn.summariesAvailable = tone === "secondary"
                compare(value("shortcutRow").text, shown)
                colour(value("shortcutRow"), shortcut ? "accent" : "warning")
                verify(find("shortcutNote").text.endsWith(note), find("shortcutNote").text)
                compare(value("summariesModelRow").text, line)
                colour(value("summariesModelRow"), tone)
            }
            // A playlist's line: when it was checked and how often.
            settings.now = 1700000000
            for (const [every, ago, line] of [[15, null, "not checked yet · every 15 min"],
                                              [30, 300, "checked 5 minutes ago · every 30 min"],
                                              [60, 7200, "checked 2 hours ago · every 1 h"],
                                              [30, -6, "checked now · every 30 min"],
                                              [120, 86460, "checked yesterday · every 2 h"]]) {
                standIn.enabledPlaylists = [{ id: 1, title: "One", folder: "/v/One", intervalMin: every,
                                              lastCheckedAt: ago === null ? null : settings.now - ago }]
                compare(find("playlistStatus").text, line)
            }
            // At the window's minimum width the buttons of the playlist form stay whole.
            settings.width = 560
            for (const name of ["saveButton", "stopButton"]) {
                const button = find(name)
                for (let up = button; up; up = up.parent)
                    waitForItemPolished(up)
                verify(button.width >= button.implicitWidth
                       && button.mapToItem(settings, button.width, 0).x <= 560, name)
            }
            settings.width = 600
            click(find("appTab"))
            verify(find("appGroup").visible && !find("downloadGroup").visible)
            compare(sections("appGroup"), ["Appearance", "General", "About", "Reset"])
        }

        function test_the_playlist_form_waits_for_the_answer_and_shows_it() {
            const save = find("saveButton")
            verify(!save.enabled)
            find("linkField").text = " PLx "
            find("intervalChoice").activated(120)
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

        function test_app_settings_appearance_login_switch_and_reset() {
            click(find("appTab"))
            for (const value of ["light", "system", "matrix", "dark"]) {
                find("appearanceChoice").activated(value)
                compare([standIn.appearance, find("appearanceChoice").selection], [value, value])
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

            // The reset runs a moment later with the switch as it was.
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
                click(find(button, sheet.contentItem))
                // Not at the click: the confirmed reset waits on its timer. (A QML Timer keeps the
                // animation clock, which may run ahead of the wall clock: no measuring in ms.)
                compare([standIn.resetAt, find("resetTimer").running], [0, button === "confirmButton"])
                tryCompare(sheet, "opened", false)
                if (button === "confirmButton")
                    tryVerify(() => standIn.resetAt > 0, 5000)
            }
            compare(standIn.calls.slice(-2), ["reset false", "reset true"])
        }

        function test_a_real_model() {
            const model = settings.model = fixture.start()
            model.checkSummaries()
            tryCompare(value("summariesModelRow"), "text", "Unavailable: summaries are turned off")
            fixture.serve(["First"], "PLgood")
            find("linkField").text = "https://www.youtube.com/playlist?list=PLgood"
            find("intervalChoice").activated(60)
            click(find("saveButton"))
            tryVerify(() => find("saveMessage").text !== "" && !model.isBusy, 30000)
            const folder = model.playlists[0].folder
            compare(find("saveMessage").text, "✓ Weekend → " + folder + " · syncing now (see the tray icon)")
            verify(/^checked .* · every 1 h$/.test(find("playlistStatus").text))
            compare([find("playlistTitle").text, find("playlistFolder").text], ["Weekend", folder])
            // Stopping takes the row away; the playlist stays in the catalog.
            click(find("stopButton"))
            compare([find("playlistRows").count, model.playlists.length], [0, 1])
            model.setLibraryFolder("/m/V")
            verify(find("folderNote").text.startsWith("Playlist videos go in /m/V/Playlist, single downloads in /m/V/Singles."))
        }
    }

    WindowTestCase {
        name: "ActivityWindow"
        view: activity

        function init() {
            activity.model = standIn
        }

        function test_lines_count_and_error_colour() {
            const cases = [["✓ Saved First [aaaaaaaaaaa].mp4", false], ["✗ Mix: not found", true],
                           ["Download Failed", true], ["3 videos failed", true], ["FAILURE", true],
                           ["Checking Mix…", false]]
            standIn.lines = cases.map(line => "2024-01-31 10:00:00  " + line[0])
            activity.reload()
            compare(find("countLine").text, "6 entries · newest first")
            verify(!find("noActivity").visible)
            cases.forEach(([line, error], i) => {
                find("lines").positionViewAtIndex(i, ListView.Contain)
                const item = find("lines").itemAtIndex(i)
                compare(item.text, standIn.lines[i])
                verify(Qt.colorEqual(item.color, error ? Theme.error : Theme.secondary), line)
            })
            standIn.lines = []
            activity.reload()
            compare(find("countLine").text, "0 entries · newest first")
            verify(find("noActivity").visible)
            // "Copy" reads "Copied" for a moment.
            const button = find("copyButton")
            click(button)
            compare([standIn.calls, button.text], [["copy"], "Copied"])
            tryCompare(button, "text", "Copy", 10000)
        }

        function test_a_real_log() {
            const model = activity.model = fixture.start()
            compare(activity.lines.length, 1)
            verify(activity.lines[0].endsWith("  kelvo started (" + model.buildPill + ")"))
            // A failed download logs through the model; the view reads the file again.
            compare(model.download("not a link at all", false), 0)
            tryVerify(() => !model.isBusy && activity.lines.length >= 2, 20000)
            verify(activity.lines[0].indexOf("✗ ") >= 0, activity.lines[0])
            // "Copy" puts the file's lines on the clipboard, oldest first.
            click(find("copyButton"))
            const pasted = fixture.record().clipboard.split("\n")
            compare(pasted.length, activity.lines.length)
            verify(pasted[0].endsWith("  kelvo started (" + model.buildPill + ")"))
            compare(pasted[pasted.length - 1], activity.lines[0])
            click(find("revealButton"))
            compare(fixture.record().revealed, [model.activityLogPath])

            // The three windows close after a factory reset.
            const windows = ["LibraryWindow", "ActivityWindow", "SettingsWindow"].map(name => Qt.createComponent(
                "qrc:/Kelvo/Views/" + name + ".qml").createObject(null, { model: model, visible: true }))
            model.resetToFactory(false)
            windows.forEach(window => tryCompare(window, "visible", false))
            windows.forEach(window => window.destroy())
        }
    }

    // kelvo's four windows for the keyboard and screen readers, shown and active in turn.
    WindowTestCase {
        name: "KeyboardAndScreenReaders"

        Component { id: fakeModel; UiTests.FakeModel {} }

        function open(name) {
            const popover = name === "PopoverWindow"
            const window = createTemporaryObject(Qt.createComponent("qrc:/Kelvo/Views/" + name + ".qml"), null,
                popover ? { model: createTemporaryObject(fakeModel, null), asWindow: true } : { model: standIn })
            window.visible = true
            window.requestActivate()
            tryVerify(() => window.active, 20000, name)
            return window
        }

        // The Tab stops of a window in their order.
        function tabStops(window) {
            const stops = []
            for (let item = window.contentItem.nextItemInFocusChain(true); item && !stops.includes(item);
                 item = item.nextItemInFocusChain(true))
                stops.push(item)
            return stops
        }

        // The items under `item` that the Tab key or a screen reader can focus and that have no name,
        // and the checkable ones whose state a screen reader would not hear.
        function unnamed(item) {
            const roles = [Accessible.Button, Accessible.CheckBox, Accessible.RadioButton, Accessible.PageTab,
                           Accessible.EditableText, Accessible.List]
            const own = (item.activeFocusOnTab || roles.includes(item.Accessible.role)) && item.Accessible.name === ""
                        || item.checkable === true && item.Accessible.checked !== item.checked
            return Array.from(item.children).reduce((found, child) => found.concat(unnamed(child)),
                                                    own ? [item.objectName || String(item)] : [])
        }

        function test_names_and_focus_marks_data() {
            return [["PopoverWindow"], ["LibraryWindow", "confirmDelete"], ["ActivityWindow"],
                    ["SettingsWindow", "resetSheet", "licenseSheet"]].map(([tag, ...sheets]) => ({ tag, sheets }))
        }

        function test_names_and_focus_marks(data) {
            Object.assign(standIn, { launchAtLogin: true, lines: ["2024-01-31 10:00:00  ✓ Saved Clip"],
                                     list: [fixture.entry({ id: "vvvvvvvvvvv", title: "Clip", status: "done" })] })
            const window = open(data.tag)
            if (data.tag === "LibraryWindow")
                keyClick(Qt.Key_Down)  // from the search field: the entry and its actions show
            // Each Tab stop looks different while it has the keyboard focus.
            const stops = tabStops(window)
            verify(stops.length >= 3, stops.length)
            stops.forEach((stop, i) => {
                stops[(i + stops.length - 1) % stops.length].forceActiveFocus()
                keyClick(Qt.Key_Tab)
                let at = window.activeFocusItem  // a list's selected row has it within the list
                while (at !== stop && at)
                    at = at.parent
                compare(at, stop)
                const focused = grabImage(window.contentItem)
                stop.focus = false
                verify(window.activeFocusItem !== stop && !grabImage(window.contentItem).equals(focused),
                       "no focus mark on " + (stop.objectName || stop))
            })
            // Every control has a name, also on the sheets and the hidden settings group.
            compare([window.contentItem].concat(data.sheets.map(name => findChild(window, name).contentItem))
                    .reduce((found, root) => found.concat(unnamed(root)), []), [])
        }

        function test_choices_are_one_tab_stop_and_follow_the_arrows() {
            const keys = [Qt.Key_End, Qt.Key_Left, Qt.Key_Home, Qt.Key_Right, Qt.Key_Up, Qt.Key_Down, Qt.Key_End]
            // The window, the choice, its options' role and state, the option each key chooses, and
            // what the window's view made of the last.
            for (const [name, choice, role, state, chosen, reached] of [
                     ["LibraryWindow", "sourceFilter", Accessible.RadioButton, "checked", [2, 1, 0, 1, 0, 1, 2],
                      window => findChild(window, "emptyTitle").text === "No single downloads"],
                     ["SettingsWindow", "groupTabs", Accessible.PageTab, "selected", [1, 0, 0, 1, 0, 1, 1],
                      window => !findChild(window, "downloadGroup").visible],
                     ["SettingsWindow", "intervalChoice", Accessible.RadioButton, "checked", [3, 2, 0, 1, 0, 1, 3],
                      window => {
                          findChild(window, "linkField").text = "PLx"
                          findChild(window, "saveButton").clicked()
                          return standIn.calls.includes("save PLx 120")
                      }],
                     ["SettingsWindow", "appearanceChoice", Accessible.RadioButton, "checked", [3, 2, 0, 1, 0, 1, 3],
                      () => standIn.appearance === "matrix"]]) {
                standIn.list = [fixture.entry({ id: "ppppppppppp", title: "Listed", status: "done", playlist: "Mix" })]
                const window = open(name)
                if (choice === "appearanceChoice")
                    findChild(window, "groupTabs").activated(1)
                const control = findChild(window, choice)
                const inside = item => item && (item === control || inside(item.parent))
                compare(tabStops(window).filter(inside).length, 1, choice)
                const options = Array.from(control.contentItem.children).filter(item => item.Accessible.role === role)
                control.forceActiveFocus()
                chosen.forEach((index, i) => {
                    keyClick(keys[i])
                    compare(options.map(option => option.Accessible[state]), options.map((_, j) => j === index),
                            choice + " key " + i)
                })
                verify(reached(window), choice)
            }
        }

        function test_texts_scroll_and_windows_close_from_the_keyboard() {
            standIn.lines = Array.from({ length: 300 }, (_, i) => "2024-01-31 10:00:00  line " + i)
            // The Activity log and the licence texts.
            for (const [name, sheet, scroller] of [["ActivityWindow", "", "lines"],
                                                   ["SettingsWindow", "licenseSheet", "licenseTexts"]]) {
                const window = open(name)
                if (sheet)
                    findChild(window, sheet).open()
                const log = findChild(window, scroller)
                tryVerify(() => log.height > 0 && log.contentHeight > 3 * log.height, 5000, name)
                log.forceActiveFocus()
                for (const [key, direction, top, end] of [
                         [Qt.Key_End, 1, false, true], [Qt.Key_Up, -1, false, false], [Qt.Key_Home, -1, true, false],
                         [Qt.Key_Down, 1, false, false], [Qt.Key_PageDown, 1, false, false],
                         [Qt.Key_PageUp, -1, false, false], [Qt.Key_Up, -1, true, false]]) {
                    const before = log.contentY
                    keyClick(key)
                    compare([Math.sign(log.contentY - before), log.atYBeginning, log.atYEnd], [direction, top, end],
                            scroller + " " + key)
                }
            }
            for (const name of ["PopoverWindow", "LibraryWindow", "ActivityWindow", "SettingsWindow"]) {
                for (const [key, modifiers] of [[Qt.Key_Escape, Qt.NoModifier], [Qt.Key_W, Qt.ControlModifier]]) {
                    const shown = open(name)
                    keyClick(key, modifiers)
                    tryCompare(shown, "visible", false, 5000, name + " " + key)
                }
            }
        }
    }
}
