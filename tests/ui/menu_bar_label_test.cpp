#include "ui/menu_bar_label.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>

namespace kelvo {
namespace {

// The triangle is the only part of the pictures drawn in red: its strongest alpha tells how
// opaque the picture drew it.
int triangleAlpha(const QIcon& icon) {
    const QImage image =
        icon.pixmap(QSize(80, 64)).toImage().convertToFormat(QImage::Format_ARGB32);
    int strongest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() > 200 && pixel.green() < 120) {
                strongest = std::max(strongest, pixel.alpha());
            }
        }
    }
    return strongest;
}

TEST(MenuBarLabelTest, BusyFramesPulseTheRedTriangle) {
    MenuBarLabel label(Qt::white);
    ASSERT_EQ(label.busyFrames().size(), 12);
    // Full at frame 0, faintest (0.35) at frame 6, on a cosine.
    for (const auto& [frame, opacity] : {std::pair{0, 1.0}, {3, 0.675}, {6, 0.35}, {9, 0.675}}) {
        EXPECT_NEAR(triangleAlpha(label.busyFrames()[frame]), opacity * 255, 12) << frame;
    }
    // The static mark is drawn in the label colour only.
    EXPECT_EQ(triangleAlpha(label.staticIcon()), 0);
    EXPECT_FALSE(label.staticIcon().pixmap(QSize(20, 16)).toImage().isNull());
    // Missing artwork gives empty pictures, not a failure.
    const MenuBarLabel missing(Qt::white, QStringLiteral("/nonexistent"));
    EXPECT_EQ(missing.busyFrames().size(), 12);
    EXPECT_EQ(triangleAlpha(missing.busyFrames()[0]), 0);

    EXPECT_EQ(MenuBarLabel::scaledSize(QSize(20, 16), 16), QSize(20, 16));
    EXPECT_EQ(MenuBarLabel::scaledSize(QSize(20, 16), 22), QSize(28, 22));  // 27.5 rounds up
    EXPECT_EQ(MenuBarLabel::scaledSize(QSize(10, 30), 16), QSize(5, 16));
    EXPECT_EQ(MenuBarLabel::scaledSize(QSize(), 16), QSize(16, 16));
}

TEST(MenuBarLabelTest, TheTimerRunsAndTheFramesTurnOnlyWhileBusy) {
    MenuBarLabel label(Qt::white);
    QSignalSpy changes(&label, &MenuBarLabel::iconChanged);
    label.advance();  // an idle tick changes nothing
    EXPECT_EQ(label.frame(), 0);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_FALSE(label.ticking());
    EXPECT_EQ(label.accessibleLabel(), QStringLiteral("kelvo"));

    label.setBusy(true);
    EXPECT_TRUE(label.ticking());
    EXPECT_EQ(label.accessibleLabel(), QStringLiteral("kelvo, working"));
    ASSERT_TRUE(changes.wait(10000));  // the timer shows the next frame
    const int from = label.frame();
    EXPECT_GT(from, 0);
    for (int i = 1; i <= 12; ++i) {
        label.advance();
        EXPECT_EQ(label.frame(), (from + i) % 12);
        EXPECT_EQ(label.icon().cacheKey(), label.busyFrames()[label.frame()].cacheKey());
    }

    changes.clear();
    label.setBusy(false);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(label.ticking());
    EXPECT_EQ(label.frame(), 0);
    EXPECT_EQ(label.icon().cacheKey(), label.staticIcon().cacheKey());
    EXPECT_EQ(label.accessibleLabel(), QStringLiteral("kelvo"));
}

}  // namespace
}  // namespace kelvo
