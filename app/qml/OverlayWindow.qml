// One transparent overlay per display: it shows the calipers of that display,
// lets the user select, move, resize and remove them, and takes the pointer
// only on them. Everywhere else the pointer reaches the application underneath.
// The caliper scene does the work; this document places it and binds it.
import QtQuick
import ZRNCalipers
import ZRNCalipers.Native 1.0

NativeOverlayWindow {
    id: overlay

    // Given by the control panel.
    required property var displayInfo
    required property var controller
    required property string qtcMode
    required property string qtcValue
    // The QTc formula of the QT/QTc labels.
    property string qtcFormula: "Bazett"

    // While a list of the control panel is open the whole overlay takes the
    // mouse, so that a press anywhere on the display, also over another
    // program, closes the list and does nothing else.
    property bool capturesPointer: false
    signal capturedPress()

    // A caliper was pressed: the control panel takes the keyboard for it.
    signal caliperPressed()

    readonly property CaliperScene scene: caliperScene
    readonly property int rhythmMarkerCount: caliperScene.rhythmMarkerCount

    x: displayInfo.x
    y: displayInfo.y
    width: displayInfo.width
    height: displayInfo.height
    // A title of its own, naming its display: window lists and tools tell the
    // overlays from the panel ("ZRN Calipers") and from each other.
    title: qsTr("Caliper overlay on %1").arg(displayInfo.name)
    flags: Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.Tool | Qt.WindowDoesNotAcceptFocus
    color: "transparent"
    clickThrough: false

    CaliperScene {
        id: caliperScene
        objectName: "caliperScene"
        anchors.fill: parent
        controller: overlay.controller
        displayId: overlay.displayInfo.stableId
        qtcMode: overlay.qtcMode
        qtcValue: overlay.qtcValue
        qtcFormula: overlay.qtcFormula
        capturesPointer: overlay.capturesPointer
        onCaliperPressed: overlay.caliperPressed()
        onCapturedPress: overlay.capturedPress()

        Accessible.name: qsTr("Interactive caliper handles for display %1").arg(overlay.displayInfo.name)
        Accessible.description: qsTr("Drag a caliper's center or line to move it and an endpoint to resize it; right-click removes it. A pressed caliper is selected: in the control panel, Left and Right resize it by one pixel, Up, Down and Ctrl+Left or Right move it, Shift makes the step 10 pixels, + and \u2212 change the intervals a Standard caliper is laid over, Delete removes it and Escape deselects it.")
    }
}
