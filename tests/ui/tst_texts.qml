import QtQuick
import QtTest
import "../../ui/views/texts.js" as Texts

// The popover's derived texts: relative times, playlist status lines, byte counts, progress.
TestCase {
    name: "PopoverTexts"

    function test_relativeTime() {
        const now = 1700000000, minute = 60, hour = 3600, day = 86400
        const cases = [
            [0, "now"], [1, "1 second ago"], [42, "42 seconds ago"], [minute, "1 minute ago"],
            [5 * minute + 20, "5 minutes ago"], [hour, "1 hour ago"], [23 * hour, "23 hours ago"],
            [day + hour, "yesterday"], [3 * day, "3 days ago"], [8 * day, "last week"],
            [20 * day, "2 weeks ago"], [40 * day, "last month"], [100 * day, "3 months ago"],
            [400 * day, "last year"], [800 * day, "2 years ago"],
            // A clock behind the stamps.
            [-5 * minute, "in 5 minutes"], [-day, "tomorrow"]
        ]
        for (const [ago, text] of cases)
            compare(Texts.relativeTime(now - ago, now), text, "seconds ago: " + ago)
    }

    function test_playlistStatus() {
        const now = 1700000000
        compare(Texts.playlistStatus({ intervalMin: 30, lastCheckedAt: now - 300 }, now),
                "checked 5 minutes ago · every 30 min")
        compare(Texts.playlistStatus({ intervalMin: 120, lastCheckedAt: null }, now),
                "not checked yet · every 120 min")
        compare(Texts.playlistStatus({ intervalMin: 15 }, now), "not checked yet · every 15 min")
    }

    function test_byteCountAndProgress() {
        const cases = [
            [1, "1 byte"], [999, "999 bytes"], [1000, "1.00 kB"], [4200000, "4.20 MB"],
            [12345678, "12.3 MB"], [812000000, "812 MB"], [1310000000, "1.31 GB"], [-5, ""]
        ]
        for (const [bytes, text] of cases)
            compare(Texts.byteCount(bytes), text, "bytes: " + bytes)
        compare(Texts.progressLine(false, 3, 12, 5000), "")
        compare(Texts.progressLine(true, 0, 0, 0), "")
        compare(Texts.progressLine(true, 3, 12, 0), "Entry 3 of 12")
        compare(Texts.progressLine(true, 0, 0, 2500000), "2.50 MB so far")
        compare(Texts.progressLine(true, 1, 1, 999), "Entry 1 of 1 · 999 bytes so far")
    }
}
