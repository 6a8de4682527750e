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

        function lineItems(lines) {
            return lines.map(line => line.items)
        }

        function test_rows_data() {
            return [
                { tag: "nothing", widths: [], max: 100, items: [], lineWidths: [] },
                { tag: "all on one line", widths: [20, 30, 30], max: 100,
                  items: [[0, 1, 2]], lineWidths: [100] },
                { tag: "exact fit counts spacing", widths: [45, 45], max: 100,
                  items: [[0, 1]], lineWidths: [100] },
                { tag: "one over breaks", widths: [45, 46], max: 100,
                  items: [[0], [1]], lineWidths: [45, 46] },
                { tag: "several lines", widths: [60, 30, 50, 50, 10], max: 100,
                  items: [[0, 1], [2], [3, 4]], lineWidths: [100, 50, 70] },
                { tag: "wide item alone, narrowed", widths: [30, 250, 30], max: 100,
                  items: [[0], [1], [2]], lineWidths: [30, 100, 30] },
                { tag: "no limit: one line", widths: [300, 300], max: Infinity,
                  items: [[0, 1]], lineWidths: [610] },
                { tag: "undefined limit: one line", widths: [300, 300], max: undefined,
                  items: [[0, 1]], lineWidths: [610] },
                { tag: "zero-width items", widths: [0, 0, 100], max: 100,
                  items: [[0, 1], [2]], lineWidths: [10, 100] }
            ]
        }

        function test_rows(data) {
            const lines = Flow.rows(data.widths.length, measurer(data.widths), data.max, 10)
            compare(lineItems(lines), data.items)
            compare(lines.map(line => line.width), data.lineWidths)
        }

        function test_lineHeightIsTheTallestItem() {
            const lines = Flow.rows(3, measurer([40, 40, 40], [10, 25, 5]), 100, 10)
            compare(lineItems(lines), [[0, 1], [2]])
            compare(lines[0].height, 25)
            compare(lines[1].height, 5)
            // A narrowed item is measured again and may grow.
            const wide = Flow.rows(2, measurer([40, 500]), 100, 10)
            compare(wide[1].height, 30)
        }

        function test_size() {
            const lines = Flow.rows(5, measurer([60, 30, 50, 50, 10]), 100, 10)
            compare(Flow.size(lines, 100, 10), { width: 100, height: 10 + 10 + 10 + 2 * 10 })
            compare(Flow.size(lines, Infinity, 10).width, 100)
            compare(Flow.size([], 100, 10), { width: 100, height: 0 })
            compare(Flow.size([], undefined, 10), { width: 0, height: 0 })
        }

        function test_place() {
            const frames = Flow.place(4, measurer([60, 30, 120, 20]), 100, 10)
            compare(frames[0], { x: 0, y: 0, width: 60, height: 10 })
            compare(frames[1], { x: 70, y: 0, width: 30, height: 10 })
            compare(frames[2], { x: 0, y: 20, width: 100, height: 30 })
            compare(frames[3], { x: 0, y: 60, width: 20, height: 10 })
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
