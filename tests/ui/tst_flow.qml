import QtQuick
import QtTest
import Kelvo.Style
import "../../ui/style/flow.js" as Flow

// Line breaking of the flow layout, on fixed sizes and on real items.
// The TestCase itself is never visible: the items under test live in this host.
Item {
    id: testHost
    width: 400
    height: 400

    TestCase {
        name: "MetroFlow"
        when: windowShown

        // Items of fixed widths (height 10, or `heights[i]`); an item wider than the proposal
        // takes the proposed width and grows to 30 high.
        function measurer(widths, heights) {
            return function (index, proposed) {
                const h = heights ? heights[index] : 10
                if (proposed === undefined)
                    return { width: widths[index], height: h }
                return { width: Math.min(widths[index], proposed), height: 30 }
            }
        }

        function test_rows() {
            // [what, item widths, the limit, the items of each line, the lines' widths]
            const cases = [
                ["nothing", [], 100, [], []],
                ["all on one line", [20, 30, 30], 100, [[0, 1, 2]], [100]],
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

        function test_sizeAndPlace() {
            const lines = Flow.rows(5, measurer([60, 30, 50, 50, 10]), 100, 10)
            compare(Flow.size(lines, 100, 10), { width: 100, height: 10 + 10 + 10 + 2 * 10 })
            compare(Flow.size(lines, Infinity, 10).width, 100)
            compare(Flow.size([], 100, 10), { width: 100, height: 0 })
            compare(Flow.size([], undefined, 10), { width: 0, height: 0 })
            compare(Flow.place(4, measurer([60, 30, 120, 20]), 100, 10), [
                { x: 0, y: 0, width: 60, height: 10 }, { x: 70, y: 0, width: 30, height: 10 },
                { x: 0, y: 20, width: 100, height: 30 }, { x: 0, y: 60, width: 20, height: 10 }
            ])
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
            verify(flow !== null)
            // The tags are 70, 40, 170, 10, 50 and 50 wide; the Repeater takes no room.
            tryVerify(() => flow.lines.length > 0)
            const boxes = []
            for (let i = 0; i < flow.children.length; ++i) {
                const child = flow.children[i]
                if (child.modelData !== undefined)
                    boxes.push({ x: child.x, y: child.y, w: child.width })
            }
            compare(boxes, [
                { x: 0, y: 0, w: 70 }, { x: 76, y: 0, w: 40 }, { x: 0, y: 26, w: 170 },
                { x: 176, y: 26, w: 10 }, { x: 0, y: 52, w: 50 }, { x: 56, y: 52, w: 50 }
            ])
            compare(flow.implicitHeight, 72)

            // Narrower: the long tag gets the whole width, then lines are rebuilt.
            flow.width = 100
            // 70 | 40 | 170 narrowed to 100 | 10 50 | 50
            tryCompare(flow, "implicitHeight", 5 * 20 + 4 * 6)
            flow.width = 1000
            tryCompare(flow, "implicitHeight", 20)
        }
    }
}
