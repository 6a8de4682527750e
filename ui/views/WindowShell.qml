import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Kelvo.Style

// The frame every kelvo window shares: the theme's background, the header with a subtitle and
// the build pill, and the body declared inside (it fills the rest of the window).
Window {
    id: shell

    // The AppModel (or a stand-in).
    property QtObject model
    property string subtitle
    // The header's right-hand side is the build pill; more items can be put before it.
    property alias headerItems: header.trailing
    default property alias body: bodyArea.data

    color: Theme.background

    // Ctrl+W closes the window; so does an Escape that nothing inside wanted.
    Shortcut {
        sequence: "Ctrl+W"
        onActivated: shell.close()
    }

    // The keys nothing inside took end here, also when nothing has the focus.
    FocusScope {
        anchors.fill: parent
        focus: true
        Keys.onEscapePressed: shell.close()

        ColumnLayout {
            anchors.fill: parent
            spacing: 0

            MetroHeader {
                id: header
                Layout.fillWidth: true
                subtitle: shell.subtitle

                Pill {
                    objectName: "buildPill"
                    readonly property string label: shell.model ? shell.model.buildPill : ""
                    text: label
                    visible: label !== ""
                    tone: Theme.accent
                    help: "Build: " + label
                }
            }

            Item {
                id: bodyArea
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
        }
    }
}
