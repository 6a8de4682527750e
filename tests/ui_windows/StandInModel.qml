import QtQuick

// A stand-in for AppModel with what the Library, Settings and Activity views read. It records
// what was asked of it in `calls` ("open <id>", "reset true", ...).
QtObject {
    property var calls: []
    // Library: what entries() answers (fixture.entry() makes the maps) and the last search.
    property var list: []
    property string query: ""
    // Activity: the log's lines, newest first.
    property var lines: []
    // Settings
    property var enabledPlaylists: []
    property bool savingPlaylist: false
    readonly property string shortcutLabel: "Ctrl+Alt+Y"
    property bool clipboardShortcutActive: true
    property string libraryFolder: "~/Videos/kelvo"
    readonly property string playlistFolder: libraryFolder + "/Playlist"
    readonly property string singlesFolder: libraryFolder + "/Singles"
    property string summariesStatus: ""
    property bool summariesAvailable: false
    property string appearance: "dark"
    property bool launchAtLogin: false
    property bool loginWorks: true
    property string loginItemNote: ""
    property string buildDisplay: "kelvo DEV"
    property real resetAt: 0

    function record(call) {
        calls = calls.concat([call])
        return true
    }
    function entries(search, limit) {
        query = search
        return list
    }
    function open(videoID) { return record("open " + videoID) }
    function reveal(videoID) { return record("reveal " + videoID) }
    function retry(videoID) { record("retry " + videoID) }
    function remove(videoID) { record("remove " + videoID) }
    function activityLines() { return lines }
    function revealActivityLog() { return record("reveal log") }
    function checkSummaries() {}
    function setLaunchAtLogin(on) {
        record("login " + on)
        if (loginWorks)
            launchAtLogin = on
    }
    function resetToFactory(trashVideos) {
        resetAt = Date.now()
        record("reset " + trashVideos)
    }
}
