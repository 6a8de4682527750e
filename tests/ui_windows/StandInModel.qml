import QtQuick

// A stand-in for AppModel with what the Library, Settings and Activity views read. It records
// what was asked of it in `calls` ("open <id>", "reset true", ...).
QtObject {
    property var calls: []
    property var list: []  // what entries() answers (fixture.entry() makes the maps)
    property string query: ""  // the search entries() was last asked for
    property var lines: []  // the activity log, newest first
    property var enabledPlaylists: []
    property bool savingPlaylist: false
    readonly property string shortcutLabel: "Ctrl+Alt+Y"
    property bool clipboardShortcutActive: true
    property string shortcutProblem: ""
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
    property string buildPill: "DEV"
    property real resetAt: 0

    signal playlistSaved(bool ok, string message)

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
    function checkSummaries() {}
    function copyActivity() { return record("copy") }
    function savePlaylist(link, interval) { savingPlaylist = record("save " + link + " " + interval) }
    function setLaunchAtLogin(on) { launchAtLogin = record("login " + on) && loginWorks ? on : launchAtLogin }
    function resetToFactory(trashVideos) {
        resetAt = Date.now()
        record("reset " + trashVideos)
    }
}
