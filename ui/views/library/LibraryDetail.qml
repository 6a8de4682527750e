import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Kelvo.Style
import "library.js" as Library

// The detail of the selected Library entry: title, channel, date, summary, tags, the status
// word and the actions its status offers. "Select a video" when nothing is selected.
Item {
    id: detail

    // The model's entry map, or null.
    property var entry: null
    readonly property string kind: entry ? Library.actions(entry) : "none"

    signal playRequested()
    signal revealRequested()
    signal retryRequested()
    signal removeRequested()

    MetroText {
        objectName: "selectVideo"
        anchors.centerIn: parent
        visible: detail.entry === null
        text: "Select a video"
        size: Theme.sizeRow
        color: Theme.muted
    }

    Flickable {
        id: flick

        anchors.fill: parent
        visible: detail.entry !== null
        contentWidth: width
        contentHeight: column.implicitHeight + 2 * Theme.padding
        clip: true
        boundsBehavior: Flickable.StopAtBounds

        T.ScrollBar.vertical: ThinScrollBar {}

        ColumnLayout {
            id: column

            x: Theme.padding + 4
            y: Theme.padding
            width: flick.width - 2 * Theme.padding - 8
            spacing: 6

            MetroText {
                objectName: "detailTitle"
                Layout.fillWidth: true
                text: detail.entry ? detail.entry.title : ""
                size: Theme.sizeEmptyTitle
                weight: Font.DemiBold
                wrapMode: Text.Wrap
                elide: Text.ElideNone
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            MetroText {
                objectName: "detailChannel"
                Layout.fillWidth: true
                visible: text !== ""
                text: detail.entry && detail.entry.channel ? detail.entry.channel : ""
                size: Theme.sizeRow
                color: Theme.secondary
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 10

                MetroText {
                    objectName: "detailDate"
                    text: detail.entry ? detail.entry.displayDate : ""
                    mono: true
                    size: Theme.sizeSmall
                    color: Theme.muted
                }
                MetroText {
                    objectName: "detailSource"
                    Layout.fillWidth: true
                    text: !detail.entry ? ""
                          : (detail.entry.isSingle ? "Single"
                                                   : "Playlist · " + detail.entry.playlistTitle)
                    mono: true
                    size: Theme.sizeSmall
                    color: Theme.muted
                }
            }

            // ---- Status ----
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 8
                spacing: 8

                Rectangle {
                    implicitWidth: 7
                    implicitHeight: 7
                    radius: 3.5
                    color: statusWord.color
                }
                MetroText {
                    id: statusWord
                    objectName: "statusWord"
                    Layout.fillWidth: true
                    text: detail.entry ? detail.entry.statusWord : ""
                    mono: true
                    weight: Font.Medium
                    size: Theme.sizeSmall
                    color: detail.entry ? Theme.tone(Library.statusTone(detail.entry))
                                        : Theme.muted
                    font.capitalization: Font.AllUppercase
                    font.letterSpacing: Theme.letterSpacing
                }
            }
            MetroText {
                objectName: "detailError"
                Layout.fillWidth: true
                visible: text !== ""
                text: detail.entry && detail.entry.error
                      && (detail.kind === "failed" || detail.kind === "signIn")
                      ? detail.entry.error : ""
                mono: true
                size: Theme.sizeSmall
                color: Theme.error
                wrapMode: Text.Wrap
                elide: Text.ElideNone
            }

            // ---- Actions ----
            MetroText {
                objectName: "workingNote"
                Layout.fillWidth: true
                visible: detail.kind === "working"
                text: "Downloading — actions are available when it finishes."
                size: Theme.sizeRow
                color: Theme.secondary
                wrapMode: Text.Wrap
                elide: Text.ElideNone
            }
            MetroText {
                objectName: "missingNote"
                Layout.fillWidth: true
                visible: detail.kind === "missing"
                text: "The file is no longer on disk."
                size: Theme.sizeRow
                color: Theme.error
            }
            Flow {
                objectName: "actions"
                Layout.fillWidth: true
                Layout.topMargin: 4
                visible: detail.kind === "failed" || detail.kind === "present"
                         || detail.kind === "missing" || detail.kind === "signIn"
                spacing: Theme.gap

                MetroPrimaryButton {
                    objectName: "playButton"
                    visible: detail.kind === "present"
                    text: "Play"
                    Accessible.name: text
                    onClicked: detail.playRequested()
                }
                MetroPrimaryButton {
                    objectName: "retryButton"
                    visible: detail.kind === "failed"
                    text: "Try again"
                    Accessible.name: text
                    onClicked: detail.retryRequested()
                }
                MetroSecondaryButton {
                    objectName: "revealButton"
                    visible: detail.kind === "present"
                    text: "Show in Folder"
                    iconName: "kelvo-folder"
                    Accessible.name: text
                    onClicked: detail.revealRequested()
                }
                MetroSecondaryButton {
                    objectName: "removeButton"
                    visible: detail.kind === "present" || detail.kind === "failed"
                             || detail.kind === "signIn"
                    text: ""
                    spacing: 0
                    iconName: "kelvo-x"
                    tone: Theme.error
                    Accessible.name: "Remove from Library"
                    onClicked: detail.removeRequested()

                    HoverHandler {
                        id: removeHover
                    }
                    MetroToolTip {
                        text: "Remove from Library"
                        visible: removeHover.hovered
                    }
                }
                MetroSecondaryButton {
                    objectName: "removeMissingButton"
                    visible: detail.kind === "missing"
                    text: "Remove from Library"
                    tone: Theme.error
                    Accessible.name: text
                    onClicked: detail.removeRequested()
                }
            }

            // ---- Summary and tags ----
            MetroLabel {
                Layout.topMargin: 14
                text: "Summary"
            }
            MetroText {
                objectName: "summary"
                Layout.fillWidth: true
                text: detail.entry && detail.entry.summary ? detail.entry.summary : "No summary."
                size: Theme.sizeRow
                color: detail.entry && detail.entry.summary ? Theme.text : Theme.muted
                wrapMode: Text.Wrap
                elide: Text.ElideNone
                lineHeight: 1.2
                textFormat: Text.PlainText
            }
            MetroLabel {
                Layout.topMargin: 10
                visible: tagRepeater.count > 0
                text: "Tags"
            }
            MetroFlow {
                id: tagFlow
                objectName: "tags"
                Layout.fillWidth: true
                visible: tagRepeater.count > 0
                spacing: 6

                Repeater {
                    id: tagRepeater
                    // Its items are the flow's children; the Repeater itself takes no place.
                    visible: false
                    model: detail.entry && detail.entry.tags ? detail.entry.tags : []

                    Pill {
                        text: modelData
                        tone: Theme.secondary
                    }
                }
            }
        }
    }
}
