#include "app/headless_services.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include "tests/app_services/qt_environment.h"

namespace kelvo {
namespace {

std::string notifiedText(const QString& title, const QString& body) {
    std::FILE* out = std::tmpfile();
    StderrNotifier(out).notify(title, body);
    std::rewind(out);
    char buffer[512] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    return std::string(buffer, n);
}

TEST(HeadlessServicesTest, NotificationsBecomeOneStderrLine) {
    EXPECT_EQ(notifiedText(QStringLiteral("kelvo"), QStringLiteral("Ready: Über")),
              "kelvo: Ready: Über\n");
    EXPECT_EQ(notifiedText(QStringLiteral("kelvo"), QStringLiteral("a\nb")), "kelvo: a b\n");
    EXPECT_EQ(notifiedText(QStringLiteral("other"), QStringLiteral("x")), "other: x\n");
}

}  // namespace
}  // namespace kelvo
