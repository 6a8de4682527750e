#include "ui/qml_setup.h"

#include <QtQml/qqmlextensionplugin.h>
#include <QQmlEngine>

#include "ui/lucide_icon_provider.h"

// kelvo's QML modules are static plugins linked into every program that loads them.
Q_IMPORT_QML_PLUGIN(Kelvo_StylePlugin)
Q_IMPORT_QML_PLUGIN(Kelvo_ViewsPlugin)

namespace kelvo {

void prepareQmlEngine(QQmlEngine& engine) {
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.addImageProvider(QString::fromLatin1(LucideIconProvider::providerId),
                            new LucideIconProvider());
}

}  // namespace kelvo
