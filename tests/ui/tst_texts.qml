import QtQuick
import QtTest
import "../../ui/views/texts.js" as Texts

// The popover's derived texts: relative times, playlist status lines, byte counts, progress.
TestCase {
    name: "PopoverTexts"

    function test_relativeTime_data() {
        const minute = 60, hour = 3600, day = 86400
        return [
            { tag: "same instant", ago: 0, text: "now" },
            { tag: "a second", ago: 1, text: "1 second ago" },
            { tag: "seconds", ago: 42, text: "42 seconds ago" },
            { tag: "one minute", ago: minute, text: "1 minute ago" },
            { tag: "five minutes", ago: 5 * minute + 20, text: "5 minutes ago" },
            { tag: "an hour", ago: hour, text: "1 hour ago" },
            { tag: "hours", ago: 23 * hour, text: "23 hours ago" },
            { tag: "yesterday", ago: day + hour, text: "yesterday" },
            { tag: "days", ago: 3 * day, text: "3 days ago" },
            { tag: "last week", ago: 8 * day, text: "last week" },
            { tag: "weeks", ago: 20 * day, text: "2 weeks ago" },
            { tag: "last month", ago: 40 * day, text: "last month" },
            { tag: "months", ago: 100 * day, text: "3 months ago" },
            { tag: "last year", ago: 400 * day, text: "last year" },
            { tag: "years", ago: 800 * day, text: "2 years ago" },
            { tag: "clock behind: minutes ahead", ago: -5 * minute, text: "in 5 minutes" },
            { tag: "clock behind: a day ahead", ago: -day, text: "tomorrow" }
        ]
    }

    function test_relativeTime(data) {
        const now = 1700000000
        compare(Texts.relativeTime(now - data.ago, now), data.text)
    }

    function test_playlistStatus() {
        const now = 1700000000
        compare(Texts.playlistStatus({ intervalMin: 30, lastCheckedAt: now - 300 }, now),
                "checked 5 minutes ago · every 30 min")
        compare(Texts.playlistStatus({ intervalMin: 120, lastCheckedAt: null }, now),
                "not checked yet · every 120 min")
        compare(Texts.playlistStatus({ intervalMin: 15 }, now), "not checked yet · every 15 min")
    }

    function test_byteCount_data() {
        return [
            { tag: "one", bytes: 1, text: "1 byte" },
            { tag: "bytes", bytes: 999, text: "999 bytes" },
            { tag: "kilobytes", bytes: 1000, text: "1.00 kB" },
            { tag: "megabytes", bytes: 4200000, text: "4.20 MB" },
            { tag: "tens of MB", bytes: 12345678, text: "12.3 MB" },
            { tag: "hundreds of MB", bytes: 812000000, text: "812 MB" },
            { tag: "gigabytes", bytes: 1310000000, text: "1.31 GB" },
            { tag: "negative", bytes: -5, text: "" }
        ]
    }

    function test_byteCount(data) {
        compare(Texts.byteCount(data.bytes), data.text)
    }

    function test_progressLine() {
        compare(Texts.progressLine(false, 3, 12, 5000), "")
        compare(Texts.progressLine(true, 0, 0, 0), "")
        compare(Texts.progressLine(true, 3, 12, 0), "Entry 3 of 12")
        compare(Texts.progressLine(true, 0, 0, 2500000), "2.50 MB so far")
        compare(Texts.progressLine(true, 1, 1, 999), "Entry 1 of 1 · 999 bytes so far")
    }
}
