#include "app/autostart_login_item.h"

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <filesystem>
#include "tests/app_services/qt_environment.h"

#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

TEST(AutostartLoginItemTest, TheEntryAppearsAndDisappears) {
    AutostartLoginItem item(QStringLiteral("/usr/bin/kelvo"));
    const fs::path entry = item.entryPath().toStdString();
    EXPECT_EQ(item.entryPath(),
              QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  QStringLiteral("/autostart/kelvo.desktop"));
    fs::remove_all(entry.parent_path());
    EXPECT_FALSE(item.isEnabled());

    item.setEnabled(true);
    ASSERT_TRUE(fs::exists(entry));
    EXPECT_TRUE(item.isEnabled());
    const std::string text = readFile(entry);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=/usr/bin/kelvo\n"), std::string::npos);

    item.setEnabled(false);
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(item.isEnabled());
    item.setEnabled(false);  // already off: fine
}

TEST(AutostartLoginItemTest, AnEntryTheDesktopHidHoldsNoLoginItem) {
    test::Sandbox box;
    const fs::path entry = box / "kelvo.desktop";
    AutostartLoginItem item(QStringLiteral("/usr/bin/kelvo"), QString::fromStdString(entry));
    writeFile(entry, "[Desktop Entry]\nType=Application\nExec=kelvo\nHidden=true\n");
    EXPECT_FALSE(item.isEnabled());
    writeFile(entry,
              "[Desktop Entry]\nType=Application\nExec=kelvo\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(item.isEnabled());
    item.setEnabled(true);  // written anew, enabled
    EXPECT_TRUE(item.isEnabled());
}

TEST(AutostartLoginItemTest, ProgramPathsAreQuotedTheWayDesktopEntriesNeed) {
    struct Case {
        QString path;
        QString exec;
    };
    const Case cases[] = {
        {QStringLiteral("/usr/bin/kelvo"), QStringLiteral("/usr/bin/kelvo")},
        {QStringLiteral("/opt/my apps/kelvo"), QStringLiteral("\"/opt/my apps/kelvo\"")},
        {QStringLiteral("/opt/100%/kelvo"), QStringLiteral("/opt/100%%/kelvo")},
        {QStringLiteral("/opt/$x \"y\"/kelvo"), QStringLiteral(R"("/opt/\\$x \\"y\\"/kelvo")")},
        {QStringLiteral(R"(/opt/a\b/kelvo)"), QStringLiteral(R"("/opt/a\\\\b/kelvo")")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(AutostartLoginItem::execLine(c.path), c.exec);
    }
}

TEST(AutostartLoginItemTest, FailuresAreReportedWithAReason) {
    test::Sandbox box;
    writeFile(box / "autostart", "a file where the folder should be");
    AutostartLoginItem blocked(QStringLiteral("/usr/bin/kelvo"),
                               QString::fromStdString(box / "autostart" / "kelvo.desktop"));
    EXPECT_THROW(blocked.setEnabled(true), LoginItemError);
    EXPECT_FALSE(blocked.isEnabled());

    AutostartLoginItem broken(QStringLiteral("/tmp/a\nb"),
                              QString::fromStdString(box / "kelvo.desktop"));
    EXPECT_THROW(broken.setEnabled(true), LoginItemError);
}

}  // namespace
}  // namespace kelvo
