#include "app/linux/font_registration.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <cstdio>
#include <filesystem>
#include <string>
#include "tests/app_services/qt_environment.h"

#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;

struct Registration {
    int count;
    std::string log;
};

Registration registerFrom(const QStringList& folders) {
    std::FILE* log = std::tmpfile();
    const int count = registerFonts(folders, log);
    std::rewind(log);
    std::string text;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, log)) > 0;) {
        text.append(buffer, n);
    }
    std::fclose(log);
    return {count, text};
}

TEST(FontRegistrationTest, RegistersBundledFontsAndReportsTheBrokenOnes) {
    test::Sandbox box;
    fs::create_directories(box / "fonts");
    fs::copy_file("/usr/share/fonts/truetype/jetbrains-mono/JetBrainsMono-Regular.ttf",
                  box / "fonts" / "JetBrainsMono-Regular.ttf");
    test::writeFile(box / "broken.ttf", "not a font");
    test::writeFile(box / "notes.txt", "ignored");

    const Registration result = registerFrom({QString::fromStdString(box.root().string()),
                                              QString::fromStdString((box / "fonts").string())});
    EXPECT_EQ(result.count, 1);
    EXPECT_EQ(result.log, "kelvo: font registration failed: " + (box / "broken.ttf").string() +
                              " is not a usable font file\n");
    EXPECT_TRUE(QFontDatabase::families().contains(QStringLiteral("JetBrains Mono")));
}

TEST(FontRegistrationTest, NoBundledFontsFallsBackToSystemFonts) {
    test::Sandbox box;
    const Registration result = registerFrom({QString::fromStdString(box.root().string())});
    EXPECT_EQ(result.count, 0);
    EXPECT_EQ(result.log, "kelvo: no bundled fonts found; falling back to system fonts\n");
}

}  // namespace
}  // namespace kelvo
