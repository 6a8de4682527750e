import QtQuick

// A stand-in for AppModel with the properties the views show and the operations they call on
// their own; it records the popover's requests.
QtObject {
    property var playlists: []
    readonly property var enabledPlaylists: playlists.filter(p => p.enabled)
    property var activity: []
    property bool isBusy: false
    property string currentTitle: ""
    property string lastError: ""
    property string libraryFolder: "~/Videos/kelvo"
    readonly property string playlistFolder: libraryFolder + "/Playlist"
    readonly property string singlesFolder: libraryFolder + "/Singles"
    property bool clipboardShortcutActive: true
    readonly property string shortcutLabel: "Ctrl+Alt+Y"
    property bool launchAtLogin: false
    property string loginItemNote: ""
    property string appearance: "dark"
    property int syncIndex: 0
    property int syncTotal: 0
    property real downloadedBytes: 0
    property bool savingPlaylist: false
    property string summariesStatus: ""
    property string buildPill: "DEV · v0.1.0-12-gabcdef 2024-05-01"
    property string buildDisplay: "kelvo DEV"

    // What was asked of the model.
    property var downloads: []
    property int syncRequests: 0

    function download(link, fromClipboard) { downloads = downloads.concat([{ link, fromClipboard }]); return 0 }
    function syncNow() { syncRequests += 1; return 0 }
    function activityLines() { return [] }
    function entries(search, limit) { return [] }
    function checkSummaries() {}
}
