#pragma once

// Where the popover window goes. The tray cannot tell where its icon is on Linux, so the
// popover opens at the pointer, kept inside the screen's available area.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kelvo::PopoverPlacement {

// The top-left corner for a popover of `size` opened by a click at `cursor` on a screen whose
// usable area is `available`: centred under the pointer when the pointer is in the upper half
// of the screen (a top panel), above it otherwise (a bottom panel), then moved inside
// `available` with `margin` pixels to spare. A popover larger than the area starts at its
// top-left corner.
QPoint topLeft(QPoint cursor, QSize size, QRect available, int margin = 8);

}  // namespace kelvo::PopoverPlacement
