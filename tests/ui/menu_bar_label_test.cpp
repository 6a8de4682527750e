#include "ui/menu_bar_label.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QSignalSpy>

namespace kelvo {
namespace {

// The triangle is the only part of the busy frames drawn in red: its strongest alpha over the
// picture tells how opaque the frame drew it.
int triangleAlpha(const QIcon& icon) {
    const QImage image =
        icon.pixmap(QSize(80, 64)).toImage().convertToFormat(QImage::Format_ARGB32);
    int strongest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > 0 && pixel.red() > 200 && pixel.green() < 120) {
                strongest = std::max(strongest, pixel.alpha());
            }
        }
    }
    return strongest;
}

TEST(MenuBarLabelTest, TriangleOpacityFollowsTheCosineOverTwelveFrames) {
    const struct {
        int frame;
        double opacity;
    } cases[] = {{0, 1.0}, {3, 0.675}, {6, 0.35}, {9, 0.675}, {12, 1.0}};
    for (const auto& c : cases) {
        EXPECT_NEAR(MenuBarLabel::triangleOpacity(c.frame), c.opacity, 1e-9) << c.frame;
    }
    // Symmetric around frame 6.
    for (int i = 1; i < 6; ++i) {
        EXPECT_NEAR(MenuBarLabel::triangleOpacity(i), MenuBarLabel::triangleOpacity(12 - i), 1e-9);
    }
}

TEST(MenuBarLabelTest, ScaledSizeKeepsTheAspectRatio) {
    EXPECT_EQ(MenuBarLabel::scaledSize(QSize(20, 16), 16), QSize(20, 16));
    EXPECT_EQ(MenuBarLabel::scaledSize(QSize(20, 16), 22), QSize(28, 22));  // 27.5 rounds up
    EXPECT_EQ(MenuBarLabel::scaledSize(QSize(10, 30), 16), QSize(5, 16));
    EXPECT_EQ(MenuBarLabel::scaledSize(QSize(), 16), QSize(16, 16));
}

TEST(MenuBarLabelTest, AnimatesOnlyWhileBusy) {
    MenuBarLabel label(Qt::white);
    QSignalSpy changes(&label, &MenuBarLabel::iconChanged);
    EXPECT_FALSE(label.ticking());
    EXPECT_EQ(label.accessibleLabel(), "kelvo");

    label.advance();  // an idle tick changes nothing
    EXPECT_EQ(label.frame(), 0);
    EXPECT_EQ(changes.count(), 0);

    label.setBusy(true);
    EXPECT_TRUE(label.ticking());
    EXPECT_EQ(label.accessibleLabel(), "kelvo, working");
    for (int i = 1; i <= 13; ++i) {
        label.advance();
        EXPECT_EQ(label.frame(), i % 12);
    }

    label.setBusy(false);
    EXPECT_FALSE(label.ticking());
    EXPECT_EQ(label.frame(), 0);
    EXPECT_EQ(label.accessibleLabel(), "kelvo");
    EXPECT_EQ(changes.count(), 1 + 13 + 1);
}

TEST(MenuBarLabelTest, TimerAdvancesTheFramesEveryTwoTenthsOfASecond) {
    MenuBarLabel label(Qt::white);
    label.setBusy(true);
    QSignalSpy changes(&label, &MenuBarLabel::iconChanged);
    ASSERT_TRUE(changes.wait(2000));
    EXPECT_EQ(label.frame(), 1);
}

TEST(MenuBarLabelTest, FramesPulseTheRedTriangle) {
    MenuBarLabel label(Qt::white);
    ASSERT_EQ(label.busyFrames().size(), 12);
    const int full = triangleAlpha(label.busyFrames()[0]);
    const int faint = triangleAlpha(label.busyFrames()[6]);
    EXPECT_GT(full, 240);
    EXPECT_NEAR(faint, 0.35 * 255, 12);
    EXPECT_NEAR(triangleAlpha(label.busyFrames()[3]), 0.675 * 255, 12);
    // The static picture has no red at all, only the label colour.
    EXPECT_EQ(triangleAlpha(label.staticIcon()), 0);
    EXPECT_FALSE(label.staticIcon().pixmap(QSize(20, 16)).toImage().isNull());

    label.setBusy(true);
    label.advance();
    label.advance();
    EXPECT_EQ(label.icon().cacheKey(), label.busyFrames()[2].cacheKey());
    label.setBusy(false);
    EXPECT_EQ(label.icon().cacheKey(), label.staticIcon().cacheKey());
}

TEST(MenuBarLabelTest, MissingArtworkGivesEmptyPicturesWithoutFailing) {
    MenuBarLabel label(Qt::white, QStringLiteral("/nonexistent"));
    EXPECT_EQ(label.busyFrames().size(), 12);
    EXPECT_EQ(triangleAlpha(label.busyFrames()[0]), 0);
}

}  // namespace
}  // namespace kelvo
