pragma Singleton
import QtQuick

// kelvo's palette, fonts and sizes. `appearance` is the stored appearance setting; the tray app
// keeps it in step with the model, so a change in Settings restyles every window at once.
QtObject {
    id: theme

    // "dark", "light", "system" or "matrix"; anything else counts as dark.
    property string appearance: "dark"
    // The desktop's own scheme, used by "system".
    readonly property bool systemIsDark: systemPalette.window.hslLightness < 0.5
    readonly property bool matrix: AppAppearance.normalized(appearance) === AppAppearance.matrix
    readonly property bool dark: AppAppearance.drawsDark(appearance, systemIsDark)

    readonly property SystemPalette systemPalette: SystemPalette {
        colorGroup: SystemPalette.Active
    }

    // A colour role's value in the current appearance: matrix whenever the stored appearance
    // is matrix, otherwise dark or light.
    function pick(darkValue, lightValue, matrixValue) {
        return matrix ? matrixValue : (dark ? darkValue : lightValue)
    }

    // ---- Colours ----
    readonly property color background: pick("#0E1117", "#F6F7F9", "#0D0208")
    readonly property color surface: pick("#161B24", "#FFFFFF", "#0C160E")
    readonly property color surfaceRaised: pick("#1E242F", "#ECEFF3", "#142418")
    readonly property color surfaceStrong: pick("#384252", "#CBD2DC", "#2E5636")
    readonly property color line: pick("#2C3442", "#E0E4EB", "#224028")
    readonly property color text: pick("#E1E6EE", "#161B24", "#00FF41")
    readonly property color secondary: pick("#AEB8C8", "#465263", "#00C834")
    readonly property color muted: pick("#808B9A", "#626D7D", "#00A52D")
    readonly property color accent: pick("#6EA8FE", "#1E5ABE", "#00FF41")
    readonly property color success: pick("#6FCF97", "#106E3E", "#3FD9A0")
    readonly property color warning: pick("#F5BF69", "#825400", "#C9C94A")
    readonly property color error: pick("#F86A5C", "#B02A20", "#F06458")
    // The text on an accent fill.
    readonly property color textOnAccent: pick("#0E1117", "#FFFFFF", "#0D0208")
    // The popover: the surface at 0.85 over the window background.
    readonly property color popoverBackground: Qt.tint(background, Qt.rgba(surface.r, surface.g,
                                                                           surface.b, 0.85))

    // A tone by name, for pills and secondary buttons: "accent", "success", "warning",
    // "error", "muted", "secondary"; anything else is the text colour.
    function tone(name) {
        switch (name) {
        case "accent": return accent
        case "success": return success
        case "warning": return warning
        case "error": return error
        case "muted": return muted
        case "secondary": return secondary
        default: return text
        }
    }

    // ---- Fonts ----
    // Inter and JetBrains Mono are bundled; without them the desktop's own fonts are used.
    readonly property var families: Qt.fontFamilies()
    readonly property string textFamily: families.indexOf("Inter") >= 0 ? "Inter"
                                                                      : Qt.application.font.family
    readonly property string monoFamily: families.indexOf("JetBrains Mono") >= 0
                                         ? "JetBrains Mono" : "monospace"

    // The Inter cut for a weight: bold and heavier -> Bold, semibold -> SemiBold, medium ->
    // Medium, anything else -> Regular.
    function textWeight(weight) {
        if (weight >= Font.Bold)
            return Font.Bold
        if (weight >= Font.DemiBold)
            return Font.DemiBold
        if (weight >= Font.Medium)
            return Font.Medium
        return Font.Normal
    }
    // The JetBrains Mono cut: semibold and heavier -> Bold, medium -> Medium, else Regular.
    function monoWeight(weight) {
        if (weight >= Font.DemiBold)
            return Font.Bold
        if (weight >= Font.Medium)
            return Font.Medium
        return Font.Normal
    }

    // Sizes used across the windows (points).
    readonly property real sizeSmall: 11       // secondary lines, log lines
    readonly property real sizeRow: 12         // rows, hints
    readonly property real sizeTitle: 13       // the current title
    readonly property real sizeEmptyTitle: 15  // empty-state titles (semibold)
    readonly property real letterSpacing: 0.9  // monospaced labels, pills, primary buttons

    // Spacing and shapes.
    readonly property int gap: 8
    readonly property int padding: 16
    readonly property int radius: 6
}
