import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views

// The Library window's view over a catalog that kelvo's own jobs filled from the yt-dlp
// stand-in.
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

    TestCase {
        name: "LibraryWindow"
        when: windowShown

        function init() {
            failOnWarning(/.?/)
            view.source = "all"
            find("searchField").text = ""
            view.selection = ""
            root.model = fixture.start()
        }

        function cleanup() {
            const sheet = find("confirmDelete")
            if (sheet.opened)
                sheet.close()
            root.model = null
        }

        function find(name) {
            const item = findChild(view, name)
            verify(item !== null, "no item " + name)
            return item
        }

        function link(id) {
            return "https://www.youtube.com/watch?v=" + id
        }

        // Downloads each single video through the model, one job after the other.
        function download(ids) {
            for (let i = 0; i < ids.length; ++i) {
                compare(root.model.download(link(ids[i]), false), 0, "started")
                tryCompare(root.model, "isBusy", false, 30000)
            }
        }

        function syncPlaylist(id, title, ids) {
            fixture.addPlaylist(id, title, ids)
            fixture.registerPlaylist(id, title, 30)
            compare(root.model.syncNow(), 0, "sync started")
            tryCompare(root.model, "isBusy", false, 30000)
        }

        function titles() {
            return view.shown.map(entry => entry.title)
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

        // The segment labelled `label` of a segmented choice.
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

        function pillOf(videoID) {
            return findChild(row(videoID), "statusPill")
        }

        function select(videoID) {
            mouseClick(row(videoID))
            compare(view.selection, videoID)
        }

        function visibleActions() {
            const names = ["playButton", "retryButton", "revealButton", "removeButton",
                           "removeMissingButton"]
            return names.filter(name => {
                const item = find(name)
                return item.visible && find("actions").visible
            })
        }

        // ---- Search and filter ----

        function test_search_narrows_and_clearing_shows_everything() {
            fixture.addVideo({ id: "aaaaaaaaaaa", title: "Banana bread at home", tags: ["baking"] })
            fixture.addVideo({ id: "bbbbbbbbbbb", title: "Cycling the Alps", tags: ["bike"] })
            fixture.addVideo({ id: "ccccccccccc", title: "Sourdough basics", tags: ["baking"] })
            download(["aaaaaaaaaaa", "bbbbbbbbbbb", "ccccccccccc"])
            // Newest download first.
            compare(titles(), ["Sourdough basics", "Cycling the Alps", "Banana bread at home"])

            const field = find("searchField")
            field.forceActiveFocus()
            keyClick("b"); keyClick("a"); keyClick("k"); keyClick("i"); keyClick("n"); keyClick("g")
            compare(view.query, "baking")
            compare(titles(), ["Sourdough basics", "Banana bread at home"])

            field.text = "alps"
            compare(titles(), ["Cycling the Alps"])

            field.text = "zebra"
            compare(titles(), [])
            compare(find("emptyTitle").text, "No matches")
            compare(find("emptyHint").text, "Search looks at titles, summaries and tags.")
            verify(find("emptyState").visible)

            field.text = ""
            compare(titles(), ["Sourdough basics", "Cycling the Alps", "Banana bread at home"])
            verify(!find("emptyState").visible)
        }

        function test_listing_reloads_when_a_job_finishes() {
            compare(view.results.length, 0)
            compare(find("emptyTitle").text, "No videos yet")
            compare(find("emptyHint").text,
                    "Paste a link or add your .kelvo playlist in Settings.")
            fixture.addVideo({ id: "aaaaaaaaaaa", title: "Fresh one" })
            download(["aaaaaaaaaaa"])
            // Only the model's `recent` changed; the view read the listing again.
            compare(titles(), ["Fresh one"])
        }

        function test_filter_and_its_empty_states_data() {
            return [
                { tag: "singles only, playlist filter", singles: true, playlist: false,
                  source: "playlist", title: "No playlist videos", count: 0 },
                { tag: "playlist only, singles filter", singles: false, playlist: true,
                  source: "singles", title: "No single downloads", count: 0 },
                { tag: "nothing at all, singles filter", singles: false, playlist: false,
                  source: "singles", title: "No videos yet", count: 0 },
                { tag: "both, playlist filter", singles: true, playlist: true,
                  source: "playlist", title: "", count: 2 },
                { tag: "both, singles filter", singles: true, playlist: true,
                  source: "singles", title: "", count: 1 },
                { tag: "both, all", singles: true, playlist: true, source: "all", title: "",
                  count: 3 }
            ]
        }

        function test_filter_and_its_empty_states(data) {
            if (data.singles) {
                fixture.addVideo({ id: "sssssssssss", title: "A single" })
                download(["sssssssssss"])
            }
            if (data.playlist) {
                fixture.addVideo({ id: "ppppppppppp", title: "Listed one" })
                fixture.addVideo({ id: "qqqqqqqqqqq", title: "Listed two" })
                syncPlaylist("PLmix", "Mix", ["ppppppppppp", "qqqqqqqqqqq"])
            }
            const labels = ({ all: "All", playlist: "Playlist", singles: "Singles" })
            mouseClick(segment(find("sourceFilter"), labels[data.source]))
            compare(view.source, data.source)
            compare(view.shown.length, data.count)
            compare(find("emptyState").visible, data.count === 0)
            if (data.count === 0) {
                compare(find("emptyTitle").text, data.title)
                compare(find("emptyHint").text,
                        "Paste a link or add your .kelvo playlist in Settings.")
            }
            for (const entry of view.shown)
                compare(entry.isSingle, entry.title === "A single")
            if (data.source !== "all")
                verify(view.shown.every(entry => entry.isSingle === (data.source === "singles")))
        }

        // ---- Rows ----

        function test_row_shows_source_and_date_data() {
            return [
                { tag: "eight digits", date: "20240131", shown: "2024-01-31" },
                { tag: "seven characters", date: "2024013", shown: "2024013" },
                { tag: "no date", date: null, shown: "undated" }
            ]
        }

        function test_row_shows_source_and_date(data) {
            fixture.addVideo({ id: "ddddddddddd", title: "Dated", uploadDate: data.date })
            download(["ddddddddddd"])
            const line = findChild(row("ddddddddddd"), "rowLine")
            compare(line.text, "Single  ·  " + data.shown)
            compare(findChild(row("ddddddddddd"), "rowTitle").text, "Dated")
        }

        // ---- Status pills, words and actions ----

        function test_each_status_has_its_pill_word_and_actions() {
            fixture.addVideo({ id: "okokokokoko", title: "Plays fine" })
            fixture.addVideo({ id: "failfailfai", title: "Breaks", behaviour: "fail" })
            fixture.addVideo({ id: "signsignsig", title: "Age gated", behaviour: "signIn" })
            fixture.addVideo({ id: "gonegonegon", title: "Deleted later" })
            download(["okokokokoko", "failfailfai", "signsignsig", "gonegonegon"])
            verify(fixture.deleteVideoFile("gonegonegon"))
            view.reload()

            const cases = [
                { id: "okokokokoko", pill: "", word: "Downloaded",
                  actions: ["playButton", "revealButton", "removeButton"] },
                { id: "failfailfai", pill: "Failed", tone: Theme.error, word: "Failed",
                  actions: ["retryButton", "removeButton"] },
                { id: "signsignsig", pill: "Needs sign-in", tone: Theme.error,
                  word: "Needs sign-in", actions: [] },
                { id: "gonegonegon", pill: "File missing", tone: Theme.error,
                  word: "File missing", actions: ["removeMissingButton"] }
            ]
            for (const c of cases) {
                const pill = pillOf(c.id)
                compare(pill.visible, c.pill !== "", c.id)
                if (c.pill !== "") {
                    compare(pill.text, c.pill)
                    verify(Qt.colorEqual(pill.tone, c.tone), c.id)
                }
                select(c.id)
                compare(find("statusWord").text, c.word)
                compare(visibleActions(), c.actions, c.id)
                compare(find("missingNote").visible, c.id === "gonegonegon")
                compare(find("workingNote").visible, false)
            }
            select("failfailfai")
            verify(find("detailError").visible)
            verify(find("detailError").text.indexOf("it broke") >= 0, find("detailError").text)
        }

        function test_a_downloading_video_offers_no_actions() {
            fixture.addVideo({ id: "slowslowslo", title: "Takes a while", sleepSeconds: 2 })
            compare(root.model.download(link("slowslowslo"), false), 0)
            tryVerify(() => {
                view.reload()
                return view.shown.length === 1
            }, 15000)
            compare(pillOf("slowslowslo").text, "Downloading")
            verify(Qt.colorEqual(pillOf("slowslowslo").tone, Theme.accent))
            select("slowslowslo")
            compare(find("statusWord").text, "Downloading")
            verify(find("workingNote").visible)
            compare(find("workingNote").text,
                    "Downloading — actions are available when it finishes.")
            compare(visibleActions(), [])
            // The Delete key asks nothing while it downloads.
            find("list").forceActiveFocus()
            keyClick(Qt.Key_Delete)
            verify(!find("confirmDelete").opened)
            tryCompare(root.model, "isBusy", false, 30000)
            compare(pillOf("slowslowslo").visible, false)
        }

        function test_an_archived_video_shows_its_pill() {
            fixture.addVideo({ id: "keepkeepkee", title: "Stays" })
            fixture.addVideo({ id: "leftleftlef", title: "Leaves" })
            syncPlaylist("PLmix", "Mix", ["keepkeepkee", "leftleftlef"])
            fixture.addPlaylist("PLmix", "Mix", ["keepkeepkee"])
            compare(root.model.syncNow(), 0)
            tryCompare(root.model, "isBusy", false, 30000)
            compare(pillOf("leftleftlef").text, "Archived")
            verify(Qt.colorEqual(pillOf("leftleftlef").tone, Theme.warning))
            compare(pillOf("keepkeepkee").visible, false)
            select("leftleftlef")
            compare(find("statusWord").text, "Archived")
            compare(visibleActions(), ["playButton", "revealButton", "removeButton"])
            compare(find("detailSource").text, "Playlist · Mix")
        }

        function test_detail_shows_summary_and_tags() {
            root.model = fixture.start({ summaries: true })
            fixture.addVideo({ id: "sumsumsumsu", title: "Explained", channel: "The Channel",
                               uploadDate: "20230704", tags: ["Cooking"] })
            download(["sumsumsumsu"])
            select("sumsumsumsu")
            compare(find("detailTitle").text, "Explained")
            compare(find("detailChannel").text, "The Channel")
            compare(find("detailDate").text, "2023-07-04")
            compare(find("detailSource").text, "Single")
            compare(find("summary").text, "A stand-in summary.")
            const flow = find("tags")
            verify(flow.visible)
            const tags = []
            for (let i = 0; i < flow.children.length; ++i) {
                if (flow.children[i].visible && flow.children[i].text !== undefined)
                    tags.push(flow.children[i].text)
            }
            tags.sort()
            compare(tags, ["cooking", "stand-in", "test"])

            // Without a local model there is no summary and no generated tag.
            root.model = fixture.start()
            fixture.addVideo({ id: "nosumnosumn", title: "Unexplained" })
            download(["nosumnosumn"])
            select("nosumnosumn")
            compare(find("summary").text, "No summary.")
            verify(!find("tags").visible)
            verify(!find("detailChannel").visible)
        }

        function test_play_and_show_in_folder_use_the_file() {
            fixture.addVideo({ id: "okokokokoko", title: "Plays fine" })
            download(["okokokokoko"])
            const file = fixture.videoFile("okokokokoko")
            verify(file.endsWith(".mp4"), file)
            select("okokokokoko")
            mouseClick(find("playButton"))
            compare(fixture.opened, [file])
            mouseClick(find("revealButton"))
            compare(fixture.revealed, [file])
        }

        function test_try_again_downloads_again_and_the_list_follows() {
            fixture.addVideo({ id: "failfailfai", title: "Breaks", behaviour: "fail" })
            download(["failfailfai"])
            select("failfailfai")
            compare(pillOf("failfailfai").text, "Failed")
            // The service works now.
            fixture.addVideo({ id: "failfailfai", title: "Breaks" })
            mouseClick(find("retryButton"))
            verify(root.model.isBusy)
            tryCompare(root.model, "isBusy", false, 30000)
            compare(pillOf("failfailfai").visible, false)
            compare(find("statusWord").text, "Downloaded")
            compare(visibleActions(), ["playButton", "revealButton", "removeButton"])
        }

        function test_removal_asks_first_and_trashes_every_copy() {
            fixture.addVideo({ id: "okokokokoko", title: "Plays \"fine\"" })
            fixture.addVideo({ id: "otherotherx", title: "Other" })
            download(["okokokokoko", "otherotherx"])
            const file = fixture.videoFile("okokokokoko")
            select("okokokokoko")
            mouseClick(find("removeButton"))
            const sheet = find("confirmDelete")
            tryCompare(sheet, "opened", true)
            compare(findChild(sheet.contentItem, "sheetTitle").text, "Delete \"Plays \"fine\"\"?")
            compare(findChild(sheet.contentItem, "sheetMessage").text,
                    "Every copy of this video and its .nfo go to the Trash, and it leaves the "
                    + "Library. If your .kelvo playlist still lists it, kelvo will not download "
                    + "it again.")
            const confirm = findChild(sheet.contentItem, "confirmButton")
            compare(confirm.text, "Move to Trash")

            // Cancel leaves everything as it was.
            mouseClick(findChild(sheet.contentItem, "cancelButton"))
            tryCompare(sheet, "opened", false)
            compare(view.confirmDelete, null)
            compare(fixture.trashed, [])
            verify(fixture.fileExists(file))

            mouseClick(find("removeButton"))
            tryCompare(sheet, "opened", true)
            mouseClick(confirm)
            tryCompare(sheet, "opened", false)
            compare(fixture.trashed.length, 2)
            verify(fixture.trashed.indexOf(file) >= 0)
            verify(fixture.trashed.some(path => path.endsWith(".nfo")))
            compare(titles(), ["Other"])
        }

        function test_a_missing_file_can_leave_the_library() {
            fixture.addVideo({ id: "gonegonegon", title: "Deleted later" })
            download(["gonegonegon"])
            verify(fixture.deleteVideoFile("gonegonegon"))
            view.reload()
            select("gonegonegon")
            compare(find("missingNote").text, "The file is no longer on disk.")
            compare(find("removeMissingButton").text, "Remove from Library")
            mouseClick(find("removeMissingButton"))
            const sheet = find("confirmDelete")
            tryCompare(sheet, "opened", true)
            mouseClick(findChild(sheet.contentItem, "confirmButton"))
            tryCompare(sheet, "opened", false)
            compare(titles(), [])
            compare(find("emptyTitle").text, "No videos yet")
        }

        function test_a_failed_entry_is_forgotten_not_trashed() {
            fixture.addVideo({ id: "failfailfai", title: "Breaks", behaviour: "fail" })
            download(["failfailfai"])
            select("failfailfai")
            mouseClick(find("removeButton"))
            const sheet = find("confirmDelete")
            tryCompare(sheet, "opened", true)
            const confirm = findChild(sheet.contentItem, "confirmButton")
            compare(confirm.text, "Remove")
            mouseClick(confirm)
            tryCompare(sheet, "opened", false)
            compare(titles(), [])
            compare(fixture.trashed, [])
            verify(root.model.activity.some(line => line.startsWith("Removed failed entry")))
        }

        // ---- Keyboard ----

        function test_keyboard_moves_plays_and_asks_to_remove() {
            fixture.addVideo({ id: "aaaaaaaaaaa", title: "First" })
            fixture.addVideo({ id: "bbbbbbbbbbb", title: "Second" })
            fixture.addVideo({ id: "ccccccccccc", title: "Third" })
            download(["aaaaaaaaaaa", "bbbbbbbbbbb", "ccccccccccc"])
            compare(view.selection, "")
            compare(find("selectVideo").visible, true)

            // From the search field the arrows move the list's selection.
            find("searchField").forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(view.selection, "ccccccccccc")
            keyClick(Qt.Key_Down)
            compare(view.selection, "bbbbbbbbbbb")
            compare(find("detailTitle").text, "Second")

            find("list").forceActiveFocus()
            keyClick(Qt.Key_Down)
            keyClick(Qt.Key_Down)
            compare(view.selection, "aaaaaaaaaaa")
            keyClick(Qt.Key_Up)
            compare(view.selection, "bbbbbbbbbbb")

            keyClick(Qt.Key_Return)
            compare(fixture.opened, [fixture.videoFile("bbbbbbbbbbb")])

            keyClick(Qt.Key_Delete)
            const sheet = find("confirmDelete")
            tryCompare(sheet, "opened", true)
            compare(findChild(sheet.contentItem, "sheetTitle").text, "Delete \"Second\"?")
            keyClick(Qt.Key_Escape)
            tryCompare(sheet, "opened", false)
            compare(fixture.trashed, [])
            compare(view.results.length, 3)
        }
    }
}
