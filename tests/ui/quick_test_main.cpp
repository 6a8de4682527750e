// Qt Quick Test runner for kelvo's QML: every tst_*.qml of this folder, with kelvo's modules,
// fonts and icon provider set up as in the app.
#include <QQmlEngine>
#include <QtQuickTest>

#include "app/linux/font_registration.h"
#include "ui/qml_setup.h"

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void applicationAvailable() { kelvo::registerFonts(); }
    void qmlEngineAvailable(QQmlEngine* engine) { kelvo::prepareQmlEngine(*engine); }
};

QUICK_TEST_MAIN_WITH_SETUP(kelvo_ui, Setup)

#include "quick_test_main.moc"
