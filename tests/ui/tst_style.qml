import QtQuick
import QtTest
import Kelvo.Style
import "../../ui/style/flow.js" as Flow

// Kelvo.Style: the appearance setting, the palette following it (dark or light as drawn), the
// bundled fonts, and the line breaking of MetroFlow on fixed sizes and on real items.
// The TestCases are never visible: the items under test live in this host. Each waits for
// windowShown, so that all have registered before the first runs (one that ran at once could end
// the run before the next had registered).
Item {
    id: testHost
    width: 400
    height: 400

    TestCase {
        name: "Style"
        when: windowShown

        function init() {
            failOnWarning(/.?/)
        }
        function cleanup() {
            Theme.appearance = "dark"
        }

        function test_paletteFollowsTheAppearance() {
            const palettes = {}
            for (const appearance of ["dark", "light", "matrix", "system", "sepia"]) {
                Theme.appearance = appearance
                palettes[appearance] = [Theme.background, Theme.surface, Theme.text, Theme.accent,
                                        Theme.textOnAccent, Theme.warning, Theme.error].map(String)
                compare(String(Theme.tone("error")), String(Theme.error))
            }
            // Every role differs between the three palettes; unknown counts as dark.
            verify(palettes.dark.every((colour, i) => colour !== palettes.light[i]))
            verify(palettes.dark.every((colour, i) => colour !== palettes.matrix[i]))
            compare(palettes.sepia, palettes.dark)
            compare(["", undefined].map(stored => AppAppearance.normalized(stored)), ["dark", "dark"])
            compare(palettes.system, Theme.systemIsDark ? palettes.dark : palettes.light)
            // The bundled fonts are registered and used.
            compare([Theme.textFamily, Theme.monoFamily], ["Inter", "JetBrains Mono"])
        }
    }

    TestCase {
        name: "MetroFlow"
        when: windowShown

        function init() {
            failOnWarning(/.?/)
        }

        // Items of fixed widths (height 10, or `heights[i]`); an item wider than the proposal
        // takes the proposed width and grows to 30 high.
        function measurer(widths, heights) {
            return (index, proposed) => proposed === undefined
                ? { width: widths[index], height: heights ? heights[index] : 10 }
                : { width: Math.min(widths[index], proposed), height: 30 }
        }

        function test_rows() {
            // [what, item widths, the limit, the items of each line, the lines' widths]
            const cases = [
                ["nothing", [], 100, [], []],
                ["exact fit counts spacing", [45, 45], 100, [[0, 1]], [100]],
                ["one over breaks", [45, 46], 100, [[0], [1]], [45, 46]],
                ["several lines", [60, 30, 50, 50, 10], 100, [[0, 1], [2], [3, 4]], [100, 50, 70]],
                ["wide item alone, narrowed", [30, 250, 30], 100, [[0], [1], [2]], [30, 100, 30]],
                ["no limit: one line", [300, 300], Infinity, [[0, 1]], [610]],
                ["undefined limit: one line", [300, 300], undefined, [[0, 1]], [610]],
                ["zero-width items", [0, 0, 100], 100, [[0, 1], [2]], [10, 100]]
            ]
            for (const [what, widths, max, items, lineWidths] of cases) {
                const lines = Flow.rows(widths.length, measurer(widths), max, 10)
                compare(lines.map(line => line.items), items, what)
                compare(lines.map(line => line.width), lineWidths, what)
            }
            // A line is as high as its tallest item; a narrowed item is measured again.
            const lines = Flow.rows(3, measurer([40, 40, 40], [10, 25, 5]), 100, 10)
            compare(lines.map(line => [line.items, line.height]), [[[0, 1], 25], [[2], 5]])
            compare(Flow.rows(2, measurer([40, 500]), 100, 10)[1].height, 30)
        }

        Component {
            id: tagsComponent

            MetroFlow {
                spacing: 6
                width: 200

                Repeater {
                    model: ["summary", "tags", "a-much-longer-tag", "x", "video", "music"]
                    Rectangle {
                        required property string modelData
                        implicitWidth: modelData.length * 10
                        implicitHeight: 20
                    }
                }
            }
        }

        function test_itemsArePlacedInLines() {
            const flow = createTemporaryObject(tagsComponent, testHost)
            // The tags are 70, 40, 170, 10, 50 and 50 wide; the Repeater takes no room.
            tryVerify(() => flow.lines.length > 0)
            const boxes = Array.from(flow.children).filter(child => child.modelData !== undefined)
                .map(child => [child.x, child.y, child.width])
            compare(boxes, [[0, 0, 70], [76, 0, 40], [0, 26, 170], [176, 26, 10], [0, 52, 50],
                            [56, 52, 50]])
            compare(flow.implicitHeight, 72)
            // Narrower: the long tag gets the whole width, then lines are rebuilt:
            // 70 | 40 | 170 narrowed to 100 | 10 50 | 50
            flow.width = 100
            tryCompare(flow, "implicitHeight", 5 * 20 + 4 * 6)
            flow.width = 1000
            tryCompare(flow, "implicitHeight", 20)
        }
    }
}
