.pragma library

// The Activity window's rules over the log's lines. Pure functions, so the tests can call them.

// A line that tells of a failure: it holds "✗" or "fail" in any letter case.
function isError(line) {
    return line.indexOf("✗") >= 0 || line.toLowerCase().indexOf("fail") >= 0
}

// The toolbar's count: "12 entries · newest first".
function countLine(count) {
    return count + " entries · newest first"
}

// What "Copy" puts on the clipboard: the lines oldest first, one per line. `lines` is newest
// first, as the window shows them.
function copyText(lines) {
    return lines.slice().reverse().join("\n")
}
