// The tray app's C++ support: the tray picture and its animation, where the popover opens, and
// the tinted icons; and the tray app making its Qt Quick windows only while they are in use.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPalette>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <algorithm>

#include "tests/app_model/model_world.h"
#include "tests/support/qt.h"
#include "tests/support/sandbox.h"
#include "ui/kelvo_app.h"
#include "ui/lucide_icon_provider.h"
#include "ui/menu_bar_label.h"
#include "ui/popover_placement.h"

namespace kelvo {
namespace {

[[maybe_unused]] auto* const qt =
    ::testing::AddGlobalTestEnvironment(new test::QtEnvironment<QApplication>("offscreen"));

// The red pixels of a picture: how many are opaque, the strongest alpha among them, and how many
// opaque pixels have another colour.
struct Reds {
    int opaque = 0, strongest = 0, other = 0;
};

Reds reds(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    Reds found;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            const bool red = pixel.red() > 200 && pixel.green() < 120 && pixel.blue() < 120;
            found.strongest = std::max(found.strongest, red ? pixel.alpha() : 0);
            if (pixel.alpha() >= 200) {
                ++(red ? found.opaque : found.other);
            }
        }
    }
    return found;
}

int triangleAlpha(const QIcon& icon) {
    return reds(icon.pixmap(QSize(80, 64)).toImage()).strongest;
}

TEST(MenuBarLabelTest, BusyFramesPulseTheRedTriangleWhileTheTimerTurnsThem) {
    MenuBarLabel label(Qt::white);
    ASSERT_EQ(label.busyFrames().size(), 12);
    // Full at frame 0, faintest (0.35) at frame 6, on a cosine.
    for (const auto& [frame, opacity] : {std::pair{0, 1.0}, {3, 0.675}, {6, 0.35}, {9, 0.675}}) {
        EXPECT_NEAR(triangleAlpha(label.busyFrames()[frame]), opacity * 255, 12) << frame;
    }
    // The static mark is drawn in the label colour only.
    EXPECT_EQ(triangleAlpha(label.staticIcon()), 0);
    EXPECT_GT(reds(label.staticIcon().pixmap(QSize(20, 16)).toImage()).other, 20);
    // Missing artwork gives empty pictures, not a failure.
    const MenuBarLabel missing(Qt::white, "/nonexistent");
    EXPECT_EQ(triangleAlpha(missing.busyFrames()[0]), 0);

    EXPECT_EQ(MenuBarLabel::scaledSize(QSize(20, 16), 22), QSize(28, 22));  // 27.5 rounds up
    EXPECT_EQ(MenuBarLabel::scaledSize(QSize(), 16), QSize(16, 16));

    // The timer runs, and the frames turn, only while busy.
    QSignalSpy changes(&label, &MenuBarLabel::iconChanged);
    label.advance();  // an idle tick changes nothing
    EXPECT_EQ(std::tuple(label.frame(), changes.count(), label.ticking()), std::tuple(0, 0, false));
    label.setBusy(true);
    EXPECT_TRUE(label.ticking());
    EXPECT_EQ(label.accessibleLabel(), "kelvo, working");
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
    EXPECT_EQ(std::tuple(label.frame(), changes.count(), label.ticking()), std::tuple(0, 1, false));
    EXPECT_EQ(label.icon().cacheKey(), label.staticIcon().cacheKey());
    EXPECT_EQ(label.accessibleLabel(), "kelvo");
}

TEST(PopoverPlacementTest, OpensAtThePointerInsideTheScreen) {
    const QRect underTopPanel(0, 32, 1920, 1048);
    const QSize popover(380, 500);
    const std::tuple<const char*, QPoint, QSize, QRect, QPoint> cases[] = {
        {"top panel: centred below the pointer", {960, 10}, popover, underTopPanel, {770, 40}},
        {"top panel, right corner: off the edge", {1910, 10}, popover, underTopPanel, {1532, 40}},
        {"top panel, left corner", {3, 10}, popover, underTopPanel, {8, 40}},
        {"bottom panel: above the pointer", {1000, 1070}, popover, {0, 0, 1920, 1040}, {810, 532}},
        {"upper half: below the pointer", {500, 300}, popover, {0, 0, 1920, 1080}, {310, 306}},
        {"a second screen to the right", {3800, 5}, popover, {1920, 0, 1920, 1080}, {3452, 11}},
        {"taller than the screen: top on it", {400, 700}, {380, 900}, {0, 0, 800, 600}, {210, 8}},
        {"wider than the screen: left on it", {100, 10}, {900, 200}, {0, 0, 800, 600}, {8, 16}},
    };
    for (const auto& [what, cursor, size, available, expected] : cases) {
        EXPECT_EQ(PopoverPlacement::topLeft(cursor, size, available), expected) << what;
    }
}

TEST(LucideIconProviderTest, IconsAreDrawnInTheRequestedColourAndOnlyPlainNamesAreRead) {
    LucideIconProvider provider;
    const QStringList files = QDir(":/icons").entryList({"*.svg"}, QDir::Files);
    for (const QString& file : files) {
        const QByteArray svg = provider.tintedSvg(QFileInfo(file).completeBaseName(), "#6ea8fe");
        EXPECT_TRUE(svg.contains("#6ea8fe") && !svg.contains("currentColor")) << file.toStdString();
    }
    QSize size;
    const Reds x = reds(provider.requestImage("kelvo-x?#ff0000", &size, {48, 48}));
    EXPECT_TRUE(x.opaque > 50 && x.other == 0) << x.opaque << " red, " << x.other << " other";

    // Only plain names of the icon folder are read.
    test::Sandbox box;
    for (const char* file :
         {"icons/kelvo-x.svg", "icons/sub/kelvo-x.svg", "icons/.kelvo-x.svg", "secret.svg"}) {
        test::writeFile(box / file,
                        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">)"
                        R"(<path d="M2 2h20v20H2z" fill="currentColor"/></svg>)");
    }
    LucideIconProvider folder(QString::fromStdString(box / "icons"));
    EXPECT_GT(reds(folder.requestImage("kelvo-x?#ff0000", nullptr, {16, 16})).opaque, 100);
    for (const char* name : {"kelvo-no-such-icon", "sub/kelvo-x", ".kelvo-x", "../secret", ""}) {
        EXPECT_TRUE(folder.tintedSvg(name, Qt::red).isEmpty()) << name;
        const Reds drawn = reds(folder.requestImage(QString(name) + "?#ff0000", &size, {16, 16}));
        EXPECT_EQ(size, QSize(16, 16)) << name;
        EXPECT_EQ(drawn.opaque + drawn.other, 0) << name;
    }
}

// The titles of the Qt Quick windows that exist, shown or not, each with "light" when drawn so.
QStringList quickWindows() {
    QStringList found;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (auto* quick = qobject_cast<QQuickWindow*>(window)) {
            found.append(quick->title() + (quick->color().lightness() > 128 ? " light" : ""));
        }
    }
    found.sort();
    return found;
}

TEST(KelvoAppTest, QuickWindowsExistFromFirstShowUntilTheReleaseDelayAfterHiding) {
    test::ModelWorld world;
    auto model = std::make_unique<AppModel>(world.services(), world.options());
    model->setAppearance("light");
    KelvoApp app(std::move(model));
    app.setReleaseDelay(std::chrono::milliseconds(20));
    app.start();
    // Without a tray (as here) only the popover shows at once; hidden, it goes too.
    EXPECT_EQ(quickWindows(), QStringList({"kelvo light"}));
    app.togglePopover();
    EXPECT_TRUE(test::processEventsUntil([] { return quickWindows().isEmpty(); }));
    // Made again after a release, in either order; the first one made is drawn light already.
    for (const auto& [first, then, alone] :
         {std::tuple("settings", "popover", "kelvo Settings light"),
          {"popover", "settings", "kelvo light"}}) {
        app.show(first);
        EXPECT_EQ(quickWindows(), QStringList{alone});
        app.show(then);
        ASSERT_EQ(quickWindows(), QStringList({"kelvo Settings light", "kelvo light"}));
        // The hidden popover goes alone while the window stays open; then the window goes.
        app.togglePopover();
        EXPECT_TRUE(test::processEventsUntil([] {
            return quickWindows() == QStringList{"kelvo Settings light"};
        })) << quickWindows().join(", ").toStdString();
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            window->close();
        }
        EXPECT_TRUE(test::processEventsUntil([] { return quickWindows().isEmpty(); }));
    }
}

// The tray mark is drawn again in the text colour of a new palette (here light text, then dark).
TEST(KelvoAppTest, TheTrayMarkFollowsThePalette) {
    const QColor light(236, 236, 236), dark(40, 44, 52);
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::WindowText, light);
    QApplication::setPalette(palette);
    test::ModelWorld world;
    KelvoApp app(std::make_unique<AppModel>(world.services(), world.options()));
    app.start();
    const auto* tray = app.findChild<QSystemTrayIcon*>();
    ASSERT_NE(tray, nullptr);
    // How many opaque pixels of the tray picture have this colour.
    const auto pixelsIn = [tray](const QColor& colour) {
        const QImage image =
            tray->icon().pixmap(QSize(20, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
        return std::count(pixels, pixels + image.width() * image.height(), colour.rgb());
    };
    EXPECT_GT(pixelsIn(light), 20);
    palette.setColor(QPalette::WindowText, dark);
    QApplication::setPalette(palette);
    EXPECT_EQ(pixelsIn(light), 0);
    EXPECT_GT(pixelsIn(dark), 20);
}

}  // namespace
}  // namespace kelvo
