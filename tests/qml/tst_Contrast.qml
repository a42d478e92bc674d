import QtQuick
import QtQuick.Window
import QtTest

// Contrast of what the windows really show, in both themes: every visible
// text against the fill behind it (4.5:1), the text selection, and each
// colour swatch against the panel (3:1, by its fill or its outline). The
// texts and fills are found in the item trees, so a new text or a new state
// is measured without being listed here.
TestCase {
    id: testCase
    name: "Contrast"
    when: windowShown

    FakeController { id: fake }
    QtObject {
        id: fakeTopology
        property var displays: [{ stableId: "aaaaaaaaaaaaaaaa", name: "Left", x: 0, y: 0, width: 1920,
                                  height: 1080, logicalDpi: 96, devicePixelRatio: 1 }]
    }

    property var panel: null

    function init() {
        fake.reset()
        const component = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/Main.qml")
        compare(component.status, Component.Ready, component.errorString())
        panel = component.createObject(null, { controller: fake, topology: fakeTopology })
        verify(panel)
        panel.x = 300
        panel.y = 200
        waitForRendering(panel.contentItem)
    }

    function cleanup() {
        if (panel) {
            findChild(panel, "infoWindow").hide()
            panel.destroy()
            panel = null
            wait(0)
        }
    }

    function child(name) {
        const item = findChild(panel, name)
        verify(item, name)
        return item
    }

    // Relative luminance and contrast ratio as WCAG 2 defines them.
    function luminance(c) {
        const f = v => v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4)
        return 0.2126 * f(c.r) + 0.7152 * f(c.g) + 0.0722 * f(c.b)
    }

    function contrast(a, b) {
        const la = luminance(Qt.color(a))
        const lb = luminance(Qt.color(b))
        return (Math.max(la, lb) + 0.05) / (Math.min(la, lb) + 0.05)
    }

    function opaque(c) {
        return c !== undefined && c !== null && Qt.color(c).a === 1
    }

    function isRectangle(item) {
        return item.color !== undefined && item.radius !== undefined && item.border !== undefined
    }

    function isText(item) {
        return typeof item.text === "string" && item.font !== undefined && item.color !== undefined
                && item.contentWidth !== undefined
    }

    // The first opaque fill under an item: a control's own background, or a
    // rectangle it lies in.
    function fillBehind(item) {
        for (let a = item.parent; a; a = a.parent) {
            const bg = a.background
            if (bg && bg.visible && isRectangle(bg) && opaque(bg.color))
                return bg.color
            if (isRectangle(a) && a.visible && opaque(a.color))
                return a.color
        }
        return null
    }

    function descendants(item, out) {
        out.push(item)
        for (let i = 0; i < item.children.length; ++i)
            descendants(item.children[i], out)
        return out
    }

    // Measures every visible text of a window; returns what falls short.
    property var measured: ({})
    function measureTexts(win, scene) {
        const failures = []
        for (const item of descendants(win.contentItem, [])) {
            // A fully transparent text (the style's own placeholder, replaced
            // by the palette's) shows nothing.
            if (!item.visible || !isText(item) || item.text === "" || item.opacity < 1
                    || Qt.color(item.color).a === 0)
                continue
            const fill = fillBehind(item)
            if (fill === null) {
                failures.push(scene + ": no fill behind \"" + item.text + "\"")
                continue
            }
            const ratio = contrast(item.color, fill)
            measured[item.color + " on " + fill] = ratio
            if (ratio < 4.5)
                failures.push(scene + ": \"" + item.text.substring(0, 20) + "\" " + item.color + " on " + fill
                              + " is " + ratio.toFixed(2) + ":1")
        }
        return failures
    }

    function hover(item, x, y) {
        mouseMove(item, x === undefined ? item.width / 2 : x, y === undefined ? item.height / 2 : y)
    }

    // Each control that changes its fill under the pointer, hovered in turn.
    function measureHovered(win, scene) {
        let failures = []
        for (const item of descendants(win.contentItem, [])) {
            if (!item.visible || item.width <= 0)
                continue
            if (item.pointerHovered !== undefined) {
                hover(item)
                tryVerify(() => item.pointerHovered)
                failures = failures.concat(measureTexts(win, scene + ", hovered " + (item.objectName || item.text)))
                if (item.badge && item.badge.visible) {
                    const c = item.badge.mapToItem(item, item.badge.width / 2, item.badge.height / 2)
                    hover(item, c.x, c.y)
                    tryVerify(() => item.badgeHovered)
                    failures = failures.concat(measureTexts(win, scene + ", badge of " + item.objectName))
                }
            } else if (item.hovered !== undefined && item.background !== undefined && item.hoverEnabled) {
                hover(item)
                tryVerify(() => item.hovered)
                failures = failures.concat(measureTexts(win, scene + ", hovered " + (item.objectName || item.text)))
            }
        }
        mouseMove(win.contentItem, 1, 1)
        return failures
    }

    function test_texts_data() {
        const rows = []
        for (const theme of ["light", "dark"]) {
            for (const scene of ["panel", "QTc card, missing", "QTc card, usable", "QTc card, refused",
                                 "QTc card, RR from a caliper", "interval count",
                                 "reference warning", "status line", "duration list", "tooltip",
                                 "information window"])
                rows.push({ tag: theme + ": " + scene, dark: theme === "dark", scene: scene })
        }
        return rows
    }

    function test_texts(data) {
        measured = {}
        panel.appState.darkMode = data.dark
        let failures = []
        let win = panel
        switch (data.scene) {
        case "QTc card, missing":
            fake.hasQtMeasurement = true
            break
        case "QTc card, usable":
            fake.hasQtMeasurement = true
            panel.appState.qtcValue = "72"
            break
        case "QTc card, refused": {
            fake.hasQtMeasurement = true
            const field = child("qtcField")
            mouseClick(field)
            keyClick(Qt.Key_7)
            compare(child("statusLine").visible, true)
            // The selected text in the field.
            field.selectAll()
            const ratio = contrast(field.selectedTextColor, field.selectionColor)
            if (ratio < 4.5)
                failures.push("selected text " + field.selectedTextColor + " on " + field.selectionColor)
            break
        }
        case "QTc card, RR from a caliper":
            fake.hasQtMeasurement = true
            panel.appState.qtcFormula = "Fridericia"
            fake.rrSource.caliperId = 3
            fake.rrSource.text = "800"
            fake.rrSource.color = "#2dd4bf"
            fake.rrSource.changed()
            compare(child("qtcField").text, "800")
            break
        case "interval count":
            fake.measurements = [{ id: 3, kind: "Standard", displayId: "aaaaaaaaaaaaaaaa",
                                   intervalCount: 3, startX: 100, endX: 200, y: 300 }]
            fake.selectedId = 3
            compare(child("intervalRow").visible, true)
            break
        case "reference warning":
            fake.qtNeedsReference = true
            break
        case "status line":
            fake.transientMessage("Display topology or DPI changed. Draw a new reference on that display.")
            break
        case "duration list": {
            const box = child("durationBox")
            mouseClick(box)
            tryVerify(() => box.listWindow.visible)
            tryVerify(() => box.list.itemAtIndex(7))
            win = box.listWindow
            break
        }
        case "tooltip": {
            const palette = child("palette")
            const s = child("swatchRow").children[0]
            palette.requestToolTip(s, s.Accessible.name, true)
            win = child("toolTipWindow")
            tryVerify(() => win.visible, 2000)
            break
        }
        case "information window":
            mouseClick(child("infoButton"))
            win = child("infoWindow")
            tryVerify(() => win.visible)
            break
        }
        waitForRendering(win.contentItem)
        failures = failures.concat(measureTexts(win, data.scene))
        // Hovered fills: the scenes that show every kind of hoverable control.
        if (["panel", "QTc card, refused", "QTc card, RR from a caliper", "interval count",
             "reference warning", "duration list", "information window"].indexOf(data.scene) >= 0)
            failures = failures.concat(measureHovered(win, data.scene))
        compare(failures, [])
        // Real pairs were found: a scene shows texts on several fills.
        const pairs = Object.keys(measured)
        const fewest = { "tooltip": 1, "duration list": 2 }
        verify(pairs.length >= (fewest[data.scene] || 3), pairs.join("; "))
    }

    function test_swatches_data() {
        return [ { tag: "light", dark: false }, { tag: "dark", dark: true } ]
    }

    function test_swatches(data) {
        panel.appState.darkMode = data.dark
        const row = child("swatchRow")
        const failures = []
        for (let i = 0; i < 8; ++i) {
            const s = row.children[i]
            const behind = fillBehind(s)
            const fill = contrast(s.background.color, behind)
            const outline = contrast(s.background.border.color, behind)
            if (Math.max(fill, outline) < 3)
                failures.push(s.Accessible.name + ": fill " + fill.toFixed(2) + ", outline " + outline.toFixed(2))
        }
        compare(failures, [])
    }
}
