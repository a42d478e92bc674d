import QtQuick
import QtTest

// The per-display overlay as the panel creates it, with the program's own
// controller: the window, the pointer (select, drag, remove, hover, cursor)
// and the pixels it draws. The arithmetic behind them (shapes, clamps,
// regions, label texts and places) has tables of its own in C++.
TestCase {
    id: testCase
    name: "OverlayWindow"
    when: windowShown

    readonly property var leftDisplay: ({ x: 0, y: 0, width: 1920, height: 1080, stableId: "L",
                                          name: "Left", logicalDpi: 96, devicePixelRatio: 1 })
    readonly property var rightDisplay: ({ x: 1920, y: 0, width: 1280, height: 1024, stableId: "R",
                                           name: "Right", logicalDpi: 96, devicePixelRatio: 1 })

    readonly property color labelFill: Qt.rgba(8 / 255, 19 / 255, 17 / 255, 0.90)

    // The label font, measured independently of the overlay.
    FontMetrics {
        id: labelMetrics
        font.family: ["Segoe UI", "DejaVu Sans", "Liberation Sans", "Noto Sans", "Arial", "Helvetica"]
                     .find(f => Qt.fontFamilies().indexOf(f) >= 0) || "Segoe UI"
        font.weight: 600
        font.pixelSize: 12
    }

    function init() {
        overlayController.clear()
    }

    function cleanup() {
        overlayController.clear()
    }

    // A caliper on a display; the last one added is selected, as after the panel's buttons.
    function add(kind, display, startX, endX, y, color) {
        const id = overlayController.addMeasurement(kind, display.stableId, 96, 1, startX, endX, y,
                                                    color || "#ff0000", 1000)
        verify(id !== 0)
        return id
    }

    function rowOf(id) {
        return overlayController.measurements.find(r => r.id === id)
    }

    function showOverlay(display, extra) {
        const component = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/OverlayWindow.qml")
        compare(component.status, Component.Ready, component.errorString())
        const props = Object.assign({ displayInfo: display, controller: overlayController,
                                      qtcMode: "rate", qtcValue: "" }, extra || {})
        const overlay = createTemporaryObject(component, testCase, props)
        verify(overlay !== null)
        overlay.visible = true
        verify(waitForRendering(overlay.contentItem))
        return overlay
    }

    function textWidth(text) {
        let widest = 0
        for (const line of text.split("\n"))
            widest = Math.max(widest, labelMetrics.advanceWidth(line))
        return Math.ceil(widest) + 12
    }

    function plain(list) {
        return JSON.parse(JSON.stringify(list))
    }

    // Pixels are compared as they show over black, whether or not the grab
    // keeps the window's transparency.
    function overBlack(c) {
        return { r: c.r * c.a, g: c.g * c.a, b: c.b * c.a }
    }

    function sameColour(actual, expected, tolerance) {
        const t = tolerance === undefined ? 0.02 : tolerance
        const a = overBlack(actual)
        const e = overBlack(expected)
        return Math.abs(a.r - e.r) <= t && Math.abs(a.g - e.g) <= t && Math.abs(a.b - e.b) <= t
    }

    function colourAt(image, x, y) {
        const c = image.pixel(x, y)
        return Qt.rgba(c.r, c.g, c.b, c.a)
    }

    function describe(c) {
        const s = overBlack(c)
        return "(" + Math.round(s.r * 255) + ", " + Math.round(s.g * 255) + ", " + Math.round(s.b * 255) + ")"
    }

    function verifyColour(image, x, y, expected, what) {
        const c = colourAt(image, x, y)
        verify(sameColour(c, expected), what + " at " + x + "," + y + " shows " + describe(c))
    }

    function verifyEmpty(image, x, y, what) {
        const c = colourAt(image, x, y)
        verify(sameColour(c, Qt.rgba(0, 0, 0, 0), 0.012),
               what + " at " + x + "," + y + " should be empty, shows " + describe(c))
    }

    // ---- window ------------------------------------------------------------------

    function test_windowSettings() {
        const overlay = showOverlay(rightDisplay)
        compare(overlay.x, 1920)
        compare(overlay.y, 0)
        compare(overlay.width, 1280)
        compare(overlay.height, 1024)
        compare(overlay.clickThrough, false)
        compare(overlay.color.a, 0)
        const wanted = Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.Tool | Qt.WindowDoesNotAcceptFocus
        compare(overlay.flags & wanted, wanted)
        compare(overlay.rhythmMarkerCount, 10)
        compare(overlay.scene.Accessible.name, "Interactive caliper handles for display Right")
        compare(overlay.scene.width, 1280)
        compare(overlay.scene.height, 1024)
        // Without calipers the overlay takes no input anywhere and paints nothing.
        compare(plain(overlay.visualRegions), [])
        compare(plain(overlay.interactiveRegions), [])
    }

    function test_regionsFollowTheirDisplayOnly() {
        const right = showOverlay(rightDisplay)
        const left = showOverlay(leftDisplay)
        add("standard", rightDisplay, 200, 400, 300)
        compare(right.scene.count, 1)
        compare(left.scene.count, 0)
        compare(right.interactiveRegions.length > 0, true)
        compare(plain(left.interactiveRegions), [])
        overlayController.clear()
        compare(plain(right.visualRegions), [])
        compare(plain(right.interactiveRegions), [])
    }

    // ---- pointer -----------------------------------------------------------------

    function test_dragStoresOnRelease() {
        const id = add("standard", rightDisplay, 200, 400, 300)
        add("standard", leftDisplay, 200, 400, 300)
        const overlay = showOverlay(rightDisplay)
        const item = overlay.contentItem
        const interactive = plain(overlay.interactiveRegions)
        const changes = createTemporaryObject(spyComponent, testCase,
                                              { target: overlayController, signalName: "measurementsChanged" })
        mousePress(item, 400, 350, Qt.LeftButton)
        // The whole window may be painted while the preview moves; the mouse stays where it was.
        compare(plain(overlay.visualRegions), [{ x: 0, y: 0, width: 1280, height: 1024 }])
        compare(plain(overlay.interactiveRegions), interactive)
        mouseMove(item, 450, 360, -1, Qt.LeftButton)
        mouseMove(item, 1600, 360, -1, Qt.LeftButton)
        compare(overlay.scene.labelBox(id).x, 200 - 10 - textWidth("1080 px"),
                "the live label follows the preview: at the right edge, before the start")
        compare(changes.count, 0, "nothing is stored during the drag")
        mouseRelease(item, 1600, 360, Qt.LeftButton)
        compare(changes.count, 1)
        compare(rowOf(id).endX, 1280)
        compare(rowOf(id).y, 300, "an endpoint drag ignores vertical motion")
        compare(overlayController.selectedId, id)
        verify(plain(overlay.visualRegions).length > 1)
        compare(overlayController.measurementsForDisplay("L")[0].endX, 400)
    }

    function test_clickWithoutMovement() {
        const first = add("standard", rightDisplay, 200.25, 400.75, 300.5)
        const second = add("standard", rightDisplay, 600, 800, 300)
        compare(overlayController.selectedId, second)
        const overlay = showOverlay(rightDisplay)
        const changes = createTemporaryObject(spyComponent, testCase,
                                              { target: overlayController, signalName: "measurementsChanged" })
        mouseClick(overlay.contentItem, 201, 350, Qt.LeftButton)
        compare(changes.count, 1, "the unchanged geometry is sent once")
        compare([rowOf(first).startX, rowOf(first).endX, rowOf(first).y], [200.25, 400.75, 300.5])
        compare(overlayController.selectedId, first)
    }

    function test_pressOutsideCalipers() {
        const id = add("standard", rightDisplay, 200, 400, 300)
        const overlay = showOverlay(rightDisplay)
        const changes = createTemporaryObject(spyComponent, testCase,
                                              { target: overlayController, signalName: "measurementsChanged" })
        overlayController.selectedId = 0
        mouseClick(overlay.contentItem, 900, 900, Qt.LeftButton)
        mouseClick(overlay.contentItem, 900, 900, Qt.RightButton)
        compare(overlay.scene.dragPart, 0)
        compare(changes.count, 0)
        compare(overlayController.selectedId, 0)
        compare(overlayController.measurements.length, 1)
        compare(rowOf(id).endX, 400)
    }

    function test_rightClickRemovesCaliperUnderPointer() {
        const first = add("standard", rightDisplay, 200, 400, 600)
        const second = add("standard", rightDisplay, 210, 410, 600)
        const third = add("standard", rightDisplay, 700, 900, 600)
        compare(overlayController.selectedId, third)
        const overlay = showOverlay(rightDisplay)
        // Near both end lines: the caliper added later lies on top.
        mouseClick(overlay.contentItem, 405, 300, Qt.RightButton)
        compare(overlayController.measurements.map(r => r.id), [first, third])
        compare(overlay.scene.count, 2)
        compare(overlayController.selectedId, 0)
        compare(overlay.scene.dragPart, 0, "no drag after a right click")
    }

    function test_cancelledDragSendsNothing() {
        const id = add("standard", rightDisplay, 200, 400, 300)
        const overlay = showOverlay(rightDisplay)
        const item = overlay.contentItem
        const visual = plain(overlay.visualRegions)
        mousePress(item, 400, 350, Qt.LeftButton)
        mouseMove(item, 600, 350, -1, Qt.LeftButton)
        overlay.scene.visible = false    // takes the grab away
        compare(overlay.scene.dragPart, 0)
        compare(plain(overlay.visualRegions), visual)
        overlay.scene.visible = true
        mouseRelease(item, 600, 350, Qt.LeftButton)
        compare(rowOf(id).endX, 400)
    }

    function test_hoverAndCursor_data() {
        // Parts: 1 start, 2 end, 3 move.
        return [
            { tag: "start line", x: 200, y: 700, part: 1, cursor: Qt.SizeHorCursor },
            { tag: "end line", x: 404, y: 450, part: 2, cursor: Qt.SizeHorCursor },
            { tag: "centre handle", x: 300, y: 306, part: 3, cursor: Qt.OpenHandCursor },
            { tag: "line", x: 230, y: 300, part: 3, cursor: Qt.OpenHandCursor },
            { tag: "on the label", x: 420, y: 315, part: 0, cursor: Qt.ArrowCursor },
            { tag: "nothing", x: 900, y: 900, part: 0, cursor: Qt.ArrowCursor },
        ]
    }

    function test_hoverAndCursor(data) {
        const id = add("standard", rightDisplay, 200, 400, 300)
        const overlay = showOverlay(rightDisplay)
        mouseMove(overlay.contentItem, data.x, data.y)
        compare(overlay.scene.hoveredPart, data.part)
        compare(overlay.scene.hoveredId, data.part === 0 ? 0 : id)
        compare(overlay.scene.cursorShape, data.cursor)
    }

    function test_cursorDuringDrags() {
        const id = add("standard", rightDisplay, 200, 400, 300)
        const overlay = showOverlay(rightDisplay)
        const item = overlay.contentItem
        const scene = overlay.scene

        // An endpoint drag keeps the resize arrows, even over the centre and
        // outside the window.
        mouseMove(item, 400, 350)
        mousePress(item, 400, 350, Qt.LeftButton)
        mouseMove(item, 300, 300, -1, Qt.LeftButton)
        compare(scene.hoveredPart, 2)
        compare(scene.cursorShape, Qt.SizeHorCursor)
        mouseMove(item, -40, 300, -1, Qt.LeftButton)
        compare(scene.dragPart, 2)
        compare(scene.cursorShape, Qt.SizeHorCursor)
        mouseRelease(item, -40, 300, Qt.LeftButton)
        compare(rowOf(id).endX, 200 + 10.01)

        // A move drag shows the closed hand; released, the open hand again.
        const other = add("standard", rightDisplay, 500, 700, 600)
        mouseMove(item, 600, 600)
        compare(scene.cursorShape, Qt.OpenHandCursor)
        mousePress(item, 600, 600, Qt.LeftButton)
        compare(scene.cursorShape, Qt.ClosedHandCursor)
        mouseMove(item, 630, 640, -1, Qt.LeftButton)
        mouseRelease(item, 630, 640, Qt.LeftButton)
        compare(scene.cursorShape, Qt.OpenHandCursor)
        compare([rowOf(other).startX, rowOf(other).y], [530, 640])

        // Leaving without a button clears the hover.
        mouseMove(item, -40, 640)
        compare(scene.hoveredId, 0)
        compare(scene.hoveredPart, 0)
        compare(scene.cursorShape, Qt.ArrowCursor)
    }

    // ---- pixels ------------------------------------------------------------------

    function test_linesAndDash() {
        add("standard", leftDisplay, 100.5, 300.5, 500.5, "#ff0000")
        add("reference", leftDisplay, 700.5, 900.5, 500.5, "#0000ff")
        const overlay = showOverlay(leftDisplay)
        const image = grabImage(overlay.contentItem)
        const red = Qt.rgba(1, 0, 0, 1)
        const blue = Qt.rgba(0, 0, 1, 1)
        // Standard: solid over its whole 864 px extent (68.5 .. 932.5).
        for (let y = 70; y <= 930; y += 7)
            verifyColour(image, 100, y, red, "start line")
        verifyColour(image, 200, 500, red, "horizontal line")
        verifyEmpty(image, 100, 66, "above the start line")
        verifyEmpty(image, 100, 934, "below the start line")
        verifyEmpty(image, 101, 300, "beside the start line")
        // Reference: dashed, 108 px high (446.5 .. 554.5), 5 drawn and 4 apart.
        let drawn = 0
        let gaps = 0
        let run = 0
        let longest = 0
        for (let y = 448; y <= 490; ++y) {
            if (sameColour(colourAt(image, 700, y), blue)) {
                ++drawn
                longest = Math.max(longest, ++run)
            } else {
                verifyEmpty(image, 700, y, "between dashes")
                ++gaps
                run = 0
            }
        }
        verify(drawn > 20 && gaps > 15, "dashed: " + drawn + " drawn, " + gaps + " gaps")
        compare(longest, 5)
        verifyEmpty(image, 700, 440, "above the short span")
        verifyEmpty(image, 700, 560, "below the short span")
    }

    function test_handleSizes() {
        add("standard", leftDisplay, 400, 600, 500.5, "#00ff00")
        const lower = add("standard", leftDisplay, 400, 600, 800.5, "#00ff00")
        overlayController.selectedId = 0
        const overlay = showOverlay(leftDisplay)
        const green = Qt.rgba(0, 1, 0, 1)
        let image = grabImage(overlay.contentItem)
        // Side 8 on whole device pixels: 396..403 around the start, 596..603 around the end.
        verifyColour(image, 396, 500, green, "start handle")
        verifyEmpty(image, 395, 500, "left of the start handle")
        verifyColour(image, 603, 500, green, "end handle")
        verifyEmpty(image, 604, 500, "right of the end handle")
        // The centre handle around y 500.5: rows 497 .. 504.
        verifyColour(image, 500, 497, green, "centre handle top")
        verifyEmpty(image, 500, 496, "above the centre handle")
        verifyColour(image, 500, 504, green, "centre handle bottom")
        verifyEmpty(image, 500, 505, "below the centre handle")
        verifyEmpty(image, 395, 800, "the lower caliper, not selected")

        overlayController.selectedId = lower
        image = grabImage(overlay.contentItem)
        // Side 9: 396 .. 404 around 400, rows 796 .. 804 around 800.5.
        verifyColour(image, 396, 800, green, "selected start handle")
        verifyEmpty(image, 395, 800, "left of the selected handle")
        verifyColour(image, 404, 800, green, "selected start handle, right")
        verifyColour(image, 500, 796, green, "selected centre handle top")
        verifyColour(image, 500, 804, green, "selected centre handle bottom")
        verifyEmpty(image, 500, 805, "below the selected centre handle")
        verifyEmpty(image, 395, 500, "the other caliper keeps side 8")
    }

    function test_hoverRing() {
        add("standard", leftDisplay, 400, 600, 500, "#ff0000")
        const overlay = showOverlay(leftDisplay)
        const ring = Qt.rgba(0x5e / 255, 0xea / 255, 0xd4 / 255, 1)
        let image = grabImage(overlay.contentItem)
        verifyEmpty(image, 592, 502, "no ring before hovering")

        mouseMove(overlay.contentItem, 601, 650)
        compare(overlay.scene.hoveredPart, 2)
        image = grabImage(overlay.contentItem)
        // Side 14, outline 2 across its edge: 592..593 and 606..607.
        verifyColour(image, 592, 502, ring, "ring left side")
        verifyColour(image, 593, 502, ring, "ring left side")
        verifyColour(image, 607, 502, ring, "ring right side")
        verifyEmpty(image, 591, 502, "outside the ring")
        verifyEmpty(image, 608, 502, "outside the ring")
        verifyEmpty(image, 595, 502, "no fill inside the ring")
        verifyEmpty(image, 392, 502, "only the hovered part")

        mouseMove(overlay.contentItem, 500, 505)
        compare(overlay.scene.hoveredPart, 3)
        image = grabImage(overlay.contentItem)
        verifyColour(image, 492, 502, ring, "ring around the centre")
        verifyEmpty(image, 592, 502, "ring moved away")

        mouseMove(overlay.contentItem, -30, 505)
        image = grabImage(overlay.contentItem)
        verifyEmpty(image, 492, 502, "ring cleared on leaving")
    }

    function test_rhythmMarkers() {
        add("rhythm", leftDisplay, 400.5, 450.5, 500.5, "#ff0000")
        const overlay = showOverlay(leftDisplay)
        const image = grabImage(overlay.contentItem)
        const red = Qt.rgba(1, 0, 0, 1)
        // Markers every 50 px up to the tenth at 950.5, 216 px high (392.5 .. 608.5).
        for (let k = 1; k <= 10; ++k) {
            const x = 450 + 50 * k
            verifyColour(image, x, 394, red, "marker " + k + " top")
            verifyColour(image, x, 606, red, "marker " + k + " bottom")
            verifyEmpty(image, x, 390, "above marker " + k)
            verifyEmpty(image, x, 611, "below marker " + k)
            verifyEmpty(image, x - 25, 450, "between markers")
            verifyColour(image, x - 25, 500, red, "extension line")
        }
        verifyEmpty(image, 1000, 450, "no eleventh marker")
        verifyEmpty(image, 1000, 500, "extension ends at the tenth repeat")
    }

    function labelEdges(image, fromX, toX, y) {
        // First and last column of label fill along a row.
        let first = -1
        let last = -1
        for (let x = fromX; x <= toX; ++x) {
            if (sameColour(colourAt(image, x, y), labelFill, 0.03)) {
                if (first < 0)
                    first = x
                last = x
            }
        }
        return [first, last]
    }

    function test_labelBox() {
        add("standard", rightDisplay, 100, 300, 200)
        add("standard", rightDisplay, 1150, 1270, 500)
        add("standard", rightDisplay, 500, 700, 1010)
        const overlay = showOverlay(rightDisplay)
        const image = grabImage(overlay.contentItem)
        // Beside the end: x 310, 8 below the line.
        verifyColour(image, 311, 209, labelFill, "label fill")
        verifyEmpty(image, 309, 209, "left of the label")
        verifyEmpty(image, 311, 207, "above the label")
        const width = textWidth("200 px")
        verifyColour(image, 310 + width - 1, 209, labelFill, "label right column")
        verifyEmpty(image, 310 + width, 209, "right of the label")
        verifyColour(image, 311, 208 + 22, labelFill, "label bottom row")
        verifyEmpty(image, 311, 208 + 23, "below the label")
        // Right edge: left of the start, ending 10 px before it.
        compare(labelEdges(image, 900, 1279, 509), [1140 - textWidth("120 px"), 1139])
        verifyEmpty(image, 1275, 509, "nothing at the right edge")
        // Bottom edge: above the line, ending 8 px above it.
        verifyColour(image, 711, 1010 - 9, labelFill, "label above the line")
        verifyEmpty(image, 711, 1010 - 7, "between label and line")
        verifyColour(image, 711, 1010 - 31, labelFill, "label top row")
        verifyEmpty(image, 711, 1010 - 32, "above the label")
        verifyEmpty(image, 711, 1015, "nothing below the line")
    }

    function test_nearbyLabelsHideNothing() {
        // Three pixels apart: the second label moves below the first, whole.
        add("standard", leftDisplay, 910, 1010, 480)
        const second = add("standard", leftDisplay, 913, 1013, 483)
        const overlay = showOverlay(leftDisplay)
        const image = grabImage(overlay.contentItem)
        compare(overlay.scene.labelBox(second).y, 491 + 23 + 2)
        verifyColour(image, 1021, 489, labelFill, "the first label's top row")
        verifyColour(image, 1021, 510, labelFill, "the first label's bottom row")
        verifyEmpty(image, 1021, 512, "between the labels")
        verifyColour(image, 1024, 517, labelFill, "the second label's top row")
    }

    function test_dragPreviewAndLiveLabel() {
        add("reference", leftDisplay, 100, 300, 200)
        add("standard", leftDisplay, 400.5, 600.5, 500.5, "#ff0000")
        const overlay = showOverlay(leftDisplay)
        const item = overlay.contentItem
        mousePress(item, 600, 700, Qt.LeftButton)
        mouseMove(item, 700, 700, -1, Qt.LeftButton)
        const image = grabImage(item)
        const red = Qt.rgba(1, 0, 0, 1)
        verifyColour(image, 700, 300, red, "end line at the preview")
        verifyEmpty(image, 600, 300, "end line left its stored place")
        // The label beside the preview end (x 710.5 on whole pixels), sized for
        // "1500 ms\n40 bpm".
        compare(labelEdges(image, 650, 1000, 511), [711, 710 + textWidth("1500 ms\n40 bpm")])
        mouseRelease(item, 700, 700, Qt.LeftButton)
    }

    function test_qtLabelFollowsTheInput() {
        add("qtc", leftDisplay, 400, 600, 500)
        const overlay = showOverlay(leftDisplay)
        // Three lines (53 px high) without reference and input.
        verifyColour(grabImage(overlay.contentItem), 611, 508 + 50, labelFill, "third line")
        add("reference", leftDisplay, 100, 200, 300)
        overlay.qtcValue = "75"
        // Two lines (38 px) with a reference and a rate; the region follows the text.
        verifyEmpty(grabImage(overlay.contentItem), 611, 508 + 50, "two lines once a rate is typed")
        verifyColour(grabImage(overlay.contentItem), 611, 508 + 36, labelFill, "second line")
        compare(overlay.scene.labelBox(overlayController.measurementsForDisplay("L")[0].id).width,
                textWidth("QT: 2000 ms\nQTc: 2236 ms"))
        overlay.qtcValue = ""
        compare(overlay.scene.labelBox(overlayController.measurementsForDisplay("L")[0].id).width,
                textWidth("QT: 2000 ms\nQTc: \u2013 add RR"))
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }
}
