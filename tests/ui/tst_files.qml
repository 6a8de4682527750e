import QtQuick
import QtTest
import Kelvo.Style
import Kelvo.Views

// Every QML file of ui/ loads from its module's resources the way the app does (with the
// stand-in model) and shows without a QML warning: a missing QML module package, a misspelt
// property or a failing binding shows up here, not at run time.
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
            return uiQmlFiles.map(file => ({ tag: file.path, file: file }))
        }

        function test_file(data) {
            // Each top folder is a module: style -> Kelvo.Style, views -> Kelvo.Views.
            const path = data.file.path, slash = path.indexOf("/")
            const url = "qrc:/Kelvo/" + (path.startsWith("style/") ? "Style" : "Views")
                        + path.substring(slash)
            if (data.file.singleton) {
                // A singleton is reached through its module, not created.
                const name = path.substring(path.lastIndexOf("/") + 1, path.length - 4)
                verify(createTemporaryQmlObject("import QtQuick; import Kelvo.Style; import Kelvo.Views;"
                                                + "QtObject { property var probe: " + name + " }",
                                                testHost).probe)
                return
            }
            const component = Qt.createComponent(url)
            compare(component.status, Component.Ready, component.errorString())
            // The model is there from the start, as in the app.
            const probe = component.createObject(null)
            const hasModel = probe !== null && "model" in probe
            probe.destroy()
            const object = createTemporaryObject(component, testHost,
                                                 hasModel ? { model: createTemporaryObject(modelComponent, testHost) } : {})
            verify(object)
            if (object instanceof Window) {
                object.visible = true
                verify(waitForRendering(object.contentItem))
            } else if (object instanceof Item) {
                verify(waitForRendering(object))
            }
        }
    }
}
