.pragma library

.import "../texts.js" as Texts

// The Settings window's texts built from the model's values. Pure functions, so the tests can
// call them with any clock.

// The check intervals a new playlist can have, in order; 30 is preselected.
const intervals = [
    { value: 15, label: "15 min" },
    { value: 30, label: "30 min" },
    { value: 60, label: "1 hour" },
    { value: 120, label: "2 hours" }
]
const defaultInterval = 30

// "every 30 min" below an hour, "every 2 h" from an hour on.
function intervalText(minutes) {
    const value = Number(minutes)
    return value < 60 ? "every " + value + " min" : "every " + Math.floor(value / 60) + " h"
}

// A synced playlist's status line: "checked 5 minutes ago · every 30 min", or
// "not checked yet · every 2 h". `playlist` is the model's playlist map.
function statusLine(playlist, now) {
    const every = intervalText(playlist.intervalMin)
    const checked = playlist.lastCheckedAt
    if (checked === undefined || checked === null || isNaN(Number(checked)))
        return "not checked yet · " + every
    return "checked " + Texts.sinceCheck(checked, now) + " · " + every
}

// The pauses kelvo can make between the downloads of a run, and the browsers yt-dlp can take
// cookies from; the values are those of `kelvo-cli settings`.
const pauses = [
    { value: "0", label: "Off" },
    { value: "5", label: "5 s" },
    { value: "10", label: "10 s" },
    { value: "30", label: "30 s" }
]
const cookieBrowsers = [
    { value: "none", label: "None" },
    { value: "firefox", label: "Firefox" },
    { value: "chromium", label: "Chromium" },
    { value: "chrome", label: "Chrome" },
    { value: "brave", label: "Brave" },
    { value: "edge", label: "Edge" },
    { value: "vivaldi", label: "Vivaldi" }
]

// The Tools row: "yt-dlp 2025.11.12 · 24 days old", "yt-dlp not found", "Checking…" before
// the model has looked.
function toolsLine(version, ageDays) {
    if (!version)
        return "Checking…"
    if (version === "not found")
        return "yt-dlp not found"
    const age = Number(ageDays)
    return "yt-dlp " + version + (age >= 0 ? " · " + age + (age === 1 ? " day" : " days")
                                             + " old" : "")
}

// The explanation under the library folder.
function folderNote(playlistFolder, singlesFolder) {
    return "Playlist videos go in " + playlistFolder + ", single downloads in " + singlesFolder
           + ". Changing the folder applies to new downloads; files already downloaded stay "
           + "where they are."
}

// `problem`: the model's reason for a missing shortcut, shown as it is when there is one.
function shortcutNote(active, shortcut, problem) {
    if (active)
        return "Paste a link in the tray popover, or copy a video link anywhere and press "
               + shortcut + "."
    if (problem)
        return problem
    return "The desktop refused " + shortcut + " — another app is probably using it. "
           + "Paste links in the popover instead."
}

// A local path from a file URL ("file:///home/a%20b" -> "/home/a b").
function localPath(url) {
    const text = String(url)
    return text.startsWith("file://") ? decodeURIComponent(text.substring(7)) : text
}

// A file URL for a path that may begin with "~", given the home folder's URL.
function folderUrl(path, homeUrl) {
    let local = String(path)
    if (local === "~" || local.startsWith("~/"))
        local = localPath(homeUrl) + local.substring(1)
    return "file://" + local.split("/").map(encodeURIComponent).join("/")
}

// The outside components kelvo is built on, with their licences and credit lines.
const acknowledgments = [
    { name: "yt-dlp", license: "The Unlicense (public domain)",
      credit: "the yt-dlp contributors · reads and downloads the videos" },
    { name: "Deno", license: "MIT License",
      credit: "the Deno authors · runs yt-dlp's YouTube challenge solver" },
    { name: "FFmpeg", license: "GNU LGPL 2.1 or later",
      credit: "the FFmpeg developers · merges video and audio into one MP4" },
    { name: "Inter", license: "SIL Open Font License 1.1", credit: "The Inter Project Authors" },
    { name: "JetBrains Mono", license: "SIL Open Font License 1.1",
      credit: "The JetBrains Mono Project Authors" },
    { name: "Lucide icons", license: "ISC License", credit: "Lucide Contributors" }
]

// The Media servers section's on/off choices, by their kelvo-cli names.
const mediaToggles = [
    { name: "thumbnails", label: "Save each video's thumbnail (<name>-poster.jpg)" },
    { name: "automatic-captions", label: "Use automatic captions when a language has no subtitles" },
    { name: "sponsor-chapters", label: "Mark sponsor segments as chapters" },
    { name: "upload-date-as-file-time", label: "Upload date as the file's date" },
    { name: "keep-archives-out", label: "Keep _archive folders out of media libraries" }
]

const mediaNote = "Subtitles are saved as <name>.<language>.srt; a language a video lacks is "
        + "skipped. Sponsor chapters send each video's id to SponsorBlock to look up its "
        + "segments; nothing is cut. The file's date becomes the upload day and the .nfo "
        + "records when kelvo saved it. Archives get .ignore and .nomedia files."
