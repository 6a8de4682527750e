import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views

// The Library window's view: pills, words, notes and actions for every status, the filter and
// the keyboard against a stand-in model (with the model's own entry maps), and one pass over a
// catalog that kelvo's jobs filled from the yt-dlp stand-in.
Item {
    id: root
    width: 900
    height: 560

    property QtObject model: null

    LibraryView {
        id: view
        anchors.fill: parent
        model: root.model
    }

    StandInModel {
        id: standIn
    }

    TestCase {
        name: "LibraryWindow"
        when: windowShown

        function init() {
            failOnWarning(/.?/)
            view.source = "all"
            find("searchField").text = ""
            view.selection = ""
            standIn.calls = []
            standIn.list = []
            root.model = standIn
        }

        function cleanup() {
            find("confirmDelete").close()
            root.model = null
        }

        function find(name, within) {
            const item = findChild(within || view, name)
            verify(item !== null, "no item " + name)
            return item
        }

        // Clicks an item once it and the items holding it are laid out.
        function click(item) {
            for (let up = item; up; up = up.parent)
                waitForItemPolished(up)
            mouseClick(item)
        }

        function titles() {
            return view.shown.map(entry => entry.title)
        }

        function show(entries) {
            standIn.list = entries.map(fields => fixture.entry(fields))
            view.reload()
        }

        function row(videoID) {
            const list = find("list")
            const index = view.shown.findIndex(entry => entry.videoID === videoID)
            verify(index >= 0, "no row for " + videoID)
            list.positionViewAtIndex(index, ListView.Contain)
            const item = list.itemAtIndex(index)
            verify(item !== null)
            return item
        }

        function select(videoID) {
            click(row(videoID))
            compare(view.selection, videoID)
        }

        function visibleActions() {
            return ["playButton", "retryButton", "revealButton", "removeButton",
                    "removeMissingButton"].filter(name => find(name).visible
                                                          && find("actions").visible)
        }

        function test_status_data() {
            const present = ["playButton", "revealButton", "removeButton"]
            return [
                { tag: "downloaded", status: "done", date: "20240131", channel: "The Channel",
                  summary: "What it is about.", tags: ["cooking"], line: "Single  ·  2024-01-31",
                  pill: "", word: "Downloaded", wordTone: "success", actions: present,
                  confirm: "Move to Trash" },
                { tag: "archived", status: "done", archived: true, playlist: "Mix",
                  line: "Playlist  ·  undated", pill: "Archived", tone: "warning", word: "Archived",
                  wordTone: "warning", actions: present, confirm: "Move to Trash" },
                { tag: "missing", status: "done", missing: true, date: "2024013",
                  line: "Single  ·  2024013", pill: "File missing", tone: "error",
                  word: "File missing", wordTone: "error", actions: ["removeMissingButton"],
                  note: "missingNote", confirm: "Move to Trash" },
                { tag: "failed", status: "failed", error: "ERROR: it broke", pill: "Failed",
                  tone: "error", word: "Failed", wordTone: "error",
                  actions: ["retryButton", "removeButton"], confirm: "Remove" },
                { tag: "sign-in", status: "needs_sign_in", error: "Sign in to confirm your age",
                  pill: "Needs sign-in", tone: "error", word: "Needs sign-in", wordTone: "error",
                  actions: [] },
                { tag: "downloading", status: "downloading", pill: "Downloading", tone: "accent",
                  word: "Downloading", wordTone: "accent", actions: [], note: "workingNote" },
                { tag: "queued", status: "queued", pill: "Downloading", tone: "accent",
                  word: "Queued", wordTone: "accent", actions: [], note: "workingNote" }
            ]
        }

        function test_status(data) {
            const id = "vvvvvvvvvvv"
            show([Object.assign({ id: id, title: "Clip \"x\"" }, data)])
            const pill = findChild(row(id), "statusPill")
            compare(pill.visible, data.pill !== "")
            compare(pill.text, data.pill)
            verify(data.pill === "" || Qt.colorEqual(pill.tone, Theme[data.tone]))
            if (data.line)
                compare(findChild(row(id), "rowLine").text, data.line)

            select(id)
            compare(find("statusWord").text, data.word)
            verify(Qt.colorEqual(find("statusWord").color, Theme[data.wordTone]))
            compare(visibleActions(), data.actions)
            for (const note of ["missingNote", "workingNote"])
                compare(find(note).visible, note === data.note, note)
            compare(find("detailError").text, data.error || "")
            compare(find("detailSource").text, data.playlist ? "Playlist · " + data.playlist
                                                             : "Single")
            compare(find("detailChannel").visible, data.channel !== undefined)
            compare(find("summary").text, data.summary || "No summary.")
            compare(find("tags").visible, data.tags !== undefined)

            // Each action reaches the model with the video's id.
            const calls = { playButton: "open", revealButton: "reveal", retryButton: "retry" }
            const expected = data.actions.filter(name => calls[name]).map(name => calls[name] + " " + id)
            for (const name of data.actions.filter(name => calls[name]))
                click(find(name))
            compare(standIn.calls, expected)

            // Removal asks first, where the status allows it; the Delete key asks the same.
            const sheet = find("confirmDelete")
            find("list").forceActiveFocus()
            keyClick(Qt.Key_Delete)
            compare(sheet.visible, data.confirm !== undefined)
            if (data.confirm === undefined)
                return
            tryCompare(sheet, "opened", true)
            compare(find("sheetTitle", sheet.contentItem).text, "Delete \"Clip \"x\"\"?")
            verify(find("sheetMessage", sheet.contentItem).text.indexOf(
                       data.status === "failed" ? "nothing was saved" : "go to the Trash") >= 0)
            const confirm = find("confirmButton", sheet.contentItem)
            compare(confirm.text, data.confirm)
            click(confirm)
            tryCompare(sheet, "opened", false)
            compare(standIn.calls, expected.concat(["remove " + id]))
        }

        function test_filter_and_empty_states() {
            const single = { id: "sssssssssss", title: "A single", status: "done" }
            const listed = { id: "ppppppppppp", title: "Listed", status: "done", playlist: "Mix" }
            const cases = [
                { entries: [], source: "all", shown: [], title: "No videos yet" },
                { entries: [single], source: "playlist", shown: [], title: "No playlist videos" },
                { entries: [listed], source: "singles", shown: [], title: "No single downloads" },
                { entries: [single, listed], source: "playlist", shown: ["Listed"] },
                { entries: [single, listed], source: "singles", shown: ["A single"] },
                { entries: [single, listed], source: "all", shown: ["A single", "Listed"] },
                { entries: [], source: "all", query: "zebra", shown: [], title: "No matches" }
            ]
            for (const c of cases) {
                const tag = c.source + " " + c.shown
                find("searchField").text = c.query || ""
                if (c.query)
                    compare(standIn.query, c.query)  // the search goes to the model
                view.source = c.source
                show(c.entries)
                compare(titles(), c.shown, tag)
                compare(find("emptyState").visible, c.shown.length === 0, tag)
                if (c.title) {
                    compare(find("emptyTitle").text, c.title, tag)
                    compare(find("emptyHint").text.startsWith("Search looks"), c.query !== undefined)
                }
            }
        }

        function test_keyboard_moves_plays_and_asks_to_remove() {
            show(["ccccccccccc", "bbbbbbbbbbb", "aaaaaaaaaaa"].map(
                     id => ({ id: id, title: "Video " + id[0], status: "done" })))
            compare(view.selection, "")
            verify(find("selectVideo").visible)

            // From the search field the arrows move the list's selection.
            find("searchField").forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(view.selection, "ccccccccccc")
            keyClick(Qt.Key_Down)
            compare(find("detailTitle").text, "Video b")
            find("list").forceActiveFocus()
            keyClick(Qt.Key_Down)
            keyClick(Qt.Key_Down)
            compare(view.selection, "aaaaaaaaaaa")
            keyClick(Qt.Key_Up)
            compare(view.selection, "bbbbbbbbbbb")
            keyClick(Qt.Key_Return)
            compare(standIn.calls, ["open bbbbbbbbbbb"])

            keyClick(Qt.Key_Delete)
            const sheet = find("confirmDelete")
            tryCompare(sheet, "opened", true)
            compare(find("sheetTitle", sheet.contentItem).text, "Delete \"Video b\"?")
            keyClick(Qt.Key_Escape)
            tryCompare(sheet, "opened", false)
            compare(standIn.calls, ["open bbbbbbbbbbb"])
        }

        // The segment labelled `label` of a segmented choice.
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

        function test_a_catalog_filled_by_kelvos_jobs() {
            const model = root.model = fixture.start(true)
            fixture.addVideo("aaaaaaaaaaa", "Banana bread at home", ["baking"])
            fixture.addVideo("bbbbbbbbbbb", "Cycling the Alps", ["bike"])
            fixture.addVideo("ccccccccccc", "Sourdough basics", ["baking"])
            fixture.addPlaylist("PLmix", "Mix", ["ccccccccccc"], false)
            for (const id of ["aaaaaaaaaaa", "bbbbbbbbbbb"]) {
                compare(model.download("https://www.youtube.com/watch?v=" + id, false), 0)
                tryCompare(model, "isBusy", false, 30000)
            }
            model.savePlaylist("PLmix", 30)
            // The view reads the listing again whenever a job has finished.
            tryVerify(() => !model.isBusy && view.shown.length === 3, 30000)
            compare(titles(), ["Sourdough basics", "Cycling the Alps", "Banana bread at home"])

            // The search goes to the catalog, which also looks at tags.
            find("searchField").forceActiveFocus()
            for (const key of "baking")
                keyClick(key)
            compare(titles(), ["Sourdough basics", "Banana bread at home"])
            find("searchField").text = ""
            click(segment(find("sourceFilter"), "Playlist"))
            compare(titles(), ["Sourdough basics"])
            click(segment(find("sourceFilter"), "All"))

            // The detail shows what the local model made; the actions use the file.
            select("aaaaaaaaaaa")
            compare(find("summary").text, "A stand-in summary.")
            const tags = Array.from(find("tags").children).filter(item => item.visible && item.text)
            compare(tags.map(item => item.text).sort(), ["baking", "stand-in", "test"])
            const file = fixture.videoFile("aaaaaaaaaaa")
            click(find("playButton"))
            compare(fixture.opened, [file])
            click(find("revealButton"))
            compare(fixture.revealed, [file])

            // Removal asks first: cancelling keeps everything, confirming trashes every copy.
            const sheet = find("confirmDelete")
            for (const button of ["cancelButton", "confirmButton"]) {
                click(find("removeButton"))
                tryCompare(sheet, "opened", true)
                click(find(button, sheet.contentItem))
                tryCompare(sheet, "opened", false)
                compare(fixture.trashed.length, button === "cancelButton" ? 0 : 2)
            }
            verify(fixture.trashed.indexOf(file) >= 0)
            verify(fixture.trashed.some(path => path.endsWith(".nfo")))
            compare(titles(), ["Sourdough basics", "Cycling the Alps"])
        }
    }
}
