.pragma library

// The keyboard of a one-stop choice (segmented controls, tab bars), as radio groups and tab
// lists behave on the Linux desktops: Left/Up and Right/Down go to the previous or next option,
// Home and End to the first and last. The index a key chooses among `count` options when
// `index` is the current one (-1 for none), or -1 when the key is not one of these.
function next(index, count, key) {
    if (count <= 0)
        return -1
    switch (key) {
    case Qt.Key_Left:
    case Qt.Key_Up:
        return Math.max(0, index - 1)
    case Qt.Key_Right:
    case Qt.Key_Down:
        return Math.min(count - 1, index + 1)
    case Qt.Key_Home:
        return 0
    case Qt.Key_End:
        return count - 1
    default:
        return -1
    }
}
