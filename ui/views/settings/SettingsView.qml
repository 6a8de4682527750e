import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import QtQuick.Templates as T
import QtQuick.Dialogs
import QtCore
import Kelvo.Style
import "../library"
import "settings.js" as SettingsText

// The Settings: two groups, "Download settings" (library folder, playlist downloads, single
// downloads, download quality) and "App settings" (appearance, general, about, reset). Every
// change goes through the model; the view keeps only the playlist form's state.
Item {
    id: view

    // The AppModel (or a stand-in).
    property QtObject model
    // 0: "Download settings", 1: "App settings".
    property int group: 0

    // ---- The playlist form ----
    property string link: ""
    property int interval: SettingsText.defaultInterval
    readonly property bool working: model ? model.savingPlaylist : false
    // The result line of the last "Save and sync", "" for none.
    property string message: ""
    property bool messageIsError: false

    // ---- The reset confirmation ----
    property bool resetTrashVideos: false
    // The clock of the playlists' status lines (seconds since 1970), refreshed every 30 s.
    property real now: Date.now() / 1000

    // The opt-in request settings, as the model stores them.
    property string pauseSeconds: "0"
    property string cookiesFrom: "none"

    readonly property var playlists: model ? model.enabledPlaylists : []
    readonly property string shortcut: model ? model.shortcutLabel : "Ctrl+Alt+Y"

    // "Save and sync": looks the playlist up; the answer arrives as playlistSaved.
    function savePlaylist() {
        if (!model || working || link.trim() === "")
            return
        message = ""
        messageIsError = false
        model.savePlaylist(link.trim(), interval)
    }

    function chooseFolder() {
        folderDialog.currentFolder = SettingsText.folderUrl(
                    model ? model.libraryFolder : "~",
                    StandardPaths.writableLocation(StandardPaths.HomeLocation))
        // The desktop's own chooser, where its portal offers one; else Qt's.
        folderDialogFailed = false
        if (portalAnswers.target && portalAnswers.target.choose(folderDialog.title,
                                                                folderDialog.currentFolder,
                                                                Window.window))
            return
        openFolderDialog()
    }
    function openFolderDialog() {
        folderDialog.open()
        // Qt's own chooser needs a QML module that a distribution may package apart; without
        // it nothing opens, so say so rather than leave the click unanswered.
        folderDialogFailed = !folderDialog.visible
    }
    property bool folderDialogFailed: false

    function askReset() {
        resetTrashVideos = false
        trashVideosToggle.checked = false
        resetSheet.open()
    }

    // "Reset and relaunch": the dialog closes and the reset runs 0.4 s later with the switch's
    // value as it was then.
    function confirmReset() {
        resetTimer.trashVideos = resetTrashVideos
        resetTimer.restart()
    }

    function loadSettings() {
        if (!model || typeof model.setting !== "function")
            return
        pauseSeconds = model.setting("pause-between-downloads")
        cookiesFrom = model.setting("cookies-from")
    }

    function changeSetting(name, value) {
        if (model && typeof model.setSetting === "function")
            model.setSetting(name, value)
        loadSettings()
    }

    Component.onCompleted: {
        if (model) {
            model.checkSummaries()
            if (typeof model.checkTools === "function")
                model.checkTools()
        }
        loadSettings()
    }
    onModelChanged: loadSettings()
    // Each group starts at its top.
    onGroupChanged: flick.contentY = 0

    // Scrolls the page to the item with the keyboard focus when it is out of sight.
    function revealFocus(item) {
        let up = item
        while (up && up !== flick.contentItem)
            up = up.parent
        if (!up)
            return
        const top = item.mapToItem(flick.contentItem, 0, 0).y - 12
        const bottom = top + item.height + 24
        if (top < flick.contentY)
            flick.contentY = Math.max(0, top)
        else if (bottom > flick.contentY + flick.height)
            flick.contentY = Math.max(0, Math.min(bottom, flick.contentHeight) - flick.height)
    }
    Connections {
        target: view.Window.window
        function onActiveFocusItemChanged() {
            view.revealFocus(view.Window.activeFocusItem)
        }
    }

    Connections {
        target: view.model
        ignoreUnknownSignals: true
        function onPlaylistSaved(ok, text) {
            view.message = text
            view.messageIsError = !ok
        }
        function onSettingsChanged() {
            view.loadSettings()
        }
    }

    Timer {
        interval: 30000
        repeat: true
        running: view.visible
        triggeredOnStart: true
        onTriggered: view.now = Date.now() / 1000
    }

    Timer {
        id: resetTimer
        objectName: "resetTimer"
        property bool trashVideos: false
        interval: 400
        onTriggered: {
            if (view.model)
                view.model.resetToFactory(trashVideos)
        }
    }

    // The tray app hands its portal chooser to every window as `folderPortal`.
    Connections {
        id: portalAnswers
        target: typeof folderPortal !== "undefined" ? folderPortal : null
        function onChosen(folder) {
            if (view.model)
                view.model.setLibraryFolder(folder)
        }
        function onFailed() {
            view.openFolderDialog()
        }
    }

    FolderDialog {
        id: folderDialog
        objectName: "folderDialog"
        title: "Choose the library folder"
        onAccepted: {
            if (view.model)
                view.model.setLibraryFolder(SettingsText.localPath(selectedFolder))
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // ---- The two groups ----
        MetroTabBar {
            objectName: "groupTabs"
            Layout.leftMargin: Theme.padding + 4
            Layout.topMargin: 6
            tabs: [{ name: "downloadTab", label: "Download settings" },
                   { name: "appTab", label: "App settings" }]
            currentIndex: view.group
            Accessible.name: "Settings"
            onActivated: index => view.group = index
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.line
        }

        Flickable {
            id: flick
            objectName: "page"

            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: width
            contentHeight: (view.group === 0 ? downloadGroup : appGroup).implicitHeight + 40
            clip: true
            boundsBehavior: Flickable.StopAtBounds

            T.ScrollBar.vertical: ThinScrollBar {}

            // ================= Download settings =================
            ColumnLayout {
                id: downloadGroup
                objectName: "downloadGroup"

                x: 20
                y: 20
                width: flick.width - 40
                visible: view.group === 0
                spacing: 22

                SettingsSection {
                    objectName: "librarySection"
                    Layout.fillWidth: true
                    title: "Library folder"

                    SettingsRow {
                        Layout.fillWidth: true
                        label: "Folder"

                        MetroText {
                            objectName: "libraryFolder"
                            Layout.fillWidth: true
                            text: view.model ? view.model.libraryFolder : ""
                            mono: true
                            size: Theme.sizeSmall
                            color: Theme.secondary
                            elide: Text.ElideMiddle
                        }
                        MetroSecondaryButton {
                            objectName: "chooseFolderButton"
                            text: "Choose…"
                            iconName: "kelvo-folder-open"
                            Accessible.name: "Choose the library folder"
                            onClicked: view.chooseFolder()
                        }
                    }
                    MetroText {
                        objectName: "folderNote"
                        Layout.fillWidth: true
                        text: view.model ? SettingsText.folderNote(view.model.playlistFolder,
                                                               view.model.singlesFolder) : ""
                        size: Theme.sizeSmall
                        color: Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                        lineHeight: 1.15
                    }
                    MetroText {
                        objectName: "folderDialogError"
                        Layout.fillWidth: true
                        visible: view.folderDialogFailed
                        text: "The folder chooser could not open: it needs the package "
                              + "qml6-module-qt-labs-folderlistmodel."
                        size: Theme.sizeSmall
                        color: Theme.error
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }
                }

                SettingsSection {
                    objectName: "playlistSection"
                    Layout.fillWidth: true
                    title: "Playlist downloads"

                    SettingsRow {
                        Layout.fillWidth: true
                        label: "Saved to"
                        value: view.model ? view.model.playlistFolder : ""
                        mono: true
                    }
                    MetroField {
                        id: linkField
                        objectName: "linkField"
                        Layout.fillWidth: true
                        mono: true
                        placeholderText: "youtube.com/playlist?list=…"
                        text: view.link
                        enabled: !view.working
                        Accessible.name: "Playlist link"
                        onTextChanged: view.link = text
                        onAccepted: view.savePlaylist()
                    }
                    SettingsRow {
                        Layout.fillWidth: true
                        label: "Check every"

                        MetroSegmented {
                            objectName: "intervalChoice"
                            options: SettingsText.intervals
                            selection: view.interval
                            enabled: !view.working
                            Accessible.name: "Check every"
                            onActivated: value => view.interval = value
                        }
                        Item {
                            Layout.fillWidth: true
                        }
                        MetroPrimaryButton {
                            objectName: "saveButton"
                            text: view.working ? "Checking…" : "Save and sync"
                            enabled: !view.working && view.link.trim() !== ""
                            Accessible.name: "Save and sync"
                            onClicked: view.savePlaylist()
                        }
                    }
                    MetroText {
                        objectName: "playlistHint"
                        Layout.fillWidth: true
                        text: "Make the playlist Unlisted on YouTube and paste its share link. "
                              + "Videos removed from it move to _archive; nothing is deleted."
                        size: Theme.sizeSmall
                        color: Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                        lineHeight: 1.15
                    }
                    MetroText {
                        objectName: "saveMessage"
                        Layout.fillWidth: true
                        visible: view.message !== ""
                        text: view.message
                        size: Theme.sizeRow
                        color: view.messageIsError ? Theme.error : Theme.success
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }

                    Repeater {
                        objectName: "playlistRows"
                        model: view.playlists

                        ColumnLayout {
                            id: playlistRow

                            required property var modelData

                            Layout.fillWidth: true
                            Layout.topMargin: 4
                            spacing: 3

                            Rectangle {
                                Layout.fillWidth: true
                                Layout.bottomMargin: 6
                                implicitHeight: 1
                                color: Theme.line
                            }
                            RowLayout {
                                Layout.fillWidth: true
                                spacing: 10

                                LucideIcon {
                                    Layout.alignment: Qt.AlignTop
                                    Layout.topMargin: 1
                                    name: "kelvo-list-video"
                                    size: 15
                                    color: Theme.secondary
                                }
                                ColumnLayout {
                                    Layout.fillWidth: true
                                    spacing: 3

                                    MetroText {
                                        objectName: "playlistTitle"
                                        Layout.fillWidth: true
                                        text: playlistRow.modelData.title
                                        size: Theme.sizeTitle
                                        weight: Font.Medium
                                    }
                                    MetroText {
                                        objectName: "playlistStatus"
                                        Layout.fillWidth: true
                                        text: SettingsText.statusLine(playlistRow.modelData, view.now)
                                        size: Theme.sizeSmall
                                        color: Theme.secondary
                                    }
                                    MetroText {
                                        objectName: "playlistFolder"
                                        Layout.fillWidth: true
                                        text: playlistRow.modelData.folder
                                        mono: true
                                        size: Theme.sizeSmall
                                        color: Theme.muted
                                        elide: Text.ElideMiddle
                                    }
                                }
                                MetroSecondaryButton {
                                    objectName: "stopButton"
                                    Layout.alignment: Qt.AlignTop
                                    text: "Stop syncing"
                                    tone: Theme.error
                                    Accessible.name: "Stop syncing " + playlistRow.modelData.title
                                    onClicked: view.model.stopSyncing(playlistRow.modelData.id)
                                }
                            }
                        }
                    }
                }

                SettingsSection {
                    objectName: "singlesSection"
                    Layout.fillWidth: true
                    title: "Single downloads"

                    SettingsRow {
                        Layout.fillWidth: true
                        label: "Saved to"
                        value: view.model ? view.model.singlesFolder : ""
                        mono: true
                    }
                    SettingsRow {
                        objectName: "shortcutRow"
                        Layout.fillWidth: true
                        label: "Clipboard shortcut"
                        value: view.model && view.model.clipboardShortcutActive ? view.shortcut
                                                                                : "Unavailable"
                        mono: true
                        valueColor: view.model && view.model.clipboardShortcutActive
                                    ? Theme.accent : Theme.warning
                    }
                    MetroText {
                        objectName: "shortcutNote"
                        Layout.fillWidth: true
                        text: SettingsText.shortcutNote(view.model ? view.model.clipboardShortcutActive
                                                               : false, view.shortcut,
                                                        view.model ? view.model.shortcutProblem : "")
                        size: Theme.sizeSmall
                        color: Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }
                }

                SettingsSection {
                    objectName: "qualitySection"
                    Layout.fillWidth: true
                    title: "Download quality"

                    SettingsRow {
                        Layout.fillWidth: true
                        label: "Quality"
                        value: "Best up to 1080p · H.264 + AAC · original audio"
                    }
                    SettingsRow {
                        Layout.fillWidth: true
                        label: "Summaries"
                        value: "On this computer only"
                    }
                    SettingsRow {
                        objectName: "summariesModelRow"
                        Layout.fillWidth: true
                        label: "Local model"
                        value: !view.model ? ""
                               : (view.model.summariesStatus !== "" ? view.model.summariesStatus
                                                                    : "Checking…")
                        mono: true
                        valueColor: view.model && view.model.summariesAvailable ? Theme.secondary
                                                                                : Theme.warning
                    }
                    SettingsRow {
                        objectName: "toolsRow"
                        Layout.fillWidth: true
                        label: "Tools"
                        value: view.model ? SettingsText.toolsLine(view.model.ytdlpVersion,
                                                                   view.model.ytdlpAgeDays) : ""
                        mono: true
                        valueColor: view.model && view.model.ytdlpStale === true ? Theme.warning
                                                                                 : Theme.secondary

                        MetroSecondaryButton {
                            objectName: "updateToolsButton"
                            text: "Update yt-dlp"
                            iconName: "kelvo-download"
                            enabled: !!view.model && view.model.toolsUpdating === false
                                     && !view.model.isBusy
                            Accessible.name: text
                            onClicked: view.model.updateYtdlp()
                        }
                    }
                    MetroText {
                        objectName: "toolsMessage"
                        Layout.fillWidth: true
                        visible: text !== ""
                        text: view.model && view.model.toolsMessage ? view.model.toolsMessage : ""
                        size: Theme.sizeSmall
                        color: text.startsWith("✗") ? Theme.error
                               : text.startsWith("✓") ? Theme.success : Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }
                }

                SettingsSection {
                    objectName: "requestsSection"
                    Layout.fillWidth: true
                    title: "Requests to YouTube"

                    MetroLabel {
                        text: "Pause between downloads"
                    }
                    MetroSegmented {
                        objectName: "pauseChoice"
                        options: SettingsText.pauses
                        selection: view.pauseSeconds
                        Accessible.name: "Pause between downloads"
                        onActivated: value => view.changeSetting("pause-between-downloads", value)
                    }
                    MetroLabel {
                        Layout.topMargin: 4
                        text: "Use cookies from"
                    }
                    MetroSegmented {
                        objectName: "cookiesChoice"
                        options: SettingsText.cookieBrowsers
                        selection: view.cookiesFrom
                        Accessible.name: "Use cookies from"
                        onActivated: value => view.changeSetting("cookies-from", value)
                    }
                    MetroText {
                        objectName: "cookiesCaution"
                        Layout.fillWidth: true
                        text: "With cookies, yt-dlp uses the YouTube session of the account "
                              + "signed in to that browser."
                        size: Theme.sizeSmall
                        color: Theme.warning
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }
                    MetroText {
                        Layout.fillWidth: true
                        text: "When YouTube refuses this computer (too many requests, a bot "
                              + "check), kelvo stops and tries again later. A pause, or cookies "
                              + "from a browser where you are signed in, helps."
                        size: Theme.sizeSmall
                        color: Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                        lineHeight: 1.15
                    }
                }

                SettingsSection {
                    id: mediaSection
                    objectName: "mediaServersSection"
                    Layout.fillWidth: true
                    title: "Media servers"

                    // A setting by its kelvo-cli name; "" with a model that has none.
                    function read(name) {
                        return view.model && typeof view.model.setting === "function"
                               ? view.model.setting(name) : ""
                    }
                    function store(name, value) {
                        if (view.model && typeof view.model.setSetting === "function")
                            view.model.setSetting(name, value)
                    }

                    MetroText {
                        Layout.fillWidth: true
                        text: "For Jellyfin or Kodi pointed at the library folder. Each choice "
                              + "applies to videos downloaded from now on."
                        size: Theme.sizeSmall
                        color: Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }
                    Repeater {
                        model: SettingsText.mediaToggles
                        delegate: MetroToggle {
                            required property var modelData
                            objectName: modelData.name + "Toggle"
                            text: modelData.label
                            checked: mediaSection.read(modelData.name) === "on"
                            Accessible.name: text
                            onToggled: {
                                mediaSection.store(modelData.name, checked ? "on" : "off")
                                checked = Qt.binding(() => mediaSection.read(modelData.name) === "on")
                            }
                        }
                    }
                    SettingsRow {
                        Layout.fillWidth: true
                        label: "Subtitles"

                        MetroField {
                            objectName: "subtitlesField"
                            Layout.fillWidth: true
                            mono: true
                            placeholderText: "en,de (empty: none)"
                            text: mediaSection.read("subtitles")
                            Accessible.name: "Subtitle languages"
                            onEditingFinished: mediaSection.store("subtitles", text)
                        }
                    }
                    MetroText {
                        Layout.fillWidth: true
                        text: SettingsText.mediaNote
                        size: Theme.sizeSmall
                        color: Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }
                }
            }

            // ================= App settings =================
            ColumnLayout {
                id: appGroup
                objectName: "appGroup"

                x: 20
                y: 20
                width: flick.width - 40
                visible: view.group === 1
                spacing: 22

                SettingsSection {
                    objectName: "appearanceSection"
                    Layout.fillWidth: true
                    title: "Appearance"

                    SettingsRow {
                        Layout.fillWidth: true
                        label: "App appearance"

                        MetroSegmented {
                            objectName: "appearanceChoice"
                            options: AppAppearance.cases
                            selection: view.model ? AppAppearance.normalized(view.model.appearance)
                                                  : AppAppearance.dark
                            Accessible.name: "App appearance"
                            onActivated: value => {
                                if (view.model)
                                    view.model.appearance = value
                            }
                        }
                    }
                    MetroText {
                        Layout.fillWidth: true
                        text: "Follow system uses your desktop's light or dark style; "
                              + "dot.Matrix is always dark."
                        size: Theme.sizeSmall
                        color: Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }
                }

                SettingsSection {
                    objectName: "generalSection"
                    Layout.fillWidth: true
                    title: "General"

                    MetroToggle {
                        id: loginToggle
                        objectName: "loginToggle"
                        text: "Open at login"
                        checked: view.model ? view.model.launchAtLogin : false
                        Accessible.name: text
                        onToggled: {
                            if (view.model)
                                view.model.setLaunchAtLogin(checked)
                            // Show what the model says, not what was clicked.
                            checked = Qt.binding(() => view.model ? view.model.launchAtLogin
                                                                  : false)
                        }
                    }
                    MetroText {
                        objectName: "loginNote"
                        Layout.fillWidth: true
                        visible: text !== ""
                        text: view.model ? view.model.loginItemNote : ""
                        size: Theme.sizeSmall
                        color: Theme.warning
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }
                    MetroText {
                        Layout.fillWidth: true
                        text: "Notifications appear when downloads start and finish (your "
                              + "desktop's notification settings control them)."
                        size: Theme.sizeSmall
                        color: Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                    }
                }

                SettingsSection {
                    objectName: "aboutSection"
                    Layout.fillWidth: true
                    title: "About"

                    MetroText {
                        objectName: "aboutText"
                        Layout.fillWidth: true
                        text: "kelvo keeps one YouTube playlist in sync on your computer and saves "
                              + "single videos from a copied link. Downloads, summaries and tags "
                              + "all happen on this computer; kelvo has no account, no analytics "
                              + "and no server of its own."
                        size: Theme.sizeRow
                        color: Theme.secondary
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                        lineHeight: 1.15
                    }
                    SettingsRow {
                        Layout.fillWidth: true
                        label: "Version"
                        value: view.model ? view.model.buildDisplay : ""
                        mono: true
                    }
                    MetroLabel {
                        Layout.topMargin: 4
                        text: "Acknowledgments"
                    }
                    Repeater {
                        objectName: "acknowledgments"
                        model: SettingsText.acknowledgments

                        RowLayout {
                            required property var modelData

                            Layout.fillWidth: true
                            spacing: 12

                            ColumnLayout {
                                Layout.fillWidth: true
                                spacing: 1

                                MetroText {
                                    Layout.fillWidth: true
                                    text: modelData.name
                                    size: Theme.sizeRow
                                    weight: Font.Medium
                                }
                                MetroText {
                                    Layout.fillWidth: true
                                    text: modelData.credit
                                    size: Theme.sizeSmall
                                    color: Theme.muted
                                }
                            }
                            MetroText {
                                Layout.alignment: Qt.AlignTop
                                text: modelData.license
                                mono: true
                                size: Theme.sizeSmall
                                color: Theme.secondary
                            }
                        }
                    }
                    MetroSecondaryButton {
                        objectName: "licensesButton"
                        Layout.topMargin: 2
                        text: "Show license texts"
                        iconName: "kelvo-scroll-text"
                        Accessible.name: text
                        onClicked: licenseSheet.open()
                    }
                }

                SettingsSection {
                    objectName: "resetSection"
                    Layout.fillWidth: true
                    title: "Reset"

                    SettingsRow {
                        Layout.fillWidth: true
                        label: "Reset to factory"

                        Item {
                            Layout.fillWidth: true
                        }
                        MetroSecondaryButton {
                            objectName: "resetButton"
                            text: "Reset…"
                            iconName: "kelvo-rotate-ccw"
                            tone: Theme.error
                            Accessible.name: "Reset to factory"
                            onClicked: view.askReset()
                        }
                    }
                    MetroText {
                        Layout.fillWidth: true
                        text: "Stops syncing, clears the Library and every setting, turns off Open "
                              + "at login and relaunches kelvo as new. The catalog is kept in a "
                              + "dated backup folder; your videos stay unless you choose otherwise."
                        size: Theme.sizeSmall
                        color: Theme.muted
                        wrapMode: Text.Wrap
                        elide: Text.ElideNone
                        lineHeight: 1.15
                    }
                }
            }
        }
    }

    ConfirmSheet {
        id: resetSheet
        objectName: "resetSheet"
        title: "Reset kelvo to factory settings?"
        message: "Syncing stops, the Library and all settings are cleared, Open at login is "
                 + "turned off, and kelvo relaunches as on first launch. The catalog moves to a "
                 + "dated backup folder beside it in ~/.local/share."
        confirmText: "Reset and relaunch"
        destructive: true
        onConfirmed: view.confirmReset()

        MetroToggle {
            id: trashVideosToggle
            objectName: "trashVideosToggle"
            Layout.topMargin: 4
            text: "Also move my downloaded videos to the Trash"
            Accessible.name: text
            onToggled: view.resetTrashVideos = checked
        }
    }

    LicenseSheet {
        id: licenseSheet
        objectName: "licenseSheet"
    }
}
