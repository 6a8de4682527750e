#include "ui/lucide_icon_provider.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

// How many opaque pixels are pure red and how many are anything else.
std::pair<int, int> redAndOther(const QImage& image) {
    std::pair<int, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() >= 200) {
                ++(pixel.red() > 240 && pixel.green() < 20 && pixel.blue() < 20 ? counts.first
                                                                                : counts.second);
            }
        }
    }
    return counts;
}

TEST(LucideIconProviderTest, EveryBundledIconIsDrawnInTheRequestedColour) {
    LucideIconProvider provider;
    const QStringList files = QDir(QStringLiteral(":/icons")).entryList({"*.svg"}, QDir::Files);
    for (const char* popover : {"refresh-cw", "list-video", "library", "settings"}) {
        EXPECT_TRUE(files.contains(QStringLiteral("kelvo-%1.svg").arg(popover))) << popover;
    }
    for (const QString& file : files) {
        const QString name = QFileInfo(file).completeBaseName();
        EXPECT_TRUE(name.startsWith("kelvo-")) << file.toStdString();
        const QByteArray svg = provider.tintedSvg(name, QColor("#6ea8fe"));
        EXPECT_TRUE(svg.contains("#6ea8fe") && !svg.contains("currentColor")) << file.toStdString();
    }
    QSize size;
    const auto [red, other] =
        redAndOther(provider.requestImage("kelvo-x?#ff0000", &size, {48, 48}));
    EXPECT_EQ(size, QSize(48, 48));
    EXPECT_GT(red, 50);
    EXPECT_EQ(other, 0);
}

TEST(LucideIconProviderTest, OnlyPlainNamesOfTheIconFolderAreRead) {
    test::Sandbox box;
    for (const char* file :
         {"icons/kelvo-x.svg", "icons/sub/kelvo-x.svg", "icons/.kelvo-x.svg", "secret.svg"}) {
        test::writeFile(box / file,
                        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">)"
                        R"(<path d="M2 2h20v20H2z" fill="currentColor"/></svg>)");
    }
    LucideIconProvider provider(QString::fromStdString(box / "icons"));
    EXPECT_FALSE(provider.tintedSvg(QStringLiteral("kelvo-x"), Qt::red).isEmpty());
    for (const char* name : {"kelvo-no-such-icon", "sub/kelvo-x", ".kelvo-x", "../secret", ""}) {
        EXPECT_TRUE(provider.tintedSvg(QString::fromLatin1(name), Qt::red).isEmpty()) << name;
        QSize size;
        const QImage image =
            provider.requestImage(QString::fromLatin1(name) + "?#ff0000", &size, QSize(16, 16));
        EXPECT_EQ(size, QSize(16, 16)) << name;
        EXPECT_EQ(redAndOther(image), std::pair(0, 0)) << name;
    }
}

}  // namespace
}  // namespace kelvo
