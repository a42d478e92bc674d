import QtQuick
import QtTest

TestCase {
    name: "Smoke"
    function test_documentsLoad() {
        for (const doc of ["Main", "ControlPanel", "InfoWindow", "OverlayWindow"]) {
            const c = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/" + doc + ".qml")
            compare(c.status, Component.Ready, doc + ": " + c.errorString())
        }
    }
}
