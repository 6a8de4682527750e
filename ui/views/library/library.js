.pragma library

// The Library window's rules over the model's entry maps (see AppModel::entryMap): the source
// filter, the empty states, the pill and the actions each status offers. Pure functions, so the
// tests can call them directly.

// The source filter's choices, in order.
const sources = [
    { value: "all", label: "All" },
    { value: "playlist", label: "Playlist" },
    { value: "singles", label: "Singles" }
]

// The listing with the filter applied, in the catalog's order.
function shown(results, source) {
    if (source === "playlist")
        return results.filter(entry => !entry.isSingle)
    if (source === "singles")
        return results.filter(entry => entry.isSingle)
    return results
}

// The empty state's title: why nothing is listed.
function emptyTitle(query, results, source) {
    if (query !== "")
        return "No matches"
    if (results.length > 0) {
        if (source === "singles")
            return "No single downloads"
        if (source === "playlist")
            return "No playlist videos"
    }
    return "No videos yet"
}

function emptyHint(query) {
    return query !== "" ? "Search looks at titles, summaries and tags."
                        : "Paste a link or add your .kelvo playlist in Settings."
}

// The tone (a Theme.tone name) of an entry's status pill; its text comes with the entry.
function pillTone(entry) {
    switch (entry.statusText) {
    case "Downloading": return "accent"
    case "Archived": return "warning"
    case "": return "muted"
    default: return "error"
    }
}

// The colour of the status word in the detail pane.
function statusTone(entry) {
    switch (entry.statusWord) {
    case "Downloaded": return "success"
    case "Queued":
    case "Downloading": return "accent"
    case "Archived": return "warning"
    default: return "error"
    }
}

// What the detail pane offers for an entry:
//   "working"  queued or downloading: a note, no actions
//   "failed"   "Try again" (and removal from the Library)
//   "signIn"   nothing
//   "present"  "Play", "Show in Folder" and the remove button
//   "missing"  the note that the file is gone and "Remove from Library"
function actions(entry) {
    switch (entry.status) {
    case "queued":
    case "downloading":
        return "working"
    case "failed":
        return "failed"
    case "needs_sign_in":
        return "signIn"
    case "done":
        return entry.isMissing ? "missing" : "present"
    default:
        return "none"
    }
}

// Whether the entry may be removed from the Library (asked first).
function canRemove(entry) {
    const kind = actions(entry)
    return kind === "present" || kind === "missing" || kind === "failed" || kind === "signIn"
}

// Whether the entry has no file: a failed one, or one that waits for a sign-in.
function nothingSaved(entry) {
    return entry.status === "failed" || entry.status === "needs_sign_in"
}

// The removal confirmation's title.
function confirmTitle(entry) {
    return "Delete \"" + entry.title + "\"?"
}

// The removal confirmation's message. A failed entry, or one that needs a sign-in, has no
// file: it only leaves the Library.
function confirmMessage(entry) {
    if (nothingSaved(entry))
        return "It leaves the Library; nothing was saved for it. If your .kelvo playlist still "
               + "lists it, kelvo will try it again at the next sync."
    return "Every copy of this video goes to the Trash with the files beside it (its .nfo, "
           + "thumbnail and subtitles), and it leaves the Library. "
           + "If your .kelvo playlist still lists it, kelvo will not download it again."
}

// The label of the confirming button.
function confirmButton(entry) {
    return nothingSaved(entry) ? "Remove" : "Move to Trash"
}

// The index of the entry with this video id in `list`, or -1.
function indexOf(list, videoID) {
    for (let i = 0; i < list.length; ++i) {
        if (list[i].videoID === videoID)
            return i
    }
    return -1
}
