import QtQuick
import Kelvo.Style

// The Activity window: the persistent activity log, newest line first.
WindowShell {
    title: "kelvo Activity"
    subtitle: "activity"
    width: 760
    height: 480
    minimumWidth: 640
    minimumHeight: 360
}
