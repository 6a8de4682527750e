#include "app/build_version.h"

#include "app/build_info.h"

namespace kelvo::BuildVersion {

namespace {
std::optional<QString> nonEmpty(const char* text) {
    const QString value = QString::fromUtf8(text);
    return value.isEmpty() ? std::nullopt : std::optional<QString>(value);
}
}  // namespace

BuildInfo current() {
    return BuildInfo{nonEmpty(KELVO_BUILD_VERSION), KELVO_BUILD_DEV,
                     nonEmpty(KELVO_BUILD_DEV_STAMP)};
}

std::optional<QString> stamp(const BuildInfo& info) {
    if (info.devBuild) {
        return std::nullopt;
    }
    return info.version;
}

bool isDev(const BuildInfo& info) {
    return !stamp(info).has_value();
}

std::optional<QString> devStamp(const BuildInfo& info) {
    return info.devStamp;
}

QString pill(const BuildInfo& info) {
    if (const auto s = stamp(info)) {
        return *s;
    }
    QString text = QStringLiteral("DEV");
    if (info.devStamp) {
        text += QStringLiteral(" · ") + *info.devStamp;
    }
    return text;
}

QString display(const BuildInfo& info) {
    return QStringLiteral("kelvo ") + stamp(info).value_or(QStringLiteral("DEV"));
}

}  // namespace kelvo::BuildVersion
