import QtQuick
import QtTest
import Kelvo.Views

// The three windows as the app opens them: sizes kept from one opening to the next, and
// closing after a factory reset.
Item {
    id: root
    width: 200
    height: 100

    TestCase {
        name: "Windows"
        when: windowShown

        property var windows: []

        function init() {
            failOnWarning(/.?/)
            fixture.start()
        }

        function cleanup() {
            for (const window of windows)
                window.destroy()
            windows = []
            wait(0)
        }

        function open(file) {
            const component = Qt.createComponent("qrc:/Kelvo/Views/" + file)
            compare(component.status, Component.Ready, component.errorString())
            const window = component.createObject(null, { model: fixture.model })
            verify(window !== null)
            windows.push(window)
            window.show()
            verify(waitForRendering(window.contentItem))
            return window
        }

        function test_windows_remember_their_size_data() {
            return [
                { tag: "library", file: "LibraryWindow.qml" },
                { tag: "activity", file: "ActivityWindow.qml" },
                { tag: "settings", file: "SettingsWindow.qml" }
            ]
        }

        function test_windows_remember_their_size(data) {
            let window = open(data.file)
            window.width = 1000
            window.height = 700
            window.destroy()
            windows = []
            wait(0)
            window = open(data.file)
            compare(window.width, 1000)
            compare(window.height, 700)
        }

        function test_windows_close_after_a_factory_reset() {
            const opened = ["LibraryWindow.qml", "ActivityWindow.qml", "SettingsWindow.qml"]
                .map(file => open(file))
            for (const window of opened)
                verify(window.visible)
            fixture.model.resetToFactory(false)
            for (const window of opened)
                tryCompare(window, "visible", false)
        }
    }
}
