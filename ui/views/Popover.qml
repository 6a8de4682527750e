import QtQuick
import QtQuick.Layouts
import Kelvo.Style
import "texts.js" as Texts

// The popover: kelvo's state, a field for a video link, the synced playlists with "Sync now",
// and the way into the windows. A view over the model; it keeps only the text of the field.
Rectangle {
    id: popover

    // The AppModel (or a stand-in with the same properties and operations).
    property QtObject model
    // The clock of the playlists' status lines (seconds since 1970), refreshed every 30 s.
    property real now: Date.now() / 1000
    // Shown as a window because the desktop has no tray: a line says how to open it again.
    property bool trayMissing: false

    readonly property bool busyElsewhere: !!(model && model.busyElsewhere)
    readonly property bool busy: model ? model.isBusy || busyElsewhere : false
    readonly property var playlists: model ? model.enabledPlaylists : []
    readonly property bool canGet: Texts.canGet(linkField.text, busy)
    readonly property bool canSync: !busy && playlists.length > 0
    readonly property string buildPill: model ? model.buildPill : ""

    // Asks the owner to bring kelvo to the front with the window "library", "activity" or
    // "settings".
    signal openWindow(string identifier)
    signal quitRequested()

    // Hands the field's text, as typed, to the model's single download and clears the field,
    // unless the download was refused as busy (the model says why in lastError).
    function submitLink() {
        if (!canGet)
            return
        if (model.download(linkField.text, false) !== Texts.jobBusy)
            linkField.text = ""
    }

    // Puts the keyboard in the link field, ready for a paste.
    function focusLink() {
        linkField.forceActiveFocus()
    }

    function syncNow() {
        if (canSync)
            model.syncNow()
    }

    implicitWidth: 380
    width: 380
    implicitHeight: content.implicitHeight
    color: Theme.popoverBackground

    Timer {
        interval: 30000
        repeat: true
        running: popover.visible
        triggeredOnStart: true
        onTriggered: popover.now = Date.now() / 1000
    }

    ColumnLayout {
        id: content

        width: parent.width
        spacing: 0

        MetroHeader {
            Layout.fillWidth: true

            Pill {
                objectName: "buildPill"
                text: popover.buildPill
                tone: Theme.accent
                help: "Build: " + popover.buildPill
            }
        }

        // ---- Status ----
        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: Theme.padding
            Layout.bottomMargin: 0
            spacing: 4

            MetroLabel {
                objectName: "statusLabel"
                text: popover.busy ? "Working" : "Status"
                color: popover.busy ? Theme.accent : Theme.muted
            }
            MetroText {
                objectName: "currentTitle"
                Layout.fillWidth: true
                visible: text !== ""
                text: popover.model ? popover.model.currentTitle : ""
                size: Theme.sizeTitle
                weight: Font.Medium
            }
            MetroText {
                objectName: "latestActivity"
                Layout.fillWidth: true
                readonly property var lines: popover.model ? popover.model.activity : []
                visible: text !== "" && !(popover.model && popover.model.currentTitle !== "")
                text: lines.length > 0 ? lines[lines.length - 1] : ""
                size: Theme.sizeRow
                color: Theme.secondary
            }
            MetroText {
                objectName: "busyElsewhere"
                Layout.fillWidth: true
                visible: popover.busyElsewhere
                text: Texts.busyElsewhereLine
                size: Theme.sizeSmall
                color: Theme.accent
                wrapMode: Text.Wrap
            }
            MetroText {
                objectName: "idle"
                visible: popover.model !== null
                         && !popover.busyElsewhere
                         && popover.model.currentTitle === ""
                         && popover.model.activity.length === 0
                text: "Idle"
                size: Theme.sizeSmall
                weight: Font.Medium
                color: Theme.secondary
            }
            MetroText {
                objectName: "progress"
                Layout.fillWidth: true
                text: popover.model ? Texts.progressLine(popover.busy, popover.model.syncIndex,
                                                         popover.model.syncTotal,
                                                         popover.model.downloadedBytes)
                                    : ""
                visible: text !== ""
                mono: true
                size: Theme.sizeSmall
                color: Theme.accent
            }
            MetroText {
                objectName: "trayNote"
                Layout.fillWidth: true
                visible: popover.trayMissing
                text: "kelvo keeps running when you close this window. Start kelvo again to open it."
                size: Theme.sizeSmall
                color: Theme.secondary
                wrapMode: Text.Wrap
            }
            MetroText {
                objectName: "lastError"
                Layout.fillWidth: true
                visible: text !== ""
                text: popover.model ? popover.model.lastError : ""
                size: Theme.sizeSmall
                color: Theme.error
                wrapMode: Text.Wrap
                maximumLineCount: 3
            }
        }

        // ---- Link ----
        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: Theme.padding
            Layout.bottomMargin: 0
            spacing: 6

            MetroLabel {
                text: "Paste a link"
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: Theme.gap

                MetroField {
                    id: linkField
                    objectName: "linkField"
                    Layout.fillWidth: true
                    mono: true
                    Accessible.name: "Video link"
                    placeholderText: "youtube.com/watch?v=…"
                    onAccepted: popover.submitLink()
                }
                MetroPrimaryButton {
                    objectName: "getButton"
                    text: "Get"
                    enabled: popover.canGet
                    onClicked: popover.submitLink()
                }
            }
            MetroText {
                objectName: "savesTo"
                Layout.fillWidth: true
                text: "Saves to " + (popover.model ? popover.model.singlesFolder : "")
                      + " · best up to 1080p"
                size: Theme.sizeSmall
                color: Theme.muted
                elide: Text.ElideMiddle
            }
            MetroText {
                objectName: "shortcutTip"
                Layout.fillWidth: true
                visible: popover.model ? popover.model.clipboardShortcutActive : false
                text: "Tip: copy a video link anywhere, then press Ctrl+Alt+Y."
                size: Theme.sizeSmall
                color: Theme.muted
            }
        }

        // ---- Playlists ----
        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: Theme.padding
            spacing: 6

            RowLayout {
                Layout.fillWidth: true

                MetroLabel {
                    Layout.fillWidth: true
                    text: "Playlists"
                }
                MetroSecondaryButton {
                    objectName: "syncButton"
                    text: "Sync now"
                    iconName: "kelvo-refresh-cw"
                    enabled: popover.canSync
                    onClicked: popover.syncNow()
                }
            }
            MetroText {
                objectName: "noPlaylists"
                Layout.fillWidth: true
                visible: popover.playlists.length === 0
                text: "No .kelvo playlist yet — open Settings to add its link."
                size: Theme.sizeRow
                color: Theme.muted
                wrapMode: Text.Wrap
            }
            Repeater {
                objectName: "playlistRows"
                model: popover.playlists

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 10

                    LucideIcon {
                        Layout.alignment: Qt.AlignTop
                        Layout.topMargin: 2
                        name: "kelvo-list-video"
                        size: 14
                        color: Theme.secondary
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 1

                        MetroText {
                            Layout.fillWidth: true
                            text: modelData.title
                            size: Theme.sizeRow
                            weight: Font.Medium
                        }
                        MetroText {
                            objectName: "playlistStatus"
                            Layout.fillWidth: true
                            text: Texts.playlistStatus(modelData, popover.now)
                            size: Theme.sizeSmall
                            color: Theme.secondary
                        }
                    }
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.line
        }

        // ---- Footer ----
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 10
            spacing: 2

            MetroSecondaryButton {
                objectName: "libraryButton"
                flat: true
                text: "Library"
                iconName: "kelvo-library"
                onClicked: popover.openWindow("library")
            }
            MetroSecondaryButton {
                objectName: "activityButton"
                flat: true
                text: "Activity log"
                iconName: "kelvo-scroll-text"
                onClicked: popover.openWindow("activity")
            }
            MetroSecondaryButton {
                objectName: "settingsButton"
                flat: true
                text: "Settings"
                iconName: "kelvo-settings"
                onClicked: popover.openWindow("settings")
            }
            Item {
                Layout.fillWidth: true
            }
            MetroSecondaryButton {
                objectName: "quitButton"
                flat: true
                text: "Quit"
                tone: Theme.secondary
                onClicked: popover.quitRequested()
            }
        }
    }
}
