#include "ui/lucide_icon_provider.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFileInfo>

namespace kelvo {
namespace {

TEST(LucideIconProviderTest, EveryBundledIconTakesTheColour) {
    LucideIconProvider provider;
    const QStringList names = QDir(QStringLiteral(":/icons")).entryList({"*.svg"}, QDir::Files);
    // The four icons of the popover at least.
    for (const char* needed : {"kelvo-refresh-cw.svg", "kelvo-list-video.svg", "kelvo-library.svg",
                               "kelvo-settings.svg"}) {
        EXPECT_TRUE(names.contains(QLatin1String(needed))) << needed;
    }
    for (const QString& file : names) {
        const QString name = QFileInfo(file).completeBaseName();
        EXPECT_TRUE(name.startsWith("kelvo-")) << file.toStdString();
        const QByteArray svg = provider.tintedSvg(name, QColor("#6ea8fe"));
        EXPECT_TRUE(svg.contains("#6ea8fe")) << name.toStdString();
        EXPECT_FALSE(svg.contains("currentColor")) << name.toStdString();
    }
}

TEST(LucideIconProviderTest, DrawsTheStrokesInTheRequestedColour) {
    LucideIconProvider provider;
    QSize size;
    const QImage image = provider.requestImage("kelvo-x?#ff0000", &size, QSize(48, 48));
    EXPECT_EQ(size, QSize(48, 48));
    int red = 0;
    int other = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 200) {
                continue;
            }
            (pixel.red() > 240 && pixel.green() < 20 && pixel.blue() < 20 ? red : other)++;
        }
    }
    EXPECT_GT(red, 50);
    EXPECT_EQ(other, 0);
}

TEST(LucideIconProviderTest, UnknownOrEscapingNamesGiveAnEmptyPicture) {
    LucideIconProvider provider;
    for (const char* id : {"kelvo-no-such-icon?#ffffff", "../tray/kelvo-menubar?#ffffff",
                           "?#ffffff", "/etc/passwd"}) {
        QSize size;
        const QImage image = provider.requestImage(QString::fromLatin1(id), &size, QSize(16, 16));
        EXPECT_EQ(size, QSize(16, 16)) << id;
        bool blank = true;
        for (int y = 0; y < image.height() && blank; ++y) {
            for (int x = 0; x < image.width() && blank; ++x) {
                blank = image.pixelColor(x, y).alpha() == 0;
            }
        }
        EXPECT_TRUE(blank) << id;
    }
    EXPECT_TRUE(provider.tintedSvg("../tray/kelvo-menubar", Qt::red).isEmpty());
}

}  // namespace
}  // namespace kelvo
