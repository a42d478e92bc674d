import QtQuick
import QtQuick.Window
import QtTest

TestCase {
    id: testCase
    name: "Main"

    FakeController { id: fake }
    QtObject {
        id: fakeTopology
        property var displays: []
    }

    readonly property var leftDisplay: ({ stableId: "aaaaaaaaaaaaaaaa", name: "Left", x: 0, y: 0,
                                          width: 1920, height: 1080, logicalDpi: 96, devicePixelRatio: 1 })
    readonly property var rightDisplay: ({ stableId: "bbbbbbbbbbbbbbbb", name: "Right", x: 1920, y: 0,
                                           width: 1280, height: 1024, logicalDpi: 144, devicePixelRatio: 1.5 })

    property var panel: null

    function display(id, x, y, w, h) {
        return { stableId: id, name: id, x: x, y: y, width: w, height: h, logicalDpi: 96, devicePixelRatio: 1 }
    }

    function createPanel(displays) {
        fake.reset()
        fakeTopology.displays = displays
        const component = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/Main.qml")
        compare(component.status, Component.Ready, component.errorString())
        panel = component.createObject(null, { controller: fake, topology: fakeTopology })
        verify(panel)
        waitForRendering(panel.contentItem)
        return panel
    }

    function cleanup() {
        if (panel) {
            panel.destroy()
            panel = null
            wait(0)
        }
    }

    function child(name) {
        const item = findChild(panel.contentItem, name)
        verify(item, name)
        return item
    }

    function test_targetDisplay_data() {
        return [
            { tag: "centre on the shared edge belongs to the right display", x: 1920 - 95, y: 100, expected: "Right" },
            { tag: "one pixel left of the edge", x: 1919 - 95, y: 100, expected: "Left" },
            { tag: "left edge of the first display is inside", x: -95, y: 100, expected: "Left" },
            { tag: "right edge of the last display is outside", x: 3200 - 95, y: 100, expected: "Left" },
            { tag: "below every display", x: 2500, y: 1024 - 195, expected: "Left" },
            { tag: "last row of the right display", x: 2500, y: 1023 - 195, expected: "Right" },
            { tag: "off every display", x: -5000, y: -5000, expected: "Left" },
        ]
    }

    function test_targetDisplay(data) {
        createPanel([leftDisplay, rightDisplay])
        panel.x = data.x
        panel.y = data.y
        compare(panel.width, 190)
        compare(panel.height, 390)
        compare(panel.targetDisplay().name, data.expected)
    }

    function test_targetDisplay_withoutDisplays() {
        createPanel([])
        compare(panel.targetDisplay(), null)
        panel.addCaliper("standard")
        compare(fake.added.length, 0)
        compare(panel.appState.createdCount, 0)
    }

    function test_targetDisplay_realTopology() {
        // The program's own display list on the emulated two-screen desktop.
        const component = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/Main.qml")
        panel = component.createObject(null, { controller: fake })
        verify(panel)
        const list = panel.displays
        verify(list && list.length === 2, "the program's display list has both emulated screens")
        const right = list[1]
        panel.x = right.x - panel.width / 2
        panel.y = right.y + 10
        compare(panel.targetDisplay().stableId, right.stableId)
        panel.x -= 1
        compare(panel.targetDisplay().stableId, list[0].stableId)
    }

    function test_placement_data() {
        return [
            { tag: "first on 1920x1080", w: 1920, h: 1080, n: 0, startX: 910, endX: 1010, y: 480 },
            { tag: "second on 1920x1080", w: 1920, h: 1080, n: 1, startX: 934, endX: 1034, y: 498 },
            { tag: "seventh on 1920x1080", w: 1920, h: 1080, n: 6, startX: 1054, endX: 1154, y: 588 },
            { tag: "eighth on 1920x1080 comes back left", w: 1920, h: 1080, n: 7, startX: 910, endX: 1010, y: 486 },
            { tag: "twenty-first repeats the vertical cycle", w: 1920, h: 1080, n: 20, startX: 1054, endX: 1154, y: 480 },
            { tag: "120 wide", w: 120, h: 1080, n: 0, startX: 30, endX: 90, y: 480 },
            { tag: "120 wide, stepped", w: 120, h: 1080, n: 3, startX: 82, endX: 90, y: 534 },
            { tag: "100 high", w: 1920, h: 100, n: 0, startX: 910, endX: 1010, y: 60 },
            { tag: "100 high, stepped", w: 1920, h: 100, n: 5, startX: 1030, endX: 1130, y: 60 },
            { tag: "odd size", w: 1001, h: 701, n: 0, startX: 450.5, endX: 550.5, y: 290.5 },
        ]
    }

    function test_placement(data) {
        createPanel([display("d", 0, 0, data.w, data.h)])
        panel.x = 10
        panel.y = 10
        panel.appState.createdCount = data.n
        panel.addCaliper("standard")
        compare(fake.added.length, 1)
        const call = fake.added[0]
        compare(call.startX, data.startX)
        compare(call.endX, data.endX)
        compare(call.y, data.y)
        compare(panel.appState.createdCount, data.n + 1)
    }

    function test_placementSequence() {
        createPanel([leftDisplay])
        panel.x = 100
        panel.y = 100
        for (let i = 0; i < 8; ++i)
            panel.addCaliper("standard")
        compare(fake.added.map(c => c.startX), [910, 934, 958, 982, 1006, 1030, 1054, 910])
        compare(fake.added.map(c => c.y), [480, 498, 516, 534, 552, 570, 588, 486])
    }

    function test_addCaliperPassesDisplayAndPanelState() {
        createPanel([leftDisplay, rightDisplay])
        panel.x = 2400
        panel.y = 300
        panel.appState.color = "#fb7185"
        panel.appState.referenceDurationMs = 200
        fake.nextId = 0 // refused: the panel still counts it
        panel.addCaliper("qtc")
        compare(fake.added.length, 1)
        const call = fake.added[0]
        compare(call.kind, "qtc")
        compare(call.displayId, "bbbbbbbbbbbbbbbb")
        compare(call.logicalDpi, 144)
        compare(call.devicePixelRatio, 1.5)
        // Local to the right display.
        compare(call.startX, 590)
        compare(call.endX, 690)
        compare(call.y, 452)
        compare(call.color, "#fb7185")
        compare(call.referenceDurationMs, 200)
        compare(panel.appState.createdCount, 1)
    }

    function test_paletteButtonsCreateThroughThePanel() {
        createPanel([leftDisplay])
        panel.x = 100
        panel.y = 100
        const names = ["addCaliperButton", "addRhythmButton", "referenceButton", "qtcButton"]
        for (const name of names) {
            const button = child(name)
            mouseClick(button, 10, button.height / 2)
        }
        compare(fake.added.map(c => c.kind), ["standard", "rhythm", "reference", "qtc"])
        compare(panel.appState.createdCount, 4)
    }

    function test_positionControlPanel_data() {
        return [
            { tag: "1920x1080", d: display("a", 0, 0, 1920, 1080), x: 545, y: 345 },
            { tag: "second display first in the list", d: display("b", 1920, 0, 1280, 1024), x: 2252, y: 317 },
            { tag: "halves go up", d: display("c", 0, 0, 1920, 1081), x: 545, y: 346 },
            { tag: "halves go up below zero", d: display("e", -1920, -1081, 1920, 1081), x: -1375, y: -735 },
        ]
    }

    function test_positionControlPanel(data) {
        createPanel([data.d, leftDisplay])
        panel.positionControlPanel()
        compare(panel.x, data.x)
        compare(panel.y, data.y)
    }

    function test_positionControlPanel_atStart() {
        createPanel([display("a", 0, 0, 1920, 1080)])
        compare(panel.x, 545)
        compare(panel.y, 345)
    }

    function test_positionControlPanel_withoutDisplays() {
        createPanel([])
        panel.x = 77
        panel.y = 66
        panel.positionControlPanel()
        compare(panel.x, 77)
        compare(panel.y, 66)
    }

    function test_heightFollowsQtMeasurement() {
        createPanel([leftDisplay])
        compare(panel.height, 390)
        fake.hasQtMeasurement = true
        tryCompare(panel, "height", 535)
        compare(panel.minimumHeight, 535)
        compare(panel.maximumHeight, 535)
        verify(child("qtcCard").visible)
        fake.hasQtMeasurement = false
        tryCompare(panel, "height", 390)
        compare(panel.minimumHeight, 390)
        compare(panel.maximumHeight, 390)
        verify(!child("qtcCard").visible)
        compare(panel.minimumWidth, 190)
        compare(panel.maximumWidth, 190)
    }

    function test_overlaysFollowTheDisplayList() {
        createPanel([leftDisplay, rightDisplay])
        const overlays = findChild(panel, "overlays")
        verify(overlays)
        compare(overlays.count, 2)
        compare(overlays.objectAt(0).displayInfo.stableId, leftDisplay.stableId)
        compare(overlays.objectAt(1).displayInfo.stableId, rightDisplay.stableId)
        verify(overlays.objectAt(0).visible)
        compare(overlays.objectAt(0).controller, fake)
        fakeTopology.displays = [rightDisplay]
        compare(overlays.count, 1)
        compare(overlays.objectAt(0).displayInfo.stableId, rightDisplay.stableId)
        panel.appState.qtcMode = "rr"
        panel.appState.qtcValue = "800"
        compare(overlays.objectAt(0).qtcMode, "rr")
        compare(overlays.objectAt(0).qtcValue, "800")
        fakeTopology.displays = []
        compare(overlays.count, 0)
    }

    function test_themeButton() {
        createPanel([leftDisplay])
        const button = child("themeButton")
        compare(button.text, "\u263e")
        compare(button.Accessible.name, "Switch to dark mode")
        mouseClick(button)
        verify(panel.appState.darkMode)
        compare(button.text, "\u2600")
        compare(button.Accessible.name, "Switch to light mode")
        compare(panel.theme.panelColor, "#081311")
        compare(findChild(panel, "infoWindow").darkMode, true)
        mouseClick(button)
        verify(!panel.appState.darkMode)
        compare(panel.theme.panelColor, "#f3f8f6")
        compare(findChild(panel, "infoWindow").darkMode, false)
    }

    // Beside the panel where there is room, right and then left; never over
    // its header, whose buttons stay within reach.
    function test_informationButtonOpensBesideThePanel_data() {
        return [
            { tag: "right", x: 200, y: 300, infoX: 402, infoY: 300 },
            { tag: "left, at the right edge", x: 1920 - 190, y: 300, infoX: 1288, infoY: 300 },
            { tag: "kept inside the bottom", x: 200, y: 1080 - 390, infoX: 402, infoY: 478 },
        ]
    }

    function test_informationButtonOpensBesideThePanel(data) {
        createPanel([leftDisplay])
        panel.x = data.x
        panel.y = data.y
        const button = child("infoButton")
        const info = findChild(panel, "infoWindow")
        verify(!info.visible)
        mouseClick(button)
        verify(info.visible)
        compare(info.x, data.infoX)
        compare(info.y, data.infoY)
        compare(info.transientParent, panel)
        // The header's close and theme buttons are not covered.
        for (const name of ["closeButton", "themeButton"]) {
            const b = child(name)
            const p = b.mapToGlobal(b.width / 2, b.height / 2)
            verify(p.x < info.x || p.x >= info.x + info.width || p.y < info.y || p.y >= info.y + info.height,
                   name + " under the information window")
        }
        info.hide()
    }

    function test_escapeClosesInformationAndTheKeyboardReturns() {
        createPanel([leftDisplay])
        panel.requestActivate()
        tryVerify(() => panel.active)
        const info = findChild(panel, "infoWindow")
        const button = child("infoButton")
        button.forceActiveFocus()
        keyClick(Qt.Key_Space)
        verify(info.visible)
        tryVerify(() => info.active)
        keyClick(Qt.Key_Escape)
        verify(!info.visible)
        tryVerify(() => panel.active)
        // The panel takes keys again, and Escape there leaves the window hidden.
        keyClick(Qt.Key_Escape)
        verify(!info.visible)
        keyClick(Qt.Key_Space)
        verify(info.visible)
        info.hide()
    }

    function test_accessibleNames_data() {
        return [
            { tag: "minimize", name: "minimizeButton", text: "\u2212", accessible: "Minimize ZRN Calipers", description: "" },
            { tag: "close", name: "closeButton", text: "\u00d7", accessible: "Close ZRN Calipers", description: "" },
            { tag: "information", name: "infoButton", text: "i", accessible: "Information",
              description: "Open version, instructions, privacy, and Halvern Lab contact information" },
        ]
    }

    function test_accessibleNames(data) {
        createPanel([leftDisplay])
        const button = child(data.name)
        compare(button.text, data.text)
        compare(button.Accessible.name, data.accessible)
        compare(button.Accessible.description, data.description)
        compare(button.width, 26)
        compare(button.height, 22)
        compare(button.focusPolicy, Qt.TabFocus)
    }

    function test_windowSettings() {
        createPanel([leftDisplay])
        compare(panel.title, "ZRN Calipers")
        verify(panel.visible)
        compare(panel.color, Qt.rgba(0, 0, 0, 0))
        verify(panel.flags & Qt.FramelessWindowHint)
        verify(panel.flags & Qt.WindowStaysOnTopHint)
        compare(panel.appState.color, "#2dd4bf")
        compare(panel.appState.referenceDurationMs, 1000)
        compare(panel.appState.qtcMode, "rate")
        compare(panel.appState.qtcValue, "")
    }
    function test_panelGrowsWhileAStatusMessageShows_data() {
        return [
            { tag: "without the QTc card", qt: false, base: 390 },
            { tag: "with the QTc card", qt: true, base: 535 },
        ]
    }

    function test_panelGrowsWhileAStatusMessageShows(data) {
        createPanel([leftDisplay])
        fake.hasQtMeasurement = data.qt
        tryCompare(panel, "height", data.base)
        const palette = child("palette")
        palette.statusLifetimeMs = 300
        const line = child("statusLine")
        fake.transientMessage("Display topology or DPI changed. Draw a new reference on that display.")
        verify(line.visible)
        verify(line.lineCount > 1)
        tryVerify(() => panel.height > data.base)
        compare(panel.minimumHeight, panel.height)
        compare(panel.maximumHeight, panel.height)
        // The whole message lies inside the panel, above its bottom edge.
        const bottom = line.mapToItem(panel.contentItem, 0, line.height).y
        verify(bottom <= panel.height, "status line ends at " + bottom + " in a panel of " + panel.height)
        tryCompare(line, "text", "", 3000)
        tryCompare(panel, "height", data.base)
    }
    // ---- The keyboard from the start, and where it stays ---------------------

    function test_panelTakesTheKeyboardAtStart() {
        createPanel([leftDisplay])
        tryVerify(() => panel.active)
        verify(child("frame").activeFocus)
        // Tab walks the controls from there, without a click first.
        keyClick(Qt.Key_Tab)
        compare(panel.activeFocusItem, child("minimizeButton"))
    }

    // Space on a palette button creates the caliper and leaves the focus on
    // the button: the next Tab goes on from there.
    function test_spaceOnAPaletteButtonKeepsTheFocus_data() {
        return [
            { tag: "Add Caliper", name: "addCaliperButton", next: "addRhythmButton", kind: "standard" },
            { tag: "Add Rhythm", name: "addRhythmButton", next: "referenceButton", kind: "rhythm" },
            { tag: "Reference", name: "referenceButton", next: "qtcButton", kind: "reference" },
            { tag: "QT/QTc", name: "qtcButton", next: "clearButton", kind: "qtc" },
        ]
    }

    function test_spaceOnAPaletteButtonKeepsTheFocus(data) {
        createPanel([leftDisplay])
        tryVerify(() => panel.active)
        const button = child(data.name)
        button.forceActiveFocus(Qt.TabFocusReason)
        keyClick(Qt.Key_Space)
        compare(fake.added.map(c => c.kind), [data.kind])
        verify(button.activeFocus)
        keyClick(Qt.Key_Tab)
        compare(panel.activeFocusItem, child(data.next))
    }

    // F6 walks the calipers of every display in the order of the rows, and
    // Shift+F6 back; a caliper whose display is gone is skipped.
    function test_f6WalksTheCalipers_data() {
        return [
            { tag: "forward from nothing", start: 0, mods: Qt.NoModifier, ids: [3, 5, 8, 3] },
            { tag: "back from nothing", start: 0, mods: Qt.ShiftModifier, ids: [8, 5, 3, 8] },
            { tag: "forward from the second", start: 5, mods: Qt.NoModifier, ids: [8, 3] },
            { tag: "from a caliper that does not exist", start: 42, mods: Qt.NoModifier, ids: [3, 5, 8] },
        ]
    }

    function test_f6WalksTheCalipers(data) {
        createPanel([leftDisplay, rightDisplay])
        tryVerify(() => panel.active)
        fake.measurements = [caliperRow(3, leftDisplay.stableId, 100, 200, 300),
                             caliperRow(4, "gonegonegonegone", 100, 200, 300),
                             caliperRow(5, rightDisplay.stableId, 100, 200, 300),
                             caliperRow(8, leftDisplay.stableId, 400, 500, 300)]
        fake.selectedId = data.start
        const seen = []
        for (let i = 0; i < data.ids.length; ++i) {
            keyClick(Qt.Key_F6, data.mods)
            seen.push(fake.selectedId)
        }
        compare(seen, data.ids)
        // The adjust keys then apply to the caliper walked to.
        keyClick(Qt.Key_Right)
        compare(fake.nudges, [1])
    }

    function test_f6FromTheQtcFieldAndNotFromTheOpenList() {
        createPanel([leftDisplay])
        tryVerify(() => panel.active)
        fake.hasQtMeasurement = true
        fake.measurements = [caliperRow(3, leftDisplay.stableId, 100, 200, 300)]
        const field = child("qtcField")
        mouseClick(field)
        keyClick(Qt.Key_F6)
        compare(fake.selectedId, 3)
        verify(child("frame").activeFocus)
        fake.selectedId = 0
        const box = child("durationBox")
        mouseClick(box)
        tryVerify(() => box.listWindow.visible)
        keyClick(Qt.Key_F6)
        compare(fake.selectedId, 0)
        keyClick(Qt.Key_Escape)
        tryVerify(() => !box.listWindow.visible)
    }

    // ---- The QTc input and the label, with the program's own controller ----

    // A reference of 400 ms and a QT/QTc caliper of the same width on the
    // first display: QT reads 400 ms.
    function panelWithQtCaliper() {
        const component = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/Main.qml")
        panel = component.createObject(null)
        verify(panel)
        waitForRendering(panel.contentItem)
        overlayController.clear()
        panel.x = 100
        panel.y = 100
        panel.appState.referenceDurationMs = 400
        panel.addCaliper("reference")
        panel.addCaliper("qtc")
        verify(overlayController.hasQtMeasurement)
        tryVerify(() => panel.active)
    }

    function qtLabel() {
        const overlay = findChild(panel, "overlays").objectAt(0)
        const row = overlayController.measurements.find(r => r.kind === "QT/QTc")
        verify(row, "a QT/QTc row")
        return overlay.scene.labelText(row.id)
    }

    function qtRow() {
        return overlayController.measurements.find(r => r.kind === "QT/QTc")
    }

    // What the label computes with is the palette's reading, whatever the
    // locale: only a plain whole number in range.
    function test_qtcLabelFollowsTheReading_data() {
        const digits = s => s.split("").map(c => Qt.Key_0 + Number(c))
        const cases = [
            { tag: "0.8 in ms", mode: "rr", keys: [Qt.Key_0, Qt.Key_Period, Qt.Key_8], label: "– add RR" },
            { tag: "-300 in ms", mode: "rr", keys: [Qt.Key_Minus].concat(digits("300")), label: "– add RR" },
            { tag: "12a3 in ms", mode: "rr", keys: [Qt.Key_1, Qt.Key_2, Qt.Key_A, Qt.Key_3], label: "– add RR" },
            { tag: "20 digits in ms", mode: "rr", keys: digits("12345678901234567890"), label: "– add RR" },
            { tag: "pasted 1234567 in ms", mode: "rr", paste: "1234567", label: "– add RR" },
            { tag: "7 bpm", mode: "rate", keys: digits("7"), label: "– add RR" },
            { tag: "99999 bpm", mode: "rate", keys: digits("99999"), label: "– add RR" },
            { tag: "pasted Arabic-Indic 72 bpm", mode: "rate", paste: "\u0667\u0662", label: "– add RR" },
            { tag: "pasted \" 72 \" bpm", mode: "rate", paste: " 72 ", label: "438 ms", usable: true },
            { tag: "640 ms", mode: "rr", keys: digits("640"), label: "500 ms", usable: true },
        ]
        const rows = []
        for (const locale of ["de_DE", "fr_FR", "ar_EG"]) {
            for (const c of cases)
                rows.push(Object.assign({}, c, { tag: locale + ": " + c.tag, locale: locale }))
        }
        return rows
    }

    function test_qtcLabelFollowsTheReading(data) {
        const previous = testSupport.setDefaultLocale(data.locale)
        try {
            panelWithQtCaliper()
            panel.appState.qtcMode = data.mode
            const field = child("qtcField")
            mouseClick(field)
            verify(field.activeFocus)
            if (data.paste !== undefined) {
                testSupport.setClipboardText(data.paste)
                keyClick(Qt.Key_V, Qt.ControlModifier)
            } else {
                for (const key of data.keys)
                    keyClick(key)
            }
            compare(qtLabel(), "QT: 400 ms\nQTc: " + data.label)
            compare(child("statusLine").text === "", data.usable === true)
        } finally {
            testSupport.setDefaultLocale(previous)
            overlayController.clear()
        }
    }

    // However the QT/QTc caliper goes, its rate or RR goes with it: the next
    // QT/QTc caliper (for the next ECG) starts without one.
    function test_qtcInputGoesWithItsCaliper_data() {
        return [
            { tag: "right click", way: "right click" },
            { tag: "Delete", way: "key", key: Qt.Key_Delete },
            { tag: "Backspace", way: "key", key: Qt.Key_Backspace },
            { tag: "same-kind replacement", way: "replace" },
            { tag: "Clear All", way: "clear" },
        ]
    }

    function test_qtcInputGoesWithItsCaliper(data) {
        panelWithQtCaliper()
        panel.appState.qtcMode = "rr"
        const field = child("qtcField")
        mouseClick(field)
        for (const key of [Qt.Key_6, Qt.Key_4, Qt.Key_0])
            keyClick(key)
        compare(qtLabel(), "QT: 400 ms\nQTc: 500 ms")
        const row = qtRow()
        const overlay = findChild(panel, "overlays").objectAt(0)
        if (data.way === "right click") {
            mouseClick(overlay.contentItem, row.endX, row.y, Qt.RightButton)
        } else if (data.way === "key") {
            mouseClick(overlay.contentItem, row.endX, row.y)
            compare(overlayController.selectedId, row.id)
            tryVerify(() => panel.active)
            keyClick(data.key)
        } else if (data.way === "replace") {
            const button = child("qtcButton")
            mouseClick(button, 10, button.height / 2)
        } else {
            const button = child("clearButton")
            mouseClick(button, 10, button.height / 2)
            panel.addCaliper("reference")
        }
        compare(panel.appState.qtcValue, "")
        if (data.way !== "replace") {
            verify(!overlayController.hasQtMeasurement)
            panel.addCaliper("qtc")
        }
        verify(qtRow().id !== row.id)
        compare(field.text, "")
        compare(qtLabel(), "QT: 400 ms\nQTc: – add RR")
        overlayController.clear()
    }

    // Every change of the active reference's duration is said, from the
    // mouse and from the keyboard; picking the same one again changes nothing.
    function test_referenceDurationChangeIsSaid() {
        panelWithQtCaliper()
        const box = child("durationBox")
        const line = child("statusLine")
        box.forceActiveFocus(Qt.TabFocusReason)
        keyClick(Qt.Key_5)
        keyClick(Qt.Key_Down)
        verify(overlayController.referenceChoices[0].label.endsWith(" 400 ms"))
        compare(line.text, "")
        keyClick(Qt.Key_Space)
        tryVerify(() => box.listWindow.visible)
        keyClick(Qt.Key_Up)
        keyClick(Qt.Key_Return)
        tryVerify(() => !box.listWindow.visible)
        verify(overlayController.referenceChoices[0].label.endsWith(" 250 ms"))
        compare(line.text, "Reference: 250 ms")
        compare(qtLabel(), "QT: 250 ms\nQTc: – add RR")
        mouseClick(box)
        tryVerify(() => box.listWindow.visible)
        tryVerify(() => box.list.itemAtIndex(7))
        mouseClick(box.list.itemAtIndex(7))
        tryVerify(() => !box.listWindow.visible)
        compare(line.text, "Reference: 1000 ms")
        line.text = ""
        mouseClick(box)
        tryVerify(() => box.listWindow.visible)
        mouseClick(box.list.itemAtIndex(7))
        tryVerify(() => !box.listWindow.visible)
        compare(line.text, "")
        overlayController.clear()
    }

    // ---- QTc by formula, the RR from a caliper, the mean of several intervals ----

    // The formula chosen in the card names the QTc line; Bazett's reads as
    // before. A rate outside its range counts for none of them.
    function test_qtcLabelByFormula_data() {
        return [
            { tag: "Bazett", formula: "Bazett", label: "QT: 400 ms\nQTc: 447 ms", missing: "QTc: – add RR" },
            { tag: "Fridericia", formula: "Fridericia", label: "QT: 400 ms\nQTcF: 431 ms", missing: "QTcF: – add RR" },
            { tag: "Framingham", formula: "Framingham", label: "QT: 400 ms\nQTcFra: 431 ms", missing: "QTcFra: – add RR" },
            { tag: "Hodges", formula: "Hodges", label: "QT: 400 ms\nQTcH: 426 ms", missing: "QTcH: – add RR" },
        ]
    }

    function test_qtcLabelByFormula(data) {
        panelWithQtCaliper()
        compare(panel.appState.qtcFormula, "Bazett", "Bazett at every start")
        verify(child("formulaBazett").chosen)
        const button = child("formula" + data.formula)
        mouseClick(button)
        compare(panel.appState.qtcFormula, data.formula)
        verify(button.chosen)
        for (const other of ["Bazett", "Fridericia", "Framingham", "Hodges"])
            compare(child("formula" + other).chosen, other === data.formula, other)
        compare(qtLabel(), "QT: 400 ms\n" + data.missing)
        const field = child("qtcField")
        mouseClick(field)
        keyClick(Qt.Key_7)
        compare(qtLabel(), "QT: 400 ms\n" + data.missing, "7 bpm is out of range")
        keyClick(Qt.Key_5)
        compare(qtLabel(), data.label)
        overlayController.clear()
    }

    // A Standard caliper on the panel's display beside the QT/QTc caliper:
    // all are 100 px wide, the reference standing for 400 ms.
    function panelWithRrCaliper() {
        panelWithQtCaliper()
        panel.addCaliper("standard")
        const row = overlayController.measurements.find(r => r.kind === "Standard")
        verify(row)
        return row
    }

    function overlayAt(index) {
        return findChild(panel, "overlays").objectAt(index)
    }

    function linkRr(row) {
        mouseClick(child("rrSourceButton"))
        verify(child("rrSourceButton").chosen)
        compare(child("statusLine").text, "Press a Standard caliper to take the RR from it.")
        mouseClick(overlayAt(0).contentItem, row.endX, row.y - 100)
        compare(overlayController.rrSource.caliperId, row.id)
    }

    // The input shows the caliper's interval, marked with its colour, and
    // follows the caliper while it is dragged; the QT label follows with it.
    // When the caliper goes, the input empties and the status line says why.
    function test_rrFromCaliperFollowsADragAndEndsWithIt() {
        const row = panelWithRrCaliper()
        panel.appState.qtcMode = "rate"
        linkRr(row)
        const field = child("qtcField")
        compare(field.text, "400")
        compare(panel.appState.qtcMode, "rr")
        verify(field.readOnly)
        verify(child("rrMarker").visible)
        compare(child("rrMarker").color, Qt.color(row.color))
        compare(child("statusLine").text, "")
        compare(qtLabel(), "QT: 400 ms\nQTc: 632 ms")

        const item = overlayAt(0).contentItem
        mousePress(item, row.endX, row.y - 100, Qt.LeftButton)
        mouseMove(item, row.endX + 50, row.y - 100, -1, Qt.LeftButton)
        compare(field.text, "600", "the input follows the drag")
        compare(qtLabel(), "QT: 400 ms\nQTc: 516 ms", "and the QT label with it")
        mouseMove(item, row.endX + 100, row.y - 100, -1, Qt.LeftButton)
        compare(field.text, "800")
        mouseRelease(item, row.endX + 100, row.y - 100, Qt.LeftButton)
        compare(field.text, "800")
        compare(qtLabel(), "QT: 400 ms\nQTc: 447 ms")

        mouseClick(item, row.endX + 100, row.y - 100, Qt.RightButton)
        compare(overlayController.rrSource.caliperId, 0)
        compare(field.text, "")
        verify(!field.readOnly)
        verify(!child("rrMarker").visible)
        compare(child("statusLine").text,
                "RR from caliper ended: its caliper was removed. Enter the RR again.")
        compare(qtLabel(), "QT: 400 ms\nQTc: – add RR")
        overlayController.clear()
    }

    // The mean of several intervals is the RR; a caliper without a usable
    // reference is refused, and nothing changes.
    function test_rrFromTheMeanAndRefusedWithoutAReference() {
        const row = panelWithRrCaliper()
        linkRr(row)
        tryVerify(() => panel.active)
        keyClick(Qt.Key_Plus)
        compare(child("qtcField").text, "200")
        compare(qtLabel(), "QT: 400 ms\nQTc: 894 ms")

        // The second display has no reference.
        const other = overlayController.addMeasurement("standard", overlayAt(1).displayInfo.stableId,
                                                       overlayAt(1).displayInfo.logicalDpi,
                                                       overlayAt(1).displayInfo.devicePixelRatio,
                                                       100, 200, 300, "#ff0000", 1000)
        verify(other !== 0)
        mouseClick(child("rrSourceButton"))
        compare(overlayController.rrSource.caliperId, 0, "a second click ends the link")
        compare(child("qtcField").text, "")
        mouseClick(child("rrSourceButton"))
        mouseClick(overlayAt(1).contentItem, 200, 200)
        compare(child("statusLine").text, "Draw a reference on that caliper's display to take the RR from it.")
        compare(overlayController.rrSource.caliperId, 0)
        verify(overlayController.rrSource.picking, "still waiting for a caliper")
        compare(child("qtcField").text, "")
        tryVerify(() => panel.active)
        keyClick(Qt.Key_Escape)
        verify(!overlayController.rrSource.picking, "Escape gives up waiting")
        verify(!child("rrSourceButton").chosen)
        overlayController.clear()
    }

    // Typing, erasing or choosing bpm ends the link: the value is the user's again.
    function test_typingEndsTheLink_data() {
        return [
            { tag: "a digit", keys: [Qt.Key_7, Qt.Key_5, Qt.Key_0], text: "750", mode: "rr", label: "QTc: 462 ms" },
            { tag: "Backspace", keys: [Qt.Key_Backspace], text: "", mode: "rr", label: "QTc: – add RR" },
            { tag: "a letter", keys: [Qt.Key_A], text: "a", mode: "rr", label: "QTc: – add RR" },
            { tag: "bpm", unit: "rateButton", text: "", mode: "rate", label: "QTc: – add RR" },
        ]
    }

    function test_typingEndsTheLink(data) {
        const row = panelWithRrCaliper()
        linkRr(row)
        const field = child("qtcField")
        if (data.unit !== undefined) {
            mouseClick(child(data.unit))
        } else {
            mouseClick(field)
            verify(field.activeFocus)
            for (const key of data.keys)
                keyClick(key)
        }
        compare(overlayController.rrSource.caliperId, 0)
        compare(field.text, data.text)
        compare(panel.appState.qtcValue, data.text)
        compare(panel.appState.qtcMode, data.mode)
        compare(qtLabel(), "QT: 400 ms\n" + data.label)
        overlayController.clear()
    }

    // + and − on a selected Standard caliper change the intervals it is laid
    // over, 1 to 20, as the panel's control does; other kinds are refused.
    function test_intervalCountFromTheKeysAndThePanel() {
        const component = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/Main.qml")
        panel = component.createObject(null)
        verify(panel)
        waitForRendering(panel.contentItem)
        overlayController.clear()
        panel.x = 100
        panel.y = 100
        panel.addCaliper("reference")
        verify(!child("intervalRow").visible, "not for a Reference caliper")
        const base = panel.height
        panel.addCaliper("standard")
        const id = overlayController.selectedId
        tryVerify(() => panel.active)
        verify(child("intervalRow").visible)
        compare(panel.height, base + child("intervalRow").height + 7)
        const label = () => overlayAt(0).scene.labelText(id)
        compare(label(), "1000 ms\n60 bpm")
        compare(child("intervalCount").text, "1")
        verify(!child("fewerIntervalsButton").enabled)

        keyClick(Qt.Key_Plus)
        keyClick(Qt.Key_Plus)
        compare(label(), "1000 ms / 3 = 333 ms\n180 bpm")
        compare(child("intervalCount").text, "3")
        compare(overlayController.measurements.find(r => r.id === id).intervalCount, 3)
        keyClick(Qt.Key_Minus)
        compare(label(), "1000 ms / 2 = 500 ms\n120 bpm")
        mouseClick(child("moreIntervalsButton"))
        compare(child("intervalCount").text, "3")
        mouseClick(child("fewerIntervalsButton"))
        mouseClick(child("fewerIntervalsButton"))
        compare(label(), "1000 ms\n60 bpm")
        tryVerify(() => panel.active)
        keyClick(Qt.Key_Minus)
        compare(child("statusLine").text, "Interval count must be from 1 to 20.")
        compare(label(), "1000 ms\n60 bpm")
        for (let i = 0; i < 19; ++i)
            keyClick(Qt.Key_Plus)
        compare(label(), "1000 ms / 20 = 50 ms\n1200 bpm")
        verify(!child("moreIntervalsButton").enabled)
        child("statusLine").text = ""
        keyClick(Qt.Key_Plus)
        compare(child("statusLine").text, "Interval count must be from 1 to 20.")

        // Kept through a drag of the caliper.
        const row = overlayController.measurements.find(r => r.id === id)
        const item = overlayAt(0).contentItem
        mousePress(item, row.endX, row.y - 100, Qt.LeftButton)
        mouseMove(item, row.endX + 100, row.y - 100, -1, Qt.LeftButton)
        compare(label(), "2000 ms / 20 = 100 ms\n600 bpm", "the live label keeps the count")
        mouseRelease(item, row.endX + 100, row.y - 100, Qt.LeftButton)
        compare(label(), "2000 ms / 20 = 100 ms\n600 bpm")

        panel.addCaliper("rhythm")
        verify(!child("intervalRow").visible)
        child("statusLine").text = ""
        compare(panel.height, base)
        tryVerify(() => panel.active)
        keyClick(Qt.Key_Plus)
        compare(child("statusLine").text, "Only a Standard caliper measures the mean of several intervals.")
        overlayController.clear()
    }

    // ---- Fine adjustment from the keyboard ----------------------------------

    function caliperRow(id, displayId, startX, endX, y) {
        return { id: id, kind: "Standard", displayId: displayId, logicalDpi: 96, devicePixelRatio: 1,
                 startX: startX, endX: endX, y: y }
    }

    // The panel on a 1920 x 1080 display at scale 1 and a 1280 x 1024 one at
    // scale 2, with one caliper selected, and the keyboard taken for it.
    function panelWithSelection(row) {
        const scaled = { stableId: "cccccccccccccccc", name: "Scaled", x: 1920, y: 0,
                         width: 1280, height: 1024, logicalDpi: 192, devicePixelRatio: 2 }
        createPanel([leftDisplay, scaled])
        fake.measurements = [row]
        fake.selectedId = row.id
        panel.takeKeyboardForCalipers()
        tryVerify(() => panel.active)
        verify(child("frame").activeFocus)
    }

    function test_keysAdjustTheSelectedCaliper_data() {
        const one = "aaaaaaaaaaaaaaaa"
        const two = "cccccccccccccccc"
        return [
            { tag: "Right widens by a pixel", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Right, mods: Qt.NoModifier, nudge: 1 },
            { tag: "Left narrows by a pixel", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Left, mods: Qt.NoModifier, nudge: -1 },
            { tag: "Right at scale 2 is half a logical pixel", row: caliperRow(7, two, 100, 200, 300), key: Qt.Key_Right, mods: Qt.NoModifier, nudge: 0.5 },
            { tag: "Left at scale 2", row: caliperRow(7, two, 100, 200, 300), key: Qt.Key_Left, mods: Qt.NoModifier, nudge: -0.5 },
            { tag: "Shift+Right at scale 2 is 10", row: caliperRow(7, two, 100, 200, 300), key: Qt.Key_Right, mods: Qt.ShiftModifier, nudge: 10 },
            { tag: "Shift+Left", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Left, mods: Qt.ShiftModifier, nudge: -10 },
            { tag: "Up", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Up, mods: Qt.NoModifier, geometry: [100, 200, 299] },
            { tag: "Down at scale 2", row: caliperRow(7, two, 100, 200, 300), key: Qt.Key_Down, mods: Qt.NoModifier, geometry: [100, 200, 300.5] },
            { tag: "Shift+Down", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Down, mods: Qt.ShiftModifier, geometry: [100, 200, 310] },
            { tag: "Ctrl+Right", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Right, mods: Qt.ControlModifier, geometry: [101, 201, 300] },
            { tag: "Ctrl+Shift+Left", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Left, mods: Qt.ControlModifier | Qt.ShiftModifier, geometry: [90, 190, 300] },
            { tag: "Ctrl+Left stops at the left edge", row: caliperRow(7, one, 4, 104, 300), key: Qt.Key_Left, mods: Qt.ControlModifier | Qt.ShiftModifier, geometry: [0, 100, 300] },
            { tag: "Ctrl+Right stops at the right edge", row: caliperRow(7, one, 1815, 1915, 300), key: Qt.Key_Right, mods: Qt.ControlModifier | Qt.ShiftModifier, geometry: [1820, 1920, 300] },
            { tag: "reversed caliper moves as a whole", row: caliperRow(7, one, 200, 100, 300), key: Qt.Key_Right, mods: Qt.ControlModifier, geometry: [201, 101, 300] },
            { tag: "Up stops at the top", row: caliperRow(7, one, 100, 200, 5), key: Qt.Key_Up, mods: Qt.ShiftModifier, geometry: [100, 200, 0] },
            { tag: "Down stops at the bottom of its display", row: caliperRow(7, two, 100, 200, 1020), key: Qt.Key_Down, mods: Qt.ShiftModifier, geometry: [100, 200, 1024] },
            { tag: "Delete removes", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Delete, mods: Qt.NoModifier, removed: 1 },
            { tag: "Backspace removes", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Backspace, mods: Qt.NoModifier, removed: 1 },
            { tag: "Escape deselects", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Escape, mods: Qt.NoModifier, deselected: true },
            { tag: "+ counts one interval more", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Plus, mods: Qt.NoModifier, intervals: [7, 2] },
            { tag: "Shift++, as on a US keyboard", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Plus, mods: Qt.ShiftModifier, intervals: [7, 2] },
            { tag: "- from 3", row: Object.assign(caliperRow(7, one, 100, 200, 300), { intervalCount: 3 }), key: Qt.Key_Minus, mods: Qt.NoModifier, intervals: [7, 2] },
            { tag: "- from 1 is asked, and refused there", row: caliperRow(7, one, 100, 200, 300), key: Qt.Key_Minus, mods: Qt.NoModifier, intervals: [7, 0] },
        ]
    }

    function test_keysAdjustTheSelectedCaliper(data) {
        panelWithSelection(data.row)
        keyClick(data.key, data.mods)
        compare(fake.nudges, data.nudge === undefined ? [] : [data.nudge])
        if (data.geometry === undefined) {
            compare(fake.geometries.length, 0)
        } else {
            compare(fake.geometries.length, 1)
            const g = fake.geometries[0]
            compare([g.id, g.startX, g.endX, g.y], [7].concat(data.geometry))
        }
        compare(fake.removeCount, data.removed === undefined ? 0 : data.removed)
        compare(fake.selectedId, data.deselected ? 0 : 7)
        compare(fake.intervalCounts, data.intervals === undefined ? [] : [data.intervals])
    }

    function test_heldKeyRepeats() {
        panelWithSelection(caliperRow(7, "aaaaaaaaaaaaaaaa", 100, 200, 300))
        for (let i = 0; i < 5; ++i)
            keyPress(Qt.Key_Right, Qt.NoModifier, -1)
        keyRelease(Qt.Key_Right)
        compare(fake.nudges, [1, 1, 1, 1, 1])
    }

    function test_keysWithoutASelectedCaliper_data() {
        return [
            { tag: "nothing selected", selected: 0 },
            { tag: "a caliper that does not exist", selected: 42 },
        ]
    }

    function test_keysWithoutASelectedCaliper(data) {
        panelWithSelection(caliperRow(7, "aaaaaaaaaaaaaaaa", 100, 200, 300))
        fake.selectedId = data.selected
        for (const key of [Qt.Key_Right, Qt.Key_Left, Qt.Key_Up, Qt.Key_Down, Qt.Key_Delete, Qt.Key_Backspace, Qt.Key_Escape, Qt.Key_Plus, Qt.Key_Minus])
            keyClick(key)
        compare(fake.nudges, [])
        compare(fake.intervalCounts, [])
        compare(fake.geometries, [])
        compare(fake.removeCount, 0)
        compare(fake.selectedId, data.selected)
        // Tab still walks the controls.
        keyClick(Qt.Key_Tab)
        verify(!child("frame").activeFocus)
        verify(panel.activeFocusItem !== null)
    }

    function test_tabStillMovesFocusWithASelection() {
        panelWithSelection(caliperRow(7, "aaaaaaaaaaaaaaaa", 100, 200, 300))
        keyClick(Qt.Key_Tab)
        const focused = panel.activeFocusItem
        verify(focused && focused !== child("frame"))
        compare(focused.focusPolicy & Qt.TabFocus, Qt.TabFocus)
    }

    function test_qtcFieldKeepsItsKeys() {
        panelWithSelection(caliperRow(7, "aaaaaaaaaaaaaaaa", 100, 200, 300))
        fake.hasQtMeasurement = true
        const field = child("qtcField")
        mouseClick(field)
        verify(field.activeFocus)
        for (const key of [Qt.Key_6, Qt.Key_5, Qt.Key_Left, Qt.Key_Right, Qt.Key_Up, Qt.Key_Down, Qt.Key_Backspace])
            keyClick(key)
        compare(field.text, "6")
        keyClick(Qt.Key_Plus)
        compare(field.text, "6+")
        compare(fake.intervalCounts, [])
        compare(fake.nudges, [])
        compare(fake.geometries, [])
        compare(fake.removeCount, 0)
        keyClick(Qt.Key_Delete)
        compare(fake.removeCount, 0)
    }

    function test_durationListKeepsItsArrows() {
        panelWithSelection(caliperRow(7, "aaaaaaaaaaaaaaaa", 100, 200, 300))
        const box = child("durationBox")
        mouseClick(box)
        tryVerify(() => box.listWindow.visible)
        const before = box.highlightedIndex
        keyClick(Qt.Key_Up)
        compare(box.highlightedIndex, before - 1)
        keyClick(Qt.Key_Escape)
        tryVerify(() => !box.listWindow.visible)
        compare(fake.nudges, [])
        compare(fake.geometries, [])
        compare(fake.selectedId, 7)
    }
    // A press anywhere on a display while the list is open closes the list and
    // does nothing else: not on empty parts of any display, not on a caliper.
    function test_durationListClosesOnAPressOnAnyDisplay_data() {
        return [
            { tag: "empty part of the other display", overlay: 1, x: 600, y: 500, button: Qt.LeftButton },
            { tag: "on a caliper", overlay: 0, x: 200, y: 300, button: Qt.LeftButton },
            { tag: "right button on a caliper", overlay: 0, x: 200, y: 300, button: Qt.RightButton },
        ]
    }

    function test_durationListClosesOnAPressOnAnyDisplay(data) {
        panelWithSelection(caliperRow(7, "aaaaaaaaaaaaaaaa", 100, 200, 300))
        const overlays = findChild(panel, "overlays")
        const overlay = overlays.objectAt(data.overlay)
        const before = overlay.interactiveRegions
        const box = child("durationBox")
        mouseClick(box)
        tryVerify(() => box.listWindow.visible)
        for (let i = 0; i < overlays.count; ++i) {
            const o = overlays.objectAt(i)
            compare(o.interactiveRegions, [{ x: 0, y: 0, width: o.width, height: o.height }])
        }

        mousePress(overlay.contentItem, data.x, data.y, data.button)
        mouseRelease(overlay.contentItem, data.x, data.y, data.button)
        tryVerify(() => !box.listWindow.visible)
        compare(fake.removeCount, 0)
        compare(fake.geometries, [])
        compare(fake.selectedId, 7)
        compare(overlay.interactiveRegions, before)
    }

    Component {
        id: otherWindowComponent
        Window {
            width: 200
            height: 100
            visible: true
        }
    }

    function test_pressingACaliperTakesTheKeyboardForIt() {
        // The program's own controller and displays.
        const component = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/Main.qml")
        panel = component.createObject(null)
        verify(panel)
        waitForRendering(panel.contentItem)
        overlayController.clear()
        panel.x = 100
        panel.y = 100
        panel.addCaliper("standard")
        const id = overlayController.selectedId
        verify(id !== 0)
        const row = overlayController.measurements[0]
        // Another window has the keyboard and nothing is selected.
        const other = createTemporaryObject(otherWindowComponent, null, { x: 1500, y: 700 })
        other.requestActivate()
        tryVerify(() => other.active)
        overlayController.selectedId = 0

        const overlay = findChild(panel, "overlays").objectAt(0)
        compare(overlay.displayInfo.stableId, row.displayId)
        mouseClick(overlay.contentItem, row.endX, row.y)
        compare(overlayController.selectedId, id)
        tryVerify(() => panel.active)
        verify(child("frame").activeFocus)

        keyClick(Qt.Key_Right)
        compare(overlayController.measurements[0].endX, row.endX + 1)
        compare(overlay.scene.labelBox(id).x, row.endX + 1 + 10)
        // Narrowed to 11 pixels; one more step would leave 10, which is refused
        // with the controller's message.
        for (let i = 0; i < 9; ++i)
            keyClick(Qt.Key_Left, Qt.ShiftModifier)
        compare(overlayController.measurements[0].rawWidth, 11)
        keyClick(Qt.Key_Left, Qt.ShiftModifier)
        compare(overlayController.measurements[0].rawWidth, 11)
        compare(child("statusLine").text, "Width must remain greater than 10 logical pixels.")
        keyClick(Qt.Key_Delete)
        compare(overlayController.measurements.length, 0)
        compare(overlayController.selectedId, 0)
        overlayController.clear()
    }

    // The emulated displays as the test starts them, and changed.
    readonly property var leftScreen: ({ name: "Left", x: 0, y: 0, width: 1920, height: 1080 })
    readonly property var rightScreen: ({ name: "Right", x: 1920, y: 0, width: 1280, height: 1024 })

    // A display goes, or gets smaller, under the panel: the panel comes whole
    // onto the nearest display that is left, at its size; on a display that
    // stays, it stays (with its header's height out at most).
    function test_panelStaysOnTheDisplaysThatAreLeft_data() {
        const shortRight = { name: "Right", x: 1920, y: 0, width: 1280, height: 512 }
        return [
            { tag: "the right display goes", x: 2500, y: 300, screens: [leftScreen], expected: Qt.point(1730, 300) },
            { tag: "it goes under the panel's middle", x: 1900, y: 300, screens: [leftScreen], expected: Qt.point(1730, 300) },
            { tag: "it goes beside the panel's middle", x: 1800, y: 300, screens: [leftScreen], expected: Qt.point(1788, 300) },
            { tag: "the left display goes", x: 300, y: 800, screens: [rightScreen], expected: Qt.point(1920, 1024 - 390) },
            { tag: "the right display gets shorter", x: 2500, y: 700, screens: [leftScreen, shortRight], expected: Qt.point(2500, 512 - 390) },
            { tag: "the other display goes", x: 300, y: 300, screens: [leftScreen], expected: Qt.point(300, 300) },
        ]
    }

    function test_panelStaysOnTheDisplaysThatAreLeft(data) {
        createPanel([leftDisplay, rightDisplay])
        panel.x = data.x
        panel.y = data.y
        tryCompare(panel, "x", data.x)
        try {
            verify(testSupport.setScreens(data.screens))
            tryVerify(() => panel.x === data.expected.x && panel.y === data.expected.y,
                      5000, "panel at " + panel.x + "," + panel.y + ", expected " + data.expected)
            compare(panel.width, 190)
            compare(panel.height, 390)
        } finally {
            verify(testSupport.setScreens([leftScreen, rightScreen]))
        }
    }
}
