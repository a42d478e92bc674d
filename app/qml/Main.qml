pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import QtQuick.Window
import ZRNCalipers as Zrn

// The control panel: a narrow frameless window with its own title bar and the
// caliper palette under it. It holds the panel state shared with the palette
// and the overlays, places new calipers, and creates one overlay per display.
ApplicationWindow {
    id: panel

    // The program's native objects. They are the engine's context properties;
    // a test may hand in stand-ins when it creates the panel.
    // qmllint disable unqualified
    // (published by the program before this document loads)
    property var controller: overlayController
    property var topology: displayTopology
    // qmllint enable unqualified
    readonly property var displays: topology && topology.displays ? topology.displays : []

    // State shared by reference with the palette and read by the overlays.
    readonly property alias appState: panelState
    QtObject {
        id: panelState
        property string color: "#2dd4bf"
        property real referenceDurationMs: 1000
        property int createdCount: 0
        property bool darkMode: false
        property string qtcMode: "rate"
        property string qtcValue: ""
        // Bazett at every start: nothing is stored.
        property string qtcFormula: "Bazett"
    }

    // Sizes of the panel.
    QtObject {
        id: metrics
        readonly property int panelWidth: 190
        readonly property int panelHeight: 390
        // The QTc card: its heading, the formulas, the input and "RR from caliper".
        readonly property int panelHeightWithQtc: 535
        readonly property int frameRadius: 8
        readonly property int headerHeight: 58
        readonly property int headerMargin: 6
        readonly property int iconSize: 26
        readonly property int headerButtonWidth: 26
        readonly property int headerButtonHeight: 22
        readonly property int titlePixelSize: 13
        readonly property int subtitlePixelSize: 8
        // Placement of new calipers, in logical pixels local to their display.
        readonly property int caliperWidth: 100
        readonly property int caliperStepX: 24
        readonly property int caliperCycleX: 168
        readonly property int caliperStepY: 18
        readonly property int caliperCycleY: 120
        readonly property int edgeMarginX: 30
        readonly property int edgeMarginY: 60
        // Keyboard adjustment with Shift, in logical pixels.
        readonly property int coarseKeyStep: 10
    }

    // The one theme of every window; the panel state's dark mode chooses the
    // column that the panel and its palette show.
    ThemePalette {
        id: themePalette
    }
    readonly property ThemeColors theme: appState.darkMode ? themePalette.dark : themePalette.light

    // The panel window's own colours; each is [light, dark].
    QtObject {
        id: look
        function pick(pair) { return panel.appState.darkMode ? pair[1] : pair[0] }
        readonly property color frameFill: pick(["#f3f8f6", "#081311"])
        readonly property color frameOutline: pick(["#a8c3bb", "#2a4841"])
        readonly property color headerFill: pick(["#e8f0ed", "#101d1a"])
        readonly property color headerText: pick(["#17342e", "#e5efec"])
        readonly property color subtitleText: pick(["#167a69", "#72c9b8"])
        readonly property color headerButtonHover: pick(["#d5e5e0", "#20322e"])
        readonly property color headerButtonFocus: pick(["#0f766e", "#5eead4"])
        readonly property color separator: pick(["#c6d8d2", "#1f3732"])
    }

    // The fixed heights grow by the status line while it shows a message, so
    // that every message can be read in full, and by the interval count while
    // a Standard caliper is selected.
    readonly property int currentHeight: (controller && controller.hasQtMeasurement
                                          ? metrics.panelHeightWithQtc : metrics.panelHeight)
                                         + Math.ceil(controlPanel.statusHeight)
                                         + Math.ceil(controlPanel.intervalsHeight)

    width: metrics.panelWidth
    minimumWidth: metrics.panelWidth
    maximumWidth: metrics.panelWidth
    height: currentHeight
    minimumHeight: currentHeight
    maximumHeight: currentHeight

    // X11 keeps a window's size in device pixels when it moves onto a display
    // of another scale, which would squeeze the panel's layout into half its
    // size (or cut it off). Re-applying the logical size restores it.
    onScreenChanged: {
        width = Qt.binding(() => metrics.panelWidth)
        height = Qt.binding(() => currentHeight)
    }
    visible: true
    title: qsTr("ZRN Calipers")
    color: "transparent"
    flags: Qt.Window | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.WindowSystemMenuHint

    // The display record under the panel's centre; the first (primary) display
    // when the panel is off every display; null without displays. Left and top
    // edges belong to a display, right and bottom edges do not.
    function targetDisplay() {
        const list = displays
        if (!list || list.length === 0)
            return null
        const cx = x + width / 2
        const cy = y + height / 2
        for (let i = 0; i < list.length; ++i) {
            const d = list[i]
            if (d.x <= cx && cx < d.x + d.width && d.y <= cy && cy < d.y + d.height)
                return d
        }
        return list[0]
    }

    // Creates a caliper of the given tool on the display under the panel. Each
    // new caliper steps right and down from the last, so they don't stack.
    function addCaliper(tool) {
        const d = targetDisplay()
        if (!d)
            return
        const n = appState.createdCount
        const offset = (n * metrics.caliperStepX) % metrics.caliperCycleX
        const startX = Math.max(metrics.edgeMarginX, d.width / 2 - metrics.caliperWidth / 2 + offset)
        const endX = Math.min(d.width - metrics.edgeMarginX, startX + metrics.caliperWidth)
        const y = Math.max(metrics.edgeMarginY,
                           Math.min(d.height - metrics.edgeMarginY,
                                    d.height / 2 - 60 + (n * metrics.caliperStepY) % metrics.caliperCycleY))
        // A refusal is reported by the controller's own message.
        if (controller && typeof controller.addMeasurement === "function")
            controller.addMeasurement(tool, d.stableId, d.logicalDpi, d.devicePixelRatio,
                                      startX, endX, y, appState.color, appState.referenceDurationMs)
        appState.createdCount += 1
        takeKeyboardForCalipers()
    }

    // Stays above the overlays and takes the keyboard for the selected caliper
    // (the overlays never take focus themselves): after a caliper was created,
    // pressed or walked to. A button that has the focus keeps it, so that Tab
    // goes on from there: the keys it leaves alone reach the frame anyway.
    function takeKeyboardForCalipers() {
        raise()
        requestActivate()
        if (!(activeFocusItem instanceof T.AbstractButton))
            frame.forceActiveFocus()
    }

    // Selects the next caliper (the previous one with a negative step) of the
    // displays that exist, in the order of the rows, from the first again
    // after the last; with nothing selected, the first (or the last).
    function walkCalipers(step) {
        const rows = (controller && controller.measurements || []).filter(
                         r => displayRecord(r.displayId) !== null)
        if (rows.length === 0)
            return
        const current = rows.findIndex(r => r.id === controller.selectedId)
        const next = current < 0 ? (step > 0 ? 0 : rows.length - 1)
                                 : (current + step + rows.length) % rows.length
        controller.selectedId = rows[next].id
        takeKeyboardForCalipers()
    }

    // The row of the selected caliper, or null when nothing that exists is selected.
    function selectedRow() {
        if (!controller || !controller.selectedId)
            return null
        const rows = controller.measurements || []
        for (let i = 0; i < rows.length; ++i) {
            if (rows[i].id === controller.selectedId)
                return rows[i]
        }
        return null
    }

    function displayRecord(stableId) {
        const list = displays
        for (let i = 0; i < list.length; ++i) {
            if (list[i].stableId === stableId)
                return list[i]
        }
        return null
    }

    // Moves the whole caliper, kept on its display as a mouse move keeps it.
    function moveCaliper(row, display, dx, dy) {
        const w = row.endX - row.startX
        const left = Math.min(row.startX, row.endX)
        let newLeft = left + dx
        let y = row.y + dy
        if (display) {
            newLeft = Math.max(0, Math.min(display.width - Math.abs(w), newLeft))
            y = Math.max(0, Math.min(display.height, y))
        }
        const startX = newLeft + (row.startX - left)
        controller.updateMeasurementGeometry(row.id, startX, startX + w, y)
    }

    // Fine adjustment from the keyboard. Right and Left widen and narrow the
    // selected caliper by one device pixel of its display (10 logical pixels with
    // Shift); Up and Down, and Ctrl with Left and Right, move it by the same
    // steps; + and − change the number of intervals a Standard caliper is laid
    // over; Delete and Backspace remove it; Escape deselects it. Returns false
    // for a key it leaves alone: with no caliper selected, or while the QTc
    // field or the duration list has the keyboard.
    function handleCaliperKey(event) {
        // F6 walks the calipers from anywhere in the panel but the open list.
        if (event.key === Qt.Key_F6 && !controlPanel.durationListOpen) {
            walkCalipers((event.modifiers & Qt.ShiftModifier) ? -1 : 1)
            return true
        }
        // Escape first gives up waiting for a press on a caliper for the RR.
        if (event.key === Qt.Key_Escape && controlPanel.rrPicking && !controlPanel.durationListOpen) {
            controller.setRrPicking(false)
            return true
        }
        const row = selectedRow()
        if (!row || controlPanel.textEntryActive || controlPanel.durationListOpen)
            return false
        const display = displayRecord(row.displayId)
        const ratio = display && display.devicePixelRatio > 0 ? display.devicePixelRatio
                                                               : (row.devicePixelRatio > 0 ? row.devicePixelRatio : 1)
        const step = (event.modifiers & Qt.ShiftModifier) ? metrics.coarseKeyStep : 1 / ratio
        const sideways = (event.modifiers & Qt.ControlModifier) !== 0
        switch (event.key) {
        case Qt.Key_Right:
            if (sideways)
                moveCaliper(row, display, step, 0)
            else
                controller.nudgeSelected(step)
            return true
        case Qt.Key_Left:
            if (sideways)
                moveCaliper(row, display, -step, 0)
            else
                controller.nudgeSelected(-step)
            return true
        case Qt.Key_Up:
            moveCaliper(row, display, 0, -step)
            return true
        case Qt.Key_Down:
            moveCaliper(row, display, 0, step)
            return true
        case Qt.Key_Delete:
        case Qt.Key_Backspace:
            controller.removeSelected()
            return true
        case Qt.Key_Plus:
        case Qt.Key_Minus:
            // The mean of more or fewer intervals; the controller says where it stops.
            controller.setIntervalCount(row.id, (row.intervalCount || 1)
                                        + (event.key === Qt.Key_Plus ? 1 : -1))
            return true
        case Qt.Key_Escape:
            controller.selectedId = 0
            return true
        }
        return false
    }

    // Starts vertically centred with the panel's centre at a third of the
    // primary display's width.
    function positionControlPanel() {
        const list = displays
        if (!list || list.length === 0)
            return
        const d = list[0]
        x = Math.round(d.x + d.width / 3 - metrics.panelWidth / 2)
        y = Math.round(d.y + (d.height - height) / 2)
    }

    function openInformation() {
        infoWindow.openNear(Qt.rect(x, y, width, height), metrics.headerHeight, targetDisplay())
    }

    // The keyboard starts here: without a window manager nothing else would
    // give the panel the focus before its first click.
    Component.onCompleted: {
        positionControlPanel()
        requestActivate()
        frame.forceActiveFocus()
    }

    // The rate or RR was typed for the QT/QTc caliper there was: when that
    // caliper goes (removed, replaced by a new one, cleared), the input goes
    // with it, so a new QT/QTc caliper never shows a stale QTc.
    Connections {
        target: panel.controller
        ignoreUnknownSignals: true
        function onQtMeasurementIdChanged() { panel.appState.qtcValue = "" }
    }

    // Ends the event loop directly: a quit request would first ask every
    // window to close, and the information window declines (it only hides).
    onClosing: (close) => {
        close.accepted = true
        Qt.exit(0)
    }

    component HeaderButton: Button {
        id: headerButton
        readonly property bool pointerHovered: headerHover.hovered
        width: metrics.headerButtonWidth
        height: metrics.headerButtonHeight
        implicitWidth: metrics.headerButtonWidth
        implicitHeight: metrics.headerButtonHeight
        padding: 0
        topInset: 0
        bottomInset: 0
        leftInset: 0
        rightInset: 0
        focusPolicy: Qt.TabFocus
        Accessible.name: text

        HoverHandler {
            id: headerHover
            acceptedDevices: PointerDevice.Mouse | PointerDevice.TouchPad
            cursorShape: Qt.PointingHandCursor
        }

        contentItem: Text {
            text: headerButton.text
            font.pixelSize: 13
            font.weight: Font.DemiBold
            color: look.headerText
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: 5
            color: headerButton.pointerHovered ? look.headerButtonHover : "transparent"
            border.width: headerButton.activeFocus ? 1 : 0
            border.color: look.headerButtonFocus
        }
    }

    Rectangle {
        id: frame
        objectName: "frame"
        anchors.fill: parent
        radius: metrics.frameRadius
        // Keys that no control of the panel took adjust the selected caliper.
        Keys.onPressed: (event) => { event.accepted = panel.handleCaliperKey(event) }
        color: look.frameFill
        clip: true

        Column {
            anchors.fill: parent
            spacing: 0

            Rectangle {
                id: header
                width: parent.width
                height: metrics.headerHeight
                color: look.headerFill
                // Rounded only at the top, where it meets the frame.
                radius: metrics.frameRadius

                Rectangle {
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.bottom: parent.bottom
                    height: metrics.frameRadius
                    color: parent.color
                }

                // The window has no system frame: a drag in the header moves it,
                // and keeps its header on the displays.
                Zrn.WindowMoveArea {
                    objectName: "headerMove"
                    anchors.fill: parent
                    overhang: metrics.headerHeight
                }

                Row {
                    anchors.fill: parent
                    anchors.margins: metrics.headerMargin
                    spacing: metrics.headerMargin

                    Image {
                        id: icon
                        width: metrics.iconSize
                        height: metrics.iconSize
                        anchors.verticalCenter: parent.verticalCenter
                        source: "../assets/calipers-icon.png"
                        fillMode: Image.PreserveAspectFit
                        mipmap: true
                        smooth: true
                        Accessible.role: Accessible.Graphic
                        Accessible.name: qsTr("ZRN Calipers icon")
                    }

                    Column {
                        width: parent.width - icon.width - parent.spacing
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: -3

                        Row {
                            width: parent.width
                            spacing: 2

                            Text {
                                width: parent.width - minimizeButton.width - closeButton.width - 2 * parent.spacing
                                height: metrics.headerButtonHeight
                                verticalAlignment: Text.AlignVCenter
                                text: qsTr("ZRN Calipers")
                                font.pixelSize: metrics.titlePixelSize
                                font.bold: true
                                elide: Text.ElideRight
                                color: look.headerText
                            }
                            HeaderButton {
                                id: minimizeButton
                                objectName: "minimizeButton"
                                text: "\u2212"
                                Accessible.name: qsTr("Minimize ZRN Calipers")
                                onClicked: panel.showMinimized()
                            }
                            HeaderButton {
                                id: closeButton
                                objectName: "closeButton"
                                text: "\u00d7"
                                Accessible.name: qsTr("Close ZRN Calipers")
                                onClicked: panel.close()
                            }
                        }

                        Row {
                            width: parent.width
                            spacing: 2

                            Text {
                                width: parent.width - infoButton.width - themeButton.width - 2 * parent.spacing
                                height: metrics.headerButtonHeight
                                verticalAlignment: Text.AlignVCenter
                                text: qsTr("Halvern Lab")
                                font.pixelSize: metrics.subtitlePixelSize
                                elide: Text.ElideRight
                                color: look.subtitleText
                            }
                            HeaderButton {
                                id: infoButton
                                objectName: "infoButton"
                                text: "i"
                                Accessible.name: qsTr("Information")
                                Accessible.description: qsTr("Open version, instructions, privacy, and Halvern Lab contact information")
                                onClicked: panel.openInformation()
                            }
                            HeaderButton {
                                id: themeButton
                                objectName: "themeButton"
                                text: panel.appState.darkMode ? "\u2600" : "\u263e"
                                Accessible.name: panel.appState.darkMode ? qsTr("Switch to light mode")
                                                                         : qsTr("Switch to dark mode")
                                onClicked: panel.appState.darkMode = !panel.appState.darkMode
                            }
                        }
                    }
                }
            }

            Rectangle {
                id: separator
                width: parent.width
                height: 1
                color: look.separator
            }

            ControlPanel {
                id: controlPanel
                objectName: "palette"
                width: parent.width
                height: parent.height - header.height - separator.height
                controller: panel.controller
                appState: panel.appState
                themePalette: themePalette
                addCaliper: function (tool) { panel.addCaliper(tool) }
                // The frame behind shows the same fill with rounded corners.
                background: null
            }
        }
    }

    // The outline is drawn above the content, so the header does not hide it.
    Rectangle {
        anchors.fill: parent
        radius: metrics.frameRadius
        color: "transparent"
        border.width: 1
        border.color: look.frameOutline
    }

    // Where the corners' transparent pixels would show black, the window is cut
    // to its frame.
    Zrn.RoundedWindowShape {
        anchors.fill: parent
        radius: metrics.frameRadius
    }

    InfoWindow {
        id: infoWindow
        objectName: "infoWindow"
        transientParent: panel
        themePalette: themePalette
        darkMode: panel.appState.darkMode
        // The keyboard goes back to the panel, where it came from.
        onVisibleChanged: if (!visible && panel.visible) panel.requestActivate()
    }

    // One overlay per display, rebuilt whenever the display list changes.
    Instantiator {
        id: overlays
        objectName: "overlays"
        model: panel.displays
        delegate: OverlayWindow {
            required property var modelData
            displayInfo: modelData
            controller: panel.controller
            qtcMode: panel.appState.qtcMode
            qtcValue: panel.appState.qtcValue
            qtcFormula: panel.appState.qtcFormula
            onCaliperPressed: panel.takeKeyboardForCalipers()
            // Shown again after the system had taken it off the screen: on top of
            // the panel now, which goes back above it.
            onRestored: panel.raise()
            capturesPointer: controlPanel.durationListOpen
            onCapturedPress: controlPanel.closeDurationList()
        }
        onObjectAdded: (index, object) => {
            object.show()
            panel.raise()
        }
    }
}
