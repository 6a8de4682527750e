#include "app/settings_store.h"

#include <gtest/gtest.h>

#include <QSettings>
#include "tests/app_services/qt_environment.h"

#include "app/paths.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

using test::writeFile;

class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::remove_all(home() / ".config");
        std::filesystem::create_directories(home() / ".config");
    }
    static std::filesystem::path home() { return paths::home().toStdString(); }
};

TEST_F(SettingsStoreTest, FirstLaunchUsesTheVideosFolderWithTildeAndDark) {
    const SettingsStore store;
    EXPECT_EQ(store.libraryFolder(), QStringLiteral("~/Videos/kelvo"));
    EXPECT_EQ(store.appearance(), QStringLiteral("dark"));
}

TEST_F(SettingsStoreTest, DefaultFollowsTheUsersXdgVideosFolder) {
    struct Case {
        const char* line;
        QString expected;
    };
    const Case cases[] = {
        {"XDG_VIDEOS_DIR=\"$HOME/Filme\"\n", QStringLiteral("~/Filme/kelvo")},
        {"XDG_VIDEOS_DIR=\"/srv/media\"\n", QStringLiteral("/srv/media/kelvo")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        writeFile(home() / ".config/user-dirs.dirs", c.line);
        EXPECT_EQ(SettingsStore::defaultLibraryFolder(), c.expected);
    }
}

TEST_F(SettingsStoreTest, StoresBothKeysInTheIniFileAndNothingElse) {
    SettingsStore store;
    store.setLibraryFolder(QStringLiteral("~/Media/kelvo"));
    store.setAppearance(QStringLiteral("matrix"));

    const QString file = paths::settingsFile();
    EXPECT_TRUE(file.endsWith(QStringLiteral("/.config/kelvo/kelvo.conf"))) << file.toStdString();
    QSettings raw(file, QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys(),
              (QStringList{QStringLiteral("appearance"), QStringLiteral("libraryFolder")}));
    EXPECT_EQ(raw.value(QStringLiteral("libraryFolder")).toString(),
              QStringLiteral("~/Media/kelvo"));

    // Another process (kelvo-cli) sees the change at once.
    const SettingsStore other;
    EXPECT_EQ(other.libraryFolder(), QStringLiteral("~/Media/kelvo"));
    EXPECT_EQ(other.appearance(), QStringLiteral("matrix"));
}

TEST_F(SettingsStoreTest, ClearBringsBackTheDefaults) {
    SettingsStore store;
    store.setLibraryFolder(QStringLiteral("/data/videos"));
    store.setAppearance(QStringLiteral("light"));
    store.clear();
    EXPECT_EQ(store.libraryFolder(), QStringLiteral("~/Videos/kelvo"));
    EXPECT_EQ(store.appearance(), QStringLiteral("dark"));
}

TEST_F(SettingsStoreTest, TildeIsExpandedAndAbbreviatedOnlyForTheHomeFolder) {
    const QString h = paths::home();
    struct Case {
        QString written;
        QString expanded;
    };
    const Case cases[] = {
        {QStringLiteral("~"), h},
        {QStringLiteral("~/Videos/kelvo"), h + QStringLiteral("/Videos/kelvo")},
        {QStringLiteral("~other/x"), QStringLiteral("~other/x")},
        {QStringLiteral("/srv/x"), QStringLiteral("/srv/x")},
        {QStringLiteral("rel/~/x"), QStringLiteral("rel/~/x")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written.toStdString());
        EXPECT_EQ(paths::expandTilde(c.written), c.expanded);
    }
    EXPECT_EQ(paths::abbreviateHome(h + QStringLiteral("/Videos/kelvo")),
              QStringLiteral("~/Videos/kelvo"));
    EXPECT_EQ(paths::abbreviateHome(h), QStringLiteral("~"));
    // A sibling whose name merely starts with the home folder's name is not inside it.
    EXPECT_EQ(paths::abbreviateHome(h + QStringLiteral("-old/x")), h + QStringLiteral("-old/x"));
    EXPECT_EQ(paths::abbreviateHome(QStringLiteral("/srv/x")), QStringLiteral("/srv/x"));
}

}  // namespace
}  // namespace kelvo
