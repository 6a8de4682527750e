// Loads every QML file of ui/ the way the app does and fails on any QML warning: a missing
// QML module package, a misspelt property or a failing binding shows up here, not at run time.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <memory>

#include "tests/support/qt.h"
#include "ui/qml_setup.h"

namespace {

QMutex messagesMutex;
QStringList messages;

void collect(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) {
        QMutexLocker lock(&messagesMutex);
        messages.append(message);
    }
}

// Where ui/<top>/<path> is in the resources: each top folder is a module (style -> Kelvo.Style,
// views -> Kelvo.Views) holding the file under the same subfolder or at its top; else empty.
QString resourceFor(const QString& relative) {
    const QString top = relative.section(QLatin1Char('/'), 0, 0);
    if (top != QStringLiteral("style") && top != QStringLiteral("views")) {
        return {};
    }
    const QString module = top == QStringLiteral("style") ? QStringLiteral(":/Kelvo/Style/")
                                                          : QStringLiteral(":/Kelvo/Views/");
    for (const QString& candidate : {module + relative.section(QLatin1Char('/'), 1),
                                     module + QFileInfo(relative).fileName()}) {
        if (QFile::exists(candidate)) {
            return candidate;
        }
    }
    return {};
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
    // The windows' titles and sizes (an empty size is not checked).
    const QMap<QString, std::tuple<QString, QSize, QSize>> windows = {
        {"LibraryWindow.qml", {"kelvo Library", {}, {}}},
        {"ActivityWindow.qml", {"kelvo Activity", {760, 480}, {640, 360}}},
        {"SettingsWindow.qml", {"kelvo Settings", {600, 680}, {}}},
    };
    int windowsSeen = 0;

    std::vector<std::unique_ptr<QObject>> objects;
    const QDir ui(QStringLiteral(KELVO_SOURCE_DIR "/ui"));
    QDirIterator files(ui.path(), {"*.qml"}, QDir::Files, QDirIterator::Subdirectories);
    int count = 0;
    for (; files.hasNext(); ++count) {
        const QString path = files.next();
        SCOPED_TRACE(ui.relativeFilePath(path).toStdString());
        const QString resource = resourceFor(ui.relativeFilePath(path));
        ASSERT_FALSE(resource.isEmpty()) << "not in the resources of a kelvo QML module";
        QFile source(path);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        if (source.readAll().contains("pragma Singleton")) {
            // A singleton is reached through its module, not created.
            QQmlComponent probe(engine.get());
            probe.setData(
                "import QtQuick\nimport Kelvo.Style\nimport Kelvo.Views\n"
                "QtObject { property var probe: " +
                    QFileInfo(path).completeBaseName().toUtf8() + " }",
                QUrl());
            std::unique_ptr<QObject> object(probe.create());
            EXPECT_TRUE(object && object->property("probe").value<QObject*>() != nullptr)
                << probe.errorString().toStdString();
        } else {
            QQmlComponent component(engine.get(), QUrl(QStringLiteral("qrc") + resource));
            QObject* object = component.beginCreate(engine->rootContext());
            ASSERT_NE(object, nullptr) << component.errorString().toStdString();
            if (object->metaObject()->indexOfProperty("model") >= 0) {
                object->setProperty("model", QVariant::fromValue(model.get()));
            }
            component.completeCreate();
            objects.emplace_back(object);
            auto* window = qobject_cast<QQuickWindow*>(object);
            if (auto* item = qobject_cast<QQuickItem*>(object)) {
                window = new QQuickWindow;
                window->resize(400, 300);
                item->setParentItem(window->contentItem());
                objects.emplace_back(window);
            }
            EXPECT_TRUE(window == nullptr || render(window));
            if (windows.contains(QFileInfo(path).fileName())) {
                const auto& [title, size, minimum] = windows[QFileInfo(path).fileName()];
                EXPECT_EQ(window->title(), title);
                EXPECT_TRUE(size.isEmpty() || window->size() == size) << window->size().width();
                EXPECT_TRUE(minimum.isEmpty() || window->minimumSize() == minimum);
                ++windowsSeen;
            }
        }
        QMutexLocker lock(&messagesMutex);
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        messages.clear();
    }
    EXPECT_GE(count, 20);
    EXPECT_EQ(windowsSeen, windows.size());

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
