import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views

// Every QML file of ui/ but the singletons (which the others reach) loads from its module's
// resources with the stand-in model and shows without a QML warning: a missing QML module
// package, a misspelt property or a failing binding shows up here, not at run time.
// The TestCase itself is never visible: the items under test live in this host.
Item {
    id: testHost
    width: 400
    height: 300

    TestCase {
        name: "QmlFiles"
        when: windowShown

        Component { id: modelComponent; FakeModel {} }

        function init() {
            failOnWarning(/.?/)
        }

        function test_file_data() {
            verify(uiQmlFiles.length >= 20)
            return uiQmlFiles.map(path => ({ tag: path, path: path }))
        }

        function test_file(data) {
            // Each top folder is a module: style -> Kelvo.Style, views -> Kelvo.Views.
            const component = Qt.createComponent("qrc:/Kelvo/" + (data.path.startsWith("style/")
                ? "Style" : "Views") + data.path.substring(data.path.indexOf("/")))
            compare(component.status, Component.Ready, component.errorString())
            // The model is there from the start, as in the app.
            const probe = component.createObject(null)
            const properties = "model" in probe ? { model: createTemporaryObject(modelComponent, testHost) } : {}
            probe.destroy()
            const object = createTemporaryObject(component, testHost, properties)
            verify(object)
            if (object instanceof Window) {
                object.visible = true
                verify(waitForRendering(object.contentItem, 20000))
            } else if (object instanceof Item) {
                verify(waitForRendering(object, 20000))
            }
            // What opens on demand loads too: the folder chooser needs a module of its own.
            const dialog = findChild(object, "folderDialog")
            if (dialog) {
                dialog.open()
                verify(dialog.visible)
                dialog.close()
            }
        }
    }
}
