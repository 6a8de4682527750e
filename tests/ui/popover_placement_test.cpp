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
        QSize size;
        QRect available;
        QPoint expected;
    } cases[] = {
        {"top panel, middle: centred below the pointer", {960, 10}, size, underTopPanel, {770, 40}},
        {"top panel, right corner: kept off the edge", {1910, 10}, size, underTopPanel, {1532, 40}},
        {"top panel, left corner", {3, 10}, size, underTopPanel, {8, 40}},
        {"bottom panel: above the pointer", {1000, 1070}, size, {0, 0, 1920, 1040}, {810, 532}},
        {"pointer in the upper half: below it", {500, 300}, size, screen, {310, 306}},
        {"a second screen to the right", {3800, 5}, size, {1920, 0, 1920, 1080}, {3452, 11}},
        {"taller than the screen: top on screen",
         {400, 700},
         {380, 900},
         {0, 0, 800, 600},
         {210, 8}},
        {"wider than the screen: left on screen", {100, 10}, {900, 200}, {0, 0, 800, 600}, {8, 16}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PopoverPlacement::topLeft(c.cursor, c.size, c.available), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace kelvo
