import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Kelvo.Style
import "library.js" as Library

// The Library: a search over titles, summaries and tags, the All / Playlist / Singles filter,
// the list of entries and the detail of the selected one with its actions. The listing is the
// model's (at most 200 entries, newest download first); it is read again when the search
// changes, when the view is shown and whenever a job has finished (the model's `recent`).
//
// Keyboard: Up and Down move the selection (also from the search field), Return plays the
// selected video, Delete asks to remove it. The list is a Tab stop; while it has the keyboard
// focus it and its selected row are outlined (not after a click, until a key is pressed).
Item {
    id: view

    // The AppModel (or a stand-in).
    property QtObject model
    property string query: ""
    // "all", "playlist" or "singles".
    property string source: "all"
    property var results: []
    readonly property var shown: Library.shown(results, source)
    // The selected entry's video id, "" for none.
    property string selection: ""
    readonly property var selectedEntry: {
        const index = Library.indexOf(shown, selection)
        return index >= 0 ? shown[index] : null
    }
    // The entry whose removal awaits confirmation, or null.
    property var confirmDelete: null

    readonly property int limit: 200

    function reload() {
        results = model ? model.entries(query, limit) : []
    }

    function select(index) {
        if (index < 0 || index >= shown.length)
            return
        selection = shown[index].videoID
        list.positionViewAtIndex(index, ListView.Contain)
    }

    // Moves the selection by `step` rows (the first row when nothing is selected).
    function moveSelection(step) {
        const index = Library.indexOf(shown, selection)
        select(index < 0 ? (step > 0 ? 0 : shown.length - 1)
                         : Math.max(0, Math.min(shown.length - 1, index + step)))
    }

    function play() {
        if (selectedEntry && Library.actions(selectedEntry) === "present")
            model.open(selectedEntry.videoID)
    }

    function reveal() {
        if (selectedEntry && Library.actions(selectedEntry) === "present")
            model.reveal(selectedEntry.videoID)
    }

    function retry() {
        if (selectedEntry && Library.actions(selectedEntry) === "failed")
            model.retry(selectedEntry.videoID)
    }

    // Asks to remove the selected entry when its status allows it.
    function askRemove() {
        if (selectedEntry && Library.canRemove(selectedEntry)) {
            confirmDelete = selectedEntry
            confirmSheet.open()
        }
    }

    function confirmRemove() {
        if (confirmDelete)
            model.remove(confirmDelete.videoID)
        confirmDelete = null
    }

    onQueryChanged: reload()
    onModelChanged: reload()
    Component.onCompleted: reload()

    Connections {
        target: view.model
        ignoreUnknownSignals: true
        function onRecentChanged() {
            view.reload()
        }
        function onLibraryChanged() {
            view.reload()
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // ---- Search and filter ----
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: Theme.padding
            Layout.bottomMargin: 12
            spacing: 12

            Shortcut {
                sequence: StandardKey.Find
                onActivated: searchField.forceActiveFocus()
            }
            MetroField {
                id: searchField
                objectName: "searchField"
                Layout.fillWidth: true
                leftPadding: 32
                placeholderText: "Search title, summary and tags"
                focus: true
                Accessible.name: "Search"
                Accessible.description: placeholderText
                onTextChanged: view.query = text
                Keys.onUpPressed: view.moveSelection(-1)
                Keys.onDownPressed: view.moveSelection(1)
                Keys.onEscapePressed: event => {
                    if (text !== "") {
                        text = ""
                        event.accepted = true
                    } else {
                        event.accepted = false
                    }
                }

                LucideIcon {
                    x: 11
                    anchors.verticalCenter: parent.verticalCenter
                    name: "kelvo-search"
                    size: 13
                    color: searchField.activeFocus ? Theme.accent : Theme.muted
                }
            }
            MetroSegmented {
                objectName: "sourceFilter"
                options: Library.sources
                selection: view.source
                Accessible.name: "Show"
                onActivated: value => view.source = value
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.line
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            // ---- The list ----
            Item {
                Layout.fillHeight: true
                Layout.preferredWidth: Math.round(view.width * 0.52)
                Layout.minimumWidth: 280

                ListView {
                    id: list
                    objectName: "list"

                    anchors.fill: parent
                    visible: view.shown.length > 0
                    clip: true
                    model: view.shown
                    boundsBehavior: Flickable.StopAtBounds
                    keyNavigationEnabled: false
                    activeFocusOnTab: true
                    // The selected row has the focus within the list (screen readers read it).
                    currentIndex: Library.indexOf(view.shown, view.selection)
                    // The focus came from a click on a row (no focus mark until a key is pressed).
                    property bool pointerFocus: false
                    readonly property bool keyboardFocus: activeFocus && !pointerFocus
                    onActiveFocusChanged: {
                        if (!activeFocus)
                            pointerFocus = false
                    }
                    Accessible.role: Accessible.List
                    Accessible.name: "Videos"

                    delegate: LibraryRow {
                        required property var modelData
                        required property int index

                        width: ListView.view.width
                        entry: modelData
                        selected: modelData.videoID === view.selection
                        focusShown: selected && list.keyboardFocus
                        onClicked: {
                            view.selection = modelData.videoID
                            list.pointerFocus = true
                            list.forceActiveFocus()
                        }
                        onDoubleClicked: {
                            view.selection = modelData.videoID
                            view.play()
                        }
                    }

                    Keys.onPressed: event => {
                        pointerFocus = false
                        event.accepted = false
                    }
                    Keys.onUpPressed: view.moveSelection(-1)
                    Keys.onDownPressed: view.moveSelection(1)
                    Keys.onReturnPressed: view.play()
                    Keys.onEnterPressed: view.play()
                    Keys.onDeletePressed: view.askRemove()

                    T.ScrollBar.vertical: ThinScrollBar {}
                }
                FocusFrame {
                    objectName: "listFocus"
                    anchors.fill: list
                    shown: list.keyboardFocus && list.visible
                }

                // ---- Empty state ----
                ColumnLayout {
                    objectName: "emptyState"
                    anchors.centerIn: parent
                    width: parent.width - 2 * Theme.padding
                    visible: view.shown.length === 0
                    spacing: 6

                    LucideIcon {
                        Layout.alignment: Qt.AlignHCenter
                        Layout.bottomMargin: 4
                        name: view.query !== "" ? "kelvo-search" : "kelvo-library"
                        size: 22
                        color: Theme.muted
                    }
                    MetroText {
                        objectName: "emptyTitle"
                        Layout.fillWidth: true
                        horizontalAlignment: Text.AlignHCenter
                        text: Library.emptyTitle(view.query, view.results, view.source)
                        size: Theme.sizeEmptyTitle
                        weight: Font.DemiBold
                    }
                    MetroText {
                        objectName: "emptyHint"
                        Layout.fillWidth: true
                        horizontalAlignment: Text.AlignHCenter
                        text: Library.emptyHint(view.query)
                        size: Theme.sizeRow
                        color: Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }
                }
            }

            Rectangle {
                Layout.fillHeight: true
                implicitWidth: 1
                color: Theme.line
            }

            // ---- The detail ----
            LibraryDetail {
                id: detail
                objectName: "detail"
                Layout.fillWidth: true
                Layout.fillHeight: true
                entry: view.selectedEntry
                onPlayRequested: view.play()
                onRevealRequested: view.reveal()
                onRetryRequested: view.retry()
                onRemoveRequested: view.askRemove()
            }
        }
    }

    ConfirmSheet {
        id: confirmSheet
        objectName: "confirmDelete"
        title: view.confirmDelete ? Library.confirmTitle(view.confirmDelete) : ""
        message: view.confirmDelete ? Library.confirmMessage(view.confirmDelete) : ""
        confirmText: view.confirmDelete ? Library.confirmButton(view.confirmDelete)
                                        : "Move to Trash"
        destructive: true
        onConfirmed: view.confirmRemove()
        onClosed: {
            // Cancelled (confirming clears it first).
            view.confirmDelete = null
        }
    }
}
