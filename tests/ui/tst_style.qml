import QtQuick
import QtTest
import Kelvo.Style

// The appearance setting, the palette following it, the font rules and the segmented choice.
// The TestCase itself is never visible: the items under test live in this host.
Item {
    id: testHost
    width: 400
    height: 300

    TestCase {
        name: "Style"
        when: windowShown

        function cleanup() {
            Theme.appearance = "dark"
        }

        function test_appearance() {
            compare(AppAppearance.cases.map(c => c.value), ["dark", "light", "system", "matrix"])
            for (const [stored, normalized] of [["light", "light"], ["matrix", "matrix"],
                                                ["sepia", "dark"], ["", "dark"], [undefined, "dark"]])
                compare(AppAppearance.normalized(stored), normalized, stored)
            for (const [stored, systemIsDark, dark] of [["matrix", false, true],
                                                        ["nonsense", false, true],
                                                        ["light", true, false],
                                                        ["system", true, true],
                                                        ["system", false, false]])
                compare(AppAppearance.drawsDark(stored, systemIsDark), dark, stored)
        }

        function test_paletteFollowsTheAppearance() {
            const palettes = {}
            for (const appearance of ["dark", "light", "matrix", "system", "sepia"]) {
                Theme.appearance = appearance
                palettes[appearance] = [Theme.background, Theme.surface, Theme.text, Theme.accent,
                                        Theme.warning, Theme.error].map(String)
                compare(String(Theme.tone("error")), String(Theme.error))
            }
            // Every role differs between the three palettes; unknown counts as dark.
            verify(palettes.dark.every((colour, i) => colour !== palettes.light[i]))
            verify(palettes.dark.every((colour, i) => colour !== palettes.matrix[i]))
            compare(palettes.sepia, palettes.dark)
            compare(palettes.system, Theme.systemIsDark ? palettes.dark : palettes.light)
        }

        function test_fonts() {
            // The bundled fonts are registered and used.
            compare(Theme.textFamily, "Inter")
            compare(Theme.monoFamily, "JetBrains Mono")
            const weights = [Font.Black, Font.ExtraBold, Font.Bold, Font.DemiBold, Font.Medium,
                             Font.Normal, Font.Light, Font.Thin]
            compare(weights.map(w => Theme.textWeight(w)),
                    [Font.Bold, Font.Bold, Font.Bold, Font.DemiBold, Font.Medium, Font.Normal,
                     Font.Normal, Font.Normal])
            compare(weights.map(w => Theme.monoWeight(w)),
                    [Font.Bold, Font.Bold, Font.Bold, Font.Bold, Font.Medium, Font.Normal,
                     Font.Normal, Font.Normal])
        }

        Component {
            id: segmentedComponent
            MetroSegmented {
                selection: 30
                options: [{ value: 15, label: "15 min" }, { value: 30, label: "30 min" },
                          { value: 60, label: "1 hour" }, { value: 120, label: "2 hours" }]
            }
        }
        SignalSpy {
            id: activatedSpy
            signalName: "activated"
        }

        function test_segmentedChoice() {
            const control = createTemporaryObject(segmentedComponent, testHost)
            activatedSpy.target = control
            waitForRendering(control)
            // The fourth segment sits at the right end.
            mouseClick(control, control.width - 10, control.height / 2)
            compare(control.selection, 120)
            compare(activatedSpy.count, 1)
            compare(activatedSpy.signalArguments[0][0], 120)
        }
    }
}
