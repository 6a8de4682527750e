#pragma once

#include <QStringList>
#include <cstdio>

namespace kelvo {

// Registers the fonts bundled with kelvo (TrueType and OpenType files at the top of each folder,
// by default the resource folders ":/" and ":/fonts") for this process. Writes
// "kelvo: no bundled fonts found; falling back to system fonts" when there are none, and
// "kelvo: font registration failed: <reason>" for each file that cannot be registered, to `log`.
// Returns the number of fonts registered. Needs a QGuiApplication.
int registerFonts(const QStringList& folders = {QStringLiteral(":/"), QStringLiteral(":/fonts")},
                  std::FILE* log = stderr);

}  // namespace kelvo
