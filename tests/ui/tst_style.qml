import QtQuick
import QtTest
import Kelvo.Style

// The appearance setting, the palette per appearance, the font rules and the components'
// enabling and choice behaviour.
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

        function test_appearanceCases() {
            compare(AppAppearance.cases.map(c => c.value), ["dark", "light", "system", "matrix"])
            compare(AppAppearance.cases.map(c => c.label),
                    ["Dark", "Light", "Follow system", "dot.Matrix"])
            compare(AppAppearance.normalized("light"), "light")
            compare(AppAppearance.normalized("sepia"), "dark")
            compare(AppAppearance.normalized(""), "dark")
            compare(AppAppearance.normalized(undefined), "dark")
            verify(AppAppearance.drawsDark("matrix", false))
            verify(AppAppearance.drawsDark("nonsense", false))
            verify(!AppAppearance.drawsDark("light", true))
            verify(AppAppearance.drawsDark("system", true))
            verify(!AppAppearance.drawsDark("system", false))
        }

        function test_palette_data() {
            return [
                { tag: "dark", appearance: "dark", background: "#0e1117", surface: "#161b24",
                  text: "#e1e6ee", accent: "#6ea8fe", error: "#f86a5c", warning: "#f5bf69" },
                { tag: "light", appearance: "light", background: "#f6f7f9", surface: "#ffffff",
                  text: "#161b24", accent: "#1e5abe", error: "#b02a20", warning: "#825400" },
                { tag: "matrix", appearance: "matrix", background: "#0d0208", surface: "#0c160e",
                  text: "#00ff41", accent: "#00ff41", error: "#f06458", warning: "#c9c94a" },
                { tag: "unknown counts as dark", appearance: "sepia", background: "#0e1117",
                  surface: "#161b24", text: "#e1e6ee", accent: "#6ea8fe", error: "#f86a5c",
                  warning: "#f5bf69" }
            ]
        }

        function test_palette(data) {
            Theme.appearance = data.appearance
            compare(String(Theme.background), data.background)
            compare(String(Theme.surface), data.surface)
            compare(String(Theme.text), data.text)
            compare(String(Theme.accent), data.accent)
            compare(String(Theme.error), data.error)
            compare(String(Theme.warning), data.warning)
            compare(String(Theme.tone("error")), data.error)
        }

        function test_systemFollowsTheDesktop() {
            Theme.appearance = "system"
            compare(String(Theme.background), Theme.systemIsDark ? "#0e1117" : "#f6f7f9")
        }

        function test_popoverBackgroundIsTheSurfaceOverTheBackground() {
            Theme.appearance = "dark"
            const bg = Theme.background, s = Theme.surface, p = Theme.popoverBackground
            fuzzyCompare(p.r, 0.15 * bg.r + 0.85 * s.r, 0.01)
            fuzzyCompare(p.b, 0.15 * bg.b + 0.85 * s.b, 0.01)
            compare(p.a, 1)
        }

        function test_fontWeights() {
            compare(Theme.textWeight(Font.Black), Font.Bold)
            compare(Theme.textWeight(Font.ExtraBold), Font.Bold)
            compare(Theme.textWeight(Font.Bold), Font.Bold)
            compare(Theme.textWeight(Font.DemiBold), Font.DemiBold)
            compare(Theme.textWeight(Font.Medium), Font.Medium)
            compare(Theme.textWeight(Font.Normal), Font.Normal)
            compare(Theme.textWeight(Font.Light), Font.Normal)
            compare(Theme.monoWeight(Font.DemiBold), Font.Bold)
            compare(Theme.monoWeight(Font.Black), Font.Bold)
            compare(Theme.monoWeight(Font.Medium), Font.Medium)
            compare(Theme.monoWeight(Font.Thin), Font.Normal)
        }

        function test_bundledFontsAreUsed() {
            compare(Theme.textFamily, "Inter")
            compare(Theme.monoFamily, "JetBrains Mono")
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
            activatedSpy.clear()
            waitForRendering(control)
            // The fourth segment sits at the right end.
            mouseClick(control, control.width - 10, control.height / 2)
            compare(control.selection, 120)
            compare(activatedSpy.count, 1)
            compare(activatedSpy.signalArguments[0][0], 120)
        }

        Component {
            id: primaryComponent
            MetroPrimaryButton {
                text: "Get"
            }
        }

        function test_primaryButtonFadesWhenDisabled() {
            const button = createTemporaryObject(primaryComponent, testHost)
            compare(button.opacity, 1)
            compare(button.contentItem.font.capitalization, Font.AllUppercase)
            compare(button.contentItem.font.family, "JetBrains Mono")
            button.enabled = false
            compare(button.opacity, 0.4)
        }
    }
}
