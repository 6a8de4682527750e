// Loads every QML file of ui/ the way the app does and fails on any QML warning: a missing
// QML module package, a misspelt property or a failing binding shows up here, not at run time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <memory>

#include "ui/qml_setup.h"

namespace {

QMutex messagesMutex;
QStringList messages;

void collect(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg) {
        return;
    }
    QMutexLocker lock(&messagesMutex);
    messages.append(message);
}

void settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// Where a QML file of ui/ is found in the resources: each top folder is a module
// (style -> Kelvo.Style, views -> Kelvo.Views); a file of a subfolder sits in the module's
// resources under the same subfolder or at the module's top. Empty when it is not there.
QString resourceFor(const QString& relativePath) {
    const qsizetype slash = relativePath.indexOf(QLatin1Char('/'));
    const QString top = relativePath.left(slash);
    QString module;
    if (top == "style") {
        module = QStringLiteral(":/Kelvo/Style/");
    } else if (top == "views") {
        module = QStringLiteral(":/Kelvo/Views/");
    } else {
        return {};
    }
    for (const QString& candidate :
         {module + relativePath.mid(slash + 1), module + QFileInfo(relativePath).fileName()}) {
        if (QFile::exists(candidate)) {
            return candidate;
        }
    }
    return {};
}

class QmlFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        {
            QMutexLocker lock(&messagesMutex);
            messages.clear();
        }
        previous_ = qInstallMessageHandler(collect);
        engine_ = std::make_unique<QQmlEngine>();
        kelvo::prepareQmlEngine(*engine_);
        QQmlComponent fake(engine_.get(),
                           QUrl::fromLocalFile(QStringLiteral(KELVO_UI_TEST_DIR "/FakeModel.qml")));
        model_.reset(fake.create());
        ASSERT_NE(model_, nullptr) << fake.errorString().toStdString();
    }
    void TearDown() override {
        // Windows are closed and their objects deleted the way the app does (later, from the
        // event loop), so the scene graph releases its textures.
        for (auto& object : objects_) {
            if (auto* window = qobject_cast<QQuickWindow*>(object.get())) {
                window->hide();
            }
        }
        settle(50);
        for (auto& object : objects_) {
            object.release()->deleteLater();
        }
        objects_.clear();
        model_.release()->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        engine_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        qInstallMessageHandler(previous_);
    }

    // Creates the file's type (with the stand-in model when it has a "model" property) and
    // shows it for a moment.
    QObject* load(const QString& resource, QString* error) {
        QQmlComponent component(engine_.get(), QUrl(QStringLiteral("qrc") + resource));
        QObject* object = component.beginCreate(engine_->rootContext());
        if (object == nullptr) {
            *error = component.errorString();
            return nullptr;
        }
        if (object->metaObject()->indexOfProperty("model") >= 0) {
            object->setProperty("model", QVariant::fromValue(model_.get()));
        }
        component.completeCreate();
        objects_.emplace_back(object);
        if (auto* window = qobject_cast<QQuickWindow*>(object)) {
            window->show();
        } else if (auto* item = qobject_cast<QQuickItem*>(object)) {
            auto host = std::make_unique<QQuickWindow>();
            host->resize(400, 300);
            item->setParentItem(host->contentItem());
            host->show();
            objects_.emplace_back(host.release());
        }
        settle(150);
        return object;
    }

    QtMessageHandler previous_ = nullptr;
    std::unique_ptr<QQmlEngine> engine_;
    std::unique_ptr<QObject> model_;
    std::vector<std::unique_ptr<QObject>> objects_;
};

TEST_F(QmlFilesTest, EveryQmlFileLoadsWithoutWarnings) {
    const QDir ui(QStringLiteral(KELVO_SOURCE_DIR "/ui"));
    QDirIterator files(ui.path(), {QStringLiteral("*.qml")}, QDir::Files,
                       QDirIterator::Subdirectories);
    int count = 0;
    while (files.hasNext()) {
        const QString path = files.next();
        const QString relative = ui.relativeFilePath(path);
        SCOPED_TRACE(relative.toStdString());
        const QString resource = resourceFor(relative);
        ASSERT_FALSE(resource.isEmpty()) << "not in the resources of a kelvo QML module";
        QFile source(path);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const bool singleton = source.readAll().contains("pragma Singleton");

        QString error;
        if (singleton) {
            // A singleton is reached through its module, not created.
            QQmlComponent probe(engine_.get());
            probe.setData(
                "import QtQuick\nimport Kelvo.Style\nimport Kelvo.Views\n"
                "QtObject { property var probe: " +
                    QFileInfo(path).completeBaseName().toUtf8() + " }",
                QUrl());
            std::unique_ptr<QObject> object(probe.create());
            EXPECT_NE(object, nullptr) << probe.errorString().toStdString();
            EXPECT_TRUE(object && object->property("probe").value<QObject*>() != nullptr);
        } else {
            EXPECT_NE(load(resource, &error), nullptr) << error.toStdString();
        }
        QMutexLocker lock(&messagesMutex);
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        messages.clear();
        ++count;
    }
    EXPECT_GE(count, 20);
}

TEST_F(QmlFilesTest, WindowsCarryTheirTitlesAndSizes) {
    const struct {
        const char* file;
        const char* title;
        int width;
        int height;
    } windows[] = {
        {":/Kelvo/Views/LibraryWindow.qml", "kelvo Library", -1, -1},
        {":/Kelvo/Views/ActivityWindow.qml", "kelvo Activity", 760, 480},
        {":/Kelvo/Views/SettingsWindow.qml", "kelvo Settings", 600, 680},
    };
    for (const auto& w : windows) {
        QString error;
        auto* window = qobject_cast<QQuickWindow*>(load(QString::fromLatin1(w.file), &error));
        ASSERT_NE(window, nullptr) << w.file << error.toStdString();
        EXPECT_EQ(window->title(), QLatin1String(w.title));
        if (w.width > 0) {
            EXPECT_EQ(window->size(), QSize(w.width, w.height)) << w.file;
        }
    }
    // The Activity window may not shrink below 640 x 360.
    QString error;
    auto* activity = qobject_cast<QQuickWindow*>(load(":/Kelvo/Views/ActivityWindow.qml", &error));
    ASSERT_NE(activity, nullptr);
    EXPECT_EQ(activity->minimumSize(), QSize(640, 360));
    QMutexLocker lock(&messagesMutex);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

}  // namespace
