import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views

// The Library window's view: pills, words, notes and actions for every status and the filter
// against a stand-in model (with the model's own entry maps), and a catalog that kelvo's jobs
// filled from the yt-dlp stand-in, driven by mouse and keyboard.
Item {
    width: 900
    height: 560

    LibraryView {
        id: view
        anchors.fill: parent
    }

    StandInModel {
        id: standIn
    }

    WindowTestCase {
        name: "LibraryWindow"
        view: view

        function init() {
            view.source = "all"
            find("searchField").text = ""
            view.selection = ""
            standIn.calls = []
            view.model = standIn
        }

        function cleanup() {
            find("confirmDelete").close()
            view.model = null
        }

        function titles() {
            return view.shown.map(entry => entry.title)
        }

        function show(entries) {
            standIn.list = entries.map(fields => fixture.entry(fields))
            view.reload()
        }

        function row(videoID) {
            const index = view.shown.findIndex(entry => entry.videoID === videoID)
            find("list").positionViewAtIndex(index, ListView.Contain)
            return find("list").itemAtIndex(index)
        }

        function select(videoID) {
            click(row(videoID))
            compare(view.selection, videoID)
        }

        // The removal sheet is open with this title; `button` is clicked and the sheet goes.
        function answerRemoval(button, title) {
            const sheet = find("confirmDelete")
            tryCompare(sheet, "opened", true)
            compare(find("sheetTitle", sheet.contentItem).text, title)
            click(find(button, sheet.contentItem))
            tryCompare(sheet, "opened", false)
        }

        function test_status_data() {
            const present = ["playButton", "revealButton", "removeButton"]
            return [
                { tag: "downloaded", status: "done", date: "20240131", line: "Single  ·  2024-01-31",
                  channel: "C", summary: "About it.", tags: ["cooking"], pill: "", word: "Downloaded",
                  wordTone: "success", actions: present, confirm: "Move to Trash" },
                { tag: "archived", status: "done", archived: true, playlist: "Mix", pill: "Archived",
                  line: "Playlist  ·  undated", tone: "warning", word: "Archived", wordTone: "warning",
                  actions: present, confirm: "Move to Trash" },
                { tag: "missing", status: "done", missing: true, date: "2024013", pill: "File missing",
                  line: "Single  ·  2024013", tone: "error", word: "File missing", wordTone: "error",
                  actions: ["removeMissingButton"], note: "missingNote", confirm: "Move to Trash" },
                { tag: "failed", status: "failed", error: "ERROR: it broke", pill: "Failed", tone: "error",
                  word: "Failed", wordTone: "error", actions: ["retryButton", "removeButton"],
                  confirm: "Remove" },
                { tag: "sign-in", status: "needs_sign_in", error: "Sign in", pill: "Needs sign-in",
                  tone: "error", word: "Needs sign-in", wordTone: "error", actions: [] },
                { tag: "downloading", status: "downloading", pill: "Downloading", tone: "accent",
                  word: "Downloading", wordTone: "accent", actions: [], note: "workingNote" },
                { tag: "queued", status: "queued", pill: "Downloading", tone: "accent", word: "Queued",
                  wordTone: "accent", actions: [], note: "workingNote" }
            ]
        }

        function test_status(data) {
            const id = "vvvvvvvvvvv"
            show([Object.assign({ id: id, title: "Clip \"x\"" }, data)])
            const pill = findChild(row(id), "statusPill")
            compare([pill.visible, pill.text], [data.pill !== "", data.pill])
            verify(data.pill === "" || Qt.colorEqual(pill.tone, Theme[data.tone]))
            compare(findChild(row(id), "rowLine").text, data.line || "Single  ·  undated")
            select(id)
            compare(find("statusWord").text, data.word)
            verify(Qt.colorEqual(find("statusWord").color, Theme[data.wordTone]))
            compare(["playButton", "retryButton", "revealButton", "removeButton", "removeMissingButton"]
                    .filter(name => find(name).visible && find("actions").visible), data.actions)
            compare(["missingNote", "workingNote"].filter(note => find(note).visible),
                    data.note ? [data.note] : [])
            compare(find("detailError").text, data.error || "")
            compare(find("detailSource").text, data.playlist ? "Playlist · Mix" : "Single")
            compare(find("summary").text, data.summary || "No summary.")
            compare([find("detailChannel").visible, find("tags").visible], [!!data.channel, !!data.tags])

            // Each action reaches the model with the video's id; removal asks first.
            const calls = { playButton: "open ", revealButton: "reveal ", retryButton: "retry " }
            const asked = data.actions.filter(name => calls[name])
            asked.forEach(name => click(find(name)))
            find("list").forceActiveFocus()
            keyClick(Qt.Key_Delete)
            compare(find("confirmDelete").visible, data.confirm !== undefined)
            if (data.confirm) {
                const sheet = find("confirmDelete").contentItem
                verify(find("sheetMessage", sheet).text.indexOf(data.status === "failed"
                                                                ? "nothing was saved" : "to the Trash") >= 0)
                compare(find("confirmButton", sheet).text, data.confirm)
                answerRemoval("confirmButton", "Delete \"Clip \"x\"\"?")
                asked.push("remove")
            }
            compare(standIn.calls, asked.map(name => (calls[name] || "remove ") + id))
        }

        function test_filter_and_empty_states() {
            const single = { id: "sssssssssss", title: "A single", status: "done" }
            const listed = { id: "ppppppppppp", title: "Listed", status: "done", playlist: "Mix" }
            for (const [entries, source, query, shown, title] of [
                     [[], "all", "", [], "No videos yet"], [[single], "playlist", "", [], "No playlist videos"],
                     [[listed], "singles", "", [], "No single downloads"],
                     [[single, listed], "playlist", "", ["Listed"]], [[single, listed], "singles", "", ["A single"]],
                     [[single, listed], "all", "", ["A single", "Listed"]], [[], "all", "zebra", [], "No matches"]]) {
                find("searchField").text = query
                compare(standIn.query, query)  // the search goes to the model
                view.source = source
                show(entries)
                compare(titles(), shown)
                compare(find("emptyState").visible, shown.length === 0)
                if (title)
                    compare(find("emptyTitle").text, title)
                compare(find("emptyHint").text.startsWith("Search looks"), query !== "")
            }
        }

        function test_keyboard_moves_plays_and_asks_to_remove() {
            show(["a", "b", "c"].map(letter => ({ id: letter.repeat(11), title: letter, status: "done" })))
            // Up and Down move the selection, also from the search field; Return plays.
            find("searchField").forceActiveFocus()
            keyClick(Qt.Key_Down)
            keyClick(Qt.Key_Down)
            compare(find("detailTitle").text, "b")
            find("list").forceActiveFocus()
            for (const key of [Qt.Key_Down, Qt.Key_Down, Qt.Key_Up, Qt.Key_Up, Qt.Key_Return])
                keyClick(key)
            compare(standIn.calls, ["open aaaaaaaaaaa"])
            keyClick(Qt.Key_Delete)
            const sheet = find("confirmDelete")
            tryCompare(sheet, "opened", true)
            keyClick(Qt.Key_Escape)
            tryCompare(sheet, "opened", false)
            compare(standIn.calls, ["open aaaaaaaaaaa"])
        }

        function test_a_catalog_filled_by_kelvos_jobs() {
            const model = view.model = fixture.start()
            fixture.addVideo("aaaaaaaaaaa", "Banana bread")
            fixture.addVideo("bbbbbbbbbbb", "Cycling")
            for (const id of ["aaaaaaaaaaa", "bbbbbbbbbbb"]) {
                compare(model.download("https://www.youtube.com/watch?v=" + id, false), 0)
                tryCompare(model, "isBusy", false, 30000)
            }
            // The view read the listing again when each job had finished.
            compare(titles(), ["Cycling", "Banana bread"])
            find("searchField").text = "banana"
            compare(titles(), ["Banana bread"])
            select("aaaaaaaaaaa")
            const file = fixture.videoFile("aaaaaaaaaaa")
            click(find("playButton"))
            click(find("revealButton"))
            compare([fixture.record().opened, fixture.record().revealed], [[file], [file]])
            // Removal asks first: cancelling keeps everything; confirming trashes every copy.
            for (const button of ["cancelButton", "confirmButton"]) {
                click(find("removeButton"))
                answerRemoval(button, "Delete \"Banana bread\"?")
                compare(fixture.record().trashed.length, button === "cancelButton" ? 0 : 2)
            }
            verify(fixture.record().trashed.some(path => path === file))
            verify(fixture.record().trashed.some(path => path.endsWith(".nfo")))
            compare(titles(), [])
            find("searchField").text = ""
            compare(titles(), ["Cycling"])
        }
    }
}
