import QtQuick
import Kelvo.Style

// The Library window: search, filter and browse the catalog, act on one video.
WindowShell {
    title: "kelvo Library"
    subtitle: "library"
    width: 900
    height: 600
    minimumWidth: 640
    minimumHeight: 400
}
