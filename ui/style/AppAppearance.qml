pragma Singleton
import QtQuick

// The appearance setting: its four cases in order, their stored values and their labels, and
// how a stored value maps to a drawing appearance.
QtObject {
    readonly property string dark: "dark"
    readonly property string light: "light"
    readonly property string system: "system"
    readonly property string matrix: "matrix"

    // The choices of the Settings window, in order.
    readonly property var cases: [
        { value: "dark", label: "Dark" },
        { value: "light", label: "Light" },
        { value: "system", label: "Follow system" },
        { value: "matrix", label: "dot.Matrix" }
    ]

    // A stored value as one of the four cases: an unknown or empty value counts as dark.
    function normalized(stored) {
        for (let i = 0; i < cases.length; ++i) {
            if (cases[i].value === stored)
                return stored
        }
        return dark
    }

    // The case's label in Settings.
    function label(stored) {
        const value = normalized(stored)
        for (let i = 0; i < cases.length; ++i) {
            if (cases[i].value === value)
                return cases[i].label
        }
        return ""
    }

    // Whether `stored` draws dark: dark and matrix always, light never, system as the desktop.
    function drawsDark(stored, systemIsDark) {
        const value = normalized(stored)
        if (value === light)
            return false
        if (value === system)
            return systemIsDark
        return true
    }
}
