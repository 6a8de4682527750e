#pragma once

// The build label: a release carries its version; a development build says "DEV" and, when
// known, a stamp made of `git describe` and the build date. CMake writes the values.

#include <QString>
#include <optional>

namespace kelvo {

struct BuildInfo {
    std::optional<QString> version;   // the release version; absent when unknown
    bool devBuild = false;            // a development build
    std::optional<QString> devStamp;  // "<git describe> <date>" of a development build
};

namespace BuildVersion {

// What this program was built as.
BuildInfo current();

// The release version; nothing for a development build or when no version is known.
std::optional<QString> stamp(const BuildInfo& info = current());
bool isDev(const BuildInfo& info = current());
std::optional<QString> devStamp(const BuildInfo& info = current());
// `stamp`, else "DEV · <devStamp>", else "DEV".
QString pill(const BuildInfo& info = current());
// "kelvo <stamp>", else "kelvo DEV".
QString display(const BuildInfo& info = current());

}  // namespace BuildVersion
}  // namespace kelvo
