.pragma library

// The texts the popover builds from the model's values. Pure functions, so the tests can call
// them with any clock.

function plural(count, unit) {
    return count + " " + unit + (count === 1 ? "" : "s")
}

// The time from `then` to `now` (both seconds since 1970) in named relative form with wide
// units: "now", "30 seconds ago", "5 minutes ago", "2 hours ago", "yesterday", "3 days ago",
// "last week", "2 weeks ago", "last month", "4 months ago", "last year", "2 years ago", and the
// same forward ("in 5 minutes", "tomorrow", "next week" ...) for a time after `now`.
function relativeTime(then, now) {
    const seconds = Math.round(now - then)
    const future = seconds < 0
    const span = Math.abs(seconds)
    if (span < 1)
        return "now"
    const units = [
        { size: 365 * 86400, name: "year", last: "last year", next: "next year" },
        { size: 30 * 86400, name: "month", last: "last month", next: "next month" },
        { size: 7 * 86400, name: "week", last: "last week", next: "next week" },
        { size: 86400, name: "day", last: "yesterday", next: "tomorrow" },
        { size: 3600, name: "hour" },
        { size: 60, name: "minute" },
        { size: 1, name: "second" }
    ]
    for (let i = 0; i < units.length; ++i) {
        const unit = units[i]
        if (span < unit.size)
            continue
        const count = Math.floor(span / unit.size)
        if (count === 1 && unit.last !== undefined)
            return future ? unit.next : unit.last
        return future ? "in " + plural(count, unit.name) : plural(count, unit.name) + " ago"
    }
    return "now"
}

// A playlist's status line in the popover: "checked 5 minutes ago · every 30 min", or
// "not checked yet · every 30 min" for a playlist never checked. `playlist` is the model's
// playlist map (lastCheckedAt: seconds since 1970, or null).
function playlistStatus(playlist, now) {
    const every = " · every " + playlist.intervalMin + " min"
    const checked = playlist.lastCheckedAt
    if (checked === undefined || checked === null || isNaN(Number(checked)))
        return "not checked yet" + every
    return "checked " + sinceCheck(checked, now) + every
}

// The time since a check, never in the future: a stamp a moment ahead of `now` (a clock that
// refreshes now and then, or one slightly behind) reads "now".
function sinceCheck(checked, now) {
    return relativeTime(Math.min(Number(checked), now), now)
}

// A byte count for people: "812 bytes", "4.2 MB", "1.31 GB" (decimal units, as file managers
// show them).
function byteCount(bytes) {
    const value = Number(bytes)
    if (!(value >= 0))
        return ""
    if (value < 1000)
        return plural(Math.round(value), "byte")
    const units = ["kB", "MB", "GB", "TB"]
    let scaled = value
    let unit = -1
    while (scaled >= 1000 && unit < units.length - 1) {
        scaled /= 1000
        ++unit
    }
    const digits = scaled >= 100 ? 0 : (scaled >= 10 ? 1 : 2)
    return scaled.toFixed(digits) + " " + units[unit]
}

// What a running job has done so far, or "" when there is nothing to tell: "Entry 3 of 12",
// "4.2 MB so far", or both joined with " · ".
function progressLine(busy, syncIndex, syncTotal, downloadedBytes) {
    if (!busy)
        return ""
    const parts = []
    if (syncTotal > 0 && syncIndex > 0)
        parts.push("Entry " + syncIndex + " of " + syncTotal)
    if (downloadedBytes > 0)
        parts.push(byteCount(downloadedBytes) + " so far")
    return parts.join(" · ")
}

// AppModel.JobStart.busy: a download refused because another job runs.
const jobBusy = 1

// The popover's status line while a job of another process holds the job lock.
const busyElsewhereLine = "Busy: kelvo-cli or the watch service is running a job."

// The "Get" button's rule: something besides spaces in the field and no job running.
function canGet(link, busy) {
    return !busy && String(link).trim().length > 0
}
