#include "ui/popover_placement.h"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

TEST(PopoverPlacementTest, OpensAtThePointerInsideTheScreen) {
    const QRect screen(0, 0, 1920, 1080);
    const QRect underTopPanel(0, 32, 1920, 1048);
    const QSize size(380, 500);
    const struct {
        const char* what;
        QPoint cursor;
        QRect available;
        QPoint expected;
    } cases[] = {
        {"top panel, middle: centred below the pointer", {960, 10}, underTopPanel, {770, 40}},
        {"top panel, right corner: kept off the edge", {1910, 10}, underTopPanel, {1532, 40}},
        {"top panel, left corner", {3, 10}, underTopPanel, {8, 40}},
        {"bottom panel: above the pointer", {1000, 1070}, QRect(0, 0, 1920, 1040), {810, 532}},
        {"pointer in the upper half: below it", {500, 300}, screen, {310, 306}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PopoverPlacement::topLeft(c.cursor, size, c.available), c.expected) << c.what;
    }
}

TEST(PopoverPlacementTest, SecondScreenAndOversizedPopover) {
    // A screen to the right of the first one.
    EXPECT_EQ(PopoverPlacement::topLeft({3800, 5}, {380, 500}, QRect(1920, 0, 1920, 1080)),
              QPoint(3452, 11));
    // Taller than the screen: its top stays on screen.
    EXPECT_EQ(PopoverPlacement::topLeft({400, 700}, {380, 900}, QRect(0, 0, 800, 600)),
              QPoint(210, 8));
    // Wider than the screen: its left edge stays on screen.
    EXPECT_EQ(PopoverPlacement::topLeft({100, 10}, {900, 200}, QRect(0, 0, 800, 600)),
              QPoint(8, 16));
}

}  // namespace
}  // namespace kelvo
