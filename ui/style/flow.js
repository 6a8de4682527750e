.pragma library

// Line breaking of the flow layout (MetroFlow), apart from any item so it can be tested.
//
// `measure(index, proposedWidth)` gives { width, height } of item `index`: its natural size
// when `proposedWidth` is undefined, its size when it may be at most that wide otherwise.
// `maxWidth` is the width on offer (Infinity, undefined or null: no limit); `spacing` is the
// gap between items and between lines.

function hasLimit(maxWidth) {
    return maxWidth !== undefined && maxWidth !== null && isFinite(maxWidth)
}

// The size of one item: natural, or measured again at the limit when it is wider than that.
function measured(index, measure, maxWidth) {
    let size = measure(index, undefined)
    if (hasLimit(maxWidth) && size.width > maxWidth)
        size = measure(index, maxWidth)
    return size
}

// The lines: a list of { items: [indexes], width, height }, without empty lines.
function rows(count, measure, maxWidth, spacing) {
    const limit = hasLimit(maxWidth) ? maxWidth : Infinity
    const lines = [{ items: [], width: 0, height: 0 }]
    for (let i = 0; i < count; ++i) {
        const size = measured(i, measure, limit)
        let line = lines[lines.length - 1]
        if (line.items.length > 0 && line.width + spacing + size.width > limit) {
            line = { items: [], width: 0, height: 0 }
            lines.push(line)
        }
        line.width = line.items.length === 0 ? size.width : line.width + spacing + size.width
        line.height = Math.max(line.height, size.height)
        line.items.push(i)
    }
    return lines.filter(line => line.items.length > 0)
}

// The size of the whole layout: the width on offer when there is a limit, else the widest
// line; the line heights plus the spacing between lines.
function size(lines, maxWidth, spacing) {
    let width = 0
    let height = 0
    for (let i = 0; i < lines.length; ++i) {
        width = Math.max(width, lines[i].width)
        height += lines[i].height
    }
    if (lines.length > 1)
        height += spacing * (lines.length - 1)
    return { width: hasLimit(maxWidth) ? maxWidth : width, height: height }
}

// Where each item goes inside bounds `width` wide: a list of { x, y, width, height } per item,
// lines from the top, items from the left.
function place(count, measure, width, spacing) {
    const lines = rows(count, measure, width, spacing)
    const frames = new Array(count)
    let y = 0
    for (let l = 0; l < lines.length; ++l) {
        let x = 0
        for (let k = 0; k < lines[l].items.length; ++k) {
            const index = lines[l].items[k]
            const itemSize = measured(index, measure, hasLimit(width) ? width : Infinity)
            frames[index] = { x: x, y: y, width: itemSize.width, height: itemSize.height }
            x += itemSize.width + spacing
        }
        y += lines[l].height + spacing
    }
    return frames
}
