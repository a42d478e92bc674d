import QtQuick
import QtQuick.Window
import QtTest
import "qrc:/qt/qml/ZRNCalipers/qml"

TestCase {
    id: testCase
    name: "ControlPanel"

    FakeController { id: fake }

    QtObject {
        id: panelState
        property string color: "#2dd4bf"
        property real referenceDurationMs: 1000
        property int createdCount: 0
        property bool darkMode: false
        property string qtcMode: "rate"
        property string qtcValue: ""
    }

    property var tools: []

    ThemePalette { id: testTheme }

    Component {
        id: hostComponent
        Window {
            property alias panelUnderTest: paletteUnderTest
            width: 190
            height: 401
            flags: Qt.FramelessWindowHint
            visible: true
            ControlPanel {
                id: paletteUnderTest
                anchors.fill: parent
                controller: fake
                appState: panelState
                themePalette: testTheme
                addCaliper: function (tool) { testCase.tools.push(tool) }
            }
        }
    }

    property var host: null
    property var palette: null

    function init() {
        fake.reset()
        tools = []
        panelState.color = "#2dd4bf"
        panelState.referenceDurationMs = 1000
        panelState.darkMode = false
        panelState.qtcMode = "rate"
        panelState.qtcValue = ""
        host = createTemporaryObject(hostComponent, null, { x: 100, y: 100 })
        verify(host)
        palette = host.panelUnderTest
        waitForRendering(palette)
    }

    function child(name) {
        const item = findChild(palette, name)
        verify(item, name)
        return item
    }

    function swatch(index) {
        return child("swatchRow").children[index]
    }

    function test_buttons_data() {
        return [
            { tag: "Add Caliper", name: "addCaliperButton", tool: "standard",
              help: "Add a standard interval caliper with movable and resizable handles." },
            { tag: "Add Rhythm", name: "addRhythmButton", tool: "rhythm",
              help: "March out waves with ten additional evenly spaced markers." },
            { tag: "Reference", name: "referenceButton", tool: "reference",
              help: "Add and replace the single active time reference." },
            { tag: "QT/QTc", name: "qtcButton", tool: "qtc",
              help: "Add or replace the QT interval used for QT and rate-corrected QTc." },
        ]
    }

    function test_buttons(data) {
        const button = child(data.name)
        compare(button.text, data.tag)
        compare(button.Accessible.name, data.tag)
        compare(button.Accessible.description, data.help)
        compare(button.helpText, data.help)
        compare(button.height, 32)
        compare(button.width, palette.availableWidth)
        compare(button.focusPolicy, Qt.TabFocus)
        mouseClick(button, button.width / 2, button.height / 2)
        compare(tools, [data.tool])
    }

    function test_badgeClickPerformsTheButtonsAction_data() {
        return test_buttons_data()
    }

    function test_badgeClickPerformsTheButtonsAction(data) {
        const button = child(data.name)
        const badge = button.badge
        verify(badge.visible)
        compare(badge.width, 15)
        const centre = badge.mapToItem(button, badge.width / 2, badge.height / 2)
        // The badge sits at the right end of the content area, 2 pixels in.
        const right = badge.mapToItem(button, badge.width, 0).x
        compare(right, button.width - button.rightPadding - 2)
        mouseClick(button, centre.x, centre.y)
        compare(tools, [data.tool])
    }

    function test_badgeClickOnClearAll() {
        panelState.qtcValue = "60"
        const button = child("clearButton")
        const centre = button.badge.mapToItem(button, 7.5, 7.5)
        mouseClick(button, centre.x, centre.y)
        compare(fake.clearCount, 1)
        compare(panelState.qtcValue, "")
    }

    function test_badgeTooltip() {
        const button = child("addCaliperButton")
        const badge = button.badge
        verify(!button.helpTip.visible)
        const centre = badge.mapToItem(button, 7.5, 7.5)
        mouseMove(button, centre.x, centre.y)
        tryVerify(() => button.badgeHovered)
        tryVerify(() => button.helpTip.visible, 2000)
        const tip = button.helpTip
        compare(tip.width, 238)
        const expected = badge.mapToGlobal(15 + 8, Math.round((15 - tip.height) / 2))
        compare(tip.x, expected.x)
        compare(tip.y, expected.y)
        mouseMove(button, 5, 5)
        tryVerify(() => !button.helpTip.visible)
    }

    function test_clearAllEmptiesTheQtcInput_data() {
        return [
            { tag: "with the QTc card", qt: true },
            { tag: "with no calipers", qt: false },
        ]
    }

    function test_clearAllEmptiesTheQtcInput(data) {
        fake.hasQtMeasurement = data.qt
        panelState.qtcValue = "72"
        const field = child("qtcField")
        compare(field.text, "72")
        const button = child("clearButton")
        mouseClick(button, 10, button.height / 2)
        compare(fake.clearCount, 1)
        compare(panelState.qtcValue, "")
        compare(field.text, "")
        compare(child("qtcCard").missingInput, true)
    }

    function test_qtcCard() {
        const card = child("qtcCard")
        verify(!card.visible)
        fake.hasQtMeasurement = true
        verify(card.visible)
        verify(card.missingInput)
        compare(card.color, "#fde8ea")
        const field = child("qtcField")
        compare(field.placeholderText, "Enter value")
        compare(field.Accessible.name, "Rate in beats per minute")
        mouseClick(field)
        verify(field.activeFocus)
        // Taken as typed, and marked: nothing is dropped.
        keyClick(Qt.Key_7)
        keyClick(Qt.Key_A)
        keyClick(Qt.Key_Minus)
        keyClick(Qt.Key_2)
        compare(field.text, "7a-2")
        compare(panelState.qtcValue, "7a-2")
        verify(card.missingInput)
        compare(child("statusLine").text, rateProblem)
        field.selectAll()
        keyClick(Qt.Key_7)
        keyClick(Qt.Key_2)
        compare(panelState.qtcValue, "72")
        verify(!card.missingInput)
        compare(card.color, "#ffffff")
        compare(child("statusLine").text, "")
        panelState.darkMode = true
        compare(card.color, "#102620")
    }

    function test_unitButtons() {
        fake.hasQtMeasurement = true
        const rate = child("rateButton")
        const rr = child("rrButton")
        compare(rate.width, 39)
        compare(rr.width, 32)
        compare(rate.Accessible.name, "Use rate in beats per minute")
        compare(rr.Accessible.name, "Use RR interval in milliseconds")
        compare(rate.Accessible.role, Accessible.RadioButton)
        compare(rr.Accessible.role, Accessible.RadioButton)
        verify(rate.Accessible.checked)
        verify(!rr.Accessible.checked)
        mouseClick(rr)
        compare(panelState.qtcMode, "rr")
        verify(!rate.Accessible.checked)
        verify(rr.Accessible.checked)
        compare(child("qtcField").Accessible.name, "RR interval in milliseconds")
        mouseClick(rate)
        compare(panelState.qtcMode, "rate")
        compare(child("qtcField").Accessible.name, "Rate in beats per minute")
    }

    function test_referenceWarning() {
        const button = child("referenceButton")
        verify(!button.warning)
        fake.qtNeedsReference = true
        verify(button.warning)
        compare(button.background.color, "#fde8ea")
        compare(button.background.border.color, "#d45b68")
        verify(!child("addCaliperButton").warning)
        fake.qtNeedsReference = false
        verify(!button.warning)
        compare(button.background.color, "#ffffff")
    }

    function openDurationList() {
        const box = child("durationBox")
        mouseClick(box)
        tryVerify(() => box.listWindow.visible)
        return box
    }

    function test_durationSelector() {
        const box = child("durationBox")
        compare(box.Accessible.name, "Reference duration in milliseconds")
        compare(box.count, 8)
        compare(box.currentIndex, 7)
        compare(box.displayText, "1000 ms")
        compare(box.height, 32)
        openDurationList()
        const list = box.listWindow
        compare(list.width, 220)
        compare(list.height, 248)
        const corner = box.mapToGlobal(Math.round((box.width - 220) / 2), box.height + 4)
        compare(list.x, corner.x)
        compare(list.y, corner.y)
        tryVerify(() => box.list.itemAtIndex(3))
        const entry = box.list.itemAtIndex(3)
        compare(entry.width, 212)
        compare(entry.height, 30)
        mouseClick(entry)
        tryVerify(() => !box.listWindow.visible)
        compare(panelState.referenceDurationMs, 200)
        compare(fake.durations, [200])
        compare(box.currentIndex, 3)
        compare(box.displayText, "200 ms")
    }

    function test_pickingTheCurrentDurationStillCallsTheController() {
        const box = openDurationList()
        tryVerify(() => box.list.itemAtIndex(7))
        const entry = box.list.itemAtIndex(7)
        compare(entry.modelData, "1000 ms")
        mouseClick(entry)
        tryVerify(() => !box.listWindow.visible)
        compare(panelState.referenceDurationMs, 1000)
        compare(fake.durations, [1000])
    }

    function test_durationOutsideTheList() {
        panelState.referenceDurationMs = 300
        compare(child("durationBox").currentIndex, -1)
        panelState.referenceDurationMs = 25
        compare(child("durationBox").currentIndex, 0)
    }

    function test_durationListClosesOnAPressElsewhere() {
        const box = openDurationList()
        mouseClick(child("swatchRow"), 1, 1)
        tryVerify(() => !box.listWindow.visible)
        compare(fake.durations, [])
    }

    function test_statusLine() {
        const line = child("statusLine")
        verify(!line.visible)
        compare(child("statusTimer").interval, 4500)
        fake.transientMessage("Calipers must be wider than 10 logical pixels.")
        compare(line.text, "Calipers must be wider than 10 logical pixels.")
        verify(line.visible)
        verify(child("statusTimer").running)
    }

    SignalSpy {
        id: statusTimerSpy
        signalName: "runningChanged"
    }

    function test_statusLineRestartsItsTimer() {
        // A shorter lifetime keeps the test quick.
        palette.statusLifetimeMs = 300
        const line = child("statusLine")
        const timer = child("statusTimer")
        fake.transientMessage("first")
        verify(timer.running)
        statusTimerSpy.target = timer
        statusTimerSpy.clear()
        fake.transientMessage("second")
        // The running timer was stopped and started again from zero: the second
        // message gets a whole lifetime of its own.
        compare(statusTimerSpy.count, 2)
        verify(timer.running)
        compare(line.text, "second")
        verify(line.visible)
        tryCompare(line, "text", "", 3000)
        verify(!line.visible)
        statusTimerSpy.target = null
    }

    function test_swatches_data() {
        return [
            { tag: "Teal", index: 0, color: "#2dd4bf" },
            { tag: "Green", index: 1, color: "#4ade80" },
            { tag: "Blue", index: 2, color: "#38bdf8" },
            { tag: "Amber", index: 3, color: "#fbbf24" },
            { tag: "Rose", index: 4, color: "#fb7185" },
            { tag: "Purple", index: 5, color: "#c084fc" },
            { tag: "White", index: 6, color: "#ffffff" },
            { tag: "Black", index: 7, color: "#000000" },
        ]
    }

    function test_swatches(data) {
        const s = swatch(data.index)
        compare(s.Accessible.name, data.tag + " caliper color")
        compare(s.width, 20)
        compare(s.height, 20)
        compare(s.focusPolicy, Qt.TabFocus)
        mouseClick(s)
        compare(panelState.color, data.color)
        compare(s.background.border.width, 2)
        compare(s.background.border.color, "#0e7068")
        const other = swatch((data.index + 1) % 8)
        compare(other.background.border.width, 1)
        compare(other.background.border.color, "#718780")
    }

    function tipFor(index) {
        const s = swatch(index)
        palette.requestToolTip(s, s.Accessible.name, true)
        const tip = child("toolTipWindow")
        tryVerify(() => tip.visible, 2000)
        return tip
    }

    function test_swatchTooltipOpensToTheRight() {
        const tip = tipFor(0)
        const s = swatch(0)
        compare(tip.width, 238)
        compare(palette.tooltipText, "Teal caliper color")
        const expected = s.mapToGlobal(s.width + 8, Math.round((s.height - tip.height) / 2))
        compare(tip.x, expected.x)
        compare(tip.y, expected.y)
    }

    function test_swatchTooltipFlipsLeftNearTheScreenEdge() {
        // The first emulated screen ends at x 1920.
        host.x = 1920 - host.width
        host.y = 300
        tryCompare(host, "x", 1920 - 190)
        const s = swatch(7)
        const tip = tipFor(7)
        const expected = s.mapToGlobal(-238 - 8, Math.round((s.height - tip.height) / 2))
        compare(tip.x, expected.x)
        compare(tip.y, expected.y)
        verify(tip.x + tip.width <= 1920)
    }

    function test_swatchTooltipIsClampedToTheTopOfTheScreen() {
        host.y = -295
        tryCompare(host, "y", -295)
        const s = swatch(0)
        const tip = tipFor(0)
        const expected = s.mapToGlobal(s.width + 8, Math.round((s.height - tip.height) / 2))
        // The setup must really put the swatch above the screen.
        verify(expected.y < 0, "swatch at y " + expected.y)
        compare(tip.x, expected.x)
        compare(tip.y, 0)
    }

    function test_swatchTooltipHideRequests() {
        const teal = swatch(0)
        const green = swatch(1)
        palette.requestToolTip(teal, "Teal caliper color", true)
        palette.requestToolTip(green, "Green caliper color", false)
        compare(palette.tooltipAnchor, teal)
        const tip = child("toolTipWindow")
        tryVerify(() => tip.visible, 2000)
        palette.requestToolTip(teal, "Teal caliper color", false)
        verify(!tip.visible)
        compare(palette.tooltipAnchor, null)
        // A hide without an anchor does nothing.
        palette.requestToolTip(green, "Green caliper color", false)
        compare(palette.tooltipAnchor, null)
    }

    function test_swatchTooltipFollowsThePointer() {
        const teal = swatch(0)
        mouseMove(teal, 10, 10)
        tryCompare(palette, "tooltipAnchor", teal)
        compare(palette.tooltipText, "Teal caliper color")
        tryVerify(() => child("toolTipWindow").visible, 2000)
        mouseMove(child("swatchRow"), 60, 10)
        tryCompare(palette, "tooltipAnchor", swatch(2))
        mouseMove(child("statusLine"), 1, 1)
        mouseMove(palette, 2, 2)
        tryCompare(palette, "tooltipAnchor", null)
        verify(!child("toolTipWindow").visible)
    }

    function test_darkTheme() {
        const button = child("addCaliperButton")
        compare(button.background.color, "#ffffff")
        compare(button.background.border.color, "#adc8c0")
        panelState.darkMode = true
        compare(button.background.color, "#102620")
        compare(button.background.border.color, "#285247")
        compare(palette.background.color, "#081311")
    }

    // ---- Faults found by use ----------------------------------------------

    readonly property string rateProblem: "Rate must be a whole number from 20 to 300 bpm."
    readonly property string rrProblem: "RR interval must be a whole number from 200 to 3000 ms."

    // The input as typed or pasted, under locales with other separators and
    // other digits: the field keeps exactly what was entered; only a plain
    // whole number in range is used; anything else is outlined in warning
    // colour, described, and named in the status line with the unit's range.
    function test_qtcInput_data() {
        const digits = s => s.split("").map(c => Qt.Key_0 + Number(c))
        const cases = [
            { tag: "0.8 in ms", mode: "rr", keys: [Qt.Key_0, Qt.Key_Period, Qt.Key_8], text: "0.8" },
            { tag: "0,8 in ms", mode: "rr", keys: [Qt.Key_0, Qt.Key_Comma, Qt.Key_8], text: "0,8" },
            { tag: "-300 in ms", mode: "rr", keys: [Qt.Key_Minus].concat(digits("300")), text: "-300" },
            { tag: "12a3 in ms", mode: "rr", keys: [Qt.Key_1, Qt.Key_2, Qt.Key_A, Qt.Key_3], text: "12a3" },
            { tag: "20 digits in ms", mode: "rr", keys: digits("12345678901234567890"), text: "12345678901234567890" },
            { tag: "pasted 1234567 in ms", mode: "rr", paste: "1234567", text: "1234567" },
            { tag: "7 bpm", mode: "rate", keys: digits("7"), text: "7" },
            { tag: "99999 bpm", mode: "rate", keys: digits("99999"), text: "99999" },
            { tag: "pasted 1.000 in ms", mode: "rr", paste: "1.000", text: "1.000" },
            { tag: "pasted Arabic-Indic 72 bpm", mode: "rate", paste: "\u0667\u0662", text: "\u0667\u0662" },
            { tag: "pasted \" 72 \" bpm", mode: "rate", paste: " 72 ", text: " 72 ", value: 72 },
            { tag: "72 bpm", mode: "rate", keys: digits("72"), text: "72", value: 72 },
            { tag: "640 ms", mode: "rr", keys: digits("640"), text: "640", value: 640 },
        ]
        const rows = []
        for (const locale of ["de_DE", "fr_FR", "ar_EG"]) {
            for (const c of cases) {
                rows.push({ tag: locale + ": " + c.tag, locale: locale, mode: c.mode, keys: c.keys,
                            paste: c.paste, text: c.text, value: c.value })
            }
        }
        return rows
    }

    function test_qtcInput(data) {
        // The field is built again under the locale, as it would be on such a system.
        const previous = testSupport.setDefaultLocale(data.locale)
        try {
            host.destroy()
            host = createTemporaryObject(hostComponent, null, { x: 100, y: 100 })
            palette = host.panelUnderTest
            waitForRendering(palette)
            panelState.qtcMode = data.mode
            fake.hasQtMeasurement = true
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
            compare(field.text, data.text)
            compare(panelState.qtcValue, data.text)
            compare(palette.correction.value, data.value)
            const usable = data.value !== undefined
            const problem = usable ? "" : (data.mode === "rate" ? rateProblem : rrProblem)
            compare(child("statusLine").text, problem)
            compare(field.Accessible.description, problem)
            compare(child("qtcCard").missingInput, !usable)
            const box = child("qtcInputBox")
            compare(box.border.color, usable ? Qt.color("#0e7068") : Qt.color("#d45b68"))
            compare(box.border.width, usable ? 1 : 2)
        } finally {
            testSupport.setDefaultLocale(previous)
        }
    }

    function test_switchingTheUnitChecksAgain() {
        fake.hasQtMeasurement = true
        const field = child("qtcField")
        const line = child("statusLine")
        mouseClick(field)
        for (const key of [Qt.Key_6, Qt.Key_4, Qt.Key_0])
            keyClick(key)
        compare(palette.correction.value, undefined)
        compare(line.text, rateProblem)
        mouseClick(child("rrButton"))
        compare(palette.correction.value, 640)
        compare(line.text, "")
        compare(field.Accessible.description, "")
        mouseClick(child("rateButton"))
        compare(palette.correction.value, undefined)
        compare(line.text, rateProblem)
        compare(field.text, "640")
        // Another message stays until its time is up.
        fake.transientMessage("Calipers must be wider than 10 logical pixels.")
        mouseClick(child("rrButton"))
        compare(line.text, "Calipers must be wider than 10 logical pixels.")
    }

    function test_selectionUsesTheAccent_data() {
        return [
            { tag: "light", dark: false, selection: "#0e7068", text: "#ffffff" },
            { tag: "dark", dark: true, selection: "#5eead4", text: "#081311" },
        ]
    }

    function test_selectionUsesTheAccent(data) {
        panelState.darkMode = data.dark
        fake.hasQtMeasurement = true
        const field = child("qtcField")
        compare(field.selectionColor, Qt.color(data.selection))
        compare(field.selectedTextColor, Qt.color(data.text))
    }

    function test_hiddenQtcFieldTakesNoInput() {
        fake.hasQtMeasurement = true
        const field = child("qtcField")
        mouseClick(field)
        keyClick(Qt.Key_7)
        compare(panelState.qtcValue, "7")
        verify(field.activeFocus)
        // Clear All removed the last QT/QTc caliper: the card goes.
        fake.hasQtMeasurement = false
        verify(!child("qtcCard").visible)
        verify(!field.activeFocus)
        keyClick(Qt.Key_2)
        keyClick(Qt.Key_Backspace)
        compare(panelState.qtcValue, "7")
        compare(field.text, "7")
    }

    function test_placeholderStaysWholeAndVisible() {
        fake.hasQtMeasurement = true
        const field = child("qtcField")
        const placeholder = child("qtcPlaceholder")
        compare(placeholder.text, "Enter value")
        verify(placeholder.visible)
        verify(placeholder.implicitWidth <= field.width - field.leftPadding - field.rightPadding,
               "placeholder " + placeholder.implicitWidth + " wide in a field of " + field.width)
        compare(placeholder.color, "#9f2638")
        mouseClick(field)
        verify(field.activeFocus)
        verify(placeholder.visible)
        keyClick(Qt.Key_9)
        verify(!placeholder.visible)
        keyClick(Qt.Key_Backspace)
        verify(placeholder.visible)
    }

    function test_unitButtonsShowKeyboardFocus() {
        fake.hasQtMeasurement = true
        const field = child("qtcField")
        const rate = child("rateButton")
        const rr = child("rrButton")
        compare(rate.background.border.width, 0)
        mouseClick(field)
        keyClick(Qt.Key_Tab)
        verify(rate.activeFocus)
        compare(rate.background.border.width, 1)
        compare(rate.background.border.color, "#0e7068")
        keyClick(Qt.Key_Tab)
        verify(rr.activeFocus)
        compare(rr.background.border.width, 1)
        compare(rate.background.border.width, 0)
    }

    function test_swatchesShowKeyboardFocus() {
        const teal = swatch(0)
        const green = swatch(1)
        const ring = findChild(teal, "focusRing")
        verify(ring)
        verify(!ring.visible)
        teal.forceActiveFocus(Qt.TabFocusReason)
        verify(ring.visible)
        compare(ring.border.color, "#0e7068")
        verify(ring.width > teal.width)
        keyClick(Qt.Key_Tab)
        verify(green.activeFocus)
        verify(!ring.visible)
        verify(findChild(green, "focusRing").visible)
    }

    function test_badgeTooltipFlipsAndClampsNearTheEdge() {
        host.x = 1920 - host.width
        host.y = -100
        tryCompare(host, "x", 1920 - 190)
        const button = child("addCaliperButton")
        const badge = button.badge
        const centre = badge.mapToItem(button, 7.5, 7.5)
        mouseMove(button, centre.x, centre.y)
        const tip = button.helpTip
        tryVerify(() => tip.visible, 2000)
        const left = badge.mapToGlobal(-238 - 8, 0)
        compare(tip.x, left.x)
        verify(tip.x + tip.width <= 1920)
        // The badge is near the top of the screen: the tooltip is kept below it.
        verify(badge.mapToGlobal(0, Math.round((15 - tip.height) / 2)).y < 0)
        compare(tip.y, 0)
        mouseMove(button, 5, 5)
        tryVerify(() => !tip.visible)
    }

    function test_durationListTakesTheClickThatClosesIt() {
        const box = openDurationList()
        const qtc = child("qtcButton")
        mouseClick(qtc, qtc.width / 2, qtc.height / 2)
        tryVerify(() => !box.listWindow.visible)
        compare(tools, [])
        compare(fake.durations, [])
        // Closed, the panel works as before.
        mouseClick(qtc, qtc.width / 2, qtc.height / 2)
        compare(tools, ["qtc"])
    }

    // ---- The duration selector from the keyboard ---------------------------

    function focusSelector() {
        host.requestActivate()
        tryVerify(() => host.active)
        const box = child("durationBox")
        box.forceActiveFocus(Qt.TabFocusReason)
        verify(box.activeFocus)
        return box
    }

    // Closed, the selector changes nothing: not on a digit typed one Tab stop
    // off, not on the keys that walk a list.
    function test_closedSelectorChangesNothingOnKeys_data() {
        return [
            { tag: "digit 5", key: Qt.Key_5 },
            { tag: "digit 2", key: Qt.Key_2 },
            { tag: "letter", key: Qt.Key_M },
            { tag: "Down", key: Qt.Key_Down },
            { tag: "Up", key: Qt.Key_Up },
            { tag: "Shift+Down", key: Qt.Key_Down, mods: Qt.ShiftModifier },
            { tag: "Home", key: Qt.Key_Home },
            { tag: "End", key: Qt.Key_End },
            { tag: "Page Up", key: Qt.Key_PageUp },
            { tag: "Page Down", key: Qt.Key_PageDown },
            { tag: "Left", key: Qt.Key_Left },
            { tag: "Right", key: Qt.Key_Right },
        ]
    }

    function test_closedSelectorChangesNothingOnKeys(data) {
        panelState.referenceDurationMs = 400
        const box = focusSelector()
        compare(box.currentIndex, 5)
        keyClick(data.key, data.mods === undefined ? Qt.NoModifier : data.mods)
        keyClick(data.key, data.mods === undefined ? Qt.NoModifier : data.mods)
        compare(box.currentIndex, 5)
        compare(panelState.referenceDurationMs, 400)
        compare(fake.durations, [])
        verify(!box.listWindow.visible)
        verify(box.activeFocus)
    }

    function test_keysOpenTheListWhereArrowsMoveAndEnterChooses_data() {
        return [
            { tag: "Space", key: Qt.Key_Space },
            { tag: "Enter", key: Qt.Key_Enter },
            { tag: "Return", key: Qt.Key_Return },
            { tag: "Alt+Down", key: Qt.Key_Down, mods: Qt.AltModifier },
        ]
    }

    function test_keysOpenTheListWhereArrowsMoveAndEnterChooses(data) {
        const box = focusSelector()
        keyClick(data.key, data.mods === undefined ? Qt.NoModifier : data.mods)
        tryVerify(() => box.listWindow.visible)
        // Opening chose nothing.
        compare(fake.durations, [])
        compare(box.highlightedIndex, 7)
        keyClick(Qt.Key_Up)
        keyClick(Qt.Key_Up)
        compare(box.highlightedIndex, 5)
        compare(fake.durations, [])
        compare(panelState.referenceDurationMs, 1000)
        keyClick(Qt.Key_Return)
        tryVerify(() => !box.listWindow.visible)
        compare(fake.durations, [400])
        compare(panelState.referenceDurationMs, 400)
        compare(box.displayText, "400 ms")
        // Escape closes the list again without a choice.
        keyClick(data.key, data.mods === undefined ? Qt.NoModifier : data.mods)
        tryVerify(() => box.listWindow.visible)
        keyClick(Qt.Key_Down)
        keyClick(Qt.Key_Escape)
        tryVerify(() => !box.listWindow.visible)
        compare(fake.durations, [400])
        compare(panelState.referenceDurationMs, 400)
    }

    // ---- The list on any display -------------------------------------------

    readonly property var twoScreens: [
        { name: "Left", x: 0, y: 0, width: 1920, height: 1080 },
        { name: "Right", x: 1920, y: 0, width: 1280, height: 1024 },
    ]
    // The second display as 1280 x 1024 at scale 2 is in logical pixels
    // (this Qt's offscreen platform emulates no scale).
    readonly property var smallScreen: [
        { name: "Left", x: 0, y: 0, width: 1920, height: 1080 },
        { name: "Right", x: 1920, y: 0, width: 640, height: 512 },
    ]

    // The available area of the display under a global point.
    function availableAreaAt(x, y) {
        for (const d of displayTopology.displays) {
            if (d.x <= x && x < d.x + d.width && d.y <= y && y < d.y + d.height)
                return d.screen.availableGeometry
        }
        fail("no display at " + x + ", " + y)
    }

    function entryInView(view, index) {
        const entry = view.itemAtIndex(index)
        return entry !== null && entry.y >= view.contentY
                && entry.y + entry.height <= view.contentY + view.height
    }

    function verifyInside(win, area) {
        const r = Qt.rect(win.x, win.y, win.width, win.height)
        verify(r.x >= area.x && r.y >= area.y && r.x + r.width <= area.x + area.width
               && r.y + r.height <= area.y + area.height,
               "window " + r + " outside " + area)
    }

    function test_durationListStaysOnTheDisplay_data() {
        return [
            { tag: "1920 x 1080, middle: below", x: 800, y: 300, where: "below" },
            { tag: "1920 x 1080, bottom edge: above", x: 800, y: 1080 - 401, where: "above" },
            { tag: "1920 x 1080, right edge", x: 1920 - 190, y: 300, where: "below" },
            { tag: "1920 x 1080, left edge", x: 0, y: 300, where: "below" },
            { tag: "1920 x 1080, bottom right corner", x: 1920 - 190, y: 1080 - 401, where: "above" },
            { tag: "640 x 512, as placed at start", small: true, x: 1920 + 118, y: 61, where: "above" },
            { tag: "640 x 512, right edge", small: true, x: 1920 + 640 - 190, y: 61, where: "above" },
            { tag: "640 x 512, top edge", small: true, x: 1920 + 200, y: -200, where: "below" },
            { tag: "640 x 512, selector in the middle: shorter", small: true, x: 1920 + 200, middle: true,
              where: "shorter" },
        ]
    }

    function test_durationListStaysOnTheDisplay(data) {
        if (data.small)
            verify(testSupport.setScreens(smallScreen))
        try {
            const box = child("durationBox")
            const boxTop = box.mapToItem(host.contentItem, 0, 0).y
            // The selector's centre on the display's middle row.
            const y = data.middle ? 256 - boxTop - box.height / 2 : data.y
            host.x = data.x
            host.y = y
            tryCompare(host, "x", data.x)
            tryCompare(host, "y", y)
            const corner = box.mapToGlobal(0, 0)
            const area = availableAreaAt(corner.x + box.width / 2, corner.y + box.height / 2)
            compare(area.width, data.small ? 640 : 1920)
            openDurationList()
            const list = box.listWindow
            verifyInside(list, area)
            if (data.where === "below")
                compare(list.y, corner.y + box.height + 4)
            else if (data.where === "above")
                compare(list.y + list.height, corner.y - 4)
            tryCompare(box.list, "height", list.height - 8)
            if (data.where === "shorter") {
                verify(list.height < 248, "list " + list.height + " high")
                tryVerify(() => box.list.interactive)
                // The current entry shows, and so does every entry walked to.
                compare(box.highlightedIndex, 7)
                tryVerify(() => entryInView(box.list, 7))
                for (let i = 0; i < 7; ++i)
                    keyClick(Qt.Key_Up)
                compare(box.highlightedIndex, 0)
                tryVerify(() => entryInView(box.list, 0))
            } else {
                compare(list.height, 248)
                verify(!box.list.interactive)
            }
            compare(list.width, 220)
            keyClick(Qt.Key_Escape)
            tryVerify(() => !list.visible)
        } finally {
            if (data.small)
                verify(testSupport.setScreens(twoScreens))
        }
    }

    Component {
        id: otherProgramComponent
        Window {
            width: 200
            height: 100
            visible: true
        }
    }

    function test_durationListClosesWhenAnotherWindowIsActivated() {
        host.requestActivate()
        tryVerify(() => host.active)
        const box = openDurationList()
        const other = createTemporaryObject(otherProgramComponent, null, { x: 600, y: 600 })
        other.requestActivate()
        tryVerify(() => other.active)
        tryVerify(() => !box.listWindow.visible)
        compare(fake.durations, [])
    }
}
