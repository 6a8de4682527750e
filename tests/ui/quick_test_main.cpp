// Qt Quick Test runner for kelvo's QML: every tst_*.qml of this folder, with kelvo's modules,
// fonts and icon provider set up as in the app. Like every kelvo test program it first moves HOME,
// the XDG folders and TMPDIR into a scratch folder of its own. Every case fails on a QML warning
// (failOnWarning in its init).
#include <QDirIterator>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

#include "app/linux/font_registration.h"
#include "tests/support/sandbox.h"
#include "ui/qml_setup.h"

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void applicationAvailable() { kelvo::registerFonts(); }
    void qmlEngineAvailable(QQmlEngine* engine) {
        kelvo::prepareQmlEngine(*engine);
        // For tst_files.qml: every QML file of ui/ but the singletons, by its path there.
        QStringList files;
        const QDir ui(KELVO_SOURCE_DIR "/ui");
        for (QDirIterator it(ui.path(), {"*.qml"}, QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            QFile source(it.next());
            source.open(QIODevice::ReadOnly);
            if (!source.readAll().contains("pragma Singleton")) {
                files.append(ui.relativeFilePath(source.fileName()));
            }
        }
        engine->rootContext()->setContextProperty("uiQmlFiles", files);
    }
};

int main(int argc, char** argv) {
    const std::filesystem::path scratch = kelvo::test::enterScratchHome("kelvo-qml");
    Setup setup;
    const int status =
        quick_test_main_with_setup(argc, argv, "kelvo_ui", KELVO_UI_TEST_DIR, &setup);
    kelvo::test::leaveScratchHome(scratch);
    return status;
}

#include "quick_test_main.moc"
