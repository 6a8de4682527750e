import QtQuick

// A small section label ("Status", "Paste a link", "Playlists"): monospaced, upper-cased,
// spaced out, in the muted colour.
MetroText {
    mono: true
    weight: Font.Medium
    size: 10
    color: Theme.muted
    font.capitalization: Font.AllUppercase
    font.letterSpacing: Theme.letterSpacing
}
