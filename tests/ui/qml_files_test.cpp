// Loads every QML file of ui/ the way the app does and fails on any QML warning: a missing
// QML module package, a misspelt property or a failing binding shows up here, not at run time.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMutex>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <memory>

#include "tests/support/qt.h"
#include "ui/qml_setup.h"

namespace {

[[maybe_unused]] auto* const qt = ::testing::AddGlobalTestEnvironment(
    new kelvo::test::QtEnvironment<QGuiApplication>("offscreen"));

QMutex messagesMutex;
QStringList messages;

void collect(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) {
        QMutexLocker lock(&messagesMutex);
        messages.append(message);
    }
}

// Shows `window` and waits until it has drawn a frame.
bool render(QQuickWindow* window) {
    auto drawn = std::make_shared<bool>(false);
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [drawn] { *drawn = true; });
    window->show();
    return kelvo::test::processEventsUntil([drawn] { return *drawn; });
}

TEST(QmlFilesTest, EveryQmlFileLoadsAndShowsWithoutWarnings) {
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    auto engine = std::make_unique<QQmlEngine>();
    kelvo::prepareQmlEngine(*engine);
    QQmlComponent fake(engine.get(), QUrl::fromLocalFile(KELVO_UI_TEST_DIR "/FakeModel.qml"));
    std::unique_ptr<QObject> model(fake.create());
    ASSERT_NE(model, nullptr) << fake.errorString().toStdString();
    std::vector<std::unique_ptr<QObject>> objects;
    const QDir ui(KELVO_SOURCE_DIR "/ui");
    int count = 0;
    for (QDirIterator files(ui.path(), {"*.qml"}, QDir::Files, QDirIterator::Subdirectories);
         files.hasNext(); ++count) {
        const QString path = files.next();
        const QString relative = ui.relativeFilePath(path);
        SCOPED_TRACE(relative.toStdString());
        // Each top folder is a module: style -> Kelvo.Style, views -> Kelvo.Views.
        const QString resource =
            QString(":/Kelvo/%1/%2")
                .arg(relative.startsWith("style/") ? "Style" : "Views", relative.section('/', 1));
        ASSERT_TRUE(QFile::exists(resource)) << "not in the resources of its kelvo QML module";
        QFile source(path);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        if (source.readAll().contains("pragma Singleton")) {
            // A singleton is reached through its module, not created.
            QQmlComponent probe(engine.get());
            probe.setData(
                "import QtQuick\nimport Kelvo.Style\nimport Kelvo.Views\nQtObject { "
                "property var probe: " +
                    QFileInfo(path).completeBaseName().toUtf8() + " }",
                QUrl());
            std::unique_ptr<QObject> object(probe.create());
            EXPECT_TRUE(object && object->property("probe").value<QObject*>() != nullptr)
                << probe.errorString().toStdString();
        } else {
            QQmlComponent component(engine.get(), QUrl("qrc" + resource));
            QObject* object = component.beginCreate(engine->rootContext());
            ASSERT_NE(object, nullptr) << component.errorString().toStdString();
            if (object->metaObject()->indexOfProperty("model") >= 0) {
                object->setProperty("model", QVariant::fromValue(model.get()));
            }
            component.completeCreate();
            objects.emplace_back(object);
            auto* window = qobject_cast<QQuickWindow*>(object);
            if (auto* item = qobject_cast<QQuickItem*>(object)) {
                objects.emplace_back(window = new QQuickWindow);
                window->resize(400, 300);
                item->setParentItem(window->contentItem());
            }
            EXPECT_TRUE(window == nullptr || render(window));
        }
        QMutexLocker lock(&messagesMutex);
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        messages.clear();
    }
    EXPECT_GE(count, 20);

    // Windows are closed and their objects deleted the way the app does (later, from the event
    // loop), so the scene graph releases its textures.
    for (auto& object : objects) {
        if (auto* window = qobject_cast<QQuickWindow*>(object.get())) {
            window->hide();
        }
    }
    QCoreApplication::processEvents();
    for (auto& object : objects) {
        object.release()->deleteLater();
    }
    model.release()->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    engine.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qInstallMessageHandler(previous);
}

}  // namespace

// Qt 6.4's scene graph keeps the textures of Image items (and the images behind them, made by
// kelvo's icon provider) in its render context until the process ends, so LeakSanitizer sees
// them as leaked in sanitizer builds. They are Qt's, allocated only under these two functions.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:QQuickPixmap::load\n"
           "leak:QSGRenderContext::textureForFactory\n";
}

// Qt is built without frame pointers: only the slow unwinder sees those two functions in the
// allocation stacks.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
