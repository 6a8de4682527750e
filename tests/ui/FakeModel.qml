import QtQuick

// A stand-in for AppModel with the properties and operations the views use. It records the
// operations called on it.
QtObject {
    property var playlists: []
    readonly property var enabledPlaylists: playlists.filter(p => p.enabled)
    property var recent: []
    property var activity: []
    property bool isBusy: false
    property string currentTitle: ""
    property string lastError: ""
    property string libraryFolder: "~/Videos/kelvo"
    readonly property string playlistFolder: libraryFolder + "/Playlist"
    readonly property string singlesFolder: libraryFolder + "/Singles"
    property string playlistRoot: "/home/user/Videos/kelvo/Playlist"
    property bool catalogOpen: true
    property bool clipboardShortcutActive: true
    readonly property string shortcutLabel: "Ctrl+Alt+Y"
    property bool launchAtLogin: false
    property string loginItemNote: ""
    property string appearance: "dark"
    property string syncPosition: ""
    property int syncIndex: 0
    property int syncTotal: 0
    property real downloadedBytes: 0
    property bool savingPlaylist: false
    property string summariesStatus: ""
    property bool summariesAvailable: false
    property string buildPill: "DEV · v0.1.0-12-gabcdef 2024-05-01"
    property string buildDisplay: "kelvo DEV"
    property string activityLogPath: "/tmp/activity.log"

    // What was asked of the model.
    property var downloads: []
    property int syncRequests: 0

    function download(link, fromClipboard) {
        downloads = downloads.concat([{ link: link, fromClipboard: fromClipboard }])
        return 0
    }
    function syncNow() {
        syncRequests += 1
        return 0
    }
    function syncDue() { return 2 }
    function refresh() {}
    function downloadFromClipboard() {}
    function runSync(list) { return 2 }
    function setPlaylist(link, targetPath, intervalMin) {}
    function savePlaylist(link, intervalMin) {}
    function stopSyncing(playlistID) {}
    function setLibraryFolder(path) {}
    function retry(videoID) {}
    function open(videoID) { return false }
    function reveal(videoID) { return false }
    function remove(videoID) {}
    function setLaunchAtLogin(on) {}
    function resetToFactory(trashVideos) {}
    function entries(search, limit) { return [] }
    function activityLines() { return [] }
    function revealActivityLog() { return false }
    function checkSummaries() {}
}
