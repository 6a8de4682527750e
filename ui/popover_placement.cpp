#include "ui/popover_placement.h"

#include <algorithm>

namespace kelvo::PopoverPlacement {

QPoint topLeft(QPoint cursor, QSize size, QRect available, int margin) {
    const int gap = 6;
    int x = cursor.x() - size.width() / 2;
    const bool topHalf = cursor.y() < available.center().y();
    int y = topHalf ? cursor.y() + gap : cursor.y() - gap - size.height();

    const int left = available.left() + margin;
    const int top = available.top() + margin;
    const int right = available.left() + available.width() - margin - size.width();
    const int bottom = available.top() + available.height() - margin - size.height();
    // A popover wider or taller than the area keeps its top-left corner inside it.
    x = std::max(left, std::min(x, right));
    y = std::max(top, std::min(y, bottom));
    return {x, y};
}

}  // namespace kelvo::PopoverPlacement
