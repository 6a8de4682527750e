// Qt Quick Test runner for kelvo's QML: every tst_*.qml of this folder, with kelvo's modules,
// fonts and icon provider available as in the app.
#include <QDir>
#include <QFontDatabase>
#include <QQmlEngine>
#include <QtQuickTest>

#include "ui/qml_setup.h"

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void applicationAvailable() {
        const QDir fonts(QStringLiteral(":/fonts"));
        for (const QString& name : fonts.entryList(QDir::Files)) {
            QFontDatabase::addApplicationFont(fonts.filePath(name));
        }
    }
    void qmlEngineAvailable(QQmlEngine* engine) { kelvo::prepareQmlEngine(*engine); }
};

QUICK_TEST_MAIN_WITH_SETUP(kelvo_ui, Setup)

#include "quick_test_main.moc"
