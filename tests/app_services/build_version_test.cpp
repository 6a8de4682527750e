#include "app/build_version.h"

#include <gtest/gtest.h>

#include "tests/app_services/qt_environment.h"

namespace kelvo {
namespace {

TEST(BuildVersionTest, LabelsForReleaseAndDevelopmentBuilds) {
    struct Case {
        const char* name;
        BuildInfo info;
        QString pill;
        QString display;
        bool dev;
    };
    const Case cases[] = {
        {"release",
         {QStringLiteral("1.4.2"), false, QStringLiteral("v1.4-3-gabc 2024-05-01")},
         QStringLiteral("1.4.2"),
         QStringLiteral("kelvo 1.4.2"),
         false},
        {"dev with stamp",
         {QStringLiteral("1.4.2"), true, QStringLiteral("abc1234 2024-05-01")},
         QStringLiteral("DEV · abc1234 2024-05-01"),
         QStringLiteral("kelvo DEV"),
         true},
        {"dev without stamp",
         {QStringLiteral("1.4.2"), true, std::nullopt},
         QStringLiteral("DEV"),
         QStringLiteral("kelvo DEV"),
         true},
        {"release without a version",
         {std::nullopt, false, QStringLiteral("abc1234")},
         QStringLiteral("DEV · abc1234"),
         QStringLiteral("kelvo DEV"),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BuildVersion::pill(c.info), c.pill);
        EXPECT_EQ(BuildVersion::display(c.info), c.display);
        EXPECT_EQ(BuildVersion::isDev(c.info), c.dev);
        EXPECT_EQ(BuildVersion::stamp(c.info).has_value(), !c.dev);
    }
}

TEST(BuildVersionTest, ThisBuildCarriesTheProjectVersionAndAGitStamp) {
    const BuildInfo info = BuildVersion::current();
    ASSERT_TRUE(info.version.has_value());
    EXPECT_FALSE(info.version->isEmpty());
    if (info.devBuild) {
        // The source folder is a git checkout, so the stamp names its commit and the date.
        ASSERT_TRUE(info.devStamp.has_value());
        EXPECT_TRUE(BuildVersion::pill(info).startsWith(QStringLiteral("DEV · ")));
    } else {
        EXPECT_EQ(BuildVersion::pill(info), *info.version);
    }
}

}  // namespace
}  // namespace kelvo
