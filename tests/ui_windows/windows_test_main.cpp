// Qt Quick Test runner for the Library, Settings and Activity windows: every tst_*.qml of this
// folder, with kelvo's QML modules and fonts, and `fixture` (windows_fixture.h) for a real
// model. Like every kelvo test program it first moves HOME, the XDG folders and TMPDIR into a
// scratch folder of its own; any QML warning fails the run.
#include <QDir>
#include <QFontDatabase>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "tests/support/sandbox.h"
#include "tests/ui_windows/windows_fixture.h"
#include "ui/qml_setup.h"

namespace fs = std::filesystem;

namespace {

int warnings = 0;
QtMessageHandler previousHandler = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg) {
        // Qt Quick Test's own failure lines are reported by the test itself.
        if (!message.startsWith(QLatin1String("FAIL!")) &&
            !message.startsWith(QLatin1String("   Loc:"))) {
            ++warnings;
        }
    }
    previousHandler(type, context, message);
}

}  // namespace

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void applicationAvailable() {
        const QDir fonts(QStringLiteral(":/fonts"));
        for (const QString& name : fonts.entryList(QDir::Files)) {
            QFontDatabase::addApplicationFont(fonts.filePath(name));
        }
        fixture_ = new kelvo::test::WindowsFixture(this);
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        kelvo::prepareQmlEngine(*engine);
        // Also the warnings outside a test function (a view torn down at the end) count.
        QObject::connect(engine, &QQmlEngine::warnings, engine,
                         [](const QList<QQmlError>& errors) { warnings += errors.size(); });
        engine->rootContext()->setContextProperty(QStringLiteral("fixture"), fixture_);
    }
    void cleanupTestCase() {
        delete fixture_;
        fixture_ = nullptr;
    }

  private:
    kelvo::test::WindowsFixture* fixture_ = nullptr;
};

int main(int argc, char** argv) {
    fs::path scratch;
    try {
        scratch = kelvo::test::enterScratchHome("kelvo-windows");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    previousHandler = qInstallMessageHandler(countWarnings);
    Setup setup;
    int status =
        quick_test_main_with_setup(argc, argv, "kelvo_windows", KELVO_WINDOWS_TEST_DIR, &setup);
    if (warnings > 0) {
        std::fprintf(stderr, "%d QML warning(s) during the run\n", warnings);
        status = status == 0 ? 1 : status;
    }
    kelvo::test::leaveScratchHome(scratch);
    return status;
}

#include "windows_test_main.moc"
